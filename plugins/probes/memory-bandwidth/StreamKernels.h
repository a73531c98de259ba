// The STREAM-style kernels of the memory-bandwidth probe, over one thread's
// slice [begin, end) of the arrays. Bytes are counted as STREAM counts
// them: copy moves two words per element, triad three.
#ifndef ULMORA_STREAM_KERNELS_H
#define ULMORA_STREAM_KERNELS_H

#include <cstddef>

namespace Bandwidth {

constexpr double kCopyWords = 2;
constexpr double kTriadWords = 3;

// c[i] = a[i]
void Copy(double* c, const double* a, size_t begin, size_t end);
// a[i] = b[i] + scalar * c[i]
void Triad(double* a, const double* b, const double* c, double scalar, size_t begin, size_t end);
// a[i] = 1, b[i] = 2, c[i] = 0: touches every page from the thread that will
// use it, so the pages are placed near that thread.
void Fill(double* a, double* b, double* c, size_t begin, size_t end);

} // namespace Bandwidth

#endif
