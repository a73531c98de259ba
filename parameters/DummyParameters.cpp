// The process-wide default dummy parameters every ParameterList carries.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"

namespace {

// Destroys the defaults when the library is unloaded, in the reverse order in
// which their construction completed. Constant-initialised, so it exists
// before any list can be constructed.
class CompletedDefaults {
public:
    constexpr CompletedDefaults() : m_Entries(), m_Count(0) {}
    ~CompletedDefaults();
    CompletedDefaults(const CompletedDefaults&) = delete;
    CompletedDefaults& operator=(const CompletedDefaults&) = delete;
    void Destroy()
    {
        while (m_Count > 0) {
            --m_Count;
            m_Entries[m_Count].destroy(m_Entries[m_Count].slot);
        }
    }

    void Add(void* slot, void (*destroy)(void*))
    {
        m_Entries[m_Count].slot = slot;
        m_Entries[m_Count].destroy = destroy;
        ++m_Count;
    }

private:
    struct Entry {
        void* slot;
        void (*destroy)(void*);
    };
    Entry m_Entries[16];
    size_t m_Count;
};

CompletedDefaults g_Completed;

// Lists may be built on several threads at once; the first of them creates
// the defaults under this lock while the others wait, and from then on the
// flag lets every construction skip the lock. Both are constant-initialised,
// so a list built during static initialisation finds them ready.
std::mutex g_CreateLock;
std::atomic<bool> g_Created(false);

// Static storage for one default object. `object` is set, marking the object
// as existing, before its constructor runs, so that the nested construction
// of the default list finds the list itself already there.
template <class T>
struct DefaultObject {
    alignas(T) unsigned char storage[sizeof(T)];
    T* object;
};

template <class T>
void DestroyDefault(void* slot)
{
    DefaultObject<T>* defaultObject = static_cast<DefaultObject<T>*>(slot);
    defaultObject->object->~T();
    defaultObject->object = nullptr;
}

template <class T, class... Args>
T* CreateDefault(DefaultObject<T>& slot, Args&&... args)
{
    if (slot.object != nullptr)
        return slot.object;
    slot.object = reinterpret_cast<T*>(slot.storage);
    try {
        slot.object = new (slot.storage) T(std::forward<Args>(args)...);
    } catch (...) {
        slot.object = nullptr;
        throw;
    }
    g_Completed.Add(&slot, &DestroyDefault<T>);
    return slot.object;
}

// The variables the default parameters are bound to. The library never
// changes them.
int32_t g_IntValue;
float g_FloatValue;
bool g_BoolValue;
Parameter::Color g_ColorValue;
int32_t g_EnumValue;
int32_t g_DynamicListValue;

DefaultObject<std::string> g_StringVariable;
DefaultObject<std::string> g_EnumChoiceText;
DefaultObject<std::string> g_FileExtensions;
DefaultObject<std::string> g_FileVariable;
DefaultObject<ParameterList> g_List;
DefaultObject<DoubleZeroString> g_Choices;
DefaultObject<ParameterInt> g_Int;
DefaultObject<ParameterFloat> g_Float;
DefaultObject<ParameterString> g_String;
DefaultObject<ParameterEnum> g_Enum;
DefaultObject<ParameterBool> g_Bool;
DefaultObject<ParameterRGBColor> g_Color;
DefaultObject<ParameterFile> g_File;
DefaultObject<ParameterParameterList> g_ParameterList;
DefaultObject<ParameterDynamicList> g_DynamicList;

CompletedDefaults::~CompletedDefaults()
{
    // A list built after unloading starts the defaults afresh, as the very
    // first one did.
    g_Created.store(false, std::memory_order_release);
    Destroy();
}

} // namespace

void ParameterList::AddDummyParameter(uint32_t type, Parameter* parameter)
{
    m_DummyParameters[static_cast<int32_t>(type)] = parameter;
}

Parameter* ParameterList::GetDummyParameter(uint32_t type)
{
    auto it = m_DummyParameters.find(static_cast<int32_t>(type));
    return it != m_DummyParameters.end() ? it->second : nullptr;
}

void ParameterList::BuildDefaultDummyParameterList()
{
    // The default list's own construction comes back here from inside the
    // locked creation on the same thread; it must not take the lock again.
    std::unique_lock<std::mutex> lock(g_CreateLock, std::defer_lock);
    const bool isDefaultList = this == reinterpret_cast<ParameterList*>(g_List.storage);
    if (!isDefaultList && !g_Created.load(std::memory_order_acquire))
        lock.lock();

    std::string* stringVariable = CreateDefault(g_StringVariable);
    std::string* enumChoiceText = CreateDefault(g_EnumChoiceText);
    std::string* fileExtensions = CreateDefault(g_FileExtensions);
    std::string* fileVariable = CreateDefault(g_FileVariable);
    // The default list's own constructor comes back here and creates the
    // rest; the pointer to the list is already valid then.
    ParameterList* list = CreateDefault(g_List);
    DoubleZeroString* choices = CreateDefault(g_Choices);
    Parameter* intParameter = CreateDefault(g_Int, &g_IntValue);
    Parameter* floatParameter = CreateDefault(g_Float, &g_FloatValue);
    Parameter* stringParameter = CreateDefault(g_String, stringVariable);
    Parameter* enumParameter = CreateDefault(g_Enum, *enumChoiceText, &g_EnumValue);
    Parameter* boolParameter = CreateDefault(g_Bool, &g_BoolValue);
    Parameter* colorParameter =
        CreateDefault(g_Color, &g_ColorValue, Parameter::Color::ColorFormatStandard);
    Parameter* fileParameter = CreateDefault(g_File, *fileExtensions, fileVariable);
    Parameter* listParameter = CreateDefault(g_ParameterList, list);
    Parameter* dynamicListParameter = CreateDefault(g_DynamicList, choices, &g_DynamicListValue);
    if (lock.owns_lock()) {
        g_Created.store(true, std::memory_order_release);
        lock.unlock();
    }

    AddDummyParameter(TypeInt, intParameter);
    AddDummyParameter(TypeFloat, floatParameter);
    AddDummyParameter(TypeString, stringParameter);
    AddDummyParameter(TypeEnum, enumParameter);
    AddDummyParameter(TypeBool, boolParameter);
    AddDummyParameter(TypeRGBColor, colorParameter);
    AddDummyParameter(TypeRGBColorAlternate, colorParameter);
    AddDummyParameter(TypeFile, fileParameter);
    AddDummyParameter(TypeParameterList, listParameter);
    AddDummyParameter(TypeDynamicList, dynamicListParameter);
}
