// disk-speed: sequential write and read of a scratch file on the volume of
// the program folder (the temporary folder when the program folder takes no
// new file), and the latency of flushing one small write to the device. The
// write is timed up to the flush that makes it durable; the read bypasses
// the page cache where the file system allows it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../support/Measurement.h"
#include "DiskSpeedOs.h"
#include "DiskSpeedSteps.h"
#include "ulmora/PluginKit.h"

namespace {

using DiskSpeed::AlignedBuffer;
using DiskSpeed::kBlockBytes;
using Measurement::Clock;
using Measurement::Seconds;

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kFileBytes = 64 * kMiB;
// Below this much free space the file shrinks to a sixteenth of it.
constexpr uint64_t kRoomyVolumeBytes = 1024 * kMiB;
constexpr size_t kSyncBytes = DiskSpeed::kAlignment;
constexpr int kSyncRepetitions = 7;

class DiskSpeedProbe : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        std::string status;
        try {
            status = Measure(database);
        } catch (const std::exception& error) {
            status = std::string("unsupported: ") + error.what();
        } catch (...) {
            status = "unsupported: the measurement failed";
        }
        database->AddString("disk.status", status.c_str());
        return 0;
    }

private:
    // Returns the status; the scratch file is gone when it returns or
    // throws.
    static std::string Measure(Ulmora::IResultDatabase* database)
    {
        struct Candidate {
            std::string folder;
            const char* availableKey;
        };
        const Candidate candidates[] = {{DiskSpeed::ExecutableFolder(), "storage.program.available_bytes"},
                                        {DiskSpeed::TempFolder(), "storage.temp.available_bytes"}};
        std::unique_ptr<DiskSpeed::ScratchFile> file;
        const Candidate* chosen = nullptr;
        std::string refused;
        for (const Candidate& candidate : candidates) {
            if (candidate.folder.empty())
                continue;
            std::string error;
            file = DiskSpeed::ScratchFile::Create(candidate.folder, error);
            if (file) {
                chosen = &candidate;
                break;
            }
            refused += (refused.empty() ? "" : "; ") + candidate.folder + ": " + error;
        }
        if (!file)
            return "unsupported: no folder takes a new file (" + (refused.empty() ? "none known" : refused) + ")";
        database->AddString("disk.path", chosen->folder.c_str());

        uint64_t available = 0;
        // When the free space is unknown, the full-size file is tried; a
        // volume that is full makes the write fail cleanly.
        if (!Measurement::ReadUInt64(database, chosen->availableKey, available) &&
            !DiskSpeed::AvailableBytes(chosen->folder, available))
            available = kRoomyVolumeBytes;
        uint64_t size = kFileBytes;
        if (available < kRoomyVolumeBytes)
            size = std::min(kFileBytes, available / 16 / kMiB * kMiB);
        if (size < kMiB)
            return "unsupported: only " + std::to_string(available) + " bytes available in " + chosen->folder;
        database->AddUInt64("disk.file_bytes", size);

        AlignedBuffer buffer(kBlockBytes);
        DiskSpeed::FillBlock(buffer.Data(), kBlockBytes);
        std::string error;
        const double writeSeconds = DiskSpeed::WriteSequential(*file, buffer.Data(), kBlockBytes, size, error);
        if (writeSeconds < 0)
            return "unsupported: " + error;

        std::vector<double> syncs;
        for (int repetition = 0; repetition < kSyncRepetitions; ++repetition) {
            buffer.Data()[0] = static_cast<char>(repetition);
            const Clock::time_point start = Clock::now();
            if (!file->WriteAt(0, buffer.Data(), kSyncBytes, error) || !file->Sync(error))
                return "unsupported: flushing " + file->Path() + " failed: " + error;
            syncs.push_back(Seconds(start, Clock::now()));
        }
        std::sort(syncs.begin(), syncs.end());

        if (!file->Direct())
            file->DropCache();
        const Clock::time_point readStart = Clock::now();
        for (uint64_t at = 0; at < size; at += kBlockBytes) {
            if (!file->ReadAt(at, buffer.Data(), static_cast<size_t>(std::min(kBlockBytes, size - at)), error))
                return "unsupported: reading " + file->Path() + " failed: " + error;
        }
        const double readSeconds = Seconds(readStart, Clock::now());

        const double bytes = static_cast<double>(size);
        database->AddDouble("disk.sequential_write_bytes_per_second", writeSeconds > 0 ? bytes / writeSeconds : 0.0);
        database->AddDouble("disk.sequential_read_bytes_per_second", readSeconds > 0 ? bytes / readSeconds : 0.0);
        database->AddDouble("disk.sync_latency_seconds", syncs[syncs.size() / 2]);
        if (!file->Direct())
            return "partial: the page cache was not bypassed: " + file->WhyNotDirect();
        return "ok";
    }
};

} // namespace

ULMORA_PROBE(DiskSpeedProbe, "disk-speed", 1109, 1, {1104, "the free space of the program and temporary volumes"})
