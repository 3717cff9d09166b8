// viewstate.cpp - defines the view record, its save area, the scene handle
// and the window handle.
#include "viewstate.h"

ViewParams viewParams = {};
ViewParams savedViewParams = {};
SceneObjectList sceneObjectList = nullptr;
QWidget *mainBox = nullptr;
