// scenebuild.h - the body of the structure build without the menus: the read
// and the first view, the scene objects for the current settings, the bond
// count, the navigation steps and the mouse registrations. The viewer's
// buildStructure sets its menu items after it; molvane-render draws the
// scene off-screen. Needs no Qt widget.
#ifndef MOLVANE_SCENEBUILD_H
#define MOLVANE_SCENEBUILD_H

#include <cstdio>

// When structureLoaded is 0: reads pdbFile, perceives the bonds, handles the
// unbonded atoms and the large-molecule switch, and sets the first view.
// Then builds the bond cylinders and prints "%d bonds found". Returns 1 when
// the read forced the light settings, else 0.
int buildBondObjects(FILE *pdbFile);
// The atom spheres ("Generating atoms..." when there are any), the zoom and
// spin steps and the mouse registrations.
void buildAtomObjects();
// Discards the scene objects and the display list; the next frame records
// the new list from a fresh, empty sceneObjectList.
void discardScene();

#endif
