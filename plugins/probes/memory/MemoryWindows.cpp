// The memory probe on Windows: GlobalMemoryStatusEx. Windows reports the
// commit limit (physical memory plus page files), so the swap figures are
// what the page files add to physical memory.
#define NOMINMAX
#include <windows.h>

#include "MemoryInfo.h"

namespace MemoryProbe {

void Read(Info& info)
{
    SYSTEM_INFO system {};
    GetNativeSystemInfo(&system);
    info.pageSize = system.dwPageSize;
    MEMORYSTATUSEX status {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        info.missing.push_back("GlobalMemoryStatusEx failed");
        return;
    }
    info.total = status.ullTotalPhys;
    info.available = status.ullAvailPhys;
    info.haveTotal = info.haveAvailable = true;
    info.swapTotal = status.ullTotalPageFile > status.ullTotalPhys ? status.ullTotalPageFile - status.ullTotalPhys : 0;
    info.swapFree = status.ullAvailPageFile > status.ullAvailPhys ? status.ullAvailPageFile - status.ullAvailPhys : 0;
    if (info.swapFree > info.swapTotal)
        info.swapFree = info.swapTotal;
    info.haveSwap = true;
}

} // namespace MemoryProbe
