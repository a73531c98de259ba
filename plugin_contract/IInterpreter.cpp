#include "ulmora/IInterpreter.h"

namespace Ulmora {

IInterpreterDescriptor::IInterpreterDescriptor() = default;
IInterpreterDescriptor::IInterpreterDescriptor(const IInterpreterDescriptor& other) = default;
IInterpreterDescriptor& IInterpreterDescriptor::operator=(const IInterpreterDescriptor& other) = default;
IInterpreterDescriptor::~IInterpreterDescriptor() = default;

} // namespace Ulmora
