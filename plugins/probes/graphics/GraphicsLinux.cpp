// The graphics probe on Linux: the DRM cards in /sys/class/drm, their PCI
// identifiers and driver, names from the PCI ID list where one is
// installed, and the memory size amdgpu publishes.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GraphicsInfo.h"

namespace GraphicsProbe {
namespace {

const std::string kDrm = "/sys/class/drm/";

std::string Line(const std::string& path)
{
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[256];
        if (std::fgets(buffer, sizeof buffer, file) != nullptr)
            text = buffer;
        std::fclose(file);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// "card0", "card1"; not the connectors ("card0-HDMI-A-1") nor render nodes.
bool IsCard(const char* name)
{
    if (std::strncmp(name, "card", 4) != 0 || name[4] == '\0')
        return false;
    for (const char* c = name + 4; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9')
            return false;
    }
    return true;
}

// Names from the pci.ids list: a vendor line "10de  NVIDIA Corporation",
// then its devices indented by one tab, "\t1c82  GP107 [GeForce GTX 1050 Ti]".
void NameFromPciIds(std::vector<Adapter>& adapters)
{
    std::FILE* file = nullptr;
    for (const char* path : {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"}) {
        if ((file = std::fopen(path, "r")) != nullptr)
            break;
    }
    if (file == nullptr)
        return;
    std::string vendorName;
    unsigned vendor = 0;
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '#' || line[0] == '\n')
            continue;
        if (line[0] == 'C' && line[1] == ' ')
            break;  // the device classes follow the vendors
        unsigned id = 0;
        char name[400] = "";
        if (line[0] != '\t' && std::sscanf(line, "%x %399[^\n]", &id, name) == 2) {
            vendor = id;
            vendorName = name;
            for (Adapter& adapter : adapters) {
                if (adapter.vendorId == vendor && adapter.name.empty())
                    adapter.name = vendorName;  // until the device is found
            }
        } else if (line[0] == '\t' && line[1] != '\t' && std::sscanf(line + 1, "%x %399[^\n]", &id, name) == 2) {
            for (Adapter& adapter : adapters) {
                if (adapter.vendorId == vendor && adapter.deviceId == id)
                    adapter.name = vendorName + " " + name;
            }
        }
    }
    std::fclose(file);
}

} // namespace

void Read(Info& info)
{
    DIR* folder = opendir(kDrm.c_str());
    if (folder == nullptr)
        return;  // no DRM at all: no adapters
    std::vector<std::string> cards;
    while (const dirent* entry = readdir(folder)) {
        if (IsCard(entry->d_name))
            cards.push_back(entry->d_name);
    }
    closedir(folder);
    std::sort(cards.begin(), cards.end(), [](const std::string& a, const std::string& b) {
        return std::atoi(a.c_str() + 4) < std::atoi(b.c_str() + 4);
    });
    for (const std::string& card : cards) {
        const std::string device = kDrm + card + "/device/";
        Adapter adapter;
        adapter.vendorId = static_cast<unsigned>(std::strtoul(Line(device + "vendor").c_str(), nullptr, 16));
        adapter.deviceId = static_cast<unsigned>(std::strtoul(Line(device + "device").c_str(), nullptr, 16));
        char target[PATH_MAX];
        const ssize_t length = readlink((device + "driver").c_str(), target, sizeof target - 1);
        if (length > 0) {
            const std::string driver(target, static_cast<size_t>(length));
            adapter.driver = driver.substr(driver.rfind('/') + 1);
        }
        adapter.memory = std::strtoull(Line(device + "mem_info_vram_total").c_str(), nullptr, 10);
        info.adapters.push_back(adapter);
    }
    if (!info.adapters.empty())
        NameFromPciIds(info.adapters);
    // Without a PCI ID list (or for SoC adapters off PCI) the driver names it.
    for (Adapter& adapter : info.adapters) {
        if (adapter.name.empty() && !adapter.driver.empty())
            adapter.name = adapter.driver;
    }
}

} // namespace GraphicsProbe
