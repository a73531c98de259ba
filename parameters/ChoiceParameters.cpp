#include <cstring>

#include "parameters/ParameterValueCopy.h"
#include "ulmora/ParameterTypes.h"

using Ulmora::Parameters::ReadValueOfSameType;

namespace {

// Choice `index` of `list`, or empty text beyond it. A negative index held in
// the variable arrives here as a large unsigned one and is beyond as well.
void ChoiceAt(const DoubleZeroString* list, uint32_t index, std::string& choice)
{
    const char* text = list != nullptr ? list->Get(index) : nullptr;
    if (text != nullptr)
        choice = text;
    else
        choice.clear();
}

void CopyChoices(const DoubleZeroString* list, DoubleZeroString& choices)
{
    if (list == &choices) {
        // Emptying the target would free the block we are about to read.
        DoubleZeroString copy(*list);
        choices = copy;
        return;
    }
    choices.Empty();
    if (list != nullptr)
        choices.AddDoubleZero(*list);
}

} // namespace

// --- ParameterEnum -----------------------------------------------------------

ParameterEnum::ParameterEnum(const std::string& choiceText, int32_t* variable)
    : m_Variable(variable)
{
    // Every choice is terminated by ';'; text after the last one is dropped.
    std::string::size_type position = 0;
    for (;;) {
        const std::string::size_type semicolon = choiceText.find(';', position);
        if (semicolon == std::string::npos)
            break;
        m_Choices.Add(choiceText.substr(position, semicolon - position).c_str());
        position = semicolon + 1;
    }
}

ParameterEnum::ParameterEnum(const std::vector<std::string>& choices,
                             const std::vector<std::string>& descriptions, int32_t* variable)
    : m_Variable(variable)
{
    for (size_t i = 0; i < choices.size(); ++i) {
        m_Choices.Add(choices[i].c_str());
        // A short descriptions array would leave choices without their
        // description; those get empty text so that indexes stay aligned.
        if (!descriptions.empty())
            m_ChoiceDescriptions.Add(i < descriptions.size() ? descriptions[i].c_str() : "");
    }
}

ParameterEnum::ParameterEnum(const DoubleZeroString& choices, int32_t* variable)
    : m_Variable(variable), m_Choices(choices)
{
}

ParameterEnum::ParameterEnum(const ParameterEnum& other) = default;
ParameterEnum::~ParameterEnum() = default;

ParameterEnum& ParameterEnum::operator=(const ParameterEnum& other)
{
    // Emptying our own lists before appending their blocks would lose them.
    if (this == &other)
        return *this;
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    m_Choices.Empty();
    m_Choices.AddDoubleZero(other.m_Choices);
    m_ChoiceDescriptions.Empty();
    m_ChoiceDescriptions.AddDoubleZero(other.m_ChoiceDescriptions);
    return *this;
}

ParameterType ParameterEnum::Type() const
{
    return TypeEnum;
}

void ParameterEnum::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<int32_t*>(variable);
}

void* ParameterEnum::GetVariablePointer()
{
    return m_Variable;
}

void ParameterEnum::operator=(const Parameter& other)
{
    int32_t value = 0;
    if (ReadValueOfSameType<ParameterEnum>(*this, other, value))
        SetValue(value);
}

void ParameterEnum::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, sizeof(int32_t));
}

void ParameterEnum::SetValue(const void* value, uint32_t /*size*/)
{
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    SetValue(v);
}

void ParameterEnum::GetDisplayValue(std::string& text) const
{
    GetChoiceAt(text, static_cast<uint32_t>(*m_Variable));
}

void ParameterEnum::GetValue(int32_t& value) const
{
    value = *m_Variable;
}

void ParameterEnum::SetValue(int32_t value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

void ParameterEnum::GetChoiceAt(std::string& choice, uint32_t index) const
{
    ChoiceAt(&m_Choices, index, choice);
}

void ParameterEnum::GetChoices(DoubleZeroString& choices) const
{
    CopyChoices(&m_Choices, choices);
}

uint32_t ParameterEnum::GetChoiceCount() const
{
    return m_Choices.GetCount();
}

bool ParameterEnum::DescriptionsAvailable()
{
    return m_ChoiceDescriptions.GetCount() > 0;
}

std::string ParameterEnum::GetDescription(uint32_t index)
{
    if (!DescriptionsAvailable())
        return std::string();
    const char* text = m_ChoiceDescriptions.Get(index);
    return text != nullptr ? std::string(text) : std::string();
}

const char* ParameterEnum::GetAllDescriptions() const
{
    return m_ChoiceDescriptions;
}

// --- ParameterDynamicList ----------------------------------------------------

ParameterDynamicList::ParameterDynamicList(DoubleZeroString* choices, int32_t* variable)
    : m_Variable(variable), m_ChoiceList(choices)
{
}

ParameterDynamicList::ParameterDynamicList(const ParameterDynamicList& other) = default;
ParameterDynamicList::~ParameterDynamicList() = default;

ParameterDynamicList& ParameterDynamicList::operator=(const ParameterDynamicList& other)
{
    Parameter::operator=(other);
    m_Variable = other.m_Variable;
    m_ChoiceList = other.m_ChoiceList;
    return *this;
}

ParameterType ParameterDynamicList::Type() const
{
    return TypeDynamicList;
}

void ParameterDynamicList::SetVariablePointer(void* variable)
{
    m_Variable = static_cast<int32_t*>(variable);
}

void* ParameterDynamicList::GetVariablePointer()
{
    return m_Variable;
}

void ParameterDynamicList::GetValue(void* value, uint32_t /*size*/) const
{
    std::memcpy(value, m_Variable, sizeof(int32_t));
}

void ParameterDynamicList::SetValue(const void* value, uint32_t /*size*/)
{
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    SetValue(v);
}

void ParameterDynamicList::GetDisplayValue(std::string& text) const
{
    GetChoiceAt(text, static_cast<uint32_t>(*m_Variable));
}

void ParameterDynamicList::GetValue(int32_t& value) const
{
    value = *m_Variable;
}

void ParameterDynamicList::SetValue(int32_t value)
{
    if (ObserversAllowChange(&value, 0) && !IsReadOnly()) {
        *m_Variable = value;
        NotifyTranslate();
    }
    NotifyChanged();
}

void ParameterDynamicList::SetChoices(DoubleZeroString choices)
{
    if (m_ChoiceList != nullptr) {
        m_ChoiceList->Empty();
        m_ChoiceList->AddDoubleZero(choices);
    }
    NotifyChanged();
}

void ParameterDynamicList::GetChoiceAt(std::string& choice, uint32_t index) const
{
    ChoiceAt(m_ChoiceList, index, choice);
}

void ParameterDynamicList::GetChoices(DoubleZeroString& choices) const
{
    CopyChoices(m_ChoiceList, choices);
}

uint32_t ParameterDynamicList::GetChoiceCount() const
{
    return m_ChoiceList != nullptr ? m_ChoiceList->GetCount() : 0;
}
