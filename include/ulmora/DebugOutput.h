// Where the plug-in managers' diagnostic lines go ("Registered plugin: ...",
// "Unloading plugins...", "Releasing <module>."). On Windows they always go
// to the debugger output; on every platform they also go to a handler that a
// host may install.
#ifndef ULMORA_DEBUGOUTPUT_H
#define ULMORA_DEBUGOUTPUT_H

#include "ulmora/Export.h"

extern "C" {
// Installs `handler`, called with each line (including its line feed) and
// `context`. Replaces any earlier handler; a null handler removes it.
// Handlers are called on the thread that produces the line.
ULMORA_API void UlmoraSetDebugOutputHandler(void (*handler)(const char* text, void* context),
                                            void* context);
}

#endif
