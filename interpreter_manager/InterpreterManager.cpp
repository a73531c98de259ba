#include "ulmora/InterpreterManager.h"

#include "ulmora/Exception.h"
#include "ulmora/IInterpreter.h"
#include "ulmora/Log.h"
#include "ulmora/ParameterList.h"

namespace Ulmora {

namespace {

const char kModule[] = "Ulmora::InterpreterManager";

// Hands an instance back to its descriptor when the step that used it ends,
// also when the interpreter threw: the instance belongs to the module and
// would otherwise leak.
class InstanceLease {
public:
    explicit InstanceLease(PluginManagerAPI::IPluginDescriptor* descriptor)
        : m_Descriptor(descriptor), m_Instance(descriptor->CreateInstance())
    {
    }
    ~InstanceLease()
    {
        if (m_Instance != nullptr)
            m_Descriptor->DestroyInstance(m_Instance);
    }

    // Null when the descriptor made no instance.
    IInterpreter* Get() const { return static_cast<IInterpreter*>(m_Instance); }

private:
    InstanceLease(const InstanceLease&) = delete;
    InstanceLease& operator=(const InstanceLease&) = delete;

    PluginManagerAPI::IPluginDescriptor* m_Descriptor;
    PluginManagerAPI::IPluginInstance* m_Instance;
};

// Releases an iterator however the walk ends.
class IteratorLease {
public:
    explicit IteratorLease(PluginManagerAPI::PluginManager* manager, PluginManagerAPI::PluginIterator* iterator)
        : m_Manager(manager), m_Iterator(iterator)
    {
    }
    ~IteratorLease() { m_Manager->ReleaseIterator(m_Iterator); }

    PluginManagerAPI::PluginIterator* operator->() const { return m_Iterator; }

private:
    IteratorLease(const IteratorLease&) = delete;
    IteratorLease& operator=(const IteratorLease&) = delete;

    PluginManagerAPI::PluginManager* m_Manager;
    PluginManagerAPI::PluginIterator* m_Iterator;
};

} // namespace

InterpreterManager::InterpreterManager() : m_ParameterList(new ParameterList()), m_Logger(nullptr) {}

InterpreterManager::~InterpreterManager()
{
    delete m_ParameterList;
    m_ParameterList = nullptr;
}

void InterpreterManager::GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns)
{
    AddExecutablePattern(patterns, "*.intr");
}

PluginManagerAPI::PluginManager::ErrorResponse InterpreterManager::OnEndLoadDLL(std::string path, Error error)
{
    return EndLoadOrThrow(path, error, m_Logger, kModule);
}

void InterpreterManager::SetLogger(Log::Logger* logger)
{
    if (logger != nullptr)
        m_Logger = logger;
}

void InterpreterManager::LoadInterpreters()
{
    Load();
}

unsigned int InterpreterManager::InterpretResults(const IResultDatabase* database)
{
    unsigned int answer = 0;
    uint32_t nextListID = 0;
    IteratorLease iterator(this, CreateIterator());
    for (PluginManagerAPI::IPluginDescriptor* descriptor = iterator->First(); descriptor != nullptr && answer == 0;
         descriptor = iterator->Next()) {
        // A descriptor that makes no instance has nothing to judge with and
        // is passed over, as the test manager passes over such tests.
        InstanceLease instance(descriptor);
        if (instance.Get() == nullptr)
            continue;
        answer = instance.Get()->Interpret(database);
        if (m_Logger != nullptr) {
            m_Logger->Print(kModule, "Interpreter(ID=%d Name=%s Version=%d) ran with success.",
                            static_cast<int>(descriptor->GetPluginID().GetID()), descriptor->GetName(),
                            static_cast<int>(descriptor->GetVersion()));
        }
        if (ParameterList* list = instance.Get()->GetParameterList()) {
            m_ParameterList->AddParameterList(nextListID, list, nullptr, false, true);
            ++nextListID;
        }
    }
    return answer;
}

void InterpreterManager::SaveResults()
{
    IteratorLease iterator(this, CreateIterator());
    for (PluginManagerAPI::IPluginDescriptor* descriptor = iterator->First(); descriptor != nullptr;
         descriptor = iterator->Next()) {
        InstanceLease instance(descriptor);
        if (instance.Get() != nullptr)
            instance.Get()->SaveResults();
    }
}

ParameterList* InterpreterManager::GetParameterList()
{
    return m_ParameterList;
}

} // namespace Ulmora
