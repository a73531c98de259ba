// Logging: a logger that formats each message once and hands it to every
// registered output, and the interface those outputs implement.
//
// Threads: a logger and its outputs are used by one thread at a time.
#ifndef ULMORA_LOG_H
#define ULMORA_LOG_H

#include <cstdarg>
#include <ctime>
#include <vector>

#include "ulmora/Export.h"

namespace Log {

// Levels the library writes with; any other int is passed on unchanged.
enum Level { LevelError = 1, LevelWarning = 2, LevelInformation = 4 };

// A destination for log messages. Implemented by hosts (and by the library's
// own file output). The vtable order is part of the binary contract:
// slot 0 Write, slot 1 the destructor.
class ULMORA_API ILogOutput {
public:
    // One finished message. `module` may be "" but never null; `time` points
    // at the logger's time stamp and is valid only during the call.
    virtual void Write(int level, const char* module, const time_t* time, const char* text) = 0;
    virtual ~ILogOutput();

protected:
    ILogOutput();
    ILogOutput(const ILogOutput&);
    ILogOutput& operator=(const ILogOutput&);
};

// Formats messages into a 2048-byte buffer and delivers them, with one shared
// time stamp, to every output in the order they were added. A message of 2048
// characters or more is dropped whole rather than cut. Outputs are not owned.
class ULMORA_API Logger {
public:
    Logger();
    ~Logger();

    // Appends `output` unless it is already registered. Must not be null.
    void AddOutput(ILogOutput* output);
    // Removes `output`, keeping the order of the rest; unknown pointers are ignored.
    void RemoveOutput(ILogOutput* output);

    // The results carry no meaning; they are kept for the binary contract.
    int VPrint(int level, const char* module, const char* format, va_list args) ULMORA_PRINTF(4, 0);
    int Print(const char* module, const char* format, ...) ULMORA_PRINTF(3, 4);
    int PrintLevel(int level, const char* module, const char* format, ...) ULMORA_PRINTF(4, 5);
    int PrintNoModule(const char* format, ...) ULMORA_PRINTF(2, 3);

    enum { BufferSize = 2048 };

private:
    std::vector<ILogOutput*> m_Outputs;
    time_t m_LastTime;
};

} // namespace Log

#endif
