// The --log file: the library's log lines, written and flushed one by one,
// so that the file is complete up to the moment a plug-in brings the run
// down.
#ifndef ULMORA_HOST_LOGFILE_H
#define ULMORA_HOST_LOGFILE_H

#include <cstdio>
#include <string>

#include "ulmora/Log.h"

namespace Host {

class LogFile : public Log::ILogOutput {
public:
    LogFile() = default;
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Creates (or empties) the file. False with `error` set when it cannot.
    bool Open(const std::string& path, std::string* error);
    void Write(int level, const char* module, const time_t* time, const char* text) override;
    // A line of the host's own, in the library's form.
    void Note(const std::string& text);
    // False once any line failed to reach the file.
    bool Good() const { return m_Good; }
    bool Close();

private:
    std::FILE* m_File = nullptr;
    bool m_Good = true;
};

} // namespace Host

#endif
