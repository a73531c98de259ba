// An ordered collection of parameters that the list creates, owns and
// destroys (through Parameter::DeleteThis), with lookup by position and by
// identifier, copying of values between lists, observers of its own and a
// table of process-wide dummy parameters, one per type number.
//
// The virtual slot order and the member order are a binary contract with
// separately built hosts and plug-ins.
//
// Threads: a list and its parameters are used by one thread at a time; lists may be built and
// used on several threads at once, each by one thread (the shared dummy parameters are created
// safely by whichever list comes first).
#ifndef ULMORA_PARAMETERLIST_H
#define ULMORA_PARAMETERLIST_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ulmora/DoubleZeroString.h"
#include "ulmora/Export.h"
#include "ulmora/Parameter.h"

class ParameterList;
class ParameterValidator;

// Told when a list is destroyed, before any of its parameters is deleted.
class ULMORA_API IParameterListObserver {
public:
    virtual void NotifyParameterListDestroyed(ParameterList* list) = 0;   // 0

    IParameterListObserver();
    IParameterListObserver(const IParameterListObserver&);
    IParameterListObserver& operator=(const IParameterListObserver&);
};

class ULMORA_API ParameterList {
public:
    static const uint32_t ms_ParameterListImplementationVersion = 3;
    static uint32_t ParameterListImplementationVersion();

    // Named "noname", empty, carrying the default dummy parameters (the first
    // default construction in the process creates them).
    ParameterList();
    // A list owns its parameters, so two lists can never share them: lists
    // are not copied. Copy values with operator= instead.
    ParameterList(const ParameterList&) = delete;

    // Tells the list observers, then deletes every parameter once.
    virtual ~ParameterList();                                              // 0
    virtual void SetName(const std::string& name);                         // 1
    virtual void SetDisplayName(const std::string& displayName);           // 2
    virtual void SetDescription(const std::string& description);           // 3
    virtual const std::string& GetName() const;                            // 4
    virtual const std::string& GetDisplayName() const;                     // 5
    virtual const std::string& GetDescription() const;                     // 6
    virtual uint32_t GetNumParameters() const;                             // 7
    // The parameter at `index`, or null when the index is out of range.
    virtual Parameter* GetParameter(int32_t index) const;                  // 8
    // The earliest added parameter carrying `id`, or null.
    virtual Parameter* FindParameter(uint32_t id) const;                   // 9
    // Registers (unregisters) the observer on every parameter now in the
    // list, and through nested lists on their parameters too.
    virtual void AddObserverToParameters(IParameterObserver* observer);    // 10
    virtual void RemoveObserverToParameters(IParameterObserver* observer); // 11
    // Copies values, not parameters: each parameter of `source` is assigned
    // to this list's parameter with the same identifier, when the type
    // numbers agree, through that parameter's change protocol.
    virtual void operator=(const ParameterList& source);                   // 12
    // Appends and takes ownership; null is ignored. A parameter must be in
    // one list only, and only once.
    virtual void AddParameter(Parameter* parameter);                       // 13

