// viewstate.cpp - defines the view record, its save area, the scene handle
// and the window handle, and reads the window's size.
#include "viewstate.h"

#include <QWidget>

ViewParams viewParams = {};
ViewParams savedViewParams = {};
SceneObjectList sceneObjectList = nullptr;
QWidget *mainBox = nullptr;

int mainBoxSize(int *width, int *height)
{
    if (mainBox == nullptr)
        return 0;
    *width = mainBox->width();
    *height = mainBox->height();
    return 1;
}
