#include "ulmora/Parameter.h"

#include <algorithm>

IParameterObserver::IParameterObserver() = default;
IParameterObserver::IParameterObserver(const IParameterObserver&) = default;
IParameterObserver& IParameterObserver::operator=(const IParameterObserver&)
{
    return *this;
}

Parameter::Parameter()
    : m_ParameterID(0xFFFFFFFFu), m_Visible(true), m_ReadOnly(false), m_ImageIndex(-1)
{
}

Parameter::Parameter(const Parameter& other) = default;

Parameter::~Parameter() = default;

void Parameter::SetName(std::string name)
{
    m_Name = std::move(name);
}

void Parameter::SetDisplayName(std::string displayName)
{
    m_DisplayName = std::move(displayName);
}

void Parameter::SetDescription(std::string description)
{
    m_Description = std::move(description);
}

const char* Parameter::GetName()
{
    return m_Name.c_str();
}

const char* Parameter::GetDisplayName()
{
    return m_DisplayName.c_str();
}

const char* Parameter::GetDescription()
{
    return m_Description.c_str();
}

void Parameter::SetImageIndex(int32_t index)
{
    m_ImageIndex = index;
}

int32_t Parameter::GetImageIndex()
{
    return m_ImageIndex;
}

void Parameter::SetVisible(bool visible)
{
    m_Visible = visible;
    NotifyChanged();
}

void Parameter::SetReadOnly(bool readOnly)
{
    m_ReadOnly = readOnly;
    NotifyChanged();
}

bool Parameter::IsVisible() const
{
    return m_Visible;
}

bool Parameter::IsReadOnly() const
{
    return m_ReadOnly;
}

void Parameter::AddObserver(IParameterObserver* observer)
{
    if (observer == nullptr)
        return;
    if (std::find(m_Observers.begin(), m_Observers.end(), observer) != m_Observers.end())
        return;
    m_Observers.push_back(observer);
}

void Parameter::RemoveObserver(IParameterObserver* observer)
{
    auto it = std::find(m_Observers.begin(), m_Observers.end(), observer);
    if (it == m_Observers.end())
        return;
    // Observers are few; filling the gap with the last one keeps removal
    // cheap, at the price of changing the notification order.
    *it = m_Observers.back();
    m_Observers.pop_back();
}

void Parameter::DeleteThis()
{
    // The deleting destructor of the most derived class runs, and it lives in
    // the module that defines that class, so the module's allocator frees it.
    delete this;
}

void Parameter::operator=(const Parameter& /*other*/) {}

void Parameter::SetParameterID(uint32_t id)
{
    m_ParameterID = id;
}

uint32_t Parameter::GetParameterID() const
{
    return m_ParameterID;
}

// The observer array is indexed afresh on every step: an observer may add or
// remove observers while it is being called.
bool Parameter::ObserversAllowChange(const void* value, uint32_t code)
{
    for (size_t i = 0; i < m_Observers.size(); ++i) {
        if (!m_Observers[i]->AllowParameterChange(this, value, code))
            return false;
    }
    return true;
}

void Parameter::NotifyChanged()
{
    for (size_t i = 0; i < m_Observers.size(); ++i)
        m_Observers[i]->NotifyParameterChanged(this, 0);
}

void Parameter::NotifyTranslate()
{
    for (size_t i = 0; i < m_Observers.size(); ++i)
        m_Observers[i]->NotifyParameterTranslate(this, 0);
}
