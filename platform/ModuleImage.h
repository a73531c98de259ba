// Checks made on a module file before the platform loader maps it. The
// loaders trust a file's headers: one cut short inside a mapped segment
// faults the process (SIGBUS on Linux) instead of failing the load.
#ifndef ULMORA_PLATFORM_MODULEIMAGE_H
#define ULMORA_PLATFORM_MODULEIMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace Ulmora {
namespace Platform {

// Random access to the bytes of the file being checked.
class ByteSource {
public:
    virtual ~ByteSource() {}
    virtual uint64_t Size() const = 0;
    // Reads `size` bytes at `offset`; false unless all of them were read.
    virtual bool Read(uint64_t offset, void* out, size_t size) = 0;
};

// Bytes already in memory, for callers that hold the whole file.
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, size_t size) : m_Data(static_cast<const unsigned char*>(data)), m_Size(size) {}
    uint64_t Size() const override { return m_Size; }
    bool Read(uint64_t offset, void* out, size_t size) override;

private:
    const unsigned char* m_Data;
    size_t m_Size;
};

// True when `file` is an ELF file whose program header table and the file
// contents of every segment lie within the file. Otherwise false, and
// `reason`, when given, says what is wrong. Never reads outside `file`.
bool CheckElfImage(ByteSource& file, std::string* reason);

// The same for a PE image: the DOS header, the PE signature, the file and
// optional headers, the section table and each section's raw data.
bool CheckPeImage(ByteSource& file, std::string* reason);

// Checks the file at `path` before it is loaded: it must be a regular file
// once links are resolved (a FIFO would block the loader for ever), and its
// headers must pass the platform's image check. Failure: false, and `reason`
// receives a readable reason with the path.
bool CheckModuleFile(const std::string& path, std::string* reason);

} // namespace Platform
} // namespace Ulmora

#endif
