// The graphics probe on Windows: EnumDisplayDevicesA lists one entry per
// output, so entries of one adapter (same device identifier) count once.
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GraphicsInfo.h"

namespace GraphicsProbe {
namespace {

// "PCI\VEN_10DE&DEV_1C82&SUBSYS_..." -> the hexadecimal after `tag`.
unsigned IdAfter(const char* deviceId, const char* tag)
{
    const char* at = std::strstr(deviceId, tag);
    return at != nullptr ? static_cast<unsigned>(std::strtoul(at + std::strlen(tag), nullptr, 16)) : 0;
}

} // namespace

void Read(Info& info)
{
    std::vector<std::string> seen;
    for (DWORD index = 0; index < 64; ++index) {
        DISPLAY_DEVICEA device {};
        device.cb = sizeof device;
        if (!EnumDisplayDevicesA(nullptr, index, &device, 0))
            break;
        if (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER)
            continue;
        const std::string key = device.DeviceID[0] != '\0' ? device.DeviceID : device.DeviceString;
        bool known = false;
        for (const std::string& other : seen)
            known = known || other == key;
        if (known)
            continue;
        seen.push_back(key);
        Adapter adapter;
        adapter.name = device.DeviceString;
        adapter.vendorId = IdAfter(device.DeviceID, "VEN_");
        adapter.deviceId = IdAfter(device.DeviceID, "DEV_");
        info.adapters.push_back(adapter);
    }
}

} // namespace GraphicsProbe
