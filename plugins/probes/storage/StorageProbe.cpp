// storage: the volumes of the program's folder and the temporary folder, and
// every fixed local volume, with size and the space this user may use.
#include <cstdint>
#include <string>

#include "StorageInfo.h"
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

void AddVolume(Ulmora::IResultDatabase* db, const std::string& prefix, const StorageProbe::Volume& volume,
               std::vector<std::string>& missing)
{
    const struct {
        const char* name;
        const std::string& value;
    } texts[] = {
        {"path", volume.path},
        {"mount_point", volume.mountPoint},
        {"filesystem", volume.filesystem},
        {"device", volume.device},
    };
    for (const auto& text : texts) {
        if (!text.value.empty())
            db->AddString("%s.%s", text.value.c_str(), prefix.c_str(), text.name);
    }
    if (volume.sized) {
        db->AddUInt64("%s.total_bytes", volume.total, prefix.c_str());
        db->AddUInt64("%s.available_bytes", volume.available, prefix.c_str());
    } else {
        missing.push_back("no size of " + prefix.substr(prefix.find('.') + 1));
    }
    if (volume.filesystem.empty())
        missing.push_back("no filesystem of " + prefix.substr(prefix.find('.') + 1));
}

class StorageTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        StorageProbe::Info info;
        try {
            StorageProbe::Read(info);
        } catch (...) {
            // Running out of memory while reading is no reason to fail the run.
            info.missing.push_back("read failed");
        }
        AddVolume(db, "storage.program", info.program, info.missing);
        AddVolume(db, "storage.temp", info.temp, info.missing);
        db->AddUInt64("storage.volume.count", static_cast<uint64_t>(info.volumes.size()));
        for (size_t i = 0; i < info.volumes.size(); ++i)
            AddVolume(db, "storage.volume" + std::to_string(i), info.volumes[i], info.missing);
        db->AddString("storage.status", Status(info.missing).c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(StorageTest, "storage", 1104, 1)
