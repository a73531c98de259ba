// disk: size and free space, in MiB, of the volume holding the working folder.
#include <filesystem>
#include <system_error>

#include "ulmora/Ulmora.h"

namespace {

class DiskTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        std::error_code error;
        const std::filesystem::space_info space = std::filesystem::space(std::filesystem::current_path(error), error);
        const uint64_t mib = 1024 * 1024;
        database->AddBool("disk.known", !error);
        if (!error) {
            database->AddUInt64("disk.capacity.mib", static_cast<uint64_t>(space.capacity) / mib);
            database->AddUInt64("disk.available.mib", static_cast<uint64_t>(space.available) / mib);
        }
        return 0;
    }
};

} // namespace

ULMORA_PROBE(DiskTest, "disk", 1003, 1)
