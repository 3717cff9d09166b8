// structureread.h - the read branch of the structure build: read the file,
// perceive the bonds, count or remove the unbonded atoms and switch a large
// structure to light settings. Shared by the viewer's build and the
// command-line inspector. Needs neither Qt nor OpenGL.
#ifndef MOLVANE_STRUCTUREREAD_H
#define MOLVANE_STRUCTUREREAD_H

#include <cstdio>

inline constexpr int largeMoleculeAtoms = 30000;  // above it the light settings may be forced

// Reads pdbFile into the store and perceives its bonds, then handles the
// unbonded atoms and the large-molecule switch, printing the console lines
// of the read. Returns 1 when the light settings were forced (the caller
// then sets its menu check marks from the settings), else 0.
int readStructure(FILE *pdbFile);
// The bond count of the build, printed as "%d bonds found": the cylinders
// counted when they were built, else (bondCount 0) every bond of the table.
void countBonds();
// Empties every record 1 .. atomCount without a bond (present 0,
// atomicWeight 0, position 0). unbondedCount stays 0.
void removeUnbondedAtoms();

#endif
