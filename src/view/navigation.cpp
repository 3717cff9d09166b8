// navigation.cpp - the mouse navigators (left button turns or slides, right
// button moves forwards), their drag origins, the first view of a structure
// and the registration of the navigators and the sphere pick.
#include "view.h"

#include <cmath>

#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"

int pointerX = 0, pointerY = 0;
int leftDragOriginX = 0, leftDragOriginY = 0;
int rightDragOriginX = 0, rightDragOriginY = 0;
int leftDragActive = 0, rightDragActive = 0;
float zoomStep = 0.0f;
float eyeDistance = 0.0f;

//------------------------------------------------------------------------------
// Constants
//------------------------------------------------------------------------------
static constexpr double turnFactor = 0.01;      // radians per pixel and speed unit
static constexpr double slideFactor = 0.03;     // sideways slide per pixel and speed unit
static constexpr double liftFactor = -0.03;     // upward slide per pixel and speed unit
static constexpr double zoomExponent = 0.4;     // zoomStep = atomCount^0.4 x 0.003
static constexpr double zoomFactor = 0.003;
static constexpr double eyeMargin = 2.0;        // added to the summed half-extents

// Fetches the pointer's root-window position into pointerX, pointerY.
static void fetchPointer()
{
    int scratch = 0;
    vel_mouseGet(vel_win_current, &scratch, &scratch, &pointerX, &pointerY, nullptr);
}

//------------------------------------------------------------------------------
// Navigators
//------------------------------------------------------------------------------
int leftDragX(ViewParams *view, float amount, float linearScale, float angularScale)
{
    (void)amount;
    (void)angularScale;
    leftDragActive = 1;
    fetchPointer();
    float dx = (float)(leftDragOriginX - pointerX);
    if (moveMolecule == 0)
        vel_navigateRotUp(view, (float)(navigationSpeed * turnFactor), linearScale, dx);
    else
        vel_navigateRight(view, (float)(navigationSpeed * slideFactor), dx, 0.0f);
    return 1;
}

// Runs right after leftDragX in the same step and uses the pointer that it
// fetched; only this one moves the left origin on.
int leftDragY(ViewParams *view, float amount, float linearScale, float angularScale)
{
    (void)amount;
    (void)angularScale;
    float dy = (float)(leftDragOriginY - pointerY);
    if (moveMolecule == 0)
        vel_navigateRotRight(view, (float)(navigationSpeed * turnFactor), linearScale, dy);
    else
        vel_navigateUp(view, (float)(navigationSpeed * liftFactor), dy, 0.0f);
    leftDragOriginX = pointerX;
    leftDragOriginY = pointerY;
    return 1;
}

// Registered for both directions: a second run in the same step finds the
// origin at the pointer and adds nothing.
int rightDrag(ViewParams *view, float amount, float linearScale, float angularScale)
{
    (void)amount;
    (void)linearScale;
    rightDragActive = 1;
    fetchPointer();
    float step = navigationSpeed * zoomStep;
    vel_navigateForwards(view, step, (float)(rightDragOriginY - pointerY), angularScale);
    vel_navigateForwards(view, step, (float)(pointerX - rightDragOriginX), angularScale);
    rightDragOriginY = pointerY;
    rightDragOriginX = pointerX;
    return 1;
}

//------------------------------------------------------------------------------
// View control
//------------------------------------------------------------------------------
void setInitialView()
{
    eyeDistance = (float)(halfExtents[0] + halfExtents[1] + halfExtents[2] + eyeMargin);
    viewParams.eye = vel_vectorSet(0.0f, 0.0f, eyeDistance);
    viewParams.view = vel_vectorSet(0.0f, 0.0f, -1.0f);
    viewParams.up = vel_vectorSet(0.0f, 1.0f, 0.0f);
}

float zoomStepFor(int32_t count)
{
    // No atoms: no zoom step, and no NaN from a power of a negative count.
    if (count <= 0)
        return 0.0f;
    return (float)(std::pow((double)count, zoomExponent) * zoomFactor);
}

void registerMouseHandling()
{
    vel_navigationMouseDefaultParams(vel_win_all, 0, leftDragX, 0.0f, 0.0f, leftDragY, 0.0f, 0.0f);
    vel_navigationMouseDefaultParams(vel_win_all, 2, rightDrag, 0.0f, 0.0f, rightDrag, 0.0f, 0.0f);
    vel_navigationMouse(vel_win_all, vel_navigationMouseDefault);
    vel_callbackMouseSet(1, vel_win_all, vel_class_sphere, pickSphereCallback);
}
