// ulmora-test: whitebox
// The host's debug-output handler set and used from several threads.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_manager/DebugOutput.h"
#include "ulmora/DebugOutput.h"

namespace {

// Each handler counts its lines and checks that it got its own context.
struct Counter {
    std::atomic<int> lines{0};
    std::atomic<int> wrongContext{0};
};
Counter g_First;
Counter g_Second;

void FirstHandler(const char* text, void* context)
{
    if (context != &g_First || std::string(text) != "line\n")
        g_First.wrongContext.fetch_add(1);
    g_First.lines.fetch_add(1);
}

void SecondHandler(const char* text, void* context)
{
    if (context != &g_Second || std::string(text) != "line\n")
        g_Second.wrongContext.fetch_add(1);
    g_Second.lines.fetch_add(1);
}

std::atomic<int> g_SelfRemovingCalls{0};
void SelfRemovingHandler(const char*, void*)
{
    g_SelfRemovingCalls.fetch_add(1);
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
}

} // namespace

TEST(DebugOutputThreads, HandlerSwappedWhileOtherThreadsWriteGetsEveryLineOnceWithItsContext)
{
    const int kWriters = 3;
    const int kLinesEach = 2000;
    UlmoraSetDebugOutputHandler(&FirstHandler, &g_First);

    std::atomic<int> writersDone{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&] {
            for (int i = 0; i < kLinesEach; ++i)
                Ulmora::DebugOutput("line\n");
            writersDone.fetch_add(1);
        });
    }
    std::thread swapper([&] {
        bool first = false;
        while (writersDone.load() < kWriters) {
            if (first)
                UlmoraSetDebugOutputHandler(&FirstHandler, &g_First);
            else
                UlmoraSetDebugOutputHandler(&SecondHandler, &g_Second);
            first = !first;
        }
    });
    for (std::thread& writer : writers)
        writer.join();
    swapper.join();
    UlmoraSetDebugOutputHandler(nullptr, nullptr);

    EXPECT_EQ(g_First.wrongContext.load(), 0);
    EXPECT_EQ(g_Second.wrongContext.load(), 0);
    EXPECT_EQ(g_First.lines.load() + g_Second.lines.load(), kWriters * kLinesEach);
}

TEST(DebugOutputThreads, AHandlerMayRemoveItself)
{
    UlmoraSetDebugOutputHandler(&SelfRemovingHandler, nullptr);
    Ulmora::DebugOutput("first\n");
    Ulmora::DebugOutput("second\n");
    EXPECT_EQ(g_SelfRemovingCalls.load(), 1);
}
