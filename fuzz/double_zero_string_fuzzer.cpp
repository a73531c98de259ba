// Feeds arbitrary bytes, closed by two NULs, to DoubleZeroString::AddDoubleZero
// and compares the list with one parsed independently here: the texts up to
// the first empty one, their lengths, the block itself, and appending the
// list to itself (whole and from one of its own texts on).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ulmora/DoubleZeroString.h"

namespace {

// Inputs are bounded so that one run stays fast; the block grows by doubling
// from 256 bytes, which small inputs already exercise.
const size_t kMaxInput = 1 << 16;

std::vector<std::string> ParseTexts(const char* list)
{
    std::vector<std::string> texts;
    while (*list != 0) {
        texts.emplace_back(list);
        list += texts.back().size() + 1;
    }
    return texts;
}

void CheckList(const DoubleZeroString& list, const std::vector<std::string>& expected)
{
    FUZZ_CHECK(list.GetCount() == expected.size());
    size_t bytes = 1;
    for (size_t i = 0; i < expected.size(); ++i) {
        const char* text = list.Get(static_cast<uint32_t>(i));
        FUZZ_CHECK(text != nullptr);
        FUZZ_CHECK(expected[i] == text);
        FUZZ_CHECK(list.Length(static_cast<uint32_t>(i)) == expected[i].size());
        bytes += expected[i].size() + 1;
    }
    FUZZ_CHECK(list.Get(static_cast<uint32_t>(expected.size())) == nullptr);
    FUZZ_CHECK(list.Length(static_cast<uint32_t>(expected.size())) == 0);
    FUZZ_CHECK(list.Size() == (expected.empty() ? 1u : bytes));

    // The block is the texts back to back, each with its NUL, then one more
    // NUL (an empty list is two NULs).
    const char* block = list;
    std::string joined;
    for (const std::string& text : expected) {
        joined += text;
        joined.push_back('\0');
    }
    FUZZ_CHECK(std::memcmp(block, joined.data(), joined.size()) == 0);
    FUZZ_CHECK(block[joined.size()] == 0);
    FUZZ_CHECK(ParseTexts(block) == expected);

    if (!expected.empty()) {
        // Find answers the first equal text.
        const std::string& probe = expected[expected.size() / 2];
        int32_t first = -1;
        for (size_t i = 0; i < expected.size() && first < 0; ++i) {
            if (expected[i] == probe)
                first = static_cast<int32_t>(i);
        }
        FUZZ_CHECK(list.Find(probe.c_str()) == first);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return -1;
    std::vector<char> input(data, data + size);
    input.push_back('\0');
    input.push_back('\0');

    const std::vector<std::string> texts = ParseTexts(input.data());

    DoubleZeroString list;
    list.AddDoubleZero(input.data());
    CheckList(list, texts);

    // Copies and assignment keep the texts.
    DoubleZeroString copy(list);
    CheckList(copy, texts);
    DoubleZeroString assigned;
    assigned.Add("x");
    assigned = list;
    CheckList(assigned, texts);
    DoubleZeroString& alias = assigned;
    assigned = alias;
    CheckList(assigned, texts);

    // Appending the list's own block doubles it.
    std::vector<std::string> doubled = texts;
    doubled.insert(doubled.end(), texts.begin(), texts.end());
    copy.AddDoubleZero(copy);
    CheckList(copy, doubled);

    // Appending from one of its own texts on repeats the tail.
    if (!texts.empty()) {
        const uint32_t from = static_cast<uint32_t>(texts.size() / 2);
        std::vector<std::string> tail = texts;
        tail.insert(tail.end(), texts.begin() + from, texts.end());
        list.AddDoubleZero(list.Get(from));
        CheckList(list, tail);

        // Add of its own last text, which may move the block.
        tail.push_back(tail.back());
        list.Add(list.Get(list.GetCount() - 1));
        CheckList(list, tail);
    }

    // A second list appended after the first starts where the first ended.
    DoubleZeroString twice;
    twice.AddDoubleZero(input.data());
    twice.AddDoubleZero(input.data());
    CheckList(twice, doubled);

    list.Empty();
    CheckList(list, {});
    return 0;
}
