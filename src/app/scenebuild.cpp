// scenebuild.cpp - the body of the structure build shared by the viewer and
// molvane-render: read, first view, cylinders, bond count, spheres,
// navigation steps and mouse registrations.
#include "app/scenebuild.h"

#include "app/settings.h"
#include "app/structureread.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"
#include "view/view.h"

int buildBondObjects(FILE *pdbFile)
{
    int forced = 0;
    if (structureLoaded == 0) {
        // The read, bonds, unbonded atoms and the large-molecule switch.
        forced = readStructure(pdbFile);
        setInitialView();
    }
    if (drawSpaceFilled == 0 && drawBondsIn3D == 1)
        buildBondCylinders();
    countBonds();
    return forced;
}

void buildAtomObjects()
{
    if (colourByChain == 0 && colourByResidue == 0 && (drawAtoms == 1 || drawSpaceFilled == 1))
        buildAtomSpheres();
    zoomStep = zoomStepFor(atomCount);
    navigationStep = navigationStepFor(atomCount, navigationSpeed);
    registerMouseHandling();
}

void discardScene()
{
    vel_SMSDelete(sceneObjectList, 1);
    displayListDirty = 1;
    vel_gfxListsDelete(displayListId, 1);
    sceneObjectList = vel_SMSObjListNew();
}
