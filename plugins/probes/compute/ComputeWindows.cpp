#define NOMINMAX
#include <windows.h>

#include "ComputeOs.h"

namespace Compute {

unsigned UsableLogicalCpus()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        return 0;
    unsigned count = 0;
    for (; process != 0; process &= process - 1)
        ++count;
    return count;
}

} // namespace Compute
