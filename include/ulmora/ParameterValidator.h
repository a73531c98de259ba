// Validators: parameter observers that the creator of a parameter hands in
// with it. ParameterValidator accepts everything and ignores every notice;
// ParameterValidatorTemplate<T, N, P> hands the "translate" notice of a
// parameter of exactly type number N to TranslateParameter, already as a P.
//
// The template's members are defined and exported by the library for the
// nine instances below only, so plug-ins derive from those instances without
// instantiating the template themselves.
//
// Threads: validators are called on the thread that changes the parameter, inside its operation.
#ifndef ULMORA_PARAMETERVALIDATOR_H
#define ULMORA_PARAMETERVALIDATOR_H

#include <cstdint>
#include <string>

#include "ulmora/Export.h"
#include "ulmora/Parameter.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"

// Not destroyed by the library: whoever creates a validator keeps it alive
// while any parameter has it registered.
class ULMORA_API ParameterValidator : public IParameterObserver {
public:
    ParameterValidator();
    ParameterValidator(const ParameterValidator&);
    ParameterValidator& operator=(const ParameterValidator&);

    bool AllowParameterChange(Parameter* parameter, const void* value,
                              uint32_t code) override;                     // 0
    void NotifyParameterChanged(Parameter* parameter, uint32_t code) override;   // 1
    void NotifyParameterTranslate(Parameter* parameter, uint32_t code) override; // 2
};

// T is the value type of P and is not used by the template itself. Only the
// translate notice is forwarded; to refuse changes, override
// AllowParameterChange, to follow "changed", override NotifyParameterChanged.
template <class T, ParameterType N, class P>
class ParameterValidatorTemplate : public ParameterValidator {
public:
    ParameterValidatorTemplate();
    ParameterValidatorTemplate(const ParameterValidatorTemplate&);
    ParameterValidatorTemplate& operator=(const ParameterValidatorTemplate&);

    void NotifyParameterTranslate(Parameter* parameter, uint32_t code) override; // 2

protected:
    // Called once after each value a parameter of type N stored.
    virtual void TranslateParameter(P* parameter, uint32_t code);          // 3
    // Hooks for derived classes; the library never calls them.
    virtual void ParameterChanged(P* parameter, uint32_t code);            // 4
    virtual bool AllowChange(P* parameter, uint32_t code);                 // 5
};

extern template class ULMORA_API ParameterValidatorTemplate<float, TypeFloat, ParameterFloat>;
extern template class ULMORA_API ParameterValidatorTemplate<int32_t, TypeInt, ParameterInt>;
extern template class ULMORA_API ParameterValidatorTemplate<std::string, TypeString, ParameterString>;
extern template class ULMORA_API ParameterValidatorTemplate<int32_t, TypeEnum, ParameterEnum>;
extern template class ULMORA_API ParameterValidatorTemplate<bool, TypeBool, ParameterBool>;
extern template class ULMORA_API ParameterValidatorTemplate<Parameter::Color, TypeRGBColor, ParameterRGBColor>;
extern template class ULMORA_API ParameterValidatorTemplate<std::string, TypeFile, ParameterFile>;
extern template class ULMORA_API ParameterValidatorTemplate<ParameterList, TypeParameterList, ParameterParameterList>;
extern template class ULMORA_API ParameterValidatorTemplate<int32_t, TypeDynamicList, ParameterDynamicList>;

#endif
