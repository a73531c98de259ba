// Timing, statistics and thread teams shared by the measuring probes
// (compute, memory-bandwidth, disk-speed). Header only, standard library
// only: each probe still builds as a module of its own.
#ifndef ULMORA_PROBES_MEASUREMENT_H
#define ULMORA_PROBES_MEASUREMENT_H

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ulmora/IResultDatabase.h"

namespace Measurement {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The figures of several repetitions of one measurement, as rates.
struct Series {
    std::vector<double> rates;

    void Add(double rate) { rates.push_back(rate); }
    bool Empty() const { return rates.empty(); }

    // The best repetition is the one least disturbed by other processes on
    // the machine, so it is the figure that repeats from run to run.
    double Best() const { return rates.empty() ? 0.0 : *std::max_element(rates.begin(), rates.end()); }

    double Median() const
    {
        if (rates.empty())
            return 0.0;
        std::vector<double> sorted(rates);
        std::sort(sorted.begin(), sorted.end());
        const size_t mid = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2.0;
    }

    // Sample standard deviation over the mean; 0 for fewer than two.
    double RelativeStddev() const
    {
        if (rates.size() < 2)
            return 0.0;
        double mean = 0.0;
        for (double rate : rates)
            mean += rate;
        mean /= static_cast<double>(rates.size());
        if (mean <= 0.0)
            return 0.0;
        double sum = 0.0;
        for (double rate : rates)
            sum += (rate - mean) * (rate - mean);
        return std::sqrt(sum / static_cast<double>(rates.size() - 1)) / mean;
    }
};

// Runs work(index) on `threads` threads at once (the calling thread is index
// 0) and returns the wall time from the common start to the last finish.
// The helper threads are started and waiting before the clock starts, so
// thread creation is not part of the figure.
template <class Work>
double RunTogether(unsigned threads, Work&& work)
{
    if (threads <= 1) {
        const Clock::time_point start = Clock::now();
        work(0u);
        return Seconds(start, Clock::now());
    }
    std::atomic<unsigned> ready{0};
    std::atomic<unsigned> done{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned index = 1; index < threads; ++index) {
        helpers.emplace_back([&, index] {
            ready.fetch_add(1);
            while (!go.load(std::memory_order_acquire))
                std::this_thread::yield();
            work(index);
            done.fetch_add(1, std::memory_order_release);
        });
    }
    while (ready.load() != threads - 1)
        std::this_thread::yield();
    const Clock::time_point start = Clock::now();
    go.store(true, std::memory_order_release);
    work(0u);
    while (done.load(std::memory_order_acquire) != threads - 1)
        std::this_thread::yield();
    const double seconds = Seconds(start, Clock::now());
    for (std::thread& helper : helpers)
        helper.join();
    return seconds;
}

// The first value of an unsigned result another probe left, if any.
inline bool ReadUInt64(const Ulmora::IResultDatabase* database, const char* key, uint64_t& value)
{
    if (database == nullptr || database->GetValueCount("%s", key) == 0)
        return false;
    try {
        const std::string text = database->GetString("%s", 0, key);
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = database->GetUInt64("%s", 0, key);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace Measurement

#endif
