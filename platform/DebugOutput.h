// The debugger's output channel.
#ifndef ULMORA_PLATFORM_DEBUGOUTPUT_H
#define ULMORA_PLATFORM_DEBUGOUTPUT_H

namespace Ulmora {
namespace Platform {

// Sends `text` to an attached debugger (OutputDebugStringA on Windows); does
// nothing where the platform has no such channel.
void WriteDebuggerOutput(const char* text);

} // namespace Platform
} // namespace Ulmora

#endif
