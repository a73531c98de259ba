// The timer probe on Linux: clock_gettime and clock_getres on
// CLOCK_MONOTONIC and CLOCK_REALTIME, and the clock source in sysfs.
#include <time.h>

#include <cstdio>

#include "TimerClocks.h"

namespace TimerProbe {
namespace {

int64_t Read(clockid_t id)
{
    timespec now {};
    clock_gettime(id, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t ReadMonotonic()
{
    return Read(CLOCK_MONOTONIC);
}

int64_t ReadWall()
{
    return Read(CLOCK_REALTIME);
}

Clock Of(clockid_t id, ReadFunction read)
{
    Clock clock;
    timespec resolution {};
    if (clock_getres(id, &resolution) != 0)
        return clock;
    clock.read = read;
    clock.tickSeconds = 1e-9;
    clock.reportedResolution = resolution.tv_sec + resolution.tv_nsec * 1e-9;
    return clock;
}

} // namespace

Clock Monotonic()
{
    return Of(CLOCK_MONOTONIC, ReadMonotonic);
}

Clock Wall()
{
    return Of(CLOCK_REALTIME, ReadWall);
}

std::string ClockSource()
{
    std::string text;
    if (std::FILE* file = std::fopen("/sys/devices/system/clocksource/clocksource0/current_clocksource", "r")) {
        char buffer[64];
        if (std::fgets(buffer, sizeof buffer, file) != nullptr)
            text = buffer;
        std::fclose(file);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace TimerProbe
