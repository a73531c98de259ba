// system: the operating system, kernel, architecture, host name and uptime.
#include <cstdint>
#include <string>

#include "SystemInfo.h"
#include "ulmora/IResultDatabase.h"
#include "ulmora/PluginKit.h"

namespace SystemProbe {

std::string NormalArch(const std::string& machine)
{
    if (machine == "x86_64" || machine == "amd64")
        return "x86_64";
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686" || machine == "x86")
        return "x86";
    if (machine == "aarch64" || machine == "arm64")
        return "arm64";
    if (machine.compare(0, 3, "arm") == 0)
        return "arm";
    return machine;
}

} // namespace SystemProbe

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

class SystemTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        SystemProbe::Info info;
        try {
            SystemProbe::Read(info);
        } catch (...) {
            // Running out of memory while reading is no reason to fail the run.
            info.missing.push_back("read failed");
        }
        const struct {
            const char* key;
            const std::string& value;
        } texts[] = {
            {"system.os.name", info.osName},
            {"system.os.version", info.osVersion},
            {"system.os.pretty_name", info.osPrettyName},
            {"system.kernel.name", info.kernelName},
            {"system.kernel.version", info.kernelVersion},
            {"system.arch", info.arch},
            {"system.hostname", info.hostname},
            {"system.wine.version", info.wineVersion},
        };
        for (const auto& text : texts) {
            if (!text.value.empty())
                db->AddString(text.key, text.value.c_str());
        }
        db->AddUInt64("system.process.bits", static_cast<uint64_t>(sizeof(void*) * 8));
        if (info.uptimeSeconds >= 0)
            db->AddDouble("system.uptime_seconds", info.uptimeSeconds);
        db->AddString("system.status", Status(info.missing).c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(SystemTest, "system", 1101, 1)
