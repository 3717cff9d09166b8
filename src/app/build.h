// build.h - the structure build pipeline: a file read into the store becomes
// a scene of the current settings; a refresh rebuilds the scene from memory
// and keeps the view. Called by the file loading (files.h), never calling it.
#ifndef MOLVANE_BUILD_H
#define MOLVANE_BUILD_H

#include <cstdint>
#include <cstdio>

#include "app/structureread.h"

// Above largeMoleculeAtoms (30000) the guarded commands refuse spheres and
// space filling; above this one, cylinders.
inline constexpr int32_t largeMoleculeBondLimit = 50000;

extern FILE *pdbFile;   // stream of the file being read; replaced by every open (replacePdbFile)

// Reads pdbFile when structureLoaded is 0 (the caller sets it 0 before and
// 1 after), then builds cylinders, counts bonds, builds spheres, sets the
// navigation steps, registers the mouse handling and the menus' enabled states.
void buildStructure();
// Discards the scene objects and the display list and builds the scene
// again: from the structure in memory (read 0), or reading pdbFile afresh
// with a fresh view (read 1: structureLoaded is 0 during the build, 1 after).
void rebuildScene(int read);
// Rebuilds the scene from the structure in memory; keeps the view.
void refreshStructure();
// Enables the menu items that apply to the current settings.
void setMenuEnabledStates();
// The check marks of the light settings forced for a large structure.
void checkLightSettings();

#endif
