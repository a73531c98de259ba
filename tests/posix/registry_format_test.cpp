// ulmora-test: whitebox
// The REGEDIT4 text format of the POSIX settings store: which texts parse,
// what they hold, and which line each malformed text is blamed on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/RegistryFormat.h"

namespace {

using Ulmora::Platform::FormatRegistryFile;
using Ulmora::Platform::ParseRegistryFile;
using Ulmora::Platform::RegistryTree;

const char* const kRoot = "HKEY_CURRENT_USER";

struct ValidText {
    const char* label;
    std::string text;
    // The same content as this store writes it: parents implied by their
    // subkeys, values sorted by name.
    std::string written;
};

const std::string kEmptyStore = "REGEDIT4\n\n";

TEST(RegistryFormat, ValidTextsParseToTheirContent)
{
    const std::vector<ValidText> rows = {
        {"empty file", "", kEmptyStore},
        {"blank lines only", "\n\r\n\n", kEmptyStore},
        {"header only", "REGEDIT4\n", kEmptyStore},
        {"blank lines before the header", "\n\nREGEDIT4\n", kEmptyStore},
        {"key without values", "REGEDIT4\n\n[HKEY_CURRENT_USER\\a]\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\a]\n\n"},
        {"parent implied by its subkey",
         "REGEDIT4\n[HKEY_CURRENT_USER\\a]\n[HKEY_CURRENT_USER\\a\\b]\n\"v\"=dword:00000001\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\a\\b]\n\"v\"=dword:00000001\n\n"},
        {"CR LF line ends and comments",
         "REGEDIT4\r\n; a comment\r\n[HKEY_CURRENT_USER\\a]\r\n\"v\"=\"x\"\r\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\a]\n\"v\"=\"x\"\n\n"},
        {"root name and paths without case, empty components dropped",
         "REGEDIT4\n[hkey_current_user\\\\A\\\\]\n\"V\"=\"1\"\n[HKEY_CURRENT_USER\\a]\n\"w\"=\"2\"\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"V\"=\"1\"\n\"w\"=\"2\"\n\n"},
        {"values of the root itself and the default value",
         "REGEDIT4\n[HKEY_CURRENT_USER]\n@=\"d\"\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER]\n@=\"d\"\n\n"},
        {"escapes in names and data",
         "REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"a\\nb\\r\\\"\\\\\"=\"q\\\"\\\\\"\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"a\\nb\\r\\\"\\\\\"=\"q\\\"\\\\\"\n\n"},
        {"key names with brackets, equals and high bytes",
         "REGEDIT4\n[HKEY_CURRENT_USER\\[x]=\xe9]\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\[x]=\xe9]\n\n"},
        {"hex data continued over lines",
         "REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"b\"=hex:01,02,\\\n  03,\\\r\n\t04\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"b\"=hex:01,02,03,04\n\n"},
        {"typed hex, dword in capitals, a later value replacing an earlier",
         "REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"m\"=hex(7):61,00,00\n\"d\"=dword:0000ABCD\n"
         "\"D\"=dword:00000001\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"D\"=dword:00000001\n\"m\"=hex(7):61,00,00\n\n"},
        {"text with a line feed is kept as typed hex",
         "REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"t\"=hex(1):78,0a,00\n",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"t\"=hex(1):78,0a,00\n\n"},
    };
    for (const ValidText& row : rows) {
        SCOPED_TRACE(row.label);
        RegistryTree tree;
        std::string error;
        ASSERT_TRUE(ParseRegistryFile(row.text, kRoot, tree, error)) << error;
        const std::string written = FormatRegistryFile(tree, kRoot);
        EXPECT_EQ(written, row.written);
        // What is written parses to the same again.
        RegistryTree again;
        ASSERT_TRUE(ParseRegistryFile(written, kRoot, again, error)) << error;
        EXPECT_EQ(FormatRegistryFile(again, kRoot), written);
    }
}

struct MalformedText {
    const char* label;
    std::string text;
    std::string error;
};

TEST(RegistryFormat, MalformedTextsNameTheLineAtFault)
{
    const std::vector<MalformedText> rows = {
        {"no header", "[HKEY_CURRENT_USER\\a]\n", "line 1: the file does not begin with REGEDIT4"},
        {"another header after blank lines", "\n\nREGEDIT5\n",
         "line 3: the file does not begin with REGEDIT4"},
        {"spaces are not blank", "  \nREGEDIT4\n", "line 1: the file does not begin with REGEDIT4"},
        {"key outside the root", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\a]\n",
         "line 3: key outside HKEY_CURRENT_USER"},
        {"root name only as a prefix", "REGEDIT4\n[HKEY_CURRENT_USERS\\a]\n",
         "line 2: key outside HKEY_CURRENT_USER"},
        {"unclosed key line", "REGEDIT4\n\n\n[HKEY_CURRENT_USER\\a\n", "line 4: not a key line"},
        {"deletion line", "REGEDIT4\n[-HKEY_CURRENT_USER\\a]\n", "line 2: not a key line"},
        {"empty brackets", "REGEDIT4\n[]\n", "line 2: not a key line"},
        {"value before the first key", "REGEDIT4\n\"a\"=\"b\"\n",
         "line 2: value before the first key"},
        {"unquoted name", "REGEDIT4\n[HKEY_CURRENT_USER]\na=\"b\"\n", "line 3: not a value line"},
        {"unterminated name", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a=\"b\n",
         "line 3: unreadable value data"},
        {"no equals sign", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\" \"b\"\n",
         "line 3: unreadable value data"},
        {"unterminated text", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\n",
         "line 3: unreadable value data"},
        {"text followed by more", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"b\"c\n",
         "line 3: unreadable value data"},
        {"dword not hex", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:zz\n",
         "line 3: unreadable value data"},
        {"dword too long", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:123456789\n",
         "line 3: unreadable value data"},
        {"empty dword", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:\n",
         "line 3: unreadable value data"},
        {"odd hex digit", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,2\n",
         "line 3: unreadable value data"},
        {"hex without commas", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:0102\n",
         "line 3: unreadable value data"},
        {"hex type missing", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex():01\n",
         "line 3: unreadable value data"},
        {"hex type too large", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex(123456789):01\n",
         "line 3: unreadable value data"},
        {"unknown data form", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=qword:1\n",
         "line 3: unreadable value data"},
        {"error in a continued line is blamed on its first line",
         "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,\\\n  zz\n",
         "line 3: unreadable value data"},
        {"line after a continued one counts its lines",
         "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,\\\n  02\nbad\n",
         "line 5: not a value line"},
        {"data continued past the end", "REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,\\\n",
         "line 3: data continued past the end of the file"},
    };
    for (const MalformedText& row : rows) {
        SCOPED_TRACE(row.label);
        RegistryTree tree;
        tree.Values(RegistryTree::kRoot)["kept"].name = "kept";
        std::string error;
        EXPECT_FALSE(ParseRegistryFile(row.text, kRoot, tree, error));
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(tree.Values(RegistryTree::kRoot).count("kept"), 1u) << "the tree was changed";
    }
}

TEST(RegistryFormat, DeepPathsAndLongValuesKeepTheirSize)
{
    // 20,000 levels: written back as one key line, not one line per level.
    std::string path;
    for (int i = 0; i < 20000; ++i)
        path += i == 0 ? "k" : "\\k";
    std::string hex = "hex:";
    for (int i = 0; i < 200000; ++i)
        hex += i % 20 == 19 ? "5a,\\\n  " : "5a,";
    hex += "00";
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + path + "]\n\"v\"=" + hex + "\n";
    RegistryTree tree;
    std::string error;
    ASSERT_TRUE(ParseRegistryFile(text, kRoot, tree, error)) << error;
    const RegistryTree::Node deepest = tree.Find(path);
    ASSERT_NE(deepest, RegistryTree::kNone);
    ASSERT_EQ(tree.Values(deepest).count("v"), 1u);
    EXPECT_EQ(tree.Values(deepest).at("v").data.size(), 200001u);
    const std::string written = FormatRegistryFile(tree, kRoot);
    EXPECT_LT(written.size(), text.size());

    // Deleting the whole depth does not recurse either.
    tree.DeleteTree("k", false);
    EXPECT_EQ(FormatRegistryFile(tree, kRoot), kEmptyStore);
}

} // namespace
