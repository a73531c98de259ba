#include "platform/DebugOutput.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Ulmora {
namespace Platform {

void WriteDebuggerOutput(const char* text)
{
    ::OutputDebugStringA(text);
}

} // namespace Platform
} // namespace Ulmora
