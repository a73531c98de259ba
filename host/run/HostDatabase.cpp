#include "run/HostDatabase.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "ulmora/Exception.h"
#include "ulmora/Log.h"

namespace Host {

namespace {

// Room over the key format's length, as the library's store allows.
const size_t kTextKeyRoom = 512;
const size_t kListKeyRoom = 256;

// Formats a key; false when it does not fit `bound` (the add is dropped and
// a read finds nothing, as in the library's store).
bool FormatKey(size_t bound, const char* format, va_list args, std::string* key)
{
    std::vector<char> buffer(bound);
    const int length = std::vsnprintf(buffer.data(), bound, format, args);
    if (length < 0 || static_cast<size_t>(length) >= bound)
        return false;
    key->assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

void LowerAscii(std::string* text)
{
    for (char& c : *text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

} // namespace

// The variadic adds differ only in how the value becomes text.
#define HOST_ADD(keyFormat, last, text)                                                            \
    do {                                                                                           \
        va_list args;                                                                              \
        va_start(args, last);                                                                      \
        AddText(keyFormat, text, args);                                                            \
        va_end(args);                                                                              \
    } while (0)

#define HOST_GET(result, keyFormat, index)                                                         \
    std::string result;                                                                            \
    do {                                                                                           \
        va_list args;                                                                              \
        va_start(args, index);                                                                     \
        try {                                                                                      \
            result = GetText(keyFormat, index, args);                                              \
        } catch (...) {                                                                            \
            va_end(args);                                                                          \
            throw;                                                                                 \
        }                                                                                          \
        va_end(args);                                                                              \
    } while (0)

void HostDatabase::Clear()
{
    m_Values.clear();
    m_Share.clear();
}

void HostDatabase::AddUInt8(const char* keyFormat, uint8_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIu32, static_cast<uint32_t>(value));
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddInt8(const char* keyFormat, int8_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIi32, static_cast<int32_t>(value));
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddUInt16(const char* keyFormat, uint16_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%hu", value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddInt16(const char* keyFormat, int16_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%hi", value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddUInt32(const char* keyFormat, uint32_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIu32, value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddInt32(const char* keyFormat, int32_t value, ...)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRIi32, value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddUInt64(const char* keyFormat, uint64_t value, ...)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddInt64(const char* keyFormat, int64_t value, ...)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIi64, value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddFloat(const char* keyFormat, float value, ...)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", static_cast<double>(value));
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddDouble(const char* keyFormat, double value, ...)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.20lg", value);
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddBool(const char* keyFormat, bool value, ...)
{
    const char* text = value ? "true" : "false";
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddString(const char* keyFormat, const char* value, ...)
{
    const char* text = value != nullptr ? value : "";
    HOST_ADD(keyFormat, value, text);
}

void HostDatabase::AddText(const char* keyFormat, const char* value, va_list args)
{
    if (keyFormat == nullptr)
        return;
    std::string key;
    if (!FormatKey(std::strlen(keyFormat) + kTextKeyRoom, keyFormat, args, &key))
        return;
    LowerAscii(&key);
    m_Values[key].push_back(value);
    for (KeyValues& entry : m_Share) {
        if (entry.key == key) {
            entry.values.push_back(value);
            return;
        }
    }
    m_Share.push_back(KeyValues{key, {value}});
}

std::string HostDatabase::GetText(const char* keyFormat, uint32_t index, va_list args) const
{
    std::string key;
    if (keyFormat == nullptr ||
        !FormatKey(std::strlen(keyFormat) + kTextKeyRoom, keyFormat, args, &key))
        return std::string();
    const auto it = m_Values.find(key);
    if (it == m_Values.end())
        throw Ulmora::ResultNotFoundException(key);
    if (index >= it->second.size())
        throw Ulmora::ResultIndexOutOfBoundException(index);
    return it->second[index];
}

uint8_t HostDatabase::GetUInt8(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    uint32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu32, &value);
    return static_cast<uint8_t>(value & 0xFFu);
}

int8_t HostDatabase::GetInt8(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    int32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi32, &value);
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu));
}

uint16_t HostDatabase::GetUInt16(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    unsigned short value = 0;
    std::sscanf(text.c_str(), "%hu", &value);
    return value;
}

int16_t HostDatabase::GetInt16(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    short value = 0;
    std::sscanf(text.c_str(), "%hi", &value);
    return value;
}

uint32_t HostDatabase::GetUInt32(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    uint32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu32, &value);
    return value;
}

int32_t HostDatabase::GetInt32(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    int32_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi32, &value);
    return value;
}

uint64_t HostDatabase::GetUInt64(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    uint64_t value = 0;
    std::sscanf(text.c_str(), "%" SCNu64, &value);
    return value;
}

int64_t HostDatabase::GetInt64(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    int64_t value = 0;
    std::sscanf(text.c_str(), "%" SCNi64, &value);
    return value;
}

float HostDatabase::GetFloat(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    float value = 0.0f;
    std::sscanf(text.c_str(), "%g", &value);
    return value;
}

double HostDatabase::GetDouble(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    double value = 0.0;
    std::sscanf(text.c_str(), "%lg", &value);
    return value;
}

bool HostDatabase::GetBool(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    return text == "true";
}

std::string HostDatabase::GetString(const char* keyFormat, uint32_t index, ...) const
{
    HOST_GET(text, keyFormat, index);
    return text;
}

DoubleZeroString HostDatabase::GetValues(const char* keyFormat, ...) const
{
    va_list args;
    va_start(args, keyFormat);
    std::string key;
    const bool fits =
        keyFormat != nullptr && FormatKey(std::strlen(keyFormat) + kListKeyRoom, keyFormat, args, &key);
    va_end(args);
    const auto it = fits ? m_Values.find(key) : m_Values.end();
    if (it == m_Values.end())
        throw Ulmora::ResultNotFoundException(key);
    DoubleZeroString values;
    for (const std::string& value : it->second) {
        if (value.empty())
            break;
        values.Add(value.c_str());
    }
    return values;
}

uint32_t HostDatabase::GetValueCount(const char* keyFormat, ...) const
{
    va_list args;
    va_start(args, keyFormat);
    std::string key;
    const bool fits =
        keyFormat != nullptr && FormatKey(std::strlen(keyFormat) + kListKeyRoom, keyFormat, args, &key);
    va_end(args);
    if (!fits)
        return 0;
    const auto it = m_Values.find(key);
    return it == m_Values.end() ? 0 : static_cast<uint32_t>(it->second.size());
}

std::string HostDatabase::GetAsText() const
{
    std::string text;
    for (const auto& entry : m_Values)
        for (const std::string& value : entry.second)
            text += entry.first + "\t" + value + "\n";
    return text;
}

void HostDatabase::WriteToLog(Log::Logger* logger) const
{
    if (logger == nullptr)
        return;
    for (const auto& entry : m_Values)
        for (const std::string& value : entry.second)
            logger->PrintNoModule("%s", (entry.first + "\t" + value + "\n").c_str());
}

std::vector<KeyValues> HostDatabase::TakeShare()
{
    std::vector<KeyValues> share;
    share.swap(m_Share);
    return share;
}

const std::string* HostDatabase::First(const std::string& key) const
{
    const std::vector<std::string>* values = Find(key);
    return values != nullptr && !values->empty() ? &values->front() : nullptr;
}

const std::vector<std::string>* HostDatabase::Find(const std::string& key) const
{
    const auto it = m_Values.find(key);
    return it == m_Values.end() ? nullptr : &it->second;
}

#undef HOST_ADD
#undef HOST_GET

} // namespace Host
