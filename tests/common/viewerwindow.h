// viewerwindow.h - the program's window as the scene and view tests (and the
// view benchmark) need it: the library's test window as mainBox, the
// palette registered, an empty scene object list. Opened once per process.
#ifndef MOLVANE_TESTS_VIEWERWINDOW_H
#define MOLVANE_TESTS_VIEWERWINDOW_H

#include "app/viewstate.h"
#include "scene/scene.h"
#include "testwindow.h"   // libvelkor's: velTestWindowOpen

inline QWidget *openViewerTestWindow(int width, int height)
{
    if (mainBox != nullptr)
        return mainBox;
    mainBox = velTestWindowOpen(width, height);
    setUpPalette();
    sceneObjectList = vel_SMSObjListNew();
    return mainBox;
}

#endif
