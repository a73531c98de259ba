// What the compute probe asks of the operating system.
#ifndef ULMORA_COMPUTE_OS_H
#define ULMORA_COMPUTE_OS_H

namespace Compute {

// Logical CPUs this process may run on; 0 when the OS does not say.
unsigned UsableLogicalCpus();

} // namespace Compute

#endif
