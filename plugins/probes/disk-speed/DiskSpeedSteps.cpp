#include "DiskSpeedSteps.h"

#include <algorithm>
#include <cstring>

#include "../support/Measurement.h"

namespace DiskSpeed {

AlignedBuffer::AlignedBuffer(size_t size) : m_Storage(size + kAlignment)
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(m_Storage.data());
    const uintptr_t aligned = (address + kAlignment - 1) / kAlignment * kAlignment;
    m_Data = m_Storage.data() + (aligned - address);
}

void FillBlock(char* block, size_t size)
{
    uint32_t state = 0x9E3779B9u;
    for (size_t at = 0; at + 4 <= size; at += 4) {
        state = state * 1664525u + 1013904223u;
        std::memcpy(block + at, &state, 4);
    }
}

double WriteSequential(ScratchFile& file, const char* data, size_t block, uint64_t size, std::string& error)
{
    const Measurement::Clock::time_point start = Measurement::Clock::now();
    for (uint64_t at = 0; at < size; at += block) {
        if (!file.WriteAt(at, data, static_cast<size_t>(std::min<uint64_t>(block, size - at)), error)) {
            error = "writing " + file.Path() + " failed: " + error;
            return -1;
        }
    }
    if (!file.Sync(error)) {
        error = "flushing " + file.Path() + " failed: " + error;
        return -1;
    }
    return Measurement::Seconds(start, Measurement::Clock::now());
}

} // namespace DiskSpeed
