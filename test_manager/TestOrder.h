// The run order of tests from their identifiers and dependencies, apart from
// any manager or module: identifiers and dependency lists in, the order or
// the first fault out. Internal: not part of the SDK.
#ifndef ULMORA_TEST_MANAGER_TESTORDER_H
#define ULMORA_TEST_MANAGER_TESTORDER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Ulmora {

// Tests in registry order. The dependencies of test t are the identifiers
// dependencies[offsets[t]] up to dependencies[offsets[t + 1]], in the order
// the test lists them; offsets has one entry more than ids.
struct TestGraph {
    std::vector<uint32_t> ids;
    std::vector<uint32_t> offsets{0};
    std::vector<uint32_t> dependencies;

    void AddTest(uint32_t id, const uint32_t* dependencyIds, size_t count)
    {
        ids.push_back(id);
        dependencies.insert(dependencies.end(), dependencyIds, dependencyIds + count);
        offsets.push_back(static_cast<uint32_t>(dependencies.size()));
    }
};

struct TestOrder {
    enum Fault {
        NoFault,
        // No test has the identifier of a dependency.
        MissingDependency,
        // A dependency leads back to its own test (or is the test itself).
        DependencyCycle
    };

    // Registry positions in run order. With a fault: the tests placed before
    // the faulty one, which stay in the run list.
    std::vector<uint32_t> order;
    Fault fault = NoFault;
    // With a fault: the registry position of the faulty test and the index of
    // the dependency in its list.
    uint32_t faultyTest = 0;
    uint32_t faultyDependency = 0;
};

// Tests keep their registry order up to the first one that needs a test not
// placed before it; from there on, each test comes after the tests it needs,
// and among the tests ready, the one registered last comes first. The first
// fault in registry order (a missing dependency, or one that leads back to
// its test) ends the ordering. Identifiers must be unique.
TestOrder OrderTests(const TestGraph& graph);

} // namespace Ulmora

#endif
