// memory.cpp - vel_heapPrepare: the heap a program and its GL driver draw
// from, set up for frames that allocate and free buffers of many megabytes
// (a software driver does so every frame) and for display lists of
// megabytes of instances. Filling fresh memory page by page is what such
// frames and recordings cost most, so big blocks are kept in the heap
// rather than handed back to the system, and the heap's first part is
// grown ahead on huge pages. Only a program that asks for it gets it.
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

void vel_heapPrepare(void)
{
    VEL_TRACE("vel_heapPrepare");
    if (prepared) return;
    prepared = 1;
#ifdef __GLIBC__
    // Fixed thresholds: with glibc's sliding ones a big buffer goes back to
    // the system when it is freed and is faulted in afresh the next frame,
    // until some larger free happens to raise them. These keep the driver's
    // buffers in the heap from the first frame.
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
