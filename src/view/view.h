// view.h - rendering and interaction: the frame loop, line-mode drawing,
// mouse navigation and atom picking.
#ifndef MOLVANE_VIEW_H
#define MOLVANE_VIEW_H

#include <cstdint>

#include "renderlib/renderlib.h"

// Frame loop
extern int32_t displayListDirty;    // the scene list must be recorded again (1 at start)
extern int32_t displayListId;       // id of the one display list of the scene
extern int32_t pickLatch;           // a middle press already fired the screen pick
int runFrame(SceneObjectList list); // one pass of the main loop; returns 1
void drawLinePass();                // the three line calls, each under its own settings
// The scene of a frame: the display list recorded (with "Generating Display
// List..." and "Ready" when `announce`) or replayed, then the lines whose
// width follows the distance to the eye.
void drawScene(int announce);

// Line-mode drawing
void drawBondLines();
void drawMultipleBondLines();
void drawAtomCrosses();
int lineWidthFor(int atom);                      // 1 .. 10
vel_surface bondColour(int bond, int half);      // surface for half 0 (atomA) or 1 (atomB)
void drawCross(int atom);

// Mouse navigation and view control
extern int pointerX, pointerY;                   // pointer in root coordinates, last fetched
extern int leftDragOriginX, leftDragOriginY;     // left drag origin in root coordinates
extern int rightDragOriginX, rightDragOriginY;   // right drag origin in root coordinates
extern int leftDragActive, rightDragActive;      // navigator ran during this frame
extern float zoomStep;                           // right-button step factor
extern float eyeDistance;                        // distance of the first eye position
int leftDragX(ViewParams *view, float amount, float linearScale, float angularScale);
int leftDragY(ViewParams *view, float amount, float linearScale, float angularScale);
int rightDrag(ViewParams *view, float amount, float linearScale, float angularScale);
void setInitialView();                           // eyeDistance and the first view from halfExtents
float zoomStepFor(int32_t atomCount);            // pow(atomCount, 0.4) x 0.003; 0 without atoms
// Registers the left and right navigators, the default mouse navigation and
// the middle-button sphere pick for every window (called by each build).
void registerMouseHandling();

// Atom picking and information
int pickSphereCallback(vel_object object, vel_mouseEvent *event);
void pickAtomOnScreen(int x, int y);
void printAtomInfo(int atom);

#endif
