// The steps of the disk-speed measurement that the benchmark also runs on
// their own.
#ifndef ULMORA_DISK_SPEED_STEPS_H
#define ULMORA_DISK_SPEED_STEPS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DiskSpeedOs.h"

namespace DiskSpeed {

// Sequential transfers go in blocks of this size.
constexpr uint64_t kBlockBytes = 1024 * 1024;

// A buffer whose start is aligned for unbuffered I/O.
class AlignedBuffer {
public:
    explicit AlignedBuffer(size_t size);
    char* Data() { return m_Data; }

private:
    std::vector<char> m_Storage;
    char* m_Data;
};

// Fills a block with bytes that no layer below can compress or skip as
// zeros.
void FillBlock(char* block, size_t size);

// Writes `size` bytes from the start of `file`, `block` bytes at a time
// from `data`, and flushes them to the device. Returns the seconds from the
// first write to the end of the flush, or -1 with `error` set.
double WriteSequential(ScratchFile& file, const char* data, size_t block, uint64_t size, std::string& error);

} // namespace DiskSpeed

#endif
