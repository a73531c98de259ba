#include "StreamKernels.h"

namespace Bandwidth {

void Copy(double* __restrict c, const double* __restrict a, size_t begin, size_t end)
{
    for (size_t i = begin; i < end; ++i)
        c[i] = a[i];
}

void Triad(double* __restrict a, const double* __restrict b, const double* __restrict c, double scalar,
           size_t begin, size_t end)
{
    for (size_t i = begin; i < end; ++i)
        a[i] = b[i] + scalar * c[i];
}

void Fill(double* a, double* b, double* c, size_t begin, size_t end)
{
    for (size_t i = begin; i < end; ++i) {
        a[i] = 1.0;
        b[i] = 2.0;
        c[i] = 0.0;
    }
}

} // namespace Bandwidth
