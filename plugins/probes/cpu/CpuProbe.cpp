// cpu: vendor, model, counts, frequencies, caches and instruction-set
// features of the processor.
#include <cstdint>
#include <string>

#include "CpuInfo.h"
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

class CpuTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        CpuProbe::Info info;
        try {
            CpuProbe::ReadCpuId(info);
            CpuProbe::ReadOs(info);
        } catch (...) {
            // Running out of memory while reading is no reason to fail the run.
            info.missing.push_back("read failed");
        }
        if (!info.vendor.empty())
            db->AddString("cpu.vendor", info.vendor.c_str());
        else
            info.missing.push_back("no vendor");
        if (!info.model.empty())
            db->AddString("cpu.model", info.model.c_str());
        else
            info.missing.push_back("no model");

        const struct {
            const char* key;
            uint64_t value;
            const char* missing;
        } counts[] = {
            {"cpu.logical_count", info.logicalCount, "no logical count"},
            {"cpu.available_count", info.availableCount, "no available count"},
            {"cpu.physical_count", info.physicalCount, "no core count"},
            {"cpu.package_count", info.packageCount, "no package count"},
            {"cpu.cache.l1d_bytes", info.l1d, "no L1 data cache size"},
            {"cpu.cache.l1i_bytes", info.l1i, nullptr},
            {"cpu.cache.l2_bytes", info.l2, "no L2 cache size"},
            // Many processors have no third level; nothing is missing then.
            {"cpu.cache.l3_bytes", info.l3, nullptr},
        };
        for (const auto& count : counts) {
            if (count.value != 0)
                db->AddUInt64(count.key, count.value);
            else if (count.missing != nullptr)
                info.missing.push_back(count.missing);
        }
        if (info.baseHertz > 0)
            db->AddDouble("cpu.base_frequency_hertz", info.baseHertz);
        if (info.maxHertz > 0)
            db->AddDouble("cpu.max_frequency_hertz", info.maxHertz);
        if (info.baseHertz <= 0 && info.maxHertz <= 0)
            info.missing.push_back("no frequency");
        for (const std::string& feature : info.features)
            db->AddString("cpu.features", feature.c_str());
        if (info.features.empty())
            info.missing.push_back("no features");
        db->AddString("cpu.status", Status(info.missing).c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(CpuTest, "cpu", 1102, 1)
