// What the memory-bandwidth probe asks of the operating system when the
// cpu and memory probes left no answer.
#ifndef ULMORA_BANDWIDTH_OS_H
#define ULMORA_BANDWIDTH_OS_H

#include <cstdint>

namespace Bandwidth {

// Size of the largest (last-level) data or unified cache; 0 when unknown.
uint64_t LastLevelCacheBytes();
// Physical memory available to start new work without swapping; 0 when
// unknown.
uint64_t AvailableMemoryBytes();
// Logical CPUs this process may run on; 0 when unknown.
unsigned UsableLogicalCpus();

} // namespace Bandwidth

#endif
