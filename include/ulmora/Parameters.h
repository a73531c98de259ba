// Everything of the parameter system: parameters, lists and validators.
//
// Threads: see ParameterList.h; a list and its parameters are used by one thread at a time.
#ifndef ULMORA_PARAMETERS_H
#define ULMORA_PARAMETERS_H

#include "ulmora/Parameter.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"
#include "ulmora/ParameterValidator.h"

#endif
