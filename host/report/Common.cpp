#include <cmath>
#include <cstdio>

#include "report/Formats.h"

namespace Host {

std::string StatusWord(uint32_t answer)
{
    switch (answer) {
    case 0: return "OK";
    case 1: return "WARNING";
    case 2: return "CRITICAL";
    default: return "UNKNOWN";
    }
}

namespace {

std::string Fixed(double value, int decimals, const char* suffix)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, suffix);
    return text;
}

// Scales by `step` (1024 or 1000) through `names`.
std::string Scaled(double value, double step, const char* const* names, int count)
{
    int i = 0;
    double scaled = value;
    while (i + 1 < count && std::fabs(scaled) >= step) {
        scaled /= step;
        ++i;
    }
    return Fixed(scaled, i == 0 ? 0 : (std::fabs(scaled) < 10 ? 2 : 1), names[i]);
}

std::string Duration(double seconds)
{
    if (seconds < 0.001)
        return Fixed(seconds * 1e6, 0, "µs");
    if (seconds < 1.0)
        return Fixed(seconds * 1e3, seconds < 0.01 ? 2 : 1, "ms");
    if (seconds < 120.0)
        return Fixed(seconds, 2, "s");
    const long long total = static_cast<long long>(seconds);
    char text[64];
    if (total < 86400)
        std::snprintf(text, sizeof text, "%lld h %02lld min", total / 3600, (total / 60) % 60);
    else
        std::snprintf(text, sizeof text, "%lld d %lld h", total / 86400, (total / 3600) % 24);
    return text;
}

} // namespace

std::string HumanValue(const std::string& unit, const std::string& text)
{
    double value = 0.0;
    const bool number = ParseNumber(text, &value);
    if (!number || unit.empty())
        return text;
    static const char* const kBinary[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    static const char* const kRates[] = {"B/s", "kB/s", "MB/s", "GB/s", "TB/s"};
    static const char* const kHertz[] = {"Hz", "kHz", "MHz", "GHz", "THz"};
    static const char* const kPerSecond[] = {"/s", "k/s", "M/s", "G/s", "T/s"};
    if (unit == "bytes")
        return Scaled(value, 1024.0, kBinary, 6);
    if (unit == "bytes_per_second")
        return Scaled(value, 1000.0, kRates, 5);
    if (unit == "hertz")
        return Scaled(value, 1000.0, kHertz, 5);
    if (unit == "per_second" || unit == "ops_per_second")
        return Scaled(value, 1000.0, kPerSecond, 5);
    if (unit == "seconds")
        return Duration(value);
    if (unit == "ratio")
        return Fixed(value * 100.0, 1, "%");
    if (unit == "bits")
        return Fixed(value, 0, "bits");
    if (unit == "count" || unit == "score") {
        char whole[64];
        std::snprintf(whole, sizeof whole, "%.0f", value);
        return whole;
    }
    return text;
}

bool ToValidUtf8(const std::string& text, std::string* out)
{
    out->clear();
    out->reserve(text.size());
    bool replaced = false;
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        unsigned int low = 0x80, high = 0xBF;  // the second byte's range
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;  // no overlong forms
            if (c == 0xED)
                high = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F;  // nothing above U+10FFFF
        }
        bool good = length > 0 && i + length <= size;
        for (size_t k = 1; good && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            const unsigned int from = k == 1 ? low : 0x80;
            const unsigned int to = k == 1 ? high : 0xBF;
            good = next >= from && next <= to;
        }
        if (good) {
            out->append(text, i, length);
            i += length;
        } else {
            out->append("\xEF\xBF\xBD");
            replaced = true;
            ++i;
        }
    }
    return replaced;
}

} // namespace Host
