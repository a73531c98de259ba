// The library's side of the debug output: every diagnostic line of the
// plug-in managers goes through here.
#ifndef ULMORA_PLUGIN_MANAGER_DEBUGOUTPUT_H
#define ULMORA_PLUGIN_MANAGER_DEBUGOUTPUT_H

#include <string>

namespace Ulmora {

// Sends `text` to the debugger output and to the host's handler, if any.
void DebugOutput(const std::string& text);

// `text` with its control characters written out ("\n", "\r", "\t",
// "\x1b" and so on), for the text the library adds to the output: names
// taken from the file system must not forge lines of their own.
std::string EscapeControlCharacters(const std::string& text);

} // namespace Ulmora

#endif
