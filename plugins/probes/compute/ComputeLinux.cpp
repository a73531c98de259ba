#include <sched.h>

#include "ComputeOs.h"

namespace Compute {

unsigned UsableLogicalCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 0;
    return static_cast<unsigned>(CPU_COUNT(&set));
}

} // namespace Compute
