// cpu: how many hardware threads the machine offers (0 when unknown).
#include <thread>

#include "ProbeModule.h"

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

ULMORA_PROBE_MODULE(CpuTest, "cpu", Probes::kCpuProbe, 1)
