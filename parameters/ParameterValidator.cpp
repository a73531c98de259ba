#include "ulmora/ParameterValidator.h"

ParameterValidator::ParameterValidator() = default;
ParameterValidator::ParameterValidator(const ParameterValidator&) = default;
ParameterValidator& ParameterValidator::operator=(const ParameterValidator&)
{
    return *this;
}

bool ParameterValidator::AllowParameterChange(Parameter* /*parameter*/, const void* /*value*/,
                                              uint32_t /*code*/)
{
    return true;
}

void ParameterValidator::NotifyParameterChanged(Parameter* /*parameter*/, uint32_t /*code*/) {}

void ParameterValidator::NotifyParameterTranslate(Parameter* /*parameter*/, uint32_t /*code*/) {}

// The template's members are defined here only, so that the instances below
// are the only ones: plug-ins bind to them rather than make their own. The
// export attribute comes from the "extern template" declarations in the
// header (GCC and MinGW both take it from there and ignore a repeat here).

template <class T, ParameterType N, class P>
ParameterValidatorTemplate<T, N, P>::ParameterValidatorTemplate() = default;

template <class T, ParameterType N, class P>
ParameterValidatorTemplate<T, N, P>::ParameterValidatorTemplate(
    const ParameterValidatorTemplate&) = default;

template <class T, ParameterType N, class P>
ParameterValidatorTemplate<T, N, P>& ParameterValidatorTemplate<T, N, P>::operator=(
    const ParameterValidatorTemplate&)
{
    return *this;
}

template <class T, ParameterType N, class P>
void ParameterValidatorTemplate<T, N, P>::NotifyParameterTranslate(Parameter* parameter,
                                                                   uint32_t code)
{
    // Only exactly type N: a ParameterFile (7) is not handed to the string
    // instance (2), nor an alternate colour (6) to the colour instance (5).
    if (parameter != nullptr && parameter->Type() == N)
        TranslateParameter(static_cast<P*>(parameter), code);
}

template <class T, ParameterType N, class P>
void ParameterValidatorTemplate<T, N, P>::TranslateParameter(P* /*parameter*/, uint32_t /*code*/)
{
}

template <class T, ParameterType N, class P>
void ParameterValidatorTemplate<T, N, P>::ParameterChanged(P* /*parameter*/, uint32_t /*code*/)
{
}

template <class T, ParameterType N, class P>
bool ParameterValidatorTemplate<T, N, P>::AllowChange(P* /*parameter*/, uint32_t /*code*/)
{
    return true;
}

template class ParameterValidatorTemplate<float, TypeFloat, ParameterFloat>;
template class ParameterValidatorTemplate<int32_t, TypeInt, ParameterInt>;
template class ParameterValidatorTemplate<std::string, TypeString, ParameterString>;
template class ParameterValidatorTemplate<int32_t, TypeEnum, ParameterEnum>;
template class ParameterValidatorTemplate<bool, TypeBool, ParameterBool>;
template class ParameterValidatorTemplate<Parameter::Color, TypeRGBColor, ParameterRGBColor>;
template class ParameterValidatorTemplate<std::string, TypeFile, ParameterFile>;
template class ParameterValidatorTemplate<ParameterList, TypeParameterList, ParameterParameterList>;
template class ParameterValidatorTemplate<int32_t, TypeDynamicList, ParameterDynamicList>;
