// swapcount.cpp - a preloaded shim for timing the real viewer: counts the
// frames it presents (glXSwapBuffers calls) and keeps the count, as text,
// in the file named by $SWAP_COUNT_FILE. Used by viewer_frames.py:
//     LD_PRELOAD=libswapcount.so SWAP_COUNT_FILE=/tmp/swaps molvane
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern "C" void glXSwapBuffers(void *display, unsigned long drawable)
{
    using Swap = void (*)(void *, unsigned long);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static long count = 0;
    static int fd = std::getenv("SWAP_COUNT_FILE")
                        ? open(std::getenv("SWAP_COUNT_FILE"), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                        : -1;
    if (real)
        real(display, drawable);
    count++;
    if (fd >= 0) {
        char text[32];
        int n = std::snprintf(text, sizeof text, "%12ld\n", count);
        if (pwrite(fd, text, (size_t)n, 0) < 0)
            return;
    }
}
