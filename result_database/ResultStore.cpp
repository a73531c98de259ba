#include "result_database/ResultStore.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <tuple>
#include <utility>

#include "ulmora/Exception.h"
#include "ulmora/Log.h"

// A note on va_start: the typed operations take their value (float, bool,
// 8- and 16-bit integers) as the last named parameter, a type that argument
// promotion would change. The language leaves va_start after such a
// parameter undefined, but the signatures are a binary contract with
// separately built plug-ins and cannot change. GCC's va_start locates the
// variable arguments from the function's own parameter list, not from the
// named parameter's type, so the key arguments are read correctly on every
// target we build (x86-64 System V, i686 cdecl).

namespace Ulmora {

namespace {

// Room over the key format's own length for a key that AddTextV and GetTextV
// accept, terminating NUL included; GetValues and GetValueCount allow less.
const size_t kTextKeyRoom = 512;
const size_t kListKeyRoom = 256;

// A key formatted from a key format and its arguments, on the stack unless the
// bound asks for more room than the stack buffer has.
class FormattedKey {
public:
    // `bound` counts the terminating NUL. A key that needs more is "too long";
    // its full length is still known through NeededLength.
    FormattedKey(size_t bound, const char* format, va_list& args) : m_Text(m_Stack)
    {
        char* buffer = m_Stack;
        if (bound > sizeof m_Stack) {
            m_Heap.reset(new char[bound]);
            buffer = m_Heap.get();
        }
        m_Text = buffer;
        const int length = std::vsnprintf(buffer, bound, format, args);
        m_Needed = length < 0 ? 0 : static_cast<size_t>(length);
        // An encoding error counts as too long: there is no key to file under.
        m_Fits = length >= 0 && static_cast<size_t>(length) < bound;
    }

    bool Fits() const { return m_Fits; }
    size_t NeededLength() const { return m_Needed; }
    char* Data() { return m_Text; }
    std::string_view View() const { return std::string_view(m_Text, m_Needed); }

private:
    FormattedKey(const FormattedKey&) = delete;
    FormattedKey& operator=(const FormattedKey&) = delete;

    char m_Stack[1024];
    std::unique_ptr<char[]> m_Heap;
    char* m_Text;
    size_t m_Needed = 0;
    bool m_Fits = false;
};

// ASCII only: the lowering must not depend on the process locale.
void LowerAscii(char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (text[i] >= 'A' && text[i] <= 'Z')
            text[i] = static_cast<char>(text[i] - 'A' + 'a');
    }
}

} // namespace

// The typed operations differ only in their conversion. These wrap the
// variable argument list around the call to AddTextV / GetTextV, so that
// va_end runs even when the lookup raises.
#define ULMORA_ADD_TEXT(keyFormat, lastNamed, text)                                                \
    do {                                                                                           \
        va_list args;                                                                              \
        va_start(args, lastNamed);                                                                 \
        try {                                                                                      \
            AddTextV(keyFormat, text, args);                                                       \
        } catch (...) {                                                                            \
            va_end(args);                                                                          \
            throw;                                                                                 \
        }                                                                                          \
        va_end(args);                                                                              \
    } while (0)

#define ULMORA_GET_TEXT(result, keyFormat, index)                                                  \
    std::string result;                                                                            \
    do {                                                                                           \
        va_list args;                                                                              \
        va_start(args, index);                                                                     \
        try {                                                                                      \
            result = GetTextV(keyFormat, index, args);                                             \
        } catch (...) {                                                                            \
            va_end(args);                                                                          \
            throw;                                                                                 \
        }                                                                                          \
        va_end(args);                                                                              \
    } while (0)

ResultStore::ResultStore() : m_Results(&m_Nodes) {}

ResultStore::~ResultStore() = default;

void ResultStore::Clear()
{
    m_Results.clear();
    m_Nodes.release();
}

// ---- adds -----------------------------------------------------------------
// Each buffer holds the longest text its conversion can write.

void ResultStore::AddUInt8(const char* keyFormat, uint8_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIu32, static_cast<uint32_t>(value));
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddInt8(const char* keyFormat, int8_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIi32, static_cast<int32_t>(value));
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddUInt16(const char* keyFormat, uint16_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%hu", value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddInt16(const char* keyFormat, int16_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%hi", value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddUInt32(const char* keyFormat, uint32_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIu32, value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddInt32(const char* keyFormat, int32_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIi32, value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddUInt64(const char* keyFormat, uint64_t value, ...)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddInt64(const char* keyFormat, int64_t value, ...)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIi64, value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddFloat(const char* keyFormat, float value, ...)
{
    // "-d.ddddddddde+XXX" at most, or nan/inf.
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", static_cast<double>(value));
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddDouble(const char* keyFormat, double value, ...)
{
    // "-d.<19 digits>e+XXX" at most, or nan/inf.
    char text[48];
    std::snprintf(text, sizeof text, "%.20lg", value);
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddBool(const char* keyFormat, bool value, ...)
{
    const char* text = value ? "true" : "false";
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddString(const char* keyFormat, const char* value, ...)
{
    // A null text would crash the copy; it is kept as an empty value instead.
    const char* text = value != nullptr ? value : "";
    ULMORA_ADD_TEXT(keyFormat, value, text);
}

void ResultStore::AddTextV(const char* keyFormat, const char* value, va_list& args)
{
    FormattedKey key(std::strlen(keyFormat) + kTextKeyRoom, keyFormat, args);
    if (!key.Fits())
        return;
    LowerAscii(key.Data(), key.NeededLength());
    const std::string_view lowered = key.View();
    auto it = m_Results.lower_bound(lowered);
    if (it == m_Results.end() || it->first != lowered) {
        it = m_Results.emplace_hint(it, std::piecewise_construct, std::forward_as_tuple(lowered),
                                    std::forward_as_tuple());
    }
    it->second.Add(value);
}

// ---- typed gets -----------------------------------------------------------
// The scan leaves its target untouched when the text does not parse, so a
// text that is not a number reads as 0.

uint8_t ResultStore::GetUInt8(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    uint32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu32, &value);
    return static_cast<uint8_t>(value & 0xFFu);
}

int8_t ResultStore::GetInt8(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    int32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi32, &value);
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu));
}

uint16_t ResultStore::GetUInt16(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    unsigned short value = 0;
    std::sscanf(text.c_str(), "%hu", &value);
    return value;
}

int16_t ResultStore::GetInt16(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    short value = 0;
    std::sscanf(text.c_str(), "%hi", &value);
    return value;
}

uint32_t ResultStore::GetUInt32(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    uint32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu32, &value);
    return value;
}

int32_t ResultStore::GetInt32(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    int32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi32, &value);
    return value;
}

