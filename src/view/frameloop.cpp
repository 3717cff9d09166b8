// frameloop.cpp - one pass of the main loop: input, the display list of the
// scene, the line pass, the view hand-over, the spin, the latched screen pick
// and the drag origins. Owns the display-list and pick-latch flags.
#include "view.h"

#include <cstdio>

#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"

int32_t displayListDirty = 1;
int32_t displayListId = 1;
int32_t pickLatch = 0;

//------------------------------------------------------------------------------
// Module state
//------------------------------------------------------------------------------
static int buttonState[3] = {1, 1, 1};  // filled by vel_mouseGet: 0 left, 1 middle, 2 right; 0 pressed

//------------------------------------------------------------------------------
// The line pass: recorded into the list when widths are fixed, sent every
// frame when they follow the distance to the eye.
//------------------------------------------------------------------------------
void drawLinePass()
{
    if (structureLoaded == 1 && drawBondsAsLines == 1 && drawMultipleBonds == 0 && drawSpaceFilled == 0)
        drawBondLines();
    if (structureLoaded == 1 && drawBondsAsLines == 1 && drawMultipleBonds == 1 && drawSpaceFilled == 0)
        drawMultipleBondLines();
    if (drawAtomsAsLines != 0 && colourByChain == 0 && colourByResidue == 0)
        drawAtomCrosses();
}

void drawScene(int announce)
{
    if (displayListDirty == 1 && structureLoaded != 0) {
        if (announce)
            printf("Generating Display List...\n");
        vel_gfxListNew(displayListId, 2);
        vel_SMSDisplayUnCulled(vel_win_current, sceneObjectList);
        if (changeLineWidthWithDistance == 0)
            drawLinePass();
        vel_gfxListEnd();
        displayListDirty = 0;
        if (announce)
            printf("Ready\n");
    } else {
        vel_gfxListExec(displayListId);
    }

    if (changeLineWidthWithDistance == 1)
        drawLinePass();
}

int runFrame(SceneObjectList list)
{
    // A command inside vel_eventsCheck() may replace the scene: the list is
    // always taken from sceneObjectList after the event check, never from
    // the argument, which may have been deleted by then.
    (void)list;

    leftDragActive = 0;
    rightDragActive = 0;

    vel_eventsCheck();
    vel_frameBegin();
    drawScene(1);
    vel_windowViewParamsSet(vel_win_current, &viewParams);
    vel_frameEnd();

    if (structureLoaded == 1 && spin == 1)
        vel_navigateRotUp(&viewParams, 1.0f, 0.0f, navigationStep);

    int x = 0, y = 0, scratch = 0;
    vel_mouseGet(vel_win_current, &x, &y, &scratch, &scratch, buttonState);

    if (buttonState[1] == 0 && pickLatch == 0 && drawAtoms == 0 && drawSpaceFilled == 0) {
        pickLatch = 1;
        pickAtomOnScreen(x, y);
    }
    if (buttonState[1] == 1)
        pickLatch = 0;

    if (leftDragActive == 0)
        vel_mouseGet(vel_win_current, &scratch, &scratch, &leftDragOriginX, &leftDragOriginY, nullptr);
    if (rightDragActive == 0)
        vel_mouseGet(vel_win_current, &scratch, &scratch, &rightDragOriginX, &rightDragOriginY, nullptr);

    return 1;
}
