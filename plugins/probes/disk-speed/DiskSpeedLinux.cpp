#ifndef _GNU_SOURCE
#define _GNU_SOURCE // O_DIRECT
#endif
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "DiskSpeedOs.h"

namespace DiskSpeed {

namespace {

std::string ErrorText(int number)
{
    return std::strerror(number);
}

class LinuxScratchFile : public ScratchFile {
public:
    LinuxScratchFile(int fd, std::string path, bool linked) : m_Fd(fd), m_Path(std::move(path)), m_Linked(linked)
    {
        // Direct I/O is switched on after creating the file, so that a file
        // system refusing it leaves no half-made file behind.
        const int flags = fcntl(m_Fd, F_GETFL);
        if (flags != -1 && fcntl(m_Fd, F_SETFL, flags | O_DIRECT) == 0)
            m_Direct = true;
        else
            m_WhyNot = "the file system refuses O_DIRECT (" + ErrorText(errno) + ")";
    }

    ~LinuxScratchFile() override
    {
        close(m_Fd);
        if (m_Linked)
            unlink(m_Path.c_str());
    }

    bool Direct() const override { return m_Direct; }
    std::string WhyNotDirect() const override { return m_WhyNot; }
    const std::string& Path() const override { return m_Path; }

    bool WriteAt(uint64_t offset, const void* data, size_t size, std::string& error) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = pwrite(m_Fd, bytes, size, static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                error = written < 0 ? ErrorText(errno) : "nothing written";
                return false;
            }
            bytes += written;
            offset += static_cast<uint64_t>(written);
            size -= static_cast<size_t>(written);
        }
        return true;
    }

    bool ReadAt(uint64_t offset, void* data, size_t size, std::string& error) override
    {
        char* bytes = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t got = pread(m_Fd, bytes, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                error = got < 0 ? ErrorText(errno) : "the file ended early";
                return false;
            }
            bytes += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<size_t>(got);
        }
        return true;
    }

    bool Sync(std::string& error) override
    {
        if (fsync(m_Fd) == 0)
            return true;
        error = ErrorText(errno);
        return false;
    }

    void DropCache() override { posix_fadvise(m_Fd, 0, 0, POSIX_FADV_DONTNEED); }

private:
    int m_Fd;
    std::string m_Path;
    bool m_Linked;
    bool m_Direct = false;
    std::string m_WhyNot;
};

} // namespace

std::string ExecutableFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    const std::string file(path, static_cast<size_t>(length));
    const std::string::size_type slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : slash == 0 ? std::string("/") : file.substr(0, slash);
}

std::string TempFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

bool AvailableBytes(const std::string& folder, uint64_t& bytes)
{
    struct statvfs info;
    if (statvfs(folder.c_str(), &info) != 0)
        return false;
    bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

std::unique_ptr<ScratchFile> ScratchFile::Create(const std::string& folder, std::string& error)
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[96];
        std::snprintf(name, sizeof name, "%s%ld-%u-%08x.tmp", kScratchPrefix, static_cast<long>(getpid()),
                      counter.fetch_add(1), static_cast<unsigned>(random()));
        const std::string path = folder + (folder.empty() || folder.back() != '/' ? "/" : "") + name;
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd == -1) {
            if (errno == EEXIST)
                continue;
            error = ErrorText(errno);
            return nullptr;
        }
        // Unlinked at once: the open descriptor keeps the data, and nothing
        // is left in the folder however the process ends.
        const bool linked = unlink(path.c_str()) != 0;
        return std::unique_ptr<ScratchFile>(new LinuxScratchFile(fd, path, linked));
    }
    error = "no unused file name found";
    return nullptr;
}

} // namespace DiskSpeed
