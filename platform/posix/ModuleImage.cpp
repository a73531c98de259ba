#include "platform/ModuleImage.h"
#include "platform/posix/ErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Ulmora {
namespace Platform {

namespace {

class FileByteSource : public ByteSource {
public:
    FileByteSource(int fd, uint64_t size) : m_Fd(fd), m_Size(size) {}
    uint64_t Size() const override { return m_Size; }
    bool Read(uint64_t offset, void* out, size_t size) override
    {
        char* at = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t n = ::pread(m_Fd, at, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
            offset += static_cast<uint64_t>(n);
            size -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_Fd;
    uint64_t m_Size;
};

const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    return "not a regular file";
}

bool NotRegular(mode_t mode, const std::string& path, std::string* reason)
{
    if (reason != nullptr)
        *reason = std::string("not a regular file (") + KindOf(mode) + "): " + path;
    return false;
}

} // namespace

bool CheckModuleFile(const std::string& path, std::string* reason)
{
    // The type is looked at before the file is opened: opening a FIFO waits
    // for a writer, and opening a device may act on it.
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        if (reason != nullptr)
            *reason = ErrnoText(errno, path);
        return false;
    }
    if (!S_ISREG(info.st_mode))
        return NotRegular(info.st_mode, path, reason);
    // Non-blocking, in case the name was replaced by a FIFO meanwhile; the
    // type is checked again on what was opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (reason != nullptr)
            *reason = ErrnoText(errno, path);
        return false;
    }
    bool good = false;
    if (::fstat(fd, &info) != 0) {
        if (reason != nullptr)
            *reason = ErrnoText(errno, path);
    } else if (!S_ISREG(info.st_mode)) {
        NotRegular(info.st_mode, path, reason);
    } else {
        FileByteSource file(fd, static_cast<uint64_t>(info.st_size));
        std::string why;
        good = CheckElfImage(file, &why);
        if (!good && reason != nullptr)
            *reason = why + ": " + path;
    }
    ::close(fd);
    return good;
}

} // namespace Platform
} // namespace Ulmora
