#include "HostInfo.h"

#include <cstdio>

#include "Command.h"
#include "Output.h"
#include "ulmora/Ulmora.h"

#ifndef ULMORA_HOST_VERSION
#define ULMORA_HOST_VERSION "0.0.0"
#endif

namespace Host {

const char* ToolVersion()
{
    return ULMORA_HOST_VERSION;
}

std::string LibraryVersion()
{
    Ulmora::IApplication* application = nullptr;
    std::string version = "unknown";
    try {
        CreateApplication(&application);
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(application->Version()));
        version = text;
    } catch (...) {
        // The version is informative; a library that cannot even create
        // its application shows as unknown here and fails the run later.
    }
    ReleaseApplication(&application);
    return version;
}

std::string HelpFooter()
{
    return "Modules:\n"
           "  ulmora loads the probes (*.tst) and judges (*.intr) in the folders below its own\n"
           "  executable (on Linux <prefix>/lib/ulmora/, on Windows the folder of ulmora.exe).\n"
           "  There is no --modules DIR option: the library searches beside the executable by\n"
           "  design. To run with a set of modules of your own, make a private copy of the\n"
           "  folder and run the copy:\n"
           "      cp -a /usr/local/lib/ulmora ~/ulmora-copy && ~/ulmora-copy/ulmora\n"
           "  Folders there that other users can write are refused (see\n"
           "  --allow-insecure-modules).\n"
           "\n"
           "Exit status:\n"
           "  0-63  the judges' answer (0 all met, 1 warning, 2 critical, 3 unknown with the\n"
           "        bundled judges), capped at 63\n"
           "  64    usage error\n"
           "  66    no probe or judge module was found\n"
           "  70    a library or plug-in error\n"
           "  74    stdout, the log or a report file cannot be written\n"
           "\n"
           "More: docs/cli.md, man ulmora.\n";
}

int PrintHelp(const std::string& text)
{
    return WriteStdout(text) ? kExitOk : kExitCannotWrite;
}

int PrintVersion()
{
    std::string text = "ulmora ";
    text += ToolVersion();
    text += "\nlibrary Ulmora " + LibraryVersion() + "\nplug-in API " +
            std::to_string(PluginManagerAPI::kPluginAPIVersion) + "\n";
    return WriteStdout(text) ? kExitOk : kExitCannotWrite;
}

} // namespace Host
