// scene.h - scene construction: the palette and its surface tables, the
// sphere records of the atoms, the cylinder records of the bonds, and the
// element-pair texture codes of two-coloured bonds.
#ifndef MOLVANE_SCENE_H
#define MOLVANE_SCENE_H

#include <cstdint>

#include "molecule/molecule.h"
#include "renderlib/renderlib.h"
#include "scene/palettecolours.h"

inline constexpr int surfaceTableSize = 100;       // entries of each surface table
inline constexpr int textureWidth = 8;             // pixels across a bond texture (tools/make_textures.cpp)
inline constexpr int textureHeight = 64;           // pixels along a bond texture
inline constexpr int firstElementColour = 5;       // element colours 5 .. 16
inline constexpr int lastElementColour = 16;
inline constexpr int firstGeneratedColour = 20;    // chain and residue colours 20 .. 79
inline constexpr int generatedColourCount = 60;
inline constexpr int highlightColour = 11;         // green, CONECT bonds when highlighted
inline constexpr int maxCylinders = 140000;        // cylinderRecords; record 0 unused

// One sphere object, laid out as the library's sphere class reads it.
struct SphereRecord {
    float radius;              // ball radius in angstrom
    int32_t tessellation1;     // sphereDetail
    int32_t tessellation2;     // sphereDetail
    vel_surface surface;       // an entry of materialSurfaces
    vel_matrix matrix;         // pure translation to the atom
    int32_t reserved;          // never written
};

// One cylinder object, laid out as the library's cylinder class reads it.
struct CylinderRecord {
    float radius;              // 0.15, or thinner for multiple bonds
    float height;              // length along local Z
    int32_t tessellation;      // cylinderDetail
    int32_t endCaps;           // 1 closed ends (no atom spheres), 0 open
    vel_surface surface;       // material, or a texture made for this cylinder
    vel_matrix matrix;         // rotation and translation
    int32_t reserved;          // never written
};

extern vel_surface colourSurfaces[surfaceTableSize];    // flat colours 5 .. 16, 20 .. 79; others 0
extern vel_surface materialSurfaces[surfaceTableSize];  // lit materials 5 .. 16, 20 .. 79; others 0
extern SphereRecord sphereRecords[maxAtoms];            // one per atom index; 0 unused
extern CylinderRecord cylinderRecords[maxCylinders];    // in build order from 1

// Registers colours, materials, textures and both surface tables (once).
void setUpPalette();
// The generated-colour entry (20 .. 79) for a chain index or residue class;
// keys outside 0 .. 59 wrap onto the sixty generated colours.
int generatedColourEntry(int32_t key);

// Writes "Textures/" + first colour name + second colour name + ".ppm" for
// two element colours (5 .. 16) into path (at least 40 bytes).
void textureFileName(int firstColour, int secondColour, char *path, int size);

// Element-pair texture codes of two-coloured bonds (never 0).
int bondTextureCode(int atomA, int atomB);
int matchElementPair(int atomA, int atomB, const char *e1, const char *e2, int value);
int matchUnknownElement(int atomA, int atomB, const char *e1, int value);

// Sphere objects of every present atom, into sceneObjectList.
void buildAtomSpheres();
void initSphereRecord(SphereRecord *record, const char *element);
// Cylinder objects of every bond, into sceneObjectList; counts them in bondCount.
void buildBondCylinders();
void placeCylinder(int bond, int record, float offset);
void initCylinderRecord(CylinderRecord *record, float length);

#endif
