#include "platform/ModuleImage.h"
#include "platform/win32/ErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Ulmora {
namespace Platform {

namespace {

class FileByteSource : public ByteSource {
public:
    FileByteSource(HANDLE file, uint64_t size) : m_File(file), m_Size(size) {}
    uint64_t Size() const override { return m_Size; }
    bool Read(uint64_t offset, void* out, size_t size) override
    {
        char* at = static_cast<char*>(out);
        while (size > 0) {
            OVERLAPPED where = {};
            where.Offset = static_cast<DWORD>(offset);
            where.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
            DWORD n = 0;
            if (!::ReadFile(m_File, at, chunk, &n, &where) || n == 0)
                return false;
            at += n;
            offset += n;
            size -= n;
        }
        return true;
    }

private:
    HANDLE m_File;
    uint64_t m_Size;
};

} // namespace

bool CheckModuleFile(const std::string& path, std::string* reason)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (reason != nullptr)
            *reason = Win32ErrorText(::GetLastError(), path);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (reason != nullptr)
            *reason = "not a regular file (a directory): " + path;
        return false;
    }
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (reason != nullptr)
            *reason = Win32ErrorText(::GetLastError(), path);
        return false;
    }
    bool good = false;
    LARGE_INTEGER size;
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        if (reason != nullptr)
            *reason = "not a regular file (a device or pipe): " + path;
    } else if (!::GetFileSizeEx(file, &size)) {
        if (reason != nullptr)
            *reason = Win32ErrorText(::GetLastError(), path);
    } else {
        FileByteSource source(file, static_cast<uint64_t>(size.QuadPart));
        std::string why;
        good = CheckPeImage(source, &why);
        if (!good && reason != nullptr)
            *reason = why + ": " + path;
    }
    ::CloseHandle(file);
    return good;
}

} // namespace Platform
} // namespace Ulmora
