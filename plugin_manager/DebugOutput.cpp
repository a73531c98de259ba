#include "plugin_manager/DebugOutput.h"

#include "platform/DebugOutput.h"
#include "ulmora/DebugOutput.h"

namespace Ulmora {

namespace {

typedef void (*DebugOutputHandler)(const char* text, void* context);

// The library has no threads of its own; hosts set the handler before they
// load modules, as they do with log outputs.
DebugOutputHandler g_Handler = nullptr;
void* g_Context = nullptr;

} // namespace

void DebugOutput(const std::string& text)
{
    Platform::WriteDebuggerOutput(text.c_str());
    if (g_Handler != nullptr)
        g_Handler(text.c_str(), g_Context);
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
    Ulmora::g_Handler = handler;
    Ulmora::g_Context = handler != nullptr ? context : nullptr;
}
