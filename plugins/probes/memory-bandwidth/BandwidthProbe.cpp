// memory-bandwidth: STREAM-style copy and triad on every logical CPU at
// once, over three arrays each four times the last-level cache, so the
// figures are those of main memory. Each figure is the median pass of
// several, after a warm-up pass: a virtual machine may sit on a far larger
// cache than it reports, and the median keeps a lucky pass that found its
// data there from standing for main memory.
#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>

#include "../support/Measurement.h"
#include "BandwidthOs.h"
#include "StreamKernels.h"
#include "ulmora/PluginKit.h"

namespace {

using Measurement::Series;

constexpr uint64_t kMiB = 1024 * 1024;
// Each array is at least this many times the last-level cache, as STREAM
// asks, so that hardly any access of a pass hits it.
constexpr uint64_t kCacheMultiple = 4;
constexpr uint64_t kMinArrayBytes = 16 * kMiB;
// Enough for every cache this probe is likely to meet, and small enough
// that one pass stays short and a 32-bit process finds the address space.
constexpr uint64_t kMaxArrayBytes = (sizeof(void*) == 4 ? 128 : 256) * kMiB;
// When the cache size is not known at all.
constexpr uint64_t kAssumedCacheBytes = 32 * kMiB;
// The three arrays take at most this share of the available memory.
constexpr uint64_t kAvailableShare = 4;
constexpr int kPasses = 5;
constexpr unsigned kMaxThreads = 256;

// The three arrays, given back to the OS however the probe ends.
class Arrays {
public:
    Arrays() = default;
    Arrays(const Arrays&) = delete;
    Arrays& operator=(const Arrays&) = delete;
    ~Arrays() { Release(); }

    // Allocates arrays of `bytes` each, halving the size while that fails.
    bool Allocate(uint64_t& bytes)
    {
        for (; bytes >= kMiB; bytes = bytes / 2 / kMiB * kMiB) {
            m_Bytes = static_cast<size_t>(bytes);
            a = Bandwidth::AllocateArray(m_Bytes);
            b = Bandwidth::AllocateArray(m_Bytes);
            c = Bandwidth::AllocateArray(m_Bytes);
            if (a != nullptr && b != nullptr && c != nullptr) {
                elements = m_Bytes / sizeof(double);
                return true;
            }
            Release();
        }
        return false;
    }

    double* a = nullptr;
    double* b = nullptr;
    double* c = nullptr;
    size_t elements = 0;

private:
    void Release()
    {
        Bandwidth::FreeArray(a, m_Bytes);
        Bandwidth::FreeArray(b, m_Bytes);
        Bandwidth::FreeArray(c, m_Bytes);
        a = b = c = nullptr;
        elements = 0;
    }

    size_t m_Bytes = 0;
};

class BandwidthProbe : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        try {
            Measure(database);
        } catch (const std::exception& error) {
            database->AddString("memory.bandwidth.status", (std::string("unsupported: ") + error.what()).c_str());
        } catch (...) {
            database->AddString("memory.bandwidth.status", "unsupported: the measurement failed");
        }
        return 0;
    }

private:
    static void Measure(Ulmora::IResultDatabase* database)
    {
        std::string partial;
        auto note = [&partial](const std::string& reason) {
            partial += (partial.empty() ? "" : "; ") + reason;
        };

        uint64_t cache = 0;
        if (!Measurement::ReadUInt64(database, "cpu.cache.l3_bytes", cache) || cache == 0)
            cache = Bandwidth::LastLevelCacheBytes();
        if (cache == 0) {
            cache = kAssumedCacheBytes;
            note("the cache size is unknown, 32 MiB assumed");
        }
        uint64_t available = 0;
        if (!Measurement::ReadUInt64(database, "memory.available_bytes", available) || available == 0)
            available = Bandwidth::AvailableMemoryBytes();

        uint64_t bytes = (cache * kCacheMultiple + kMiB - 1) / kMiB * kMiB;
        bytes = std::min(std::max(bytes, kMinArrayBytes), kMaxArrayBytes);
        if (available != 0)
            bytes = std::min(bytes, available / kAvailableShare / 3);
        bytes = bytes / kMiB * kMiB;
        if (bytes < kMiB) {
            database->AddString("memory.bandwidth.status", "unsupported: not enough available memory");
            return;
        }

        uint64_t threads = 0;
        if (!Measurement::ReadUInt64(database, "cpu.logical_count", threads) || threads == 0)
            threads = Bandwidth::UsableLogicalCpus();
        if (threads == 0)
            threads = std::thread::hardware_concurrency();
        if (threads == 0) {
            threads = 1;
            note("the number of logical CPUs is unknown, one thread used");
        }
        const unsigned team = static_cast<unsigned>(std::min<uint64_t>(threads, kMaxThreads));

        Arrays arrays;
        if (!arrays.Allocate(bytes)) {
            database->AddString("memory.bandwidth.status", "unsupported: the arrays could not be allocated");
            return;
        }
        if (3 * bytes < cache * 2)
            note("the arrays are less than twice the cache, the figures include cache hits");

        // Each thread works on its own contiguous slice, a whole number of
        // cache lines long.
        const size_t elements = arrays.elements;
        const size_t chunk = (elements / team + 7) / 8 * 8;
        auto slice = [elements, chunk](unsigned index, size_t& begin, size_t& end) {
            begin = std::min(elements, chunk * index);
            end = std::min(elements, begin + chunk);
        };
        double* a = arrays.a;
        double* b = arrays.b;
        double* c = arrays.c;
        const double scalar = 3.0;
        auto copy = [&](unsigned index) {
            size_t begin, end;
            slice(index, begin, end);
            Bandwidth::Copy(c, a, begin, end);
        };
        auto triad = [&](unsigned index) {
            size_t begin, end;
            slice(index, begin, end);
            Bandwidth::Triad(a, b, c, scalar, begin, end);
        };
        Measurement::RunTogether(team, [&](unsigned index) {
            size_t begin, end;
            slice(index, begin, end);
            Bandwidth::Fill(a, b, c, begin, end);
        });

        const double copyBytes = Bandwidth::kCopyWords * sizeof(double) * static_cast<double>(elements);
        const double triadBytes = Bandwidth::kTriadWords * sizeof(double) * static_cast<double>(elements);
        Measurement::RunTogether(team, copy);
        Measurement::RunTogether(team, triad);
        Series copies;
        Series triads;
        for (int pass = 0; pass < kPasses; ++pass) {
            const double copySeconds = Measurement::RunTogether(team, copy);
            const double triadSeconds = Measurement::RunTogether(team, triad);
            if (copySeconds > 0)
                copies.Add(copyBytes / copySeconds);
            if (triadSeconds > 0)
                triads.Add(triadBytes / triadSeconds);
        }

        database->AddUInt64("memory.bandwidth.array_bytes", bytes);
        database->AddUInt64("memory.bandwidth.threads_count", team);
        database->AddDouble("memory.bandwidth.copy_bytes_per_second", copies.Median());
        database->AddDouble("memory.bandwidth.copy_relative_stddev_ratio", copies.RelativeStddev());
        database->AddDouble("memory.bandwidth.triad_bytes_per_second", triads.Median());
        database->AddDouble("memory.bandwidth.triad_relative_stddev_ratio", triads.RelativeStddev());
        database->AddString("memory.bandwidth.status", partial.empty() ? "ok" : ("partial: " + partial).c_str());
    }
};

} // namespace

ULMORA_PROBE(BandwidthProbe, "memory-bandwidth", 1108, 1, {1103, "the available memory"},
             {1102, "the cache size and the number of logical CPUs"})
