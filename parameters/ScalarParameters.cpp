#include <cstdio>
#include <cstring>

#include "parameters/ParameterValueCopy.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"

using Ulmora::Parameters::ReadValueOfSameType;

namespace {
// Display texts are formatted into a buffer of this size.
const size_t kDisplayBuffer = 256;
} // namespace

// --- ParameterInt ------------------------------------------------------------

ParameterInt::ParameterInt(int32_t* variable) : m_Variable(variable) {}
ParameterInt::ParameterInt(const ParameterInt& other) = default;
ParameterInt::~ParameterInt() = default;

ParameterInt& ParameterInt::operator=(const ParameterInt& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    return *this;
}

ParameterType ParameterInt::Type() const
{
    return TypeInt;
}

void ParameterInt::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<int32_t*>(variable);
}

void* ParameterInt::GetVariablePointer()
{
    return m_Variable;
}

void ParameterInt::operator=(const Parameter& other)
{
    int32_t value = 0;
    if (ReadValueOfSameType<ParameterInt>(*this, other, value))
        SetValue(value);
}

void ParameterInt::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, sizeof(int32_t));
}

void ParameterInt::SetValue(const void* value, uint32_t /*size*/)
{
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    SetValue(v);
}

void ParameterInt::GetDisplayValue(std::string& text) const
{
    char buffer[kDisplayBuffer];
    std::snprintf(buffer, sizeof buffer, "%li", static_cast<long>(*m_Variable));
    text = buffer;
}

void ParameterInt::GetValue(int32_t& value) const
{
    value = *m_Variable;
}

void ParameterInt::SetValue(int32_t value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

// --- ParameterFloat ----------------------------------------------------------

ParameterFloat::ParameterFloat(float* variable) : m_Variable(variable) {}
ParameterFloat::ParameterFloat(const ParameterFloat& other) = default;
ParameterFloat::~ParameterFloat() = default;

ParameterFloat& ParameterFloat::operator=(const ParameterFloat& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    return *this;
}

ParameterType ParameterFloat::Type() const
{
    return TypeFloat;
}

void ParameterFloat::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<float*>(variable);
}

void* ParameterFloat::GetVariablePointer()
{
    return m_Variable;
}

void ParameterFloat::operator=(const Parameter& other)
{
    float value = 0;
    if (ReadValueOfSameType<ParameterFloat>(*this, other, value))
        SetValue(value);
}

void ParameterFloat::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, sizeof(float));
}

void ParameterFloat::SetValue(const void* value, uint32_t /*size*/)
{
    float v;
    std::memcpy(&v, value, sizeof v);
    SetValue(v);
}

void ParameterFloat::GetDisplayValue(std::string& text) const
{
    char buffer[kDisplayBuffer];
    std::snprintf(buffer, sizeof buffer, "%.10g", static_cast<double>(*m_Variable));
    text = buffer;
}

void ParameterFloat::GetValue(float& value) const
{
    value = *m_Variable;
}

void ParameterFloat::SetValue(float value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

// --- ParameterBool -----------------------------------------------------------

ParameterBool::ParameterBool(bool* variable) : m_Variable(variable) {}
ParameterBool::ParameterBool(const ParameterBool& other) = default;
ParameterBool::~ParameterBool() = default;

ParameterBool& ParameterBool::operator=(const ParameterBool& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    return *this;
}

ParameterType ParameterBool::Type() const
{
    return TypeBool;
}

void ParameterBool::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<bool*>(variable);
}

void* ParameterBool::GetVariablePointer()
{
    return m_Variable;
}

void ParameterBool::operator=(const Parameter& other)
{
    bool value = false;
    if (ReadValueOfSameType<ParameterBool>(*this, other, value))
        SetValue(value);
}

void ParameterBool::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, 1);
}

void ParameterBool::SetValue(const void* value, uint32_t /*size*/)
{
    // The byte is read as a byte: any value other than 0 is true.
    SetValue(*static_cast<const unsigned char*>(value) != 0);
}

void ParameterBool::GetDisplayValue(std::string& text) const
{
    // The stored byte itself, read without assuming it is 0 or 1.
    unsigned char byte;
    std::memcpy(&byte, m_Variable, 1);
    char buffer[kDisplayBuffer];
    std::snprintf(buffer, sizeof buffer, "%lu", static_cast<unsigned long>(byte));
    text = buffer;
}

void ParameterBool::GetValue(bool& value) const
{
    value = *m_Variable;
}

void ParameterBool::SetValue(bool value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

// --- ParameterString ---------------------------------------------------------

ParameterString::ParameterString(std::string* variable) : m_Variable(variable) {}
ParameterString::ParameterString(const ParameterString& other) = default;
ParameterString::~ParameterString() = default;

ParameterString& ParameterString::operator=(const ParameterString& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    return *this;
}

ParameterType ParameterString::Type() const
{
    return TypeString;
}

void ParameterString::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<std::string*>(variable);
}

void* ParameterString::GetVariablePointer()
{
    return m_Variable;
}

