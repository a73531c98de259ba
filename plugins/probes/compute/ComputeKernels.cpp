#include "ComputeKernels.h"

namespace Compute {

namespace {

// Values the optimiser cannot see through, so the loops are not folded into
// closed forms at compile time.
volatile uint32_t g_IntMul = 1664525u;
volatile uint32_t g_IntAdd = 1013904223u;
volatile double g_FloatMul = 0.999999;
volatile double g_FloatAdd = 0.000001;

} // namespace

uint32_t IntegerKernel(uint64_t steps, uint32_t seed)
{
    const uint32_t m = g_IntMul;
    const uint32_t a = g_IntAdd;
    uint32_t x0 = seed, x1 = seed + 1, x2 = seed + 2, x3 = seed + 3;
    uint32_t x4 = seed + 4, x5 = seed + 5, x6 = seed + 6, x7 = seed + 7;
    for (uint64_t i = 0; i < steps; ++i) {
        x0 = x0 * m + a;
        x1 = x1 * m + a;
        x2 = x2 * m + a;
        x3 = x3 * m + a;
        x4 = x4 * m + a;
        x5 = x5 * m + a;
        x6 = x6 * m + a;
        x7 = x7 * m + a;
    }
    return x0 ^ x1 ^ x2 ^ x3 ^ x4 ^ x5 ^ x6 ^ x7;
}

double FloatKernel(uint64_t steps, double seed)
{
    const double m = g_FloatMul;
    const double a = g_FloatAdd;
    double y0 = seed, y1 = seed + 0.01, y2 = seed + 0.02, y3 = seed + 0.03;
    double y4 = seed + 0.04, y5 = seed + 0.05, y6 = seed + 0.06, y7 = seed + 0.07;
    for (uint64_t i = 0; i < steps; ++i) {
        y0 = y0 * m + a;
        y1 = y1 * m + a;
        y2 = y2 * m + a;
        y3 = y3 * m + a;
        y4 = y4 * m + a;
        y5 = y5 * m + a;
        y6 = y6 * m + a;
        y7 = y7 * m + a;
    }
    return y0 + y1 + y2 + y3 + y4 + y5 + y6 + y7;
}

} // namespace Compute
