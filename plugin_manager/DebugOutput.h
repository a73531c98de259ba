// The library's side of the debug output: every diagnostic line of the
// plug-in managers goes through here.
#ifndef ULMORA_PLUGIN_MANAGER_DEBUGOUTPUT_H
#define ULMORA_PLUGIN_MANAGER_DEBUGOUTPUT_H

#include <string>

namespace Ulmora {

// Sends `text` to the debugger output and to the host's handler, if any.
void DebugOutput(const std::string& text);

} // namespace Ulmora

#endif
