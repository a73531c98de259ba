#define NOMINMAX
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <random>

#include "DiskSpeedOs.h"

namespace DiskSpeed {

namespace {

std::string ErrorText(DWORD code)
{
    char text[256] = {0};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
    return message.empty() ? std::string(number) : message + " (" + number + ")";
}

std::string Folder(std::string path)
{
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

class WindowsScratchFile : public ScratchFile {
public:
    WindowsScratchFile(HANDLE handle, std::string path, bool direct, std::string whyNot)
        : m_Handle(handle), m_Path(std::move(path)), m_Direct(direct), m_WhyNot(std::move(whyNot))
    {
    }

    ~WindowsScratchFile() override
    {
        // Opened with FILE_FLAG_DELETE_ON_CLOSE: closing removes it; the
        // delete is for the file systems that ignore the flag.
        CloseHandle(m_Handle);
        DeleteFileA(m_Path.c_str());
    }

    bool Direct() const override { return m_Direct; }
    std::string WhyNotDirect() const override { return m_WhyNot; }
    const std::string& Path() const override { return m_Path; }

    bool WriteAt(uint64_t offset, const void* data, size_t size, std::string& error) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD written = 0;
            if (!WriteFile(m_Handle, bytes, static_cast<DWORD>(size), &written, &at) || written == 0) {
                error = ErrorText(GetLastError());
                return false;
            }
            bytes += written;
            offset += written;
            size -= written;
        }
        return true;
    }

    bool ReadAt(uint64_t offset, void* data, size_t size, std::string& error) override
    {
        char* bytes = static_cast<char*>(data);
        while (size > 0) {
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            if (!ReadFile(m_Handle, bytes, static_cast<DWORD>(size), &got, &at) || got == 0) {
                error = got == 0 && GetLastError() == ERROR_HANDLE_EOF ? "the file ended early"
                                                                       : ErrorText(GetLastError());
                return false;
            }
            bytes += got;
            offset += got;
            size -= got;
        }
        return true;
    }

    bool Sync(std::string& error) override
    {
        if (FlushFileBuffers(m_Handle))
            return true;
        error = ErrorText(GetLastError());
        return false;
    }

    void DropCache() override {}

private:
    HANDLE m_Handle;
    std::string m_Path;
    bool m_Direct;
    std::string m_WhyNot;
};

} // namespace

std::string ExecutableFolder()
{
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    const std::string file(path, length);
    const std::string::size_type slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : Folder(file.substr(0, slash + 1));
}

std::string TempFolder()
{
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    return Folder(std::string(path, length));
}

bool AvailableBytes(const std::string& folder, uint64_t& bytes)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
        return false;
    bytes = available.QuadPart;
    return true;
}

std::unique_ptr<ScratchFile> ScratchFile::Create(const std::string& folder, std::string& error)
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    bool direct = true;
    std::string whyNot;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[96];
        std::snprintf(name, sizeof name, "%s%lu-%u-%08x.tmp", kScratchPrefix,
                      static_cast<unsigned long>(GetCurrentProcessId()), counter.fetch_add(1),
                      static_cast<unsigned>(random()));
        const std::string path = folder + (folder.empty() || folder.back() != '\\' ? "\\" : "") + name;
        const DWORD flags = FILE_FLAG_DELETE_ON_CLOSE | (direct ? FILE_FLAG_NO_BUFFERING : 0);
        const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | flags, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            return std::unique_ptr<ScratchFile>(new WindowsScratchFile(handle, path, direct, whyNot));
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
            continue;
        if (direct && (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED)) {
            direct = false;
            whyNot = "the file system refuses FILE_FLAG_NO_BUFFERING (" + ErrorText(code) + ")";
            continue;
        }
        error = ErrorText(code);
        return nullptr;
    }
    error = "no unused file name found";
    return nullptr;
}

} // namespace DiskSpeed
