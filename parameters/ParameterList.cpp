#include "ulmora/ParameterList.h"

#include <algorithm>

#include "ulmora/ParameterTypes.h"
#include "ulmora/ParameterValidator.h"
#include "util/IdentifierIndex.h"

IParameterListObserver::IParameterListObserver() = default;
IParameterListObserver::IParameterListObserver(const IParameterListObserver&) = default;
IParameterListObserver& IParameterListObserver::operator=(const IParameterListObserver&)
{
    return *this;
}

const uint32_t ParameterList::ms_ParameterListImplementationVersion;

uint32_t ParameterList::ParameterListImplementationVersion()
{
    return ms_ParameterListImplementationVersion;
}

namespace {

// While operator= copies values into a list, FindParameter of that list is
// answered from an index of first positions by identifier instead of a walk
// over the whole list, which would make copying quadratic. The index covers
// the entries the list had when it was last consulted and takes in entries
// appended since (observers may add parameters while values are copied); a
// hit is checked against the list before it is trusted. It lives on the
// copying thread's stack: lists used by different threads do not share it.
// The index is the library's flat identifier index: copying values between
// two large lists builds and probes it once per parameter.
using FirstPositionTable = Ulmora::Util::IdentifierIndex;

struct IdentifierIndex {
    explicit IdentifierIndex(const ParameterList* indexedList) : list(indexedList) {}

    const ParameterList* list;
    IdentifierIndex* outer = nullptr;
    size_t indexed = 0;
    FirstPositionTable firstPosition;
    // Per position: does it hold the first parameter with its identifier?
    std::vector<char> isFirst;
    // Lists are mostly copied into lists built in the same order: the next
    // lookup is tried at the position after the last hit before the table.
    size_t next = 0;
};

thread_local IdentifierIndex* t_ActiveIndex = nullptr;

class ActiveIndexScope {
public:
    explicit ActiveIndexScope(IdentifierIndex& index) : m_Index(index)
    {
        m_Index.outer = t_ActiveIndex;
        t_ActiveIndex = &m_Index;
    }
    ~ActiveIndexScope() { t_ActiveIndex = m_Index.outer; }
    ActiveIndexScope(const ActiveIndexScope&) = delete;
    ActiveIndexScope& operator=(const ActiveIndexScope&) = delete;

private:
    IdentifierIndex& m_Index;
};

Parameter* FindByWalk(const std::vector<Parameter*>& parameters, uint32_t id)
{
    for (Parameter* parameter : parameters) {
        if (parameter != nullptr && parameter->GetParameterID() == id)
            return parameter;
    }
    return nullptr;
}

Parameter* FindByIndex(IdentifierIndex& index, const std::vector<Parameter*>& parameters,
                       uint32_t id)
{
    if (index.indexed < parameters.size()) {
        std::vector<FirstPositionTable::Entry> added;
        added.reserve(parameters.size() - index.indexed);
        for (size_t i = index.indexed; i < parameters.size(); ++i) {
            if (parameters[i] != nullptr)
                added.push_back({parameters[i]->GetParameterID(), static_cast<uint32_t>(i)});
        }
        index.isFirst.resize(parameters.size(), 0);
        index.firstPosition.InsertFirstMany(added, index.isFirst);
        index.indexed = parameters.size();
    }
    size_t position = index.next;
    if (position >= parameters.size() || !index.isFirst[position] ||
        parameters[position]->GetParameterID() != id) {
        position = index.firstPosition.Find(id);
        if (position == FirstPositionTable::kNone)
            return nullptr;
    }
    Parameter* parameter = parameters[position];
    if (parameter->GetParameterID() != id)
        return FindByWalk(parameters, id); // an identifier changed meanwhile
    index.next = position + 1;
    return parameter;
}

// Applies the settings every AddParameter... operation shares, then appends
// the parameter. The list owns it from here on, also when appending fails.
void SetUpAndAppend(ParameterList& list, Parameter* parameter, uint32_t id, std::string name,
                    std::string displayName, std::string description,
                    ParameterValidator* validator, bool readOnly, bool visible)
{
    try {
        parameter->SetReadOnly(readOnly);
        parameter->SetVisible(visible);
        parameter->SetName(std::move(name));
        parameter->SetDisplayName(std::move(displayName));
        parameter->SetDescription(std::move(description));
        parameter->SetParameterID(id);
        if (validator != nullptr)
            parameter->AddObserver(validator);
        list.AddParameter(parameter);
    } catch (...) {
        parameter->DeleteThis();
        throw;
    }
}

} // namespace

