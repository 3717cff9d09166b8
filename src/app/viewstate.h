// viewstate.h - the process-wide view state: the one view record of the
// window and its save area, the current scene object list and the window.
//
// The base layer of the program, with settings.h: the scene code adds its
// objects to sceneObjectList, the view code (frame loop, navigation,
// picking) reads and moves viewParams, and the build (src/app) replaces the
// list and saves and restores the view around a rebuild. molvane-render
// (src/tools) uses the same records without a window (mainBox stays null).
#ifndef MOLVANE_VIEWSTATE_H
#define MOLVANE_VIEWSTATE_H

#include "renderlib/renderlib.h"

class QWidget;

extern ViewParams viewParams;            // the view of the window; handed to the library every frame
extern ViewParams savedViewParams;       // save area of a rebuild that keeps the user's view
extern SceneObjectList sceneObjectList;  // the current scene objects; replaced at every rebuild
extern QWidget *mainBox;                 // the program's window: menu bar above, 3D view below

// The size of mainBox in pixels; returns 0 and leaves both alone while there
// is no window. Lets the view read it without including Qt.
int mainBoxSize(int *width, int *height);

#endif
