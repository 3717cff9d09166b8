// main.cpp - the program entry: start-up, then the frame loop for ever. The
// program ends only through "Exit" (or the window being closed).
#include <cstdio>

#include "app/startup.h"
#include "app/viewstate.h"
#include "view/view.h"

int main(int argc, char **argv)
{
    // Line by line, so the console text reaches a pipe as it is printed.
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    // The library's GL surface format for every window, before Qt starts.
    vel_surfaceFormatDefaultSet();
    startUp(argc, argv);
    for (;;)
        runFrame(sceneObjectList);
}