ParameterList::ParameterList() : m_Name("noname"), m_DisplayName("noname")
{
    BuildDefaultDummyParameterList();
}

ParameterList::~ParameterList()
{
    for (size_t i = 0; i < m_ListObservers.size(); ++i)
        m_ListObservers[i]->NotifyParameterListDestroyed(this);
    for (Parameter* parameter : m_Parameters) {
        if (parameter != nullptr)
            parameter->DeleteThis();
    }
}

void ParameterList::SetName(const std::string& name)
{
    m_Name = name;
}

void ParameterList::SetDisplayName(const std::string& displayName)
{
    m_DisplayName = displayName;
}

void ParameterList::SetDescription(const std::string& description)
{
    m_Description = description;
}

const std::string& ParameterList::GetName() const
{
    return m_Name;
}

const std::string& ParameterList::GetDisplayName() const
{
    return m_DisplayName;
}

const std::string& ParameterList::GetDescription() const
{
    return m_Description;
}

uint32_t ParameterList::GetNumParameters() const
{
    return static_cast<uint32_t>(m_Parameters.size());
}

Parameter* ParameterList::GetParameter(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_Parameters.size())
        return nullptr;
    return m_Parameters[static_cast<size_t>(index)];
}

Parameter* ParameterList::FindParameter(uint32_t id) const
{
    for (IdentifierIndex* index = t_ActiveIndex; index != nullptr; index = index->outer) {
        if (index->list == this)
            return FindByIndex(*index, m_Parameters, id);
    }
    return FindByWalk(m_Parameters, id);
}

void ParameterList::AddObserverToParameters(IParameterObserver* observer)
{
    for (uint32_t i = 0; i < GetNumParameters(); ++i) {
        if (Parameter* parameter = GetParameter(static_cast<int32_t>(i)))
            parameter->AddObserver(observer);
    }
}

void ParameterList::RemoveObserverToParameters(IParameterObserver* observer)
{
    for (uint32_t i = 0; i < GetNumParameters(); ++i) {
        if (Parameter* parameter = GetParameter(static_cast<int32_t>(i)))
            parameter->RemoveObserver(observer);
    }
}

void ParameterList::operator=(const ParameterList& source)
{
    if (source.GetNumParameters() == 0)
        return;
    IdentifierIndex index(this);
    ActiveIndexScope scope(index);
    for (uint32_t i = 0; i < source.GetNumParameters(); ++i) {
        Parameter* from = source.GetParameter(static_cast<int32_t>(i));
        if (from == nullptr)
            continue;
        Parameter* to = FindParameter(from->GetParameterID());
        if (to == nullptr)
            continue;
        to->operator=(*from);
    }
}

void ParameterList::AddParameter(Parameter* parameter)
{
    if (parameter != nullptr)
        m_Parameters.push_back(parameter);
}

