#include "ulmora/RegConfig.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ulmora/ParameterTypes.h"

namespace Ulmora {

namespace {

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
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size == 0)
        return false;
    data.assign(size, 0);
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                         reinterpret_cast<LPBYTE>(data.data()), &size) != ERROR_SUCCESS)
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
    DWORD size = 0;
    if (RegQueryValueExA(key, (name + "choices").c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0)
        return; // without choices the selection is not read either
    choices.assign(size, 0);
    if (RegQueryValueExA(key, (name + "choices").c_str(), nullptr, nullptr,
                         reinterpret_cast<LPBYTE>(choices.data()), &size) == ERROR_SUCCESS) {
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
    DWORD length = sizeof bytes;
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, bytes, &length) == ERROR_SUCCESS &&
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
    if (RegCreateKeyExA(root, ListKeyPath(path, list->GetName()).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    WriteConfigSection(key, list);
    RegCloseKey(key);
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
            RegSetValueExA(key, (name + "choices").c_str(), 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(static_cast<const char*>(choices)),
                           choices.Size());
            int32_t index = 0;
            parameter->GetValue(&index, 0);
            const uint32_t bits = static_cast<uint32_t>(index);
            const BYTE littleEndian[4] = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                                          static_cast<BYTE>(bits >> 16),
                                          static_cast<BYTE>(bits >> 24)};
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, littleEndian, sizeof littleEndian);
            break;
        }
        default: {
            std::string text;
            parameter->GetDisplayValue(text);
            RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1));
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
    if (RegOpenKeyExA(root, ListKeyPath(path, list->GetName()).c_str(), 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
        return;
    ReadConfigSection(key, list);
    RegCloseKey(key);
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
