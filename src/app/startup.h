// startup.h - puts the application together: Qt, the window and its menus,
// the rendering library, the palette, an empty scene, the recent entries
// and the welcome text.
#ifndef MOLVANE_STARTUP_H
#define MOLVANE_STARTUP_H

// Everything before the endless frame loop, in order. `argc` and `argv` go
// to Qt and then to the library; both must outlive the program.
void startUp(int &argc, char **argv);

#endif
