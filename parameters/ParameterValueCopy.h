// Reading the value of another parameter for Parameter::operator=.
#ifndef ULMORA_PARAMETERS_PARAMETERVALUECOPY_H
#define ULMORA_PARAMETERS_PARAMETERVALUECOPY_H

#include "ulmora/Parameter.h"

namespace Ulmora {
namespace Parameters {

// Reads `source`'s value into `value` when it reports the same type number as
// `target`; false otherwise. A source of class P is read with its typed
// GetValue. A source of another class that merely reports the same number
// (a plug-in's own parameter class) is read through the raw GetValue every
// parameter has, rather than through a slot its class may not have.
template <class P, class T>
bool ReadValueOfSameType(const Parameter& target, const Parameter& source, T& value)
{
    if (source.Type() != target.Type())
        return false;
    if (const P* typed = dynamic_cast<const P*>(&source))
        typed->GetValue(value);
    else
        source.GetValue(&value, 0);
    return true;
}

} // namespace Parameters
} // namespace Ulmora

#endif