    // The full forms set read-only, then visible, the texts and the
    // identifier, register the validator (may be null; not owned) and append
    // through AddParameter. The short forms use the name as display name,
    // read-only false and visible true.
    virtual void AddParameterFloat(uint32_t id, std::string name, std::string displayName,
                                   std::string description, float* variable,
                                   ParameterValidator* validator, bool readOnly,
                                   bool visible);                                   // 14
    virtual void AddParameterFloat(uint32_t id, std::string name, std::string description,
                                   float* variable, ParameterValidator* validator); // 15
    virtual void AddParameterInt(uint32_t id, std::string name, std::string displayName,
                                 std::string description, int32_t* variable,
                                 ParameterValidator* validator, bool readOnly,
                                 bool visible);                                     // 16
    virtual void AddParameterInt(uint32_t id, std::string name, std::string description,
                                 int32_t* variable, ParameterValidator* validator); // 17
    virtual void AddParameterBool(uint32_t id, std::string name, std::string displayName,
                                  std::string description, bool* variable,
                                  ParameterValidator* validator, bool readOnly,
                                  bool visible);                                    // 18
    virtual void AddParameterBool(uint32_t id, std::string name, std::string description,
                                  bool* variable, ParameterValidator* validator);   // 19
    virtual void AddParameterString(uint32_t id, std::string name, std::string displayName,
                                    std::string description, std::string* variable,
                                    ParameterValidator* validator, bool readOnly,
                                    bool visible);                                  // 20
    virtual void AddParameterString(uint32_t id, std::string name, std::string description,
                                    std::string* variable,
                                    ParameterValidator* validator);                 // 21
    virtual void AddParameterFile(uint32_t id, std::string name, std::string displayName,
                                  std::string description, std::string extensions,
                                  std::string* variable, ParameterValidator* validator,
                                  bool readOnly, bool visible);                     // 22
    virtual void AddParameterFile(uint32_t id, std::string name, std::string description,
                                  std::string extensions, std::string* variable,
                                  ParameterValidator* validator);                   // 23
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                  std::string description, const DoubleZeroString& choices,
                                  int32_t* variable, ParameterValidator* validator,
                                  bool readOnly, bool visible);                     // 24
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                  std::string description, std::vector<std::string> choices,
                                  std::vector<std::string> descriptions, int32_t* variable,
                                  ParameterValidator* validator, bool readOnly,
                                  bool visible);                                    // 25
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string displayName,
                                  std::string description, std::string choiceText,
                                  int32_t* variable, ParameterValidator* validator,
                                  bool readOnly, bool visible);                     // 26
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string description,
                                  const DoubleZeroString& choices, int32_t* variable,
                                  ParameterValidator* validator);                   // 27
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string description,
                                  std::vector<std::string> choices,
                                  std::vector<std::string> descriptions, int32_t* variable,
                                  ParameterValidator* validator);                   // 28
    virtual void AddParameterEnum(uint32_t id, std::string name, std::string description,
                                  std::string choiceText, int32_t* variable,
                                  ParameterValidator* validator);                   // 29
    // The choices stay the caller's; there is no short form.
    virtual void AddParameterDynamicList(uint32_t id, std::string name,
                                         std::string displayName, std::string description,
                                         DoubleZeroString* choices, int32_t* variable,
                                         ParameterValidator* validator, bool readOnly,
                                         bool visible);                             // 30
    virtual void AddParameterColor(uint32_t id, std::string name, std::string displayName,
                                   std::string description, Parameter::Color* variable,
                                   Parameter::Color::ColorFormat format,
                                   ParameterValidator* validator, bool readOnly,
                                   bool visible);                                   // 31
    virtual void AddParameterColor(uint32_t id, std::string name, std::string description,
                                   Parameter::Color* variable,
                                   Parameter::Color::ColorFormat format,
                                   ParameterValidator* validator);                  // 32
    // Adds a parameter holding `list`, named after it. The nested list stays
    // its creator's. A null list is ignored: nothing is added.
    virtual void AddParameterList(uint32_t id, ParameterList* list,
                                  ParameterValidator* validator, bool readOnly,
                                  bool visible);                                    // 33

    // Observers of the list itself; null and duplicates are ignored. Not owned.
    void AddObserver(IParameterListObserver* observer);
    void RemoveObserver(IParameterListObserver* observer);
    // Sets this list's dummy parameter for a type number (not owned).
    void AddDummyParameter(uint32_t type, Parameter* parameter);

protected:
    Parameter* GetDummyParameter(uint32_t type);
    void BuildDefaultDummyParameterList();

    std::string m_Name;
    std::string m_DisplayName;
    std::string m_Description;
    std::vector<Parameter*> m_Parameters;
    std::map<int32_t, Parameter*> m_DummyParameters;
    std::vector<IParameterListObserver*> m_ListObservers;
};

#endif
