// console.cpp - standard output switched away and back by file descriptor,
// so that what the C library and libvelkor print follows the switch.
#include "tools/console.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int openNullDevice()
{
    return open("/dev/null", O_WRONLY | O_CLOEXEC);
}

bool consoleAway(ConsoleSwitch &console, int fd)
{
    std::fflush(stdout);
    if (console.saved < 0)
        console.saved = dup(1);
    dup2(fd, 1);
    return console.saved >= 0;
}

void consoleBack(ConsoleSwitch &console)
{
    std::fflush(stdout);
    if (console.saved >= 0)
        dup2(console.saved, 1);
}

void consoleRelease(ConsoleSwitch &console)
{
    if (console.saved >= 0)
        close(console.saved);
    console.saved = -1;
}
