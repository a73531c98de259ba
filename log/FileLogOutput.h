// The library's own log output: one "[h:m:s] -module- text" line per message
// in a text file.
#ifndef ULMORA_LOG_FILELOGOUTPUT_H
#define ULMORA_LOG_FILELOGOUTPUT_H

#include <cstdio>

#include "ulmora/Log.h"

namespace Ulmora {

class FileLogOutput : public Log::ILogOutput {
public:
    // Opens `path` with `mode`; a file that cannot be opened leaves a silent
    // output behind and raises nothing.
    FileLogOutput(const char* path, const char* mode);
    ~FileLogOutput() override;

    void Write(int level, const char* module, const time_t* time, const char* text) override;

private:
    FileLogOutput(const FileLogOutput&) = delete;
    FileLogOutput& operator=(const FileLogOutput&) = delete;

    std::FILE* m_File;
};

} // namespace Ulmora

#endif
