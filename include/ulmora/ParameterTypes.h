// The concrete parameter classes. Each is bound to a variable its creator owns
// and keeps alive; the parameter reads and writes that variable and never
// keeps the value itself (except ParameterParameterList, whose value is the
// nested list pointer).
//
// Every class keeps the slots 0 to 22 of Parameter and adds slot 23 (typed
// GetValue) and slot 24 (typed SetValue, following the change protocol: ask
// the observers, check read-only, store and notify "translate", then always
// notify "changed"). The choice classes add more slots after 24.
//
// Threads: a parameter and its variable (and a dynamic list's choices) are used by one thread at a time.
#ifndef ULMORA_PARAMETERTYPES_H
#define ULMORA_PARAMETERTYPES_H

#include <cstdint>
#include <string>
#include <vector>

#include "ulmora/DoubleZeroString.h"
#include "ulmora/Export.h"
#include "ulmora/Parameter.h"

// A signed 32-bit integer; shown with "%li".
class ULMORA_API ParameterInt : public Parameter {
public:
    explicit ParameterInt(int32_t* variable);
    ParameterInt(const ParameterInt& other);
    // Rebinds to the other's variable; keeps this parameter's texts, flags
    // and observers and tells nobody.
    ParameterInt& operator=(const ParameterInt& other);
    ~ParameterInt() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(int32_t& value) const;                           // 23
    virtual void SetValue(int32_t value);                                  // 24

protected:
    int32_t* m_Variable;
};

// A 32-bit float; shown with "%.10g".
class ULMORA_API ParameterFloat : public Parameter {
public:
    explicit ParameterFloat(float* variable);
    ParameterFloat(const ParameterFloat& other);
    ParameterFloat& operator=(const ParameterFloat& other);
    ~ParameterFloat() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(float& value) const;                             // 23
    virtual void SetValue(float value);                                    // 24

protected:
    float* m_Variable;
};

// A one-byte bool; shown as "1" or "0".
class ULMORA_API ParameterBool : public Parameter {
public:
    explicit ParameterBool(bool* variable);
    ParameterBool(const ParameterBool& other);
    ParameterBool& operator=(const ParameterBool& other);
    ~ParameterBool() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(bool& value) const;                              // 23
    virtual void SetValue(bool value);                                     // 24

protected:
    bool* m_Variable;
};

// A standard string. The raw SetValue takes plain NUL-terminated text, the
// raw GetValue fills a std::string object.
class ULMORA_API ParameterString : public Parameter {
public:
    explicit ParameterString(std::string* variable);
    ParameterString(const ParameterString& other);
    ParameterString& operator=(const ParameterString& other);
    ~ParameterString() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(std::string& value) const;                       // 23
    // Observers receive the text pointer itself. Null counts as empty text.
    virtual void SetValue(const char* value);                              // 24

protected:
    std::string* m_Variable;
};

// A file name, with an extensions text the library stores but never reads.
// Type 7, so it does not take values from a ParameterString (type 2).
class ULMORA_API ParameterFile : public ParameterString {
public:
    ParameterFile(std::string extensions, std::string* variable);
    ParameterFile(const ParameterFile& other);
    ParameterFile& operator=(const ParameterFile& other);
    ~ParameterFile() override;

    ParameterType Type() const override;
    const std::string& GetExtensions() const;

protected:
    std::string m_Extensions;
};

// A Parameter::Color. Type 6 when built with ColorFormatAlternate, else 5.
// It has no display text: GetDisplayValue leaves the caller's string alone.
class ULMORA_API ParameterRGBColor : public Parameter {
public:
    ParameterRGBColor(Color* variable, Color::ColorFormat format);
    ParameterRGBColor(const ParameterRGBColor& other);
    ParameterRGBColor& operator=(const ParameterRGBColor& other);
    ~ParameterRGBColor() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    // Reads four channel bytes; the first word of the colour becomes 0.
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(Color& value) const;                             // 23
    virtual void SetValue(Color value);                                    // 24

protected:
    Color* m_Variable;
    ParameterType m_ColorType;
};

