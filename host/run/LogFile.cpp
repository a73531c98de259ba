#include "run/LogFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace Host {

LogFile::~LogFile()
{
    Close();
}

bool LogFile::Open(const std::string& path, std::string* error)
{
    m_File = std::fopen(path.c_str(), "w");
    if (m_File == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

void LogFile::Write(int /*level*/, const char* module, const time_t* time, const char* text)
{
    if (m_File == nullptr)
        return;
    std::tm local = {};
#ifdef _WIN32
    localtime_s(&local, time);
#else
    localtime_r(time, &local);
#endif
    if (std::fprintf(m_File, "[%d:%d:%d] -%s- %s\n", local.tm_hour, local.tm_min, local.tm_sec,
                     module != nullptr ? module : "", text != nullptr ? text : "") < 0 ||
        std::fflush(m_File) != 0)
        m_Good = false;
}

void LogFile::Note(const std::string& text)
{
    const time_t now = std::time(nullptr);
    Write(Log::LevelError, "ulmora", &now, text.c_str());
}

bool LogFile::Close()
{
    if (m_File == nullptr)
        return m_Good;
    if (std::fclose(m_File) != 0)
        m_Good = false;
    m_File = nullptr;
    return m_Good;
}

} // namespace Host
