// The messages of the error family and which handlers catch which errors.
#include <gtest/gtest.h>

#include <string>

#include "ulmora/Exception.h"

namespace {

using namespace Ulmora;

TEST(Exceptions, MessagesAreComposedByteForByte)
{
    struct Case {
        const char* name;
        std::string actual;
        std::string expected;
    };
    const Case cases[] = {
        {"default", Exception().GetErrorMsg(), ""},
        {"failed", UlmoraFailedException("boom").GetErrorMsg(), "boom"},
        {"dll", DLLLoadFailedException("C:\\m\\x.tst").GetErrorMsg(),
         "The application exited because it failed to load the following library:\r\nC:\\m\\x.tst"},
        {"dll empty", DLLLoadFailedException("").GetErrorMsg(),
         "The application exited because it failed to load the following library:\r\n"},
        {"not found", ResultNotFoundException("Speed").GetErrorMsg(), "Result not found : Speed"},
        {"index", ResultIndexOutOfBoundException(5).GetErrorMsg(), "Index out of bound: 5"},
        {"index large", ResultIndexOutOfBoundException(4000000000ul).GetErrorMsg(),
         "Index out of bound: 4000000000"},
        {"resultdb root", ResultDBException().GetErrorMsg(), ""},
        {"testmanager root", TestManagerException().GetErrorMsg(), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(Exceptions, CopiesAndWrappersKeepTheMessage)
{
    ResultNotFoundException original("key");
    ResultNotFoundException copy(original);
    EXPECT_STREQ(copy.GetErrorMsg(), original.GetErrorMsg());
    UlmoraFailedException wrapped(original.GetErrorMsg());
    EXPECT_STREQ(wrapped.GetErrorMsg(), "Result not found : key");
    Exception assigned;
    assigned = wrapped;
    EXPECT_STREQ(assigned.GetErrorMsg(), "Result not found : key");
}

template <class Caught, class Thrown>
bool Catches(const Thrown& error)
{
    try {
        throw error;
    } catch (const Caught&) {
        return true;
    } catch (...) {
        return false;
    }
}

TEST(Exceptions, BranchHandlersCatchTheirFamily)
{
    EXPECT_TRUE(Catches<ResultDBException>(ResultNotFoundException("k")));
    EXPECT_TRUE(Catches<ResultDBException>(ResultIndexOutOfBoundException(1)));
    EXPECT_FALSE(Catches<ResultDBException>(DLLLoadFailedException("m")));
    EXPECT_FALSE(Catches<TestManagerException>(ResultNotFoundException("k")));
    EXPECT_TRUE(Catches<Exception>(UlmoraFailedException("x")));
    EXPECT_TRUE(Catches<Exception>(ResultIndexOutOfBoundException(1)));
    EXPECT_TRUE(Catches<Exception>(DLLLoadFailedException("m")));
}

} // namespace