void ParameterString::operator=(const Parameter& other)
{
    std::string value;
    if (ReadValueOfSameType<ParameterString>(*this, other, value))
        SetValue(value.c_str());
}

void ParameterString::GetValue(void* value, uint32_t /*size*/) const
{
    *static_cast<std::string*>(value) = *m_Variable;
}

void ParameterString::SetValue(const void* value, uint32_t /*size*/)
{
    SetValue(static_cast<const char*>(value));
}

void ParameterString::GetDisplayValue(std::string& text) const
{
    text = *m_Variable;
}

void ParameterString::GetValue(std::string& value) const
{
    value = *m_Variable;
}

void ParameterString::SetValue(const char* value)
{
    if (value == nullptr)
        value = "";
    if (ObserversAllowChange(value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

// --- ParameterFile -----------------------------------------------------------

ParameterFile::ParameterFile(std::string extensions, std::string* variable)
    : ParameterString(variable), m_Extensions(std::move(extensions))
{
}

ParameterFile::ParameterFile(const ParameterFile& other) = default;
ParameterFile::~ParameterFile() = default;

ParameterFile& ParameterFile::operator=(const ParameterFile& other)
{
    ParameterString::operator=(static_cast<const ParameterString&>(other));
    m_Extensions = other.m_Extensions;
    return *this;
}

ParameterType ParameterFile::Type() const
{
    return TypeFile;
}

const std::string& ParameterFile::GetExtensions() const
{
    return m_Extensions;
}

// --- ParameterRGBColor -------------------------------------------------------

ParameterRGBColor::ParameterRGBColor(Color* variable, Color::ColorFormat format)
    : m_Variable(variable),
      m_ColorType(format == Color::ColorFormatAlternate ? TypeRGBColorAlternate : TypeRGBColor)
{
}

ParameterRGBColor::ParameterRGBColor(const ParameterRGBColor& other) = default;
ParameterRGBColor::~ParameterRGBColor() = default;

ParameterRGBColor& ParameterRGBColor::operator=(const ParameterRGBColor& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    m_ColorType = other.m_ColorType;
    return *this;
}

ParameterType ParameterRGBColor::Type() const
{
    return m_ColorType;
}

void ParameterRGBColor::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<Color*>(variable);
}

void* ParameterRGBColor::GetVariablePointer()
{
    return m_Variable;
}

void ParameterRGBColor::operator=(const Parameter& other)
{
    Color value = {0, {0, 0, 0, 0}};
    if (ReadValueOfSameType<ParameterRGBColor>(*this, other, value))
        SetValue(value);
}

void ParameterRGBColor::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, sizeof(Color));
}

void ParameterRGBColor::SetValue(const void* value, uint32_t /*size*/)
{
    Color color = {0, {0, 0, 0, 0}};
    std::memcpy(color.m_Channels, value, sizeof color.m_Channels);
    SetValue(color);
}

void ParameterRGBColor::GetDisplayValue(std::string& /*text*/) const {}

void ParameterRGBColor::GetValue(Color& value) const
{
    value = *m_Variable;
}

void ParameterRGBColor::SetValue(Color value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

// --- ParameterParameterList --------------------------------------------------

ParameterParameterList::ParameterParameterList(ParameterList* list) : m_Variable(list) {}
ParameterParameterList::ParameterParameterList(const ParameterParameterList& other) = default;
ParameterParameterList::~ParameterParameterList() = default;

ParameterParameterList& ParameterParameterList::operator=(const ParameterParameterList& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    return *this;
}

ParameterType ParameterParameterList::Type() const
{
    return TypeParameterList;
}

void ParameterParameterList::AddObserver(IParameterObserver* observer)
{
    Parameter::AddObserver(observer);
    if (m_Variable != nullptr)
        m_Variable->AddObserverToParameters(observer);
}

void ParameterParameterList::RemoveObserver(IParameterObserver* observer)
{
    Parameter::RemoveObserver(observer);
    if (m_Variable != nullptr)
        m_Variable->RemoveObserverToParameters(observer);
}

void ParameterParameterList::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<ParameterList*>(variable);
}

void* ParameterParameterList::GetVariablePointer()
{
    return m_Variable;
}

void ParameterParameterList::operator=(const Parameter& other)
{
    if (other.Type() != Type())
        return;
    ParameterList* list = nullptr;
    other.GetValue(&list, 0);
    SetValue(list);
}

void ParameterParameterList::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, &m_Variable, sizeof m_Variable);
}

void ParameterParameterList::SetValue(const void* value, uint32_t /*size*/)
{
    ParameterList* list;
    std::memcpy(&list, value, sizeof list);
    SetValue(list);
}

void ParameterParameterList::GetDisplayValue(std::string& text) const
{
    text = "ParameterList";
}

void ParameterParameterList::GetValue(ParameterList*& value) const
{
    value = m_Variable;
}

void ParameterParameterList::SetValue(ParameterList* value)
{
    if (ObserversAllowChange(value, 0) && !IsReadOnly()) {
        m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}
