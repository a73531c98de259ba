// Writing what the host produces: stdout, checked (a full disk or a closed
// pipe is an error, not a silent loss), and report files, replaced whole.
#ifndef ULMORA_HOST_OUTPUT_H
#define ULMORA_HOST_OUTPUT_H

#include <cstdio>
#include <string>

#include "Command.h"

namespace Host {

// Writes `text` to stdout and flushes it. False when any byte was lost.
bool WriteStdout(const std::string& text);

// A command's whole output: `status` when it was written, else
// kExitCannotWrite with a message on stderr.
inline int WriteOut(const std::string& text, int status = kExitOk)
{
    if (!WriteStdout(text)) {
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

// Replaces `path` with `text` atomically: readers see the old file or the
// new one, never a part. The text goes to a temporary file in the same
// folder, which is then renamed over `path` (on Windows a replace, retried
// while another process holds the file open). On failure returns false and
// sets `error` to the reason.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

} // namespace Host

#endif
