// hugepages.cpp - huge-page advice for the fixed, process-wide tables.
#include "molecule/molecule.h"

#include <cstdint>
#include <sys/mman.h>

void adviseHugePages(void *start, size_t size)
{
    const uintptr_t huge = (uintptr_t)2 << 20;
    uintptr_t from = ((uintptr_t)start + huge - 1) & ~(huge - 1), to = ((uintptr_t)start + size) & ~(huge - 1);
    if (to > from)
        madvise((void *)from, to - from, MADV_HUGEPAGE);
}
