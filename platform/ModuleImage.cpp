#include "platform/ModuleImage.h"

#include <cstring>
#include <vector>

namespace Ulmora {
namespace Platform {

bool MemoryByteSource::Read(uint64_t offset, void* out, size_t size)
{
    if (offset > m_Size || size > m_Size - offset)
        return false;
    if (size != 0)
        std::memcpy(out, m_Data + offset, size);
    return true;
}

namespace {

// Fields of either byte order, read from a header copied into memory.
class Fields {
public:
    Fields(const unsigned char* bytes, bool bigEndian) : m_Bytes(bytes), m_BigEndian(bigEndian) {}

    uint64_t Get(size_t offset, size_t width) const
    {
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            const size_t at = m_BigEndian ? offset + i : offset + width - 1 - i;
            value = (value << 8) | m_Bytes[at];
        }
        return value;
    }

private:
    const unsigned char* m_Bytes;
    bool m_BigEndian;
};

// Whether [offset, offset + length) lies within a file of `size` bytes,
// without overflow for any values.
bool Within(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

bool Fail(std::string* reason, const std::string& text)
{
    if (reason != nullptr)
        *reason = text;
    return false;
}

std::string Number(uint64_t value)
{
    return std::to_string(static_cast<unsigned long long>(value));
}

} // namespace

bool CheckElfImage(ByteSource& file, std::string* reason)
{
    const uint64_t size = file.Size();
    unsigned char ident[16];
    if (!file.Read(0, ident, sizeof ident))
        return Fail(reason, "the file is too short for an ELF header (" + Number(size) + " bytes)");
    if (std::memcmp(ident, "\x7f" "ELF", 4) != 0)
        return Fail(reason, "the file is not an ELF object (no ELF magic number)");
    const unsigned char elfClass = ident[4];
    const unsigned char data = ident[5];
    if (elfClass != 1 && elfClass != 2)
        return Fail(reason, "unknown ELF class " + Number(elfClass));
    if (data != 1 && data != 2)
        return Fail(reason, "unknown ELF byte order " + Number(data));
    const bool wide = elfClass == 2;
    const size_t headerSize = wide ? 64 : 52;
    const size_t entrySize = wide ? 56 : 32;

    unsigned char header[64];
    if (!file.Read(0, header, headerSize))
        return Fail(reason, "the file is too short for an ELF header (" + Number(size) + " bytes)");
    const Fields fields(header, data == 2);
    const uint64_t phoff = wide ? fields.Get(32, 8) : fields.Get(28, 4);
    const uint64_t phentsize = fields.Get(wide ? 54 : 42, 2);
    const uint64_t phnum = fields.Get(wide ? 56 : 44, 2);
    if (phnum == 0)
        return Fail(reason, "the ELF file has no program headers");
    if (phnum == 0xFFFF)
        return Fail(reason, "the ELF file has too many program headers");
    if (phentsize != entrySize)
        return Fail(reason, "ELF program header entries of " + Number(phentsize) + " bytes instead of " +
                                Number(entrySize));
    if (!Within(phoff, phnum * entrySize, size))
        return Fail(reason, "the ELF program header table (bytes " + Number(phoff) + " to " +
                                Number(phoff + phnum * entrySize) + ") lies past the end of the file (" +
                                Number(size) + " bytes)");

    std::vector<unsigned char> table(static_cast<size_t>(phnum * entrySize));
    if (!file.Read(phoff, table.data(), table.size()))
        return Fail(reason, "the ELF program header table cannot be read");
    for (uint64_t i = 0; i < phnum; ++i) {
        const Fields entry(table.data() + i * entrySize, data == 2);
        const uint64_t type = entry.Get(0, 4);
        const uint64_t offset = wide ? entry.Get(8, 8) : entry.Get(4, 4);
        const uint64_t filesz = wide ? entry.Get(32, 8) : entry.Get(16, 4);
        // Every segment with file contents is read or mapped from the file
        // by the loader; a zero-sized one (the stack's) is not.
        if (filesz == 0)
            continue;
        if (!Within(offset, filesz, size))
            return Fail(reason, std::string("ELF segment ") + Number(i) + (type == 1 ? " (loadable)" : "") +
                                    " of " + Number(filesz) + " bytes at byte " + Number(offset) +
                                    " runs past the end of the file (" + Number(size) + " bytes)");
    }
    return true;
}

bool CheckPeImage(ByteSource& file, std::string* reason)
{
    const uint64_t size = file.Size();
    unsigned char dos[64];
    if (!file.Read(0, dos, sizeof dos))
        return Fail(reason, "the file is too short for a DOS header (" + Number(size) + " bytes)");
    if (dos[0] != 'M' || dos[1] != 'Z')
        return Fail(reason, "the file is not a PE image (no MZ signature)");
    const uint64_t peOffset = Fields(dos, false).Get(0x3C, 4);

    // Signature and file header: 4 + 20 bytes.
    unsigned char pe[24];
    if (!Within(peOffset, sizeof pe, size) || !file.Read(peOffset, pe, sizeof pe))
        return Fail(reason, "the PE header at byte " + Number(peOffset) + " lies past the end of the file (" +
                                Number(size) + " bytes)");
    if (std::memcmp(pe, "PE\0\0", 4) != 0)
        return Fail(reason, "the file is not a PE image (no PE signature)");
    const Fields header(pe, false);
    const uint64_t sections = header.Get(6, 2);
    const uint64_t optionalSize = header.Get(20, 2);
    const uint64_t optionalOffset = peOffset + sizeof pe;
    if (!Within(optionalOffset, optionalSize, size))
        return Fail(reason, "the PE optional header lies past the end of the file (" + Number(size) + " bytes)");
    const uint64_t tableOffset = optionalOffset + optionalSize;
    const uint64_t tableSize = sections * 40;
    if (!Within(tableOffset, tableSize, size))
        return Fail(reason, "the PE section table (bytes " + Number(tableOffset) + " to " +
                                Number(tableOffset + tableSize) + ") lies past the end of the file (" +
                                Number(size) + " bytes)");

    std::vector<unsigned char> table(static_cast<size_t>(tableSize));
    if (!file.Read(tableOffset, table.data(), table.size()))
        return Fail(reason, "the PE section table cannot be read");
    for (uint64_t i = 0; i < sections; ++i) {
        const Fields section(table.data() + i * 40, false);
        const uint64_t rawSize = section.Get(16, 4);
        const uint64_t rawOffset = section.Get(20, 4);
        if (rawSize == 0)
            continue;
        if (!Within(rawOffset, rawSize, size)) {
            std::string name(reinterpret_cast<const char*>(table.data() + i * 40), 8);
            name = name.c_str();
            for (char& c : name) {
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                    c = '?';
            }
            return Fail(reason, "PE section " + Number(i) + " (" + name + ") of " + Number(rawSize) + " bytes at byte " +
                                    Number(rawOffset) + " runs past the end of the file (" + Number(size) +
                                    " bytes)");
        }
    }
    return true;
}

} // namespace Platform
} // namespace Ulmora
