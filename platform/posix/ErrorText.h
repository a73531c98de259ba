// The POSIX backend's one way of turning an OS error into a readable message.
#ifndef ULMORA_PLATFORM_POSIX_ERRORTEXT_H
#define ULMORA_PLATFORM_POSIX_ERRORTEXT_H

#include <string>

namespace Ulmora {
namespace Platform {

// "<strerror(code)>: <path>"
std::string ErrnoText(int code, const std::string& path);

} // namespace Platform
} // namespace Ulmora

#endif
