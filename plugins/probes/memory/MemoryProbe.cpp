// memory: physical memory and swap, total and what is left.
#include <cstdint>
#include <string>

#include "MemoryInfo.h"
#include "ulmora/IResultDatabase.h"
#include "ulmora/PluginKit.h"

namespace {

std::string Status(const std::vector<std::string>& missing)
{
    if (missing.empty())
        return "ok";
    std::string text = "partial: ";
    for (size_t i = 0; i < missing.size(); ++i)
        text += (i ? ", " : "") + missing[i];
    return text;
}

class MemoryTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        MemoryProbe::Info info;
        try {
            MemoryProbe::Read(info);
        } catch (...) {
            // Running out of memory while reading is no reason to fail the run.
            info.missing.push_back("read failed");
        }
        if (info.haveTotal)
            db->AddUInt64("memory.total_bytes", info.total);
        else
            info.missing.push_back("no total");
        if (info.haveAvailable)
            db->AddUInt64("memory.available_bytes", info.available);
        else
            info.missing.push_back("no available memory");
        if (info.haveSwap) {
            db->AddUInt64("memory.swap.total_bytes", info.swapTotal);
            db->AddUInt64("memory.swap.free_bytes", info.swapFree);
        } else {
            info.missing.push_back("no swap figures");
        }
        if (info.pageSize != 0)
            db->AddUInt64("memory.page_size_bytes", info.pageSize);
        db->AddString("memory.status", Status(info.missing).c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(MemoryTest, "memory", 1103, 1)
