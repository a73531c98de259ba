// The parts of platform/Platform.h that need nothing from the OS beyond the
// backend's own functions; compiled with either backend.
#include "platform/Platform.h"

namespace Ulmora {
namespace Platform {

std::string ExecutableDirectory(std::string* error)
{
    std::string path = ExecutablePath(error);
    const std::string::size_type cut = path.rfind(kPathSeparator);
    if (cut == std::string::npos)
        return std::string();
    return path.substr(0, cut + 1);
}

} // namespace Platform
} // namespace Ulmora
