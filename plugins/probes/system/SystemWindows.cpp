// The system probe on Windows: RtlGetVersion (the true version, which
// GetVersionEx hides from programs without a manifest), the product name in
// the registry, GetNativeSystemInfo, the DNS host name and GetTickCount64.
#define NOMINMAX
#include <windows.h>

#include <cstdio>

#include "SystemInfo.h"

namespace SystemProbe {
namespace {

struct VersionInfo {
    ULONG size;
    ULONG major;
    ULONG minor;
    ULONG build;
    ULONG platform;
    WCHAR servicePack[128];
};
using RtlGetVersionFunction = LONG(WINAPI*)(VersionInfo*);
using WineGetVersionFunction = const char*(CDECL*)();
using TickCount64Function = ULONGLONG(WINAPI*)();

std::string ArchOf(WORD architecture)
{
    switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return "x86_64";
    case PROCESSOR_ARCHITECTURE_INTEL: return "x86";
    case 12: return "arm64";  // PROCESSOR_ARCHITECTURE_ARM64, missing from older headers
    case PROCESSOR_ARCHITECTURE_ARM: return "arm";
    case PROCESSOR_ARCHITECTURE_IA64: return "ia64";
    default: return "";
    }
}

std::string RegistryText(const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return "";
    char text[256] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    std::string value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        text[size < sizeof text ? size : sizeof text - 1] = '\0';
        value = text;
    }
    RegCloseKey(key);
    return value;
}

} // namespace

void Read(Info& info)
{
    info.osName = "Windows";
    info.kernelName = "Windows NT";
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    VersionInfo version {};
    version.size = sizeof version;
    if (getVersion != nullptr && getVersion(&version) == 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%lu.%lu.%lu", version.major, version.minor, version.build);
        info.osVersion = text;
        info.kernelVersion = text;
    } else {
        info.missing.push_back("no OS version");
    }
    if (auto wine = ntdll ? reinterpret_cast<WineGetVersionFunction>(
                                reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                          : nullptr)
        info.wineVersion = wine();
    const std::string product = RegistryText("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName");
    info.osPrettyName = product.empty() ? info.osName + " " + info.osVersion : product;

    SYSTEM_INFO system {};
    GetNativeSystemInfo(&system);
    info.arch = ArchOf(system.wProcessorArchitecture);
    if (info.arch.empty())
        info.missing.push_back("unknown architecture");

    char host[256] = "";
    DWORD size = sizeof host;
    if (GetComputerNameExA(ComputerNameDnsHostname, host, &size) && host[0] != '\0') {
        info.hostname = host;
    } else {
        size = sizeof host;
        if (GetComputerNameA(host, &size) && host[0] != '\0')
            info.hostname = host;
        else
            info.missing.push_back("no host name");
    }

    // GetTickCount64 does not wrap after 49 days as GetTickCount does.
    auto ticks64 = reinterpret_cast<TickCount64Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    info.uptimeSeconds = ticks64 ? static_cast<double>(ticks64()) / 1000.0
                                 : static_cast<double>(GetTickCount()) / 1000.0;
}

} // namespace SystemProbe
