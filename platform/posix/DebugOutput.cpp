#include "platform/DebugOutput.h"

namespace Ulmora {
namespace Platform {

// POSIX has no debugger output channel; hosts install a handler instead.
void WriteDebuggerOutput(const char* /*text*/) {}

} // namespace Platform
} // namespace Ulmora
