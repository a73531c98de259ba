// Identifiers of plug-ins and the base of every object a module hands to a
// plug-in manager.
//
// The layouts below are a binary contract with separately built modules: a
// PluginID is a table pointer and a 32-bit number; a PluginObject is a table
// pointer and its observer set.
//
// Threads: a plug-in object and its observers are used by one thread at a time.
#ifndef ULMORA_PLUGINOBJECT_H
#define ULMORA_PLUGINOBJECT_H

#include <cstdint>
#include <set>

#include "ulmora/Export.h"

namespace PluginManagerAPI {

// The identifier of one plug-in. Two identifiers are equal when their numbers
// are; identifiers are never ordered.
class ULMORA_API PluginID {
public:
    explicit PluginID(uint32_t id = 0);
    PluginID(const PluginID& other);
    PluginID& operator=(const PluginID& other);
    virtual ~PluginID();

    uint32_t GetID() const;

    bool operator==(const PluginID& other) const { return GetID() == other.GetID(); }
    bool operator!=(const PluginID& other) const { return GetID() != other.GetID(); }

private:
    uint32_t m_ID;
};

class PluginObject;

// Learns that a watched object is being destroyed.
class ULMORA_API IPluginObjectObserver {
public:
    // Slot 0. Called from the object's destructor, when only its PluginObject
    // part is left: use the address to recognise the object, nothing more.
    virtual void OnPluginObjectDestroyed(PluginObject* object) = 0;

protected:
    IPluginObjectObserver();
    IPluginObjectObserver(const IPluginObjectObserver&);
    IPluginObjectObserver& operator=(const IPluginObjectObserver&);
    ~IPluginObjectObserver();
};

// Base of module interfaces and plug-in descriptors. Tells its observers when
// it is destroyed, so a manager learns of objects that go away behind its back.
class ULMORA_API PluginObject {
public:
    PluginObject();
    // A copy is watched by the same observers as its source.
    PluginObject(const PluginObject& other);
    PluginObject& operator=(const PluginObject& other);
    // Slot 0. Notifies every observer, in ascending address order.
    virtual ~PluginObject();

    // Adding an observer twice changes nothing.
    void AddObserver(IPluginObjectObserver* observer);
    // Removing an unknown observer changes nothing.
    void RemoveObserver(IPluginObjectObserver* observer);

private:
    std::set<IPluginObjectObserver*> m_Observers;
};

} // namespace PluginManagerAPI

#endif
