// What the host may do with the terminal: colour in the report and a
// progress line, each only where a person is looking.
#ifndef ULMORA_HOST_TERMINAL_H
#define ULMORA_HOST_TERMINAL_H

#include <cstdio>
#include <string>

namespace Host {

bool IsTerminal(std::FILE* stream);

// Colour on `stream` for --color=WHEN: "always", "never", or "auto" (a
// terminal, NO_COLOR unset or empty, and TERM not "dumb").
bool UseColour(const std::string& when, std::FILE* stream);

} // namespace Host

#endif
