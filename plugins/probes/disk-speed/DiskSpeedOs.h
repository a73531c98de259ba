// What the disk-speed probe asks of the operating system: the folders it may
// write in, their free space, and a scratch file that never outlives the
// probe.
#ifndef ULMORA_DISK_SPEED_OS_H
#define ULMORA_DISK_SPEED_OS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace DiskSpeed {

// The folder holding the running executable; empty when unknown.
std::string ExecutableFolder();
// The temporary folder of this user; empty when unknown.
std::string TempFolder();
// Space this user may still use on the volume of `folder`.
bool AvailableBytes(const std::string& folder, uint64_t& bytes);

// The name prefix of every scratch file, so that leftovers would be easy
// to recognise.
constexpr const char* kScratchPrefix = "ulmora-disk-speed-";
// Buffers and transfers for unbuffered I/O are multiples of this.
constexpr size_t kAlignment = 4096;

// A new file of a unique name in a folder, opened for unbuffered reads and
// writes where the file system allows it. It is removed from the folder at
// the latest when the object is destroyed, and where the OS can do so
// already when the process ends in any other way.
class ScratchFile {
public:
    virtual ~ScratchFile() = default;

    // Creates the file; null with `error` set when that is not possible.
    static std::unique_ptr<ScratchFile> Create(const std::string& folder, std::string& error);

    // Whether reads and writes bypass the page cache.
    virtual bool Direct() const = 0;
    // Why they do not, when they do not.
    virtual std::string WhyNotDirect() const = 0;
    // Writes `size` bytes at `offset` (both aligned); false with `error` set.
    virtual bool WriteAt(uint64_t offset, const void* data, size_t size, std::string& error) = 0;
    // Reads `size` bytes at `offset` (both aligned); false with `error` set.
    virtual bool ReadAt(uint64_t offset, void* data, size_t size, std::string& error) = 0;
    // Flushes the file to the device (fsync, FlushFileBuffers).
    virtual bool Sync(std::string& error) = 0;
    // Asks the OS to drop any cached pages of the file, so that a buffered
    // read goes to the device where it can.
    virtual void DropCache() = 0;
    // The full path it was created under.
    virtual const std::string& Path() const = 0;
};

} // namespace DiskSpeed

#endif
