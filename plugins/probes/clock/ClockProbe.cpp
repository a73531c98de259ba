// clock: the calendar time of the run (UTC) and how long the machine's
// monotonic clock has been running, which on most systems is the uptime.
#include <chrono>
#include <ctime>

#include "ulmora/Ulmora.h"

namespace {

class ClockTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        const std::time_t now = std::time(nullptr);
        char text[32] = "";
        if (const std::tm* utc = std::gmtime(&now))
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
        database->AddString("clock.utc", text);
        const auto running = std::chrono::steady_clock::now().time_since_epoch();
        database->AddUInt64("clock.monotonic.seconds",
                            static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(running).count()));
        return 0;
    }
};

} // namespace

ULMORA_PROBE(ClockTest, "clock", 1001, 1)
