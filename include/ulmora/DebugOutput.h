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
// Handlers are called on the thread that produces the line. Any thread may
// call this at any time: a line is given whole to either the old or the new
// handler with its own context, and a line already being delivered when the
// handler is replaced may still reach the old one.
ULMORA_API void UlmoraSetDebugOutputHandler(void (*handler)(const char* text, void* context),
                                            void* context);
}

#endif
