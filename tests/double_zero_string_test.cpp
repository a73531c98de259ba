// DoubleZeroString: texts back to back in one double-NUL-terminated block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ulmora/DoubleZeroString.h"

namespace {

// The members are a binary contract (vtable pointer, offsets vector, block
// pointer, 32-bit capacity, 32-bit used bytes), so the block size can be read
// from where every module expects it.
uint32_t CapacityOf(const DoubleZeroString& list)
{
    const size_t offset = sizeof(void*) + sizeof(std::vector<uint32_t>) + sizeof(char*);
    uint32_t capacity = 0;
    std::memcpy(&capacity, reinterpret_cast<const char*>(&list) + offset, sizeof capacity);
    return capacity;
}

// The whole block, final NUL included.
std::string BlockOf(const DoubleZeroString& list)
{
    return std::string(static_cast<const char*>(list), list.Size());
}

std::vector<std::string> TextsOf(const DoubleZeroString& list)
{
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        texts.push_back(list.Get(i));
    return texts;
}

TEST(DoubleZeroString, FreshListIsAnEmptyDoubleNulBlock)
{
    const DoubleZeroString list;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(CapacityOf(list), 256u);
    const char* block = list;
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[1], 0);
    EXPECT_EQ(list.Get(0), nullptr);
    EXPECT_EQ(list.Length(0), 0u);
    EXPECT_EQ(list.Find("a"), -1);
    EXPECT_EQ(list.Find(""), -1);
}

TEST(DoubleZeroString, TextsLieBackToBackInTheBlock)
{
    DoubleZeroString list;
    list.Add("a");
    list.Add("bc");
    EXPECT_EQ(BlockOf(list), std::string("a\0bc\0\0", 6));
    EXPECT_EQ(list.Size(), 6u);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_STREQ(list.Get(1), "bc");
    EXPECT_EQ(list.Find("bc"), 1);
    EXPECT_EQ(list.Find("BC"), -1);
    EXPECT_EQ(list.Find("b"), -1);
    EXPECT_EQ(list.Length(1), 2u);
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Length(2), 0u);
}

TEST(DoubleZeroString, FindReturnsTheFirstEqualText)
{
    DoubleZeroString list;
    list.Add("x");
    list.Add("y");
    list.Add("x");
    EXPECT_EQ(list.Find("x"), 0);
    EXPECT_EQ(list.Find("y"), 1);
}

