// graphics: the display adapters, with their PCI identifiers and memory.
#include <cstdint>
#include <cstdio>
#include <string>

#include "GraphicsInfo.h"
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

std::string Hex(unsigned id)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", id);
    return text;
}

class GraphicsTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        GraphicsProbe::Info info;
        try {
            GraphicsProbe::Read(info);
        } catch (...) {
            // Running out of memory while reading is no reason to fail the run.
            info.missing.push_back("read failed");
        }
        // A machine without adapters (a server, a container) is a full answer.
        db->AddUInt64("graphics.adapter.count", static_cast<uint64_t>(info.adapters.size()));
        for (size_t i = 0; i < info.adapters.size(); ++i) {
            const GraphicsProbe::Adapter& adapter = info.adapters[i];
            const unsigned n = static_cast<unsigned>(i);
            if (!adapter.name.empty())
                db->AddString("graphics.adapter%u.name", adapter.name.c_str(), n);
            else
                info.missing.push_back("no name of adapter" + std::to_string(i));
            if (!adapter.driver.empty())
                db->AddString("graphics.adapter%u.driver", adapter.driver.c_str(), n);
            if (adapter.vendorId != 0) {
                db->AddString("graphics.adapter%u.vendor_id", Hex(adapter.vendorId).c_str(), n);
                db->AddString("graphics.adapter%u.device_id", Hex(adapter.deviceId).c_str(), n);
            }
            if (adapter.memory != 0)
                db->AddUInt64("graphics.adapter%u.memory_bytes", adapter.memory, n);
        }
        db->AddString("graphics.status", Status(info.missing).c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(GraphicsTest, "graphics", 1105, 1)
