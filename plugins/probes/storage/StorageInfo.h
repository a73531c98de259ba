// What the storage probe learns from the OS about volumes.
#ifndef ULMORA_PROBE_STORAGEINFO_H
#define ULMORA_PROBE_STORAGEINFO_H

#include <cstdint>
#include <string>
#include <vector>

namespace StorageProbe {

struct Volume {
    std::string path;       // the folder asked about (a volume's mount point for the list)
    std::string mountPoint; // where the volume is mounted: "/", "C:\"
    std::string filesystem; // "ext4", "NTFS"
    std::string device;     // "/dev/sda1"; empty on Windows
    uint64_t total = 0;
    uint64_t available = 0; // what this user may still write
    bool sized = false;     // total and available are known
};

struct Info {
    Volume program; // the volume holding the executable's folder
    Volume temp;    // the volume holding the temporary folder
    std::vector<Volume> volumes;
    std::vector<std::string> missing;
};

// Never throws; names what it could not learn in info.missing.
void Read(Info& info);

} // namespace StorageProbe

#endif
