// The clocks the timer probe examines, read through the OS.
#ifndef ULMORA_PROBE_TIMERCLOCKS_H
#define ULMORA_PROBE_TIMERCLOCKS_H

#include <cstdint>
#include <string>

namespace TimerProbe {

// A clock reading in the clock's own ticks.
using ReadFunction = int64_t (*)();

struct Clock {
    ReadFunction read = nullptr; // null when the OS lacks the clock
    double tickSeconds = 0;      // seconds per tick
    double reportedResolution = 0; // what the OS says, in seconds; 0 when it does not
};

Clock Monotonic();
Clock Wall();

// The OS's clock source for the monotonic clock ("tsc", "kvm-clock"), or
// empty.
std::string ClockSource();

} // namespace TimerProbe

#endif
