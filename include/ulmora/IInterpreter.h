// What an interpreter module implements. So far only the descriptor, which
// hosts may also register directly through IApplication::RegisterInterpreter.
#ifndef ULMORA_IINTERPRETER_H
#define ULMORA_IINTERPRETER_H

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"

namespace Ulmora {

// Describes one interpreter; its slots are those of IPluginDescriptor.
class ULMORA_API IInterpreterDescriptor : public PluginManagerAPI::IPluginDescriptor {
public:
    IInterpreterDescriptor();
    IInterpreterDescriptor(const IInterpreterDescriptor& other);
    IInterpreterDescriptor& operator=(const IInterpreterDescriptor& other);
    ~IInterpreterDescriptor() override;
};

} // namespace Ulmora

#endif
