// What the host says about itself: its version, the help text's footer, and
// the printing of help and version (which, like every report, must reach
// stdout or fail with the write-error status).
#ifndef ULMORA_HOST_HOSTINFO_H
#define ULMORA_HOST_HOSTINFO_H

#include <string>

namespace Host {

// The tool's own version ("1.3.0").
const char* ToolVersion();
// The library's version as IApplication::Version reports it ("1.3").
std::string LibraryVersion();

// The part of --help after the options: modules, exit statuses.
std::string HelpFooter();

int PrintHelp(const std::string& text);
int PrintVersion();

} // namespace Host

#endif
