// Everything of the parameter system: parameters, lists and validators.
#ifndef ULMORA_PARAMETERS_H
#define ULMORA_PARAMETERS_H

#include "ulmora/Parameter.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"
#include "ulmora/ParameterValidator.h"

#endif
