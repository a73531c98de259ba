#include "ulmora/RegConfig.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "ulmora/ParameterTypes.h"

namespace Ulmora {

namespace {

namespace Store = Platform::Registry;

// "path\name": one backslash, and none for an empty path.
std::string ListKeyPath(const char* path, const std::string& name)
{
    std::string full(path);
    if (!full.empty() && full.back() != '\\')
        full += '\\';
    return full + name;
}

// The lists being written or read on this thread, outermost first. A list
// that holds itself, directly or further down, is visited once instead of
// recursing until the stack runs out.
thread_local std::vector<const ParameterList*> t_Visiting;

class VisitScope {
public:
    explicit VisitScope(const ParameterList* list)
        : m_Entered(std::find(t_Visiting.begin(), t_Visiting.end(), list) == t_Visiting.end())
    {
        if (m_Entered)
            t_Visiting.push_back(list);
    }
    ~VisitScope()
    {
        if (m_Entered)
            t_Visiting.pop_back();
    }
    VisitScope(const VisitScope&) = delete;
    VisitScope& operator=(const VisitScope&) = delete;
    bool Entered() const { return m_Entered; }

private:
    bool m_Entered;
};

ParameterList* NestedList(Parameter* parameter)
{
    ParameterList* nested = nullptr;
    parameter->GetValue(&nested, 0);
    return nested;
}

// The data of a value, or false when it is missing, empty or unreadable.
bool FetchValue(HKEY key, const std::string& name, std::vector<char>& data)
{
    uint32_t size = 0;
    if (Store::QueryValue(key, name.c_str(), nullptr, nullptr, &size) != Store::kSuccess ||
        size == 0)
        return false;
    data.assign(size, 0);
    if (Store::QueryValue(key, name.c_str(), nullptr,
                          reinterpret_cast<unsigned char*>(data.data()), &size) != Store::kSuccess)
        return false;
    data.resize(std::min<size_t>(size, data.size()));
    return true;
}

// The data as text: up to its first NUL or its end.
std::string AsText(const std::vector<char>& data)
{
    const auto end = std::find(data.begin(), data.end(), '\0');
    return std::string(data.begin(), end);
}

// Leading digits as "%li" takes them, within 32 bits; false when there are
// none or the number does not fit.
bool ParseInt32(const std::string& text, int32_t& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool ParseFloat(const std::string& text, float& value)
{
    int consumed = 0;
    float parsed = 0;
    if (std::sscanf(text.c_str(), "%g%n", &parsed, &consumed) != 1 || consumed == 0)
        return false;
    value = parsed;
    return true;
}

// The writer stores a bool's display text, "1" or "0"; "true" and "false"
// are taken too. Any other text leaves the parameter as it was.
bool ParseBool(const std::string& text, bool& value)
{
    if (text == "1" || text == "true") {
        value = true;
        return true;
    }
    if (text == "0" || text == "false") {
        value = false;
        return true;
    }
    return false;
}

void ReadDynamicList(HKEY key, Parameter* parameter, const std::string& name)
{
    std::vector<char> choices;
    uint32_t size = 0;
    if (Store::QueryValue(key, (name + "choices").c_str(), nullptr, nullptr, &size) !=
            Store::kSuccess ||
        size == 0)
        return; // without choices the selection is not read either
    choices.assign(size, 0);
    if (Store::QueryValue(key, (name + "choices").c_str(), nullptr,
                          reinterpret_cast<unsigned char*>(choices.data()), &size) ==
        Store::kSuccess) {
        // Walk the strings within the data only: a block that lacks its final
        // NULs ends where the data ends.
        choices.resize(std::min<size_t>(size, choices.size()));
        choices.push_back('\0');
        choices.push_back('\0');
        DoubleZeroString list;
        list.AddDoubleZero(choices.data());
        static_cast<ParameterDynamicList*>(parameter)->SetChoices(list);
    }

    unsigned char bytes[4] = {0, 0, 0, 0};
    uint32_t length = sizeof bytes;
    if (Store::QueryValue(key, name.c_str(), nullptr, bytes, &length) == Store::kSuccess &&
        length == sizeof bytes) {
        const int32_t index = static_cast<int32_t>(
            static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        parameter->SetValue(&index, 0);
    }
}

} // namespace

// --- writer ------------------------------------------------------------------

RegConfigWriter::RegConfigWriter() = default;
RegConfigWriter::~RegConfigWriter() = default;
RegConfigWriter& RegConfigWriter::operator=(const RegConfigWriter&)
{
    return *this;
}

void RegConfigWriter::WriteConfig(HKEY root, const char* path, ParameterList* list)
{
    if (path == nullptr || list == nullptr)
        return;
    VisitScope visit(list);
    if (!visit.Entered())
        return;
    HKEY key = nullptr;
    if (Store::CreateKey(root, ListKeyPath(path, list->GetName()).c_str(), &key) !=
        Store::kSuccess)
        return;
    WriteConfigSection(key, list);
    Store::CloseKey(key);
}

void RegConfigWriter::WriteConfigSection(HKEY key, ParameterList* list)
{
    for (uint32_t i = 0; i < list->GetNumParameters(); ++i) {
        Parameter* parameter = list->GetParameter(static_cast<int32_t>(i));
        if (parameter == nullptr)
            continue;
        const std::string name = parameter->GetName();
        switch (parameter->Type()) {
        case TypeParameterList:
            WriteConfig(key, "", NestedList(parameter));
            break;
        case TypeDynamicList: {
            auto* dynamicList = static_cast<ParameterDynamicList*>(parameter);
            DoubleZeroString choices;
            dynamicList->GetChoices(choices);
            Store::SetValue(key, (name + "choices").c_str(), Store::kTypeMultiSz,
                            reinterpret_cast<const unsigned char*>(
                                static_cast<const char*>(choices)),
                            choices.Size());
            int32_t index = 0;
            parameter->GetValue(&index, 0);
            const uint32_t bits = static_cast<uint32_t>(index);
            const unsigned char littleEndian[4] = {
                static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
            Store::SetValue(key, name.c_str(), Store::kTypeDword, littleEndian,
                            sizeof littleEndian);
            break;
        }
        default: {
            std::string text;
            parameter->GetDisplayValue(text);
            Store::SetValue(key, name.c_str(), Store::kTypeSz,
                            reinterpret_cast<const unsigned char*>(text.c_str()),
                            static_cast<uint32_t>(text.size() + 1));
            break;
        }
        }
    }
}

// --- reader ------------------------------------------------------------------

RegConfigReader::RegConfigReader() = default;
RegConfigReader::~RegConfigReader() = default;
RegConfigReader& RegConfigReader::operator=(const RegConfigReader&)
{
    return *this;
}

void RegConfigReader::ReadConfig(HKEY root, const char* path, ParameterList* list)
{
    if (path == nullptr || list == nullptr)
        return;
    VisitScope visit(list);
    if (!visit.Entered())
        return;
    HKEY key = nullptr;
    if (Store::OpenKey(root, ListKeyPath(path, list->GetName()).c_str(), &key) !=
        Store::kSuccess)
        return;
    ReadConfigSection(key, list);
    Store::CloseKey(key);
}

void RegConfigReader::ReadConfigSection(HKEY key, ParameterList* list)
{
    for (uint32_t i = 0; i < list->GetNumParameters(); ++i) {
        Parameter* parameter = list->GetParameter(static_cast<int32_t>(i));
        if (parameter == nullptr)
            continue;
        const std::string name = parameter->GetName();
        std::vector<char> data;
        switch (parameter->Type()) {
        case TypeInt: {
            int32_t value = 0;
            if (FetchValue(key, name, data) && ParseInt32(AsText(data), value))
                parameter->SetValue(&value, 0);
            break;
        }
        case TypeFloat: {
            float value = 0;
            if (FetchValue(key, name, data) && ParseFloat(AsText(data), value))
                parameter->SetValue(&value, 0);
            break;
        }
        case TypeString:
            if (FetchValue(key, name, data))
                parameter->SetValue(AsText(data).c_str(), 0);
            break;
        case TypeBool: {
            bool value = false;
            if (FetchValue(key, name, data) && ParseBool(AsText(data), value)) {
                const unsigned char byte = value ? 1 : 0;
                parameter->SetValue(&byte, 0);
            }
            break;
        }
        case TypeParameterList:
            ReadConfig(key, "", NestedList(parameter));
            break;
        case TypeDynamicList:
            ReadDynamicList(key, parameter, name);
            break;
        default:
            break; // written for people only
        }
    }
}

} // namespace Ulmora
