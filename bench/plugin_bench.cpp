// ulmora-bench: whitebox
// Plug-in discovery and the registry.
//
// Discovery: 1,000 copies of a small test module spread over a generated
// tree of 10,000 folders. The manager's Load (and its unloading) is measured
// against a plain walk that loads each module, looks up its entry point and
// unloads it again, with no registry work. Goal: at most 1.3x.
//
// Registry: IsRegistered and FindPlugin over 100,000 registered descriptors,
// against a walk of the list asking every descriptor for its identifier.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Module.h"
#include "support/RatioReporter.h"
#include "ulmora/Ulmora.h"

namespace fs = std::filesystem;
using PluginManagerAPI::PluginID;

namespace {

fs::path g_Tree;

void BuildTree()
{
    g_Tree = fs::temp_directory_path() / ("ulmora-plugin-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(g_Tree);
    int leaf = 0;
    int modules = 0;
    const int top = UlmoraBench::SmokePass() ? 1 : 10;
    for (int a = 0; a < top; ++a) {
        for (int b = 0; b < 10; ++b) {
            for (int c = 0; c < 100; ++c, ++leaf) {
                const fs::path folder = g_Tree / ("d" + std::to_string(a)) / ("e" + std::to_string(b)) /
                                        ("f" + std::to_string(c));
                fs::create_directories(folder);
                if (leaf % 10 == 0) {
                    fs::copy_file(BENCH_MODULE_PATH, folder / ("probe" + std::to_string(modules++) + ".tst"));
                }
            }
        }
    }
    std::printf("tree: %d folders below %s, %d modules\n", leaf + top * 11, g_Tree.string().c_str(), modules);
}

class TreeManager : public PluginManagerAPI::PluginManager {
protected:
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns) override
    {
        patterns.push_back(PluginManagerAPI::SearchPattern(g_Tree.string(), "*.tst", true));
    }
};

void BM_DiscoveryManager(benchmark::State& state)
{
    for (auto _ : state) {
        TreeManager manager;
        benchmark::DoNotOptimize(manager.Load());
    }
}

void BM_DiscoveryBaseline(benchmark::State& state)
{
    namespace Platform = Ulmora::Platform;
    for (auto _ : state) {
        std::vector<Platform::ModuleHandle> loaded;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(g_Tree)) {
            if (entry.path().extension() != ".tst")
                continue;
            Platform::ModuleHandle module = Platform::LoadModule(entry.path().string());
            benchmark::DoNotOptimize(Platform::FindSymbol(module, "GetPluginManagerAPIInterface"));
            loaded.push_back(module);
        }
        for (Platform::ModuleHandle module : loaded)
            Platform::UnloadModule(module);
    }
}

BENCHMARK(BM_DiscoveryManager)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DiscoveryBaseline)->Unit(benchmark::kMillisecond)->MinTime(2.0);

class Descriptor : public PluginManagerAPI::IPluginDescriptor {
public:
    explicit Descriptor(uint32_t id) : m_ID(id) {}
    PluginManagerAPI::IPluginInstance* CreateInstance() override { return nullptr; }
    void DestroyInstance(PluginManagerAPI::IPluginInstance*) override {}
    void Release() override {}
    const char* GetName() override { return "d"; }
    PluginID GetPluginID() override { return PluginID(m_ID); }
    int32_t GetVersion() override { return 1; }

private:
    uint32_t m_ID;
};

const uint32_t kRegistered = 100000;

struct Registry {
    Registry()
    {
        for (uint32_t i = 0; i < kRegistered; ++i)
            descriptors.push_back(std::make_unique<Descriptor>(i * 7 + 1));
        for (auto& d : descriptors)
            manager.RegisterPlugin(d.get());
        std::mt19937 random(42);
        for (int i = 0; i < 1024; ++i)
            queries.push_back(static_cast<uint32_t>(random() % (kRegistered * 7)));  // about 1 in 7 is registered
    }
    std::vector<std::unique_ptr<Descriptor>> descriptors;
    PluginManagerAPI::PluginManager manager;
    std::vector<uint32_t> queries;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry();
    return *registry;
}

void BM_RegistryIsRegistered(benchmark::State& state)
{
    Registry& r = TheRegistry();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(r.manager.IsRegistered(PluginID(r.queries[i++ & 1023])));
}

void BM_RegistryFindPlugin(benchmark::State& state)
{
    Registry& r = TheRegistry();
    size_t i = 0;
    for (auto _ : state) {
        PluginManagerAPI::PluginIterator* found = r.manager.FindPlugin(PluginID(r.queries[i++ & 1023]));
        benchmark::DoNotOptimize(found);
        r.manager.ReleaseIterator(found);
    }
}

// The walk every look-up would take without the identifier index.
void BM_RegistryScanBaseline(benchmark::State& state)
{
    Registry& r = TheRegistry();
    size_t i = 0;
    for (auto _ : state) {
        const uint32_t wanted = r.queries[i++ & 1023];
        PluginManagerAPI::PluginIterator* it = r.manager.CreateIterator();
        PluginManagerAPI::IPluginDescriptor* d = it->First();
        while (d != nullptr && d->GetPluginID().GetID() != wanted)
            d = it->Next();
        benchmark::DoNotOptimize(d);
        r.manager.ReleaseIterator(it);
    }
}

BENCHMARK(BM_RegistryIsRegistered);
BENCHMARK(BM_RegistryFindPlugin);
BENCHMARK(BM_RegistryScanBaseline)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // Keep the shared library resident, as a host would, so that each
    // round does not load it afresh with its first module.
    Ulmora::Platform::LoadModule(BENCH_LIBRARY_PATH);
    BuildTree();
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("discovery", "BM_DiscoveryManager/min_time:2.000", "BM_DiscoveryBaseline/min_time:2.000",
                        "<= 1.3");
    reporter.PrintRatio("IsRegistered", "BM_RegistryIsRegistered", "BM_RegistryScanBaseline", "much below 1");
    reporter.PrintRatio("FindPlugin", "BM_RegistryFindPlugin", "BM_RegistryScanBaseline", "much below 1");
    std::error_code ignored;
    fs::remove_all(g_Tree, ignored);
    benchmark::Shutdown();
    return 0;
}
