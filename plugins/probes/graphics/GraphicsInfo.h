// The display adapters the OS knows.
#ifndef ULMORA_PROBE_GRAPHICSINFO_H
#define ULMORA_PROBE_GRAPHICSINFO_H

#include <cstdint>
#include <string>
#include <vector>

namespace GraphicsProbe {

struct Adapter {
    std::string name;
    std::string driver;
    unsigned vendorId = 0; // PCI identifiers; 0 when the adapter is not on PCI
    unsigned deviceId = 0;
    uint64_t memory = 0;   // dedicated memory in bytes, 0 when the OS does not say
};

struct Info {
    std::vector<Adapter> adapters;
    std::vector<std::string> missing;
};

// Never throws.
void Read(Info& info);

} // namespace GraphicsProbe

#endif