uint64_t ResultStore::GetUInt64(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    uint64_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu64, &value);
    return value;
}

int64_t ResultStore::GetInt64(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    int64_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi64, &value);
    return value;
}

float ResultStore::GetFloat(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    float value = 0.0f;
    std::sscanf(text.c_str(), "%g", &value);
    return value;
}

double ResultStore::GetDouble(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    double value = 0.0;
    std::sscanf(text.c_str(), "%lg", &value);
    return value;
}

bool ResultStore::GetBool(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    return text == "true";
}

std::string ResultStore::GetString(const char* keyFormat, uint32_t index, ...) const
{
    ULMORA_GET_TEXT(text, keyFormat, index);
    return text;
}

std::string ResultStore::GetTextV(const char* keyFormat, uint32_t index, va_list& args) const
{
    FormattedKey key(std::strlen(keyFormat) + kTextKeyRoom, keyFormat, args);
    if (!key.Fits())
        return std::string();
    const auto it = m_Results.find(key.View());
    if (it == m_Results.end())
        throw ResultNotFoundException(std::string(key.View()));
    const DoubleZeroString& values = it->second;
    if (index >= values.GetCount())
        throw ResultIndexOutOfBoundException(index);
    return std::string(values.Get(index), values.Length(index));
}

// ---- lists, counts, text --------------------------------------------------

DoubleZeroString ResultStore::GetValues(const char* keyFormat, ...) const
{
    va_list args;
    va_start(args, keyFormat);
    va_list again;
    va_copy(again, args);
    FormattedKey key(std::strlen(keyFormat) + kListKeyRoom, keyFormat, args);
    va_end(args);

    // A key longer than this operation's bound counts as absent.
    const DoubleZeroString* values = nullptr;
    if (key.Fits()) {
        const auto it = m_Results.find(key.View());
        if (it != m_Results.end())
            values = &it->second;
    }
    std::string missing;
    if (values == nullptr) {
        // Name the whole key in the error, also when it was cut to the bound.
        if (key.Fits()) {
            missing.assign(key.View());
        } else {
            missing.resize(key.NeededLength());
            std::vsnprintf(&missing[0], missing.size() + 1, keyFormat, again);
        }
    }
    va_end(again);
    if (values == nullptr)
        throw ResultNotFoundException(missing);
    return *values;
}

uint32_t ResultStore::GetValueCount(const char* keyFormat, ...) const
{
    va_list args;
    va_start(args, keyFormat);
    FormattedKey key(std::strlen(keyFormat) + kListKeyRoom, keyFormat, args);
    va_end(args);
    if (!key.Fits())
        return 0;
    const auto it = m_Results.find(key.View());
    return it == m_Results.end() ? 0 : it->second.GetCount();
}

std::string ResultStore::GetAsText() const
{
    // The size is known up front: per value the key, a tab, the value and a
    // line feed. The block's used bytes already count each value and its NUL,
    // and every NUL becomes the line feed.
    size_t total = 0;
    for (const auto& entry : m_Results) {
        const DoubleZeroString& values = entry.second;
        total += static_cast<size_t>(values.GetCount()) * (entry.first.size() + 1) + (values.Size() - 1);
    }
    std::string text(total, '\0');
    char* out = total != 0 ? &text[0] : nullptr;
    for (const auto& entry : m_Results) {
        const std::string& key = entry.first;
        const DoubleZeroString& values = entry.second;
        const uint32_t count = values.GetCount();
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t length = values.Length(i);
            std::memcpy(out, key.data(), key.size());
            out += key.size();
            *out++ = '\t';
            std::memcpy(out, values.Get(i), length);
            out += length;
            *out++ = '\n';
        }
    }
    return text;
}

void ResultStore::WriteToLog(Log::Logger* logger) const
{
    if (logger == nullptr)
        return;
    std::string line;
    for (const auto& entry : m_Results) {
        const DoubleZeroString& values = entry.second;
        const uint32_t count = values.GetCount();
        for (uint32_t i = 0; i < count; ++i) {
            line.assign(entry.first);
            line += '\t';
            line.append(values.Get(i), values.Length(i));
            line += '\n';
            // The line is an argument, never a format: keys and values may
            // hold percent signs.
            logger->PrintNoModule("%s", line.c_str());
        }
    }
}

#undef ULMORA_ADD_TEXT
#undef ULMORA_GET_TEXT

} // namespace Ulmora
