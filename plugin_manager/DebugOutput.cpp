#include "plugin_manager/DebugOutput.h"

#include <mutex>

#include "platform/DebugOutput.h"
#include "ulmora/DebugOutput.h"

namespace Ulmora {

namespace {

typedef void (*DebugOutputHandler)(const char* text, void* context);

// Hosts may set the handler while another thread loads modules; the handler
// and its context change together under this lock. Constant-initialised, so
// it is usable from static constructors.
std::mutex g_HandlerLock;
DebugOutputHandler g_Handler = nullptr;
void* g_Context = nullptr;

} // namespace

void DebugOutput(const std::string& text)
{
    Platform::WriteDebuggerOutput(text.c_str());
    DebugOutputHandler handler;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_HandlerLock);
        handler = g_Handler;
        context = g_Context;
    }
    // Called outside the lock, so that a handler may replace itself.
    if (handler != nullptr)
        handler(text.c_str(), context);
}

std::string EscapeControlCharacters(const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        }
    }
    return escaped;
}

} // namespace Ulmora

extern "C" ULMORA_API void UlmoraSetDebugOutputHandler(void (*handler)(const char* text, void* context),
                                                       void* context)
{
    std::lock_guard<std::mutex> lock(Ulmora::g_HandlerLock);
    Ulmora::g_Handler = handler;
    Ulmora::g_Context = handler != nullptr ? context : nullptr;
}
