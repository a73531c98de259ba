// What the memory-bandwidth probe asks of the operating system when the
// cpu and memory probes left no answer.
#ifndef ULMORA_BANDWIDTH_OS_H
#define ULMORA_BANDWIDTH_OS_H

#include <cstddef>
#include <cstdint>

namespace Bandwidth {

// Size of the largest (last-level) data or unified cache; 0 when unknown.
uint64_t LastLevelCacheBytes();
// Physical memory available to start new work without swapping; 0 when
// unknown.
uint64_t AvailableMemoryBytes();
// Logical CPUs this process may run on; 0 when unknown.
unsigned UsableLogicalCpus();

// Memory for one array, straight from the OS and in large pages where it
// offers them, so that first touching it costs few page faults; null when
// there is not enough. FreeArray takes the same size back.
double* AllocateArray(size_t bytes);
void FreeArray(double* array, size_t bytes);

} // namespace Bandwidth

#endif
