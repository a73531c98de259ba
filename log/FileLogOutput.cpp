#include "log/FileLogOutput.h"

#include "platform/Platform.h"

namespace Ulmora {

FileLogOutput::FileLogOutput(const char* path, const char* mode)
    : m_File(path != nullptr ? Platform::OpenFile(path, mode) : nullptr)
{
}

FileLogOutput::~FileLogOutput()
{
    if (m_File != nullptr)
        std::fclose(m_File);
}

void FileLogOutput::Write(int /*level*/, const char* module, const time_t* time, const char* text)
{
    if (m_File == nullptr)
        return;
    std::tm local = {};
    Platform::LocalTime(*time, &local);
    std::fprintf(m_File, "[%d:%d:%d] -%s- %s\n", local.tm_hour, local.tm_min, local.tm_sec, module, text);
}

} // namespace Ulmora
