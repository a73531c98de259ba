// The timer probe on Windows: QueryPerformanceCounter for the monotonic
// clock; GetSystemTimePreciseAsFileTime (Windows 8 and later) or else
// GetSystemTimeAsFileTime for the wall clock, whose step
// GetSystemTimeAdjustment reports.
#define NOMINMAX
#include <windows.h>

#include "TimerClocks.h"

namespace TimerProbe {
namespace {

using PreciseTimeFunction = VOID(WINAPI*)(LPFILETIME);
PreciseTimeFunction g_Precise = nullptr;

int64_t ReadCounter()
{
    LARGE_INTEGER now {};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t FileTimeTicks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

int64_t ReadPrecise()
{
    FILETIME now {};
    g_Precise(&now);
    return FileTimeTicks(now);
}

int64_t ReadCoarse()
{
    FILETIME now {};
    GetSystemTimeAsFileTime(&now);
    return FileTimeTicks(now);
}

} // namespace

Clock Monotonic()
{
    Clock clock;
    LARGE_INTEGER frequency {};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return clock;
    clock.read = ReadCounter;
    clock.tickSeconds = 1.0 / static_cast<double>(frequency.QuadPart);
    clock.reportedResolution = clock.tickSeconds;
    return clock;
}

Clock Wall()
{
    Clock clock;
    clock.tickSeconds = 1e-7;  // FILETIME counts 100 ns
    g_Precise = reinterpret_cast<PreciseTimeFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    clock.read = g_Precise != nullptr ? ReadPrecise : ReadCoarse;
    DWORD adjustment = 0, increment = 0;
    BOOL disabled = FALSE;
    if (g_Precise == nullptr && GetSystemTimeAdjustment(&adjustment, &increment, &disabled) && increment != 0)
        clock.reportedResolution = increment * 1e-7;
    else if (g_Precise != nullptr)
        clock.reportedResolution = 1e-7;
    return clock;
}

std::string ClockSource()
{
    return "";
}

} // namespace TimerProbe
