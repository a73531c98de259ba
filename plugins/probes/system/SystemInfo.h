// What the system probe learns from the operating system; each OS file
// fills in what it can and names what it could not learn in `missing`.
#ifndef ULMORA_PROBE_SYSTEMINFO_H
#define ULMORA_PROBE_SYSTEMINFO_H

#include <string>
#include <vector>

namespace SystemProbe {

struct Info {
    std::string osName;        // "Debian GNU/Linux", "Windows"
    std::string osVersion;     // "12", "10.0.19045"
    std::string osPrettyName;  // "Debian GNU/Linux 12 (bookworm)"
    std::string kernelName;    // "Linux", "Windows NT"
    std::string kernelVersion; // "6.1.0-18-amd64"
    std::string arch;          // x86_64, x86, arm64, arm, or the OS's own word
    std::string hostname;
    std::string wineVersion;   // only when running under Wine
    double uptimeSeconds = -1; // negative when unknown
    std::vector<std::string> missing;
};

// Never throws; fills what the OS tells.
void Read(Info& info);

// The architecture words the probe reports, from the OS's own names.
std::string NormalArch(const std::string& machine);

} // namespace SystemProbe

#endif