// Holds a nested list (not owned; may be null). Observers added to it are
// passed on to every parameter currently in the nested list. Shown as
// "ParameterList".
class ULMORA_API ParameterParameterList : public Parameter {
public:
    explicit ParameterParameterList(ParameterList* list);
    ParameterParameterList(const ParameterParameterList& other);
    ParameterParameterList& operator=(const ParameterParameterList& other);
    ~ParameterParameterList() override;

    ParameterType Type() const override;
    void AddObserver(IParameterObserver* observer) override;
    void RemoveObserver(IParameterObserver* observer) override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    // The raw forms read and write one pointer-sized word: the list pointer.
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(ParameterList*& value) const;                    // 23
    // Observers receive the proposed list pointer itself.
    virtual void SetValue(ParameterList* value);                           // 24

protected:
    ParameterList* m_Variable;
};

// Selects one of its own, fixed choice texts by index. The index is not
// checked against the choices; an index beyond them shows empty text.
class ULMORA_API ParameterEnum : public Parameter {
public:
    // Each choice ends with ';': "Low;High;" gives Low and High, and text
    // after the last ';' is not a choice.
    ParameterEnum(const std::string& choiceText, int32_t* variable);
    // Description i belongs to choice i. Missing descriptions become empty
    // texts; an empty descriptions array gives no descriptions at all.
    ParameterEnum(const std::vector<std::string>& choices,
                  const std::vector<std::string>& descriptions, int32_t* variable);
    // Takes the choices up to the first empty one.
    ParameterEnum(const DoubleZeroString& choices, int32_t* variable);
    ParameterEnum(const ParameterEnum& other);
    // Rebinds and copies both lists (each up to its first empty text);
    // assigning a parameter to itself changes nothing.
    ParameterEnum& operator=(const ParameterEnum& other);
    ~ParameterEnum() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    void operator=(const Parameter& other) override;
    using Parameter::GetValue;
    using Parameter::SetValue;
    using Parameter::GetDescription;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(int32_t& value) const;                           // 23
    virtual void SetValue(int32_t value);                                  // 24

    // Choice `index`, or empty text beyond the choices.
    virtual void GetChoiceAt(std::string& choice, uint32_t index) const;   // 25
    // The choices up to, not including, the first empty one.
    virtual void GetChoices(DoubleZeroString& choices) const;              // 26
    // Every choice, empty ones included.
    virtual uint32_t GetChoiceCount() const;                               // 27
    virtual bool DescriptionsAvailable();                                  // 28
    virtual std::string GetDescription(uint32_t index);                    // 29
    // The double-NUL block of every description; begins with NUL when none.
    virtual const char* GetAllDescriptions() const;                        // 30

protected:
    int32_t* m_Variable;
    DoubleZeroString m_Choices;
    DoubleZeroString m_ChoiceDescriptions;
};

// Selects one of the choices of a DoubleZeroString its creator owns; the
// choices can be replaced while the parameter lives.
class ULMORA_API ParameterDynamicList : public Parameter {
public:
    ParameterDynamicList(DoubleZeroString* choices, int32_t* variable);
    ParameterDynamicList(const ParameterDynamicList& other);
    // Rebinds to the other's index variable and choice list.
    ParameterDynamicList& operator=(const ParameterDynamicList& other);
    ~ParameterDynamicList() override;

    ParameterType Type() const override;
    void SetVariablePointer(void* variable) override;
    void* GetVariablePointer() override;
    using Parameter::operator=;
    using Parameter::GetValue;
    using Parameter::SetValue;
    void GetValue(void* value, uint32_t size) const override;
    void SetValue(const void* value, uint32_t size) override;
    void GetDisplayValue(std::string& text) const override;
    virtual void GetValue(int32_t& value) const;                           // 23
    virtual void SetValue(int32_t value);                                  // 24

    // Replaces the choices (up to the first empty one) and notifies
    // "changed" only: no observer is asked, the read-only flag does not
    // apply and the index stays as it is.
    virtual void SetChoices(DoubleZeroString choices);                     // 25
    virtual void GetChoiceAt(std::string& choice, uint32_t index) const;   // 26
    virtual void GetChoices(DoubleZeroString& choices) const;              // 27
    virtual uint32_t GetChoiceCount() const;                               // 28

protected:
    int32_t* m_Variable;
    DoubleZeroString* m_ChoiceList;
};

#endif