void ParameterList::AddParameterFloat(uint32_t id, std::string name, std::string displayName,
                                      std::string description, float* variable,
                                      ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterFloat(variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterFloat(uint32_t id, std::string name, std::string description,
                                      float* variable, ParameterValidator* validator)
{
    AddParameterFloat(id, name, name, std::move(description), variable, validator, false, true);
}

void ParameterList::AddParameterInt(uint32_t id, std::string name, std::string displayName,
                                    std::string description, int32_t* variable,
                                    ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterInt(variable), id, std::move(name), std::move(displayName),
                   std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterInt(uint32_t id, std::string name, std::string description,
                                    int32_t* variable, ParameterValidator* validator)
{
    AddParameterInt(id, name, name, std::move(description), variable, validator, false, true);
}

void ParameterList::AddParameterBool(uint32_t id, std::string name, std::string displayName,
                                     std::string description, bool* variable,
                                     ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterBool(variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterBool(uint32_t id, std::string name, std::string description,
                                     bool* variable, ParameterValidator* validator)
{
    AddParameterBool(id, name, name, std::move(description), variable, validator, false, true);
}

void ParameterList::AddParameterString(uint32_t id, std::string name, std::string displayName,
                                       std::string description, std::string* variable,
                                       ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterString(variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterString(uint32_t id, std::string name, std::string description,
                                       std::string* variable, ParameterValidator* validator)
{
    AddParameterString(id, name, name, std::move(description), variable, validator, false, true);
}

void ParameterList::AddParameterFile(uint32_t id, std::string name, std::string displayName,
                                     std::string description, std::string extensions,
                                     std::string* variable, ParameterValidator* validator,
                                     bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterFile(std::move(extensions), variable), id,
                   std::move(name), std::move(displayName), std::move(description), validator,
                   readOnly, visible);
}

void ParameterList::AddParameterFile(uint32_t id, std::string name, std::string description,
                                     std::string extensions, std::string* variable,
                                     ParameterValidator* validator)
{
    AddParameterFile(id, name, name, std::move(description), std::move(extensions), variable,
                     validator, false, true);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                     std::string description, const DoubleZeroString& choices,
                                     int32_t* variable, ParameterValidator* validator,
                                     bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterEnum(choices, variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                     std::string description, std::vector<std::string> choices,
                                     std::vector<std::string> descriptions, int32_t* variable,
                                     ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterEnum(choices, descriptions, variable), id,
                   std::move(name), std::move(displayName), std::move(description), validator,
                   readOnly, visible);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                     std::string description, std::string choiceText,
                                     int32_t* variable, ParameterValidator* validator,
                                     bool readOnly, bool visible)
{
    // The text counts up to its first NUL, as a caller's C text would.
    const std::string text(choiceText.c_str());
    SetUpAndAppend(*this, new ParameterEnum(text, variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string description,
                                     const DoubleZeroString& choices, int32_t* variable,
                                     ParameterValidator* validator)
{
    AddParameterEnum(id, name, name, std::move(description), choices, variable, validator, false,
                     true);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string description,
                                     std::vector<std::string> choices,
                                     std::vector<std::string> descriptions, int32_t* variable,
                                     ParameterValidator* validator)
{
    AddParameterEnum(id, name, name, std::move(description), std::move(choices),
                     std::move(descriptions), variable, validator, false, true);
}

void ParameterList::AddParameterEnum(uint32_t id, std::string name, std::string description,
                                     std::string choiceText, int32_t* variable,
                                     ParameterValidator* validator)
{
    AddParameterEnum(id, name, name, std::move(description), std::move(choiceText), variable,
                     validator, false, true);
}

void ParameterList::AddParameterDynamicList(uint32_t id, std::string name,
                                            std::string displayName, std::string description,
                                            DoubleZeroString* choices, int32_t* variable,
                                            ParameterValidator* validator, bool readOnly,
                                            bool visible)
{
    SetUpAndAppend(*this, new ParameterDynamicList(choices, variable), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterColor(uint32_t id, std::string name, std::string displayName,
                                      std::string description, Parameter::Color* variable,
                                      Parameter::Color::ColorFormat format,
                                      ParameterValidator* validator, bool readOnly, bool visible)
{
    SetUpAndAppend(*this, new ParameterRGBColor(variable, format), id, std::move(name),
                   std::move(displayName), std::move(description), validator, readOnly, visible);
}

void ParameterList::AddParameterColor(uint32_t id, std::string name, std::string description,
                                      Parameter::Color* variable,
                                      Parameter::Color::ColorFormat format,
                                      ParameterValidator* validator)
{
    AddParameterColor(id, name, name, std::move(description), variable, format, validator, false,
                      true);
}

void ParameterList::AddParameterList(uint32_t id, ParameterList* list,
                                     ParameterValidator* validator, bool readOnly, bool visible)
{
    if (list == nullptr)
        return;
    SetUpAndAppend(*this, new ParameterParameterList(list), id, list->GetName(),
                   list->GetDisplayName(), list->GetDescription(), validator, readOnly, visible);
}

void ParameterList::AddObserver(IParameterListObserver* observer)
{
    if (observer == nullptr)
        return;
    if (std::find(m_ListObservers.begin(), m_ListObservers.end(), observer) !=
        m_ListObservers.end())
        return;
    m_ListObservers.push_back(observer);
}

void ParameterList::RemoveObserver(IParameterListObserver* observer)
{
    auto it = std::find(m_ListObservers.begin(), m_ListObservers.end(), observer);
    if (it == m_ListObservers.end())
        return;
    *it = m_ListObservers.back();
    m_ListObservers.pop_back();
}
