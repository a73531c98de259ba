// The Windows backend's one way of turning an OS error into a readable message.
#ifndef ULMORA_PLATFORM_WIN32_ERRORTEXT_H
#define ULMORA_PLATFORM_WIN32_ERRORTEXT_H

#include <string>

namespace Ulmora {
namespace Platform {

// "<system message for code>: <path>"
std::string Win32ErrorText(unsigned long code, const std::string& path);

} // namespace Platform
} // namespace Ulmora

#endif
