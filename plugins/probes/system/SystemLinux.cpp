// The system probe on Linux: /etc/os-release, uname, gethostname, /proc/uptime.
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "SystemInfo.h"

namespace SystemProbe {
namespace {

// One os-release value: unquoted, with the shell escapes it may carry.
std::string Unquote(std::string value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        text += value[i];
    }
    return text;
}

bool ReadOsRelease(Info& info)
{
    // /etc/os-release is the usual place; /usr/lib/os-release the fallback.
    std::ifstream file("/etc/os-release");
    if (!file)
        file.open("/usr/lib/os-release");
    if (!file)
        return false;
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || line[0] == '#')
            continue;
        const std::string name = line.substr(0, equals);
        const std::string value = Unquote(line.substr(equals + 1));
        if (name == "NAME")
            info.osName = value;
        else if (name == "VERSION_ID")
            info.osVersion = value;
        else if (name == "BUILD_ID" && info.osVersion.empty())
            info.osVersion = value;  // rolling releases have only a build
        else if (name == "PRETTY_NAME")
            info.osPrettyName = value;
    }
    return !info.osName.empty();
}

} // namespace

void Read(Info& info)
{
    utsname names {};
    const bool haveNames = uname(&names) == 0;
    if (haveNames) {
        info.kernelName = names.sysname;
        info.kernelVersion = names.release;
        info.arch = NormalArch(names.machine);
    } else {
        info.missing.push_back("uname failed");
    }
    if (!ReadOsRelease(info)) {
        info.missing.push_back("no os-release");
        if (haveNames) {
            info.osName = names.sysname;
            info.osVersion = names.release;
        }
    }
    if (info.osVersion.empty())
        info.missing.push_back("no OS version");

    char host[256] = "";
    if (gethostname(host, sizeof host - 1) == 0 && host[0] != '\0')
        info.hostname = host;
    else
        info.missing.push_back("no host name");

    double uptime = -1;
    if (std::FILE* file = std::fopen("/proc/uptime", "r")) {
        if (std::fscanf(file, "%lf", &uptime) != 1)
            uptime = -1;
        std::fclose(file);
    }
    if (uptime >= 0)
        info.uptimeSeconds = uptime;
    else
        info.missing.push_back("no uptime");
}

} // namespace SystemProbe
