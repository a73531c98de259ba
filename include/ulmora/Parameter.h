// The base of every parameter: a typed setting with an identifier, texts and
// flags, bound to a variable its creator owns, and watched by observers that
// may refuse a change and are told about changes.
//
// The virtual slot order and the order and width of the data members are a
// binary contract with separately built hosts and plug-ins.
//
// Threads: a parameter, its observers and its bound variable are used by one thread at a time.
#ifndef ULMORA_PARAMETER_H
#define ULMORA_PARAMETER_H

#include <cstdint>
#include <string>
#include <vector>

#include "ulmora/Export.h"

class Parameter;
class ParameterList;

// Type numbers reported by Parameter::Type. 8 is not used by any class.
enum ParameterType : int32_t {
    TypeInt = 0,
    TypeFloat = 1,
    TypeString = 2,
    TypeEnum = 3,
    TypeBool = 4,
    TypeRGBColor = 5,
    TypeRGBColorAlternate = 6,
    TypeFile = 7,
    TypeParameterList = 9,
    TypeDynamicList = 10
};

// Follows the changes of parameters. The library passes 0 as every code.
class ULMORA_API IParameterObserver {
public:
    // The proposed value is the address of the new value, except for text
    // parameters (the text itself) and nested-list parameters (the
    // ParameterList pointer itself). Answer false to refuse the change.
    virtual bool AllowParameterChange(Parameter* parameter, const void* value,
                                      uint32_t code) = 0;                         // 0
    // Something about the parameter was touched; whatever shows it should refresh.
    virtual void NotifyParameterChanged(Parameter* parameter, uint32_t code) = 0;   // 1
    // The bound variable has just received a new value.
    virtual void NotifyParameterTranslate(Parameter* parameter, uint32_t code) = 0; // 2

    IParameterObserver();
    IParameterObserver(const IParameterObserver&);
    IParameterObserver& operator=(const IParameterObserver&);
};

class ULMORA_API Parameter {
public:
    // An 8-byte colour value. The library copies colours and never interprets
    // them; the first word is zero in colours built from four raw bytes.
    struct Color {
        // Decides only the type number of a colour parameter (5 or 6).
        enum ColorFormat : int32_t {
            ColorFormatStandard = 0,
            ColorFormatAlternate = 1
        };
        uint32_t m_Word;
        uint8_t m_Channels[4];
    };

    Parameter();
    // Copies every member, observers included: the copy tells the same
    // observers and is bound to the same variable.
    Parameter(const Parameter& other);

    virtual ~Parameter();                                                  // 0
    virtual ParameterType Type() const = 0;                                // 1
    virtual void SetName(std::string name);                                // 2
    virtual void SetDisplayName(std::string displayName);                  // 3
    virtual void SetDescription(std::string description);                  // 4
    // Texts valid until they change or the parameter is destroyed.
    virtual const char* GetName();                                         // 5
    virtual const char* GetDisplayName();                                  // 6
    virtual const char* GetDescription();                                  // 7
    virtual void SetImageIndex(int32_t index);                             // 8
    virtual int32_t GetImageIndex();                                       // 9
    // Both flags notify "changed" even when they keep their value.
    virtual void SetVisible(bool visible);                                 // 10
    virtual void SetReadOnly(bool readOnly);                               // 11
    virtual bool IsVisible() const;                                        // 12
    virtual bool IsReadOnly() const;                                       // 13
    // Null and already registered observers are ignored. Not owned.
    virtual void AddObserver(IParameterObserver* observer);                // 14
    // Moves the last observer into the removed one's place.
    virtual void RemoveObserver(IParameterObserver* observer);             // 15
    // Destroys the parameter with the allocator of the module that made it.
    virtual void DeleteThis();                                             // 16
    // Rebinds silently: no observer is asked or told.
    virtual void SetVariablePointer(void* variable) = 0;                   // 17
    virtual void* GetVariablePointer() = 0;                                // 18
    // Copies the value of a parameter of the same type number through the
    // change protocol. Here, and as Parameter's own copy assignment: nothing.
    virtual void operator=(const Parameter& other);                        // 19
    // Raw value access for generic code; the size is not used.
    virtual void GetValue(void* value, uint32_t size) const = 0;           // 20
    virtual void SetValue(const void* value, uint32_t size) = 0;           // 21
    virtual void GetDisplayValue(std::string& text) const = 0;             // 22

    void SetParameterID(uint32_t id);
    uint32_t GetParameterID() const;

protected:
    // Polls the observers in order; the first refusal ends the poll.
    bool ObserversAllowChange(const void* value, uint32_t code);
    void NotifyChanged();
    void NotifyTranslate();

    uint32_t m_ParameterID;
    std::string m_Name;
    std::string m_DisplayName;
    std::string m_Description;
    std::vector<IParameterObserver*> m_Observers;
    bool m_Visible;
    bool m_ReadOnly;
    int32_t m_ImageIndex;
};

#endif
