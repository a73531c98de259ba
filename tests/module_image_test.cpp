// ulmora-test: whitebox
// The header checks that run before a module file is handed to the loader,
// over hand-made headers: every bound of the ELF and the PE layout, and
// headers whose numbers overflow when added.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/ModuleImage.h"

namespace {

using Ulmora::Platform::CheckElfImage;
using Ulmora::Platform::CheckPeImage;
using Ulmora::Platform::MemoryByteSource;

typedef std::vector<unsigned char> Bytes;

void Put(Bytes& bytes, size_t offset, uint64_t value, size_t width, bool bigEndian = false)
{
    if (bytes.size() < offset + width)
        bytes.resize(offset + width);
    for (size_t i = 0; i < width; ++i) {
        const size_t at = bigEndian ? offset + width - 1 - i : offset + i;
        bytes[at] = static_cast<unsigned char>(value >> (8 * i));
    }
}

struct Segment {
    uint32_t type;
    uint64_t offset;
    uint64_t filesz;
};

// An ELF file of `size` bytes: header, program header table at `phoff`.
Bytes Elf(bool wide, bool bigEndian, uint64_t phoff, const std::vector<Segment>& segments, size_t size,
          uint64_t phentsize = 0, uint64_t phnum = ~0ull)
{
    Bytes bytes(size, 0);
    const unsigned char ident[] = {0x7f, 'E', 'L', 'F', static_cast<unsigned char>(wide ? 2 : 1),
                                   static_cast<unsigned char>(bigEndian ? 2 : 1), 1};
    std::memcpy(bytes.data(), ident, sizeof ident);
    const size_t entry = wide ? 56 : 32;
    Put(bytes, wide ? 32 : 28, phoff, wide ? 8 : 4, bigEndian);
    Put(bytes, wide ? 54 : 42, phentsize != 0 ? phentsize : entry, 2, bigEndian);
    Put(bytes, wide ? 56 : 44, phnum != ~0ull ? phnum : segments.size(), 2, bigEndian);
    for (size_t i = 0; i < segments.size(); ++i) {
        const size_t at = static_cast<size_t>(phoff) + i * entry;
        Put(bytes, at, segments[i].type, 4, bigEndian);
        Put(bytes, at + (wide ? 8 : 4), segments[i].offset, wide ? 8 : 4, bigEndian);
        Put(bytes, at + (wide ? 32 : 16), segments[i].filesz, wide ? 8 : 4, bigEndian);
    }
    bytes.resize(size);  // the table itself may be cut off
    return bytes;
}

struct Section {
    uint32_t rawSize;
    uint32_t rawOffset;
};

// A PE file of `size` bytes with its headers at `peOffset`.
Bytes Pe(uint32_t peOffset, uint16_t optionalSize, const std::vector<Section>& sections, size_t size,
         uint16_t sectionCount = 0xFFFF)
{
    Bytes bytes(size, 0);
    Put(bytes, 0, 'M', 1);
    Put(bytes, 1, 'Z', 1);
    Put(bytes, 0x3C, peOffset, 4);
    std::memcpy(&bytes[peOffset], "PE\0\0", 4);
    Put(bytes, peOffset + 6, sectionCount != 0xFFFF ? sectionCount : sections.size(), 2);
    Put(bytes, peOffset + 20, optionalSize, 2);
    const size_t table = peOffset + 24 + optionalSize;
    for (size_t i = 0; i < sections.size(); ++i) {
        std::memcpy(&bytes[table + i * 40], ".text\0\0\0", 8);
        Put(bytes, table + i * 40 + 16, sections[i].rawSize, 4);
        Put(bytes, table + i * 40 + 20, sections[i].rawOffset, 4);
    }
    bytes.resize(size);
    return bytes;
}

std::string CheckElf(const Bytes& bytes)
{
    MemoryByteSource source(bytes.data(), bytes.size());
    std::string reason;
    return CheckElfImage(source, &reason) ? "ok" : reason;
}

std::string CheckPe(const Bytes& bytes)
{
    MemoryByteSource source(bytes.data(), bytes.size());
    std::string reason;
    return CheckPeImage(source, &reason) ? "ok" : reason;
}

struct Row {
    const char* name;
    Bytes bytes;
    const char* expected;  // "ok" or a part of the reason
};

template <size_t N>
void ExpectRows(const Row (&rows)[N], std::string (*check)(const Bytes&))
{
    for (const Row& row : rows) {
        const std::string result = check(row.bytes);
        if (std::string(row.expected) == "ok")
            EXPECT_EQ(result, "ok") << row.name;
        else
            EXPECT_NE(result.find(row.expected), std::string::npos) << row.name << ": " << result;
    }
}

TEST(ModuleImage, ElfSegmentsAndTheirTableMustLieWithinTheFile)
{
    const uint64_t huge = 0xFFFFFFFFFFFFFF00ull;
    const Row rows[] = {
        {"64-bit, all inside", Elf(true, false, 64, {{1, 0, 4096}, {1, 4096, 100}, {2, 4100, 50}}, 4196), "ok"},
        {"32-bit, all inside", Elf(false, false, 52, {{1, 0, 1000}, {6, 52, 32}}, 1000), "ok"},
        {"big-endian, all inside", Elf(true, true, 64, {{1, 0, 300}}, 300), "ok"},
        {"segment ends on the last byte", Elf(true, false, 64, {{1, 200, 56}}, 256), "ok"},
        {"empty segment past the end", Elf(true, false, 64, {{0x6474e551, 99999, 0}}, 200), "ok"},
        {"loadable segment one byte long", Elf(true, false, 64, {{1, 200, 57}}, 256),
         "segment 0 (loadable) of 57 bytes at byte 200 runs past the end of the file (256 bytes)"},
        {"second segment cut", Elf(true, false, 64, {{1, 0, 100}, {1, 8192, 4096}}, 10000), "segment 1"},
        {"big-endian segment cut", Elf(true, true, 64, {{1, 0, 301}}, 300), "segment 0"},
        {"other segment cut", Elf(false, false, 52, {{2, 100, 1000}}, 200), "segment 0 of 1000 bytes"},
        {"offset overflows", Elf(true, false, 64, {{1, huge, 0x200}}, 200), "runs past the end"},
        {"size overflows", Elf(true, false, 64, {{1, 100, huge}}, 200), "runs past the end"},
        {"table cut", Elf(true, false, 64, {{1, 0, 10}, {1, 0, 10}}, 64 + 56 + 10), "program header table"},
        {"table far away", Elf(true, false, 64, {}, 200, 0, 3), "program header table"},
        {"table offset overflows", Elf(true, false, huge, {}, 200, 0, 1), "program header table"},
        {"no program headers", Elf(true, false, 64, {}, 200), "no program headers"},
        {"extended count", Elf(true, false, 64, {}, 200, 0, 0xFFFF), "too many program headers"},
        {"odd entry size", Elf(true, false, 64, {{1, 0, 10}}, 200, 40), "entries of 40 bytes instead of 56"},
        {"empty file", Bytes(), "too short"},
        {"only the magic", Bytes{0x7f, 'E', 'L', 'F'}, "too short"},
        {"header cut", [] { Bytes b = Elf(true, false, 64, {{1, 0, 10}}, 200); b.resize(40); return b; }(),
         "too short"},
        {"no magic", Bytes(200, 'x'), "not an ELF object"},
        {"unknown class", [] { Bytes b = Elf(true, false, 64, {{1, 0, 10}}, 200); b[4] = 3; return b; }(),
         "unknown ELF class 3"},
        {"unknown byte order", [] { Bytes b = Elf(true, false, 64, {{1, 0, 10}}, 200); b[5] = 0; return b; }(),
         "unknown ELF byte order 0"},
    };
    ExpectRows(rows, CheckElf);
}

TEST(ModuleImage, PeSectionsAndTheirTableMustLieWithinTheFile)
{
    const Row rows[] = {
        {"all inside", Pe(0x80, 224, {{0x200, 0x400}, {0x200, 0x600}}, 0x800), "ok"},
        {"section ends on the last byte", Pe(0x80, 224, {{0x200, 0x600}}, 0x800), "ok"},
        {"uninitialised section past the end", Pe(0x80, 224, {{0, 0x7FFFFFFF}}, 0x400), "ok"},
        {"section cut", Pe(0x80, 224, {{0x200, 0x400}, {0x201, 0x600}}, 0x800),
         "PE section 1 (.text) of 513 bytes at byte 1536 runs past the end of the file (2048 bytes)"},
        {"section offset overflows", Pe(0x80, 224, {{0x200, 0xFFFFFF00u}}, 0x800), "PE section 0"},
        {"section table cut", Pe(0x80, 224, {{0x200, 0x400}, {0x200, 0x600}}, 0x80 + 24 + 224 + 60),
         "section table"},
        {"many sections, few bytes", Pe(0x80, 0, {}, 0x200, 0xFFFE), "section table"},
        {"optional header cut", Pe(0x80, 0xFFFF, {}, 0x200, 0), "optional header"},
        {"PE header past the end", [] { Bytes b = Pe(0x80, 0, {}, 0x200); Put(b, 0x3C, 0xFFFFFFF0u, 4); return b; }(),
         "PE header at byte 4294967280"},
        {"PE header cut", Pe(0x80, 0, {}, 0x90), "PE header at byte 128"},
        {"no PE signature", [] { Bytes b = Pe(0x80, 0, {}, 0x200); b[0x81] = 'X'; return b; }(), "no PE signature"},
        {"no MZ", Bytes(200, 'x'), "no MZ signature"},
        {"too short", Bytes{'M', 'Z'}, "too short for a DOS header"},
    };
    ExpectRows(rows, CheckPe);
}

// Random headers and every cut of a valid header: the checks must answer,
// never read outside the bytes (the sanitizer build watches), and accept
// only files whose bounds hold.
TEST(ModuleImage, ArbitraryBytesGetAnAnswer)
{
    std::mt19937 random(20261211);
    const Bytes elf = Elf(true, false, 64, {{1, 0, 300}, {1, 300, 200}}, 500);
    const Bytes pe = Pe(0x80, 224, {{0x200, 0x400}}, 0x600);
    for (size_t cut = 0; cut < elf.size(); ++cut)
        EXPECT_NE(CheckElf(Bytes(elf.begin(), elf.begin() + cut)), "ok") << "ELF cut at " << cut;
    for (size_t cut = 0; cut < pe.size(); ++cut)
        EXPECT_NE(CheckPe(Bytes(pe.begin(), pe.begin() + cut)), "ok") << "PE cut at " << cut;
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = round % 2 == 0 ? elf : pe;
        bytes.resize(random() % (bytes.size() + 1));
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips && !bytes.empty(); ++i)
            bytes[random() % std::min<size_t>(bytes.size(), 400)] = static_cast<unsigned char>(random());
        CheckElf(bytes);
        CheckPe(bytes);
    }
}

} // namespace
