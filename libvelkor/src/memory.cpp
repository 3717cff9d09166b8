// memory.cpp - the heap the library and its driver draw from. A software
// driver allocates and frees buffers of many megabytes in every frame, and a
// large display list is megabytes of instances: touching fresh memory page
// by page is what such frames and recordings cost most. On a virtual
// machine each 4 KiB page touched for the first time cost 10-15 us, more
// than copying it: recording 260000 objects took 50-60 ms, and on huge
// pages 15-25 ms.
#include "internal.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t HUGE_PAGE = 2u << 20;
constexpr size_t AHEAD = 192u << 20;  // heap grown ahead on huge pages
int prepared = 0;

uintptr_t alignUp(uintptr_t p)
{
    return (p + HUGE_PAGE - 1) & ~(uintptr_t)(HUGE_PAGE - 1);
}

} // namespace

void velHeapPrepare(void)
{
    if (prepared) return;
    prepared = 1;
#ifdef __GLIBC__
    // With glibc's sliding thresholds the driver's big buffers went back to
    // the system at each free and were faulted in again the next frame,
    // until some larger free raised the thresholds: the first seconds after
    // a large structure appeared ran at half speed or less, and the same
    // picture ran fast after any rebuild. Fixed thresholds keep them in the
    // heap from the first frame.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);

    // Then the heap is grown once (blocks below the mmap threshold come
    // from it), the new part is marked for huge pages, and the blocks go
    // back to the heap's top, which the trim threshold keeps. Only address
    // space is taken until something touches it, 2 MiB at a time.
    constexpr size_t BLOCK = 16u << 20;
    constexpr int MAX_BLOCKS = AHEAD / BLOCK;
    void *blocks[MAX_BLOCKS];
    int n = 0;
    uintptr_t start = (uintptr_t)sbrk(0);
    while (n < MAX_BLOCKS && (blocks[n] = std::malloc(BLOCK)) != nullptr) n++;
    uintptr_t end = (uintptr_t)sbrk(0);
    uintptr_t from = alignUp(start), to = end & ~(uintptr_t)(HUGE_PAGE - 1);
    if (start != (uintptr_t)-1 && to > from) madvise((void *)from, to - from, MADV_HUGEPAGE);
    for (int k = n - 1; k >= 0; k--) std::free(blocks[k]);
#endif
}
