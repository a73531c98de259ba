// The compute probe's kernels. Each runs eight independent lanes, so that a
// core can overlap them, and returns a value that depends on every step, so
// that the compiler must perform them all.
#ifndef ULMORA_COMPUTE_KERNELS_H
#define ULMORA_COMPUTE_KERNELS_H

#include <cstdint>

namespace Compute {

// Lanes per kernel and arithmetic operations per lane and step (a multiply
// and an add): one step of a kernel is kLanes * kOpsPerLaneStep ops.
constexpr uint64_t kLanes = 8;
constexpr uint64_t kOpsPerLaneStep = 2;

// x = x * 1664525 + 1013904223 on 32-bit unsigned lanes (wrapping).
uint32_t IntegerKernel(uint64_t steps, uint32_t seed);

// y = y * m + a on double lanes; m just below 1 keeps y near 1, far from
// overflow and denormals.
double FloatKernel(uint64_t steps, double seed);

} // namespace Compute

#endif
