// Writing what the host produces: stdout, checked (a full disk or a closed
// pipe is an error, not a silent loss), and report files, replaced whole.
#ifndef ULMORA_HOST_OUTPUT_H
#define ULMORA_HOST_OUTPUT_H

#include <string>

namespace Host {

// Writes `text` to stdout and flushes it. False when any byte was lost.
bool WriteStdout(const std::string& text);

// Replaces `path` with `text` atomically: readers see the old file or the
// new one, never a part. The text goes to a temporary file in the same
// folder, which is then renamed over `path` (on Windows a replace, retried
// while another process holds the file open). On failure returns false and
// sets `error` to the reason.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

} // namespace Host

#endif
