#include "ulmora/PluginObject.h"

namespace PluginManagerAPI {

PluginID::PluginID(uint32_t id) : m_ID(id) {}
PluginID::PluginID(const PluginID& other) = default;
PluginID& PluginID::operator=(const PluginID& other) = default;
PluginID::~PluginID() = default;

uint32_t PluginID::GetID() const
{
    return m_ID;
}

IPluginObjectObserver::IPluginObjectObserver() = default;
IPluginObjectObserver::IPluginObjectObserver(const IPluginObjectObserver&) = default;
IPluginObjectObserver& IPluginObjectObserver::operator=(const IPluginObjectObserver&) = default;
IPluginObjectObserver::~IPluginObjectObserver() = default;

PluginObject::PluginObject() = default;
PluginObject::PluginObject(const PluginObject& other) = default;

PluginObject& PluginObject::operator=(const PluginObject& other)
{
    if (this != &other)
        m_Observers = other.m_Observers;
    return *this;
}

PluginObject::~PluginObject()
{
    // The set is taken out first, so an observer that adds or removes itself
    // while it is told cannot disturb the walk.
    std::set<IPluginObjectObserver*> observers;
    observers.swap(m_Observers);
    for (IPluginObjectObserver* observer : observers)
        observer->OnPluginObjectDestroyed(this);
}

void PluginObject::AddObserver(IPluginObjectObserver* observer)
{
    m_Observers.insert(observer);
}

void PluginObject::RemoveObserver(IPluginObjectObserver* observer)
{
    m_Observers.erase(observer);
}

} // namespace PluginManagerAPI
