#include "report/Report.h"

#include <cmath>
#include <cstdlib>

#include "Command.h"

namespace Host {

std::string ProbeRecord::Status() const
{
    for (const KeyValues& entry : values) {
        const size_t dot = entry.key.rfind('.');
        if (dot != std::string::npos && entry.key.compare(dot, std::string::npos, ".status") == 0 &&
            !entry.values.empty())
            return entry.values.front();
    }
    return std::string();
}

std::string Report::Value(const std::string& key) const
{
    const std::string* value = database != nullptr ? database->First(key) : nullptr;
    return value != nullptr ? *value : std::string();
}

std::string UnitOf(const std::string& key)
{
    // Longest first: "_bytes_per_second" is a rate, not a size.
    static const char* const kUnits[] = {"bytes_per_second", "per_second", "bytes", "seconds",
                                         "hertz", "ratio", "count", "bits"};
    for (const char* unit : kUnits) {
        const std::string word(unit);
        if (key.size() <= word.size())
            continue;
        const char before = key[key.size() - word.size() - 1];
        if ((before == '_' || before == '.') &&
            key.compare(key.size() - word.size(), word.size(), word) == 0)
            return word;
    }
    return std::string();
}

bool IsNumericKey(const std::string& key)
{
    return !UnitOf(key).empty();
}

bool ParseNumber(const std::string& text, double* value)
{
    if (text.empty())
        return false;
    const char* begin = text.c_str();
    // strtod takes leading blanks and hex; a stored number has neither.
    if (!(begin[0] == '-' || (begin[0] >= '0' && begin[0] <= '9')))
        return false;
    char* end = nullptr;
    const double parsed = std::strtod(begin, &end);
    if (end != begin + text.size() || !std::isfinite(parsed))
        return false;
    if (text.find_first_of("xXpP") != std::string::npos)
        return false;
    *value = parsed;
    return true;
}

int AnswerStatus(uint32_t answer)
{
    return static_cast<int>(answer < kMaxAnswerStatus ? answer : kMaxAnswerStatus);
}

} // namespace Host