// The block keeps room for the text, its NUL and the final NUL, and only
// doubles from 256.
TEST(DoubleZeroString, BlockDoublesWhenATextDoesNotFit)
{
    struct Case {
        size_t length;
        uint32_t capacity;
    };
    const Case cases[] = {{0, 256}, {253, 256}, {254, 256}, {255, 512}, {510, 512}, {511, 1024}, {600, 1024},
                          {3000, 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        DoubleZeroString list;
        const std::string text(c.length, 'q');
        list.Add(text.c_str());
        EXPECT_EQ(CapacityOf(list), c.capacity);
        EXPECT_EQ(list.Size(), c.length + 2);
        EXPECT_EQ(BlockOf(list), text + std::string("\0\0", 2));
    }
}

TEST(DoubleZeroString, GrowingKeepsEveryText)
{
    DoubleZeroString list;
    std::vector<std::string> expected;
    for (int i = 0; i < 500; ++i) {
        expected.push_back("text " + std::to_string(i));
        list.Add(expected.back().c_str());
    }
    EXPECT_EQ(TextsOf(list), expected);
    EXPECT_EQ(list.Find("text 499"), 499);
    EXPECT_EQ(CapacityOf(list), 8192u);  // 500 texts take 4390 bytes
}

TEST(DoubleZeroString, EmptyTextIsAddedButEndsCopies)
{
    DoubleZeroString list;
    list.Add("a");
    list.Add("");
    list.Add("b");
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_STREQ(list.Get(1), "");
    EXPECT_EQ(list.Length(1), 0u);
    EXPECT_EQ(list.Find(""), 1);

    const DoubleZeroString copy(list);
    EXPECT_EQ(TextsOf(copy), std::vector<std::string>{"a"});

    DoubleZeroString assigned;
    assigned = list;
    EXPECT_EQ(TextsOf(assigned), std::vector<std::string>{"a"});

    DoubleZeroString walked;
    walked.AddDoubleZero(list);
    EXPECT_EQ(TextsOf(walked), std::vector<std::string>{"a"});
}

TEST(DoubleZeroString, AddDoubleZeroAppendsUpToTheFirstEmptyText)
{
    DoubleZeroString list;
    list.Add("first");
    list.AddDoubleZero("x\0\0");
    EXPECT_EQ(TextsOf(list), (std::vector<std::string>{"first", "x"}));
    list.AddDoubleZero("\0");
    list.AddDoubleZero(nullptr);
    EXPECT_EQ(list.GetCount(), 2u);
    list.AddDoubleZero("y\0zz\0\0ignored\0\0");
    EXPECT_EQ(TextsOf(list), (std::vector<std::string>{"first", "x", "y", "zz"}));
}

TEST(DoubleZeroString, CopiesOwnTheirBlock)
{
    DoubleZeroString list;
    list.Add("one");
    DoubleZeroString copy(list);
    copy.Add("two");
    list.Add("three");
    EXPECT_EQ(TextsOf(list), (std::vector<std::string>{"one", "three"}));
    EXPECT_EQ(TextsOf(copy), (std::vector<std::string>{"one", "two"}));
    EXPECT_NE(static_cast<const char*>(list), static_cast<const char*>(copy));
}

TEST(DoubleZeroString, AssignmentReplacesTheWholeList)
{
    DoubleZeroString list;
    list.Add("a");
    list.Add("b");
    list.Add(std::string(1000, 'c').c_str());
    DoubleZeroString one;
    one.Add("z");
    list = one;
    EXPECT_EQ(TextsOf(list), std::vector<std::string>{"z"});
    EXPECT_EQ(BlockOf(list), std::string("z\0\0", 3));
    EXPECT_EQ(CapacityOf(list), 256u);
}

TEST(DoubleZeroString, SelfAssignmentKeepsTheList)
{
    DoubleZeroString list;
    list.Add("a");
    list.Add("");
    list.Add("b");
    DoubleZeroString& same = list;
    list = same;
    EXPECT_EQ(TextsOf(list), (std::vector<std::string>{"a", "", "b"}));
}

TEST(DoubleZeroString, EmptyStartsAgainWithAFreshBlock)
{
    DoubleZeroString list;
    list.Add(std::string(700, 'x').c_str());
    list.Empty();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(CapacityOf(list), 256u);
    EXPECT_EQ(BlockOf(list), std::string(1, '\0'));
    list.Add("again");
    EXPECT_EQ(TextsOf(list), std::vector<std::string>{"again"});
}

// A text of the list itself may be added again, also when adding it moves the
// block.
TEST(DoubleZeroString, AddingItsOwnTextsIsSafe)
{
    DoubleZeroString list;
    const std::string big(200, 'b');
    list.Add(big.c_str());
    list.Add(list.Get(0));  // needs 402 bytes: the block moves
    EXPECT_EQ(CapacityOf(list), 512u);
    EXPECT_EQ(TextsOf(list), (std::vector<std::string>{big, big}));

    DoubleZeroString walked;
    walked.Add("a");
    walked.Add("b");
    walked.AddDoubleZero(walked);
    EXPECT_EQ(TextsOf(walked), (std::vector<std::string>{"a", "b", "a", "b"}));
    walked.AddDoubleZero(walked.Get(3));
    EXPECT_EQ(TextsOf(walked), (std::vector<std::string>{"a", "b", "a", "b", "b"}));
}

} // namespace
