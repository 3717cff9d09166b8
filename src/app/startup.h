// startup.h - puts the application together: Qt, the window and its menus,
// the rendering library, the palette, an empty scene, the recent entries
// and the welcome text.
#ifndef MOLVANE_STARTUP_H
#define MOLVANE_STARTUP_H

// Everything before the endless frame loop, in order. `argc` and `argv` go
// to Qt and then to the library; both must outlive the program. The first
// word Qt leaves that is not an option names a file, opened as if chosen in
// the dialog; files dropped on the window open the same way.
void startUp(int &argc, char **argv);
// Ends the process with status 2 and one line on standard error when Qt
// would find no X display to open (DISPLAY unset, or a server that is not
// there or refuses), instead of Qt's abort. Honours Qt's -platform and
// -display options and QT_QPA_PLATFORM; other platforms are left to Qt.
// The checking connection stays open until startUp has made the QApplication.
void requireDisplay(int argc, char **argv);

#endif
