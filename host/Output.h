// Writing a command's text to stdout so that a failed write is noticed.
#ifndef ULMORA_HOST_OUTPUT_H
#define ULMORA_HOST_OUTPUT_H

#include <cstdio>
#include <string>

#include "Command.h"

namespace Host {

// Writes `text` to stdout and flushes it; kExitCannotWrite (with a message
// on stderr) when that fails, `status` otherwise.
inline int WriteOut(const std::string& text, int status = kExitOk)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("ulmora: cannot write to standard output\n", stderr);
        return kExitCannotWrite;
    }
    return status;
}

// One error line on stderr, prefixed with the program's name.
inline void Complain(const std::string& text)
{
    std::fprintf(stderr, "ulmora: %s\n", text.c_str());
}

} // namespace Host

#endif
