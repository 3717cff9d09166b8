// renderlib.h - the one door from Molvane into the rendering library.
// Every other file of the program reaches libvelkor through this header.
#ifndef MOLVANE_RENDERLIB_H
#define MOLVANE_RENDERLIB_H

#include <velkor/velkor.h>

typedef vel_viewParams ViewParams;    // the view record of a window
typedef vel_objList SceneObjectList;  // the list of scene objects that is drawn

#endif
