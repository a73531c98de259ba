#include "log/FileLogOutput.h"

#include <cstring>

#include "platform/Platform.h"

namespace Ulmora {

namespace {

// "[h:m:s] -" for one second of local time. Converting to local time costs
// more than the rest of a line, and a busy log writes many lines a second, so
// the prefix is kept per thread for the last second seen.
struct ClockPrefix {
    std::time_t time = 0;
    bool valid = false;
    char text[32];
    size_t length = 0;
};

size_t AppendNumber(char* out, int value)
{
    char digits[12];
    size_t count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t length = 0;
    if (value < 0)
        out[length++] = '-';
    while (count > 0)
        out[length++] = digits[--count];
    return length;
}

const ClockPrefix& PrefixFor(std::time_t time)
{
    thread_local ClockPrefix prefix;
    if (!prefix.valid || prefix.time != time) {
        std::tm local = {};
        Platform::LocalTime(time, &local);
        char* out = prefix.text;
        size_t length = 0;
        out[length++] = '[';
        length += AppendNumber(out + length, local.tm_hour);
        out[length++] = ':';
        length += AppendNumber(out + length, local.tm_min);
        out[length++] = ':';
        length += AppendNumber(out + length, local.tm_sec);
        out[length++] = ']';
        out[length++] = ' ';
        out[length++] = '-';
        prefix.length = length;
        prefix.time = time;
        prefix.valid = true;
    }
    return prefix;
}

} // namespace

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
    // The line is "[%d:%d:%d] -%s- %s\n", put together here and handed to the
    // stream in one write; a line longer than the buffer goes through
    // fprintf, which writes the same bytes.
    const ClockPrefix& prefix = PrefixFor(*time);
    const size_t moduleLength = std::strlen(module);
    const size_t textLength = std::strlen(text);
    char line[4096];
    const size_t length = prefix.length + moduleLength + 2 + textLength + 1;
    if (length > sizeof line) {
        std::fprintf(m_File, "%.*s%s- %s\n", static_cast<int>(prefix.length), prefix.text, module, text);
        return;
    }
    char* out = line;
    std::memcpy(out, prefix.text, prefix.length);
    out += prefix.length;
    std::memcpy(out, module, moduleLength);
    out += moduleLength;
    *out++ = '-';
    *out++ = ' ';
    std::memcpy(out, text, textLength);
    out += textLength;
    *out++ = '\n';
    std::fwrite(line, 1, length, m_File);
}

} // namespace Ulmora
