#include "ulmora/IInterpreter.h"

namespace Ulmora {

IInterpreterDLL::IInterpreterDLL() = default;
IInterpreterDLL::IInterpreterDLL(const IInterpreterDLL& other) = default;
IInterpreterDLL& IInterpreterDLL::operator=(const IInterpreterDLL& other) = default;
IInterpreterDLL::~IInterpreterDLL() = default;

uint32_t IInterpreterDLL::GetAPIVersion() const
{
    return PluginManagerAPI::kPluginAPIVersion;
}

void IInterpreterDLL::Initialize() {}

void IInterpreterDLL::ShutDown() {}

IInterpreterDescriptor::IInterpreterDescriptor() = default;
IInterpreterDescriptor::IInterpreterDescriptor(const IInterpreterDescriptor& other) = default;
IInterpreterDescriptor& IInterpreterDescriptor::operator=(const IInterpreterDescriptor& other) = default;
IInterpreterDescriptor::~IInterpreterDescriptor() = default;

IInterpreter::IInterpreter() = default;
IInterpreter::IInterpreter(const IInterpreter&) = default;

IInterpreter& IInterpreter::operator=(const IInterpreter&)
{
    return *this;
}

IInterpreter::~IInterpreter() = default;

} // namespace Ulmora
