// cpu: how many hardware threads the machine offers (0 when unknown).
#include <thread>

#include "ulmora/Ulmora.h"

namespace {

class CpuTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        database->AddUInt32("cpu.count", std::thread::hardware_concurrency());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(CpuTest, "cpu", 1002, 1)
