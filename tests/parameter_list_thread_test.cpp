// Parameter lists built on several threads at once. Each case of this file
// must run in a fresh process (as CTest runs them), because only the first
// lists of a process create the shared defaults; under Wine the whole file is
// one process and the first case still comes first.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"

namespace {

class DummyView : public ParameterList {
public:
    using ParameterList::GetDummyParameter;
};

const uint32_t kDummyTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10};

// Starts `count` threads that wait for each other and then run `work` at the
// same moment, so that their first steps overlap as far as possible.
template <class Work>
void RunTogether(unsigned count, Work work)
{
    std::atomic<unsigned> waiting(count);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            waiting.fetch_sub(1);
            while (waiting.load() != 0)
                std::this_thread::yield();
            work(i);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

TEST(ParameterListThreads, FirstListsBuiltAtOnceShareOneSetOfDefaults)
{
    const unsigned kThreads = 8;
    std::vector<std::vector<Parameter*>> seen(kThreads);
    RunTogether(kThreads, [&](unsigned i) {
        DummyView list;
        for (uint32_t type : kDummyTypes)
            seen[i].push_back(list.GetDummyParameter(type));
    });

    DummyView later;
    for (unsigned i = 0; i < kThreads; ++i) {
        for (size_t t = 0; t < seen[i].size(); ++t) {
            const uint32_t type = kDummyTypes[t];
            ASSERT_NE(seen[i][t], nullptr) << "thread " << i << ", type " << type;
            EXPECT_EQ(seen[i][t], later.GetDummyParameter(type)) << "thread " << i << ", type " << type;
        }
    }
    // The defaults are whole: the default list holds its own holder.
    auto* defaultList = static_cast<ParameterList*>(later.GetDummyParameter(9)->GetVariablePointer());
    ASSERT_NE(defaultList, nullptr);
    EXPECT_EQ(defaultList->GetNumParameters(), 0u);
}

TEST(ParameterListThreads, ListsOfTheirOwnOnManyThreads)
{
    // After the defaults exist, lists on different threads are independent.
    const unsigned kThreads = 4;
    std::vector<int> counts(kThreads);
    RunTogether(kThreads, [&](unsigned i) {
        for (int round = 0; round < 200; ++round) {
            DummyView list;
            int32_t values[3] = {};
            for (uint32_t id = 0; id < 3; ++id)
                list.AddParameterInt(id, "value", "", &values[id], nullptr);
            for (uint32_t id = 0; id < 3; ++id)
                counts[i] += list.FindParameter(id) != nullptr ? 1 : 0;
        }
    });
    for (unsigned i = 0; i < kThreads; ++i)
        EXPECT_EQ(counts[i], 600) << "thread " << i;
}
