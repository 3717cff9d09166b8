// settings.h - the render settings: process-wide plain variables, one per
// setting, with the defaults a fresh start has. Needs neither Qt nor OpenGL.
//
// The base layer of the program, with viewstate.h: the molecule core
// (perception), the scene (palette, spheres, cylinders) and the view (line
// drawing, navigation, picking, the frame loop) read these variables and
// never write them. They are written by the menu commands (gui.cpp), the
// large-molecule switch of the read (structureread.cpp), the navigation step
// of the scene build (scenebuild.cpp), resetRenderSettings and the companion
// programs' options (src/tools).
#ifndef MOLVANE_SETTINGS_H
#define MOLVANE_SETTINGS_H

#include <cstdint>

extern int32_t drawAtoms;                        // atoms as 3D balls
extern int32_t drawAtomsAsLines;                 // atoms as line crosses
extern int32_t drawSpaceFilled;                  // atoms as space-filling spheres
extern int32_t drawBondsIn3D;                    // bonds as cylinders
extern int32_t drawBondsAsLines;                 // bonds as lines
extern int32_t drawMultipleBonds;                // double and triple bonds shown as such
extern int32_t highlightPDBBonds;                // CONECT bonds drawn green
extern int32_t colourByChain;                    // colour by chain (never with colourByResidue)
extern int32_t colourByResidue;                  // colour by residue (never with colourByChain)
extern int32_t hideUnbondedAtoms;                // atoms without a bond are removed at the read
extern int32_t changeLineWidthWithDistance;      // line width follows the distance to the eye
extern int32_t sphereDetail;                     // sphere tessellation of the detail level (detailLevels)
extern int32_t cylinderDetail;                   // cylinder tessellation of the detail level (detailLevels)
extern int32_t bondAccuracy;                     // perception window half-width: 15, 25 or 300
extern int32_t spin;                             // the view turns every frame
extern int32_t moveMolecule;                     // left drags slide instead of turning
extern int32_t navigationSpeed;                  // 1 Slow, 2 Medium, 3 Fast
extern float navigationStep;                     // spin step, from atomCount and navigationSpeed
extern int32_t changeInitialSettings;            // large structures switch to light settings
extern int32_t disableSettingsForLargeMolecules; // refuse spheres/cylinders for large structures

inline constexpr int32_t bondAccuracyGood = 15;     // "Good"
inline constexpr int32_t bondAccuracyBetter = 25;   // "Better"
inline constexpr int32_t bondAccuracyBest = 300;    // "Best (Slow Load)"
// The three accuracies in menu order, Good to Best.
inline constexpr int32_t bondAccuracies[] = {bondAccuracyGood, bondAccuracyBetter, bondAccuracyBest};

// The detail levels in menu order (Low, Medium, High): the sphere and
// cylinder tessellation of each. Low is a fresh start's and the light
// settings' of a large structure.
struct DetailLevel {
    int32_t sphere;     // sphereDetail
    int32_t cylinder;   // cylinderDetail
};
inline constexpr int lowDetail = 0, mediumDetail = 1, highDetail = 2;
inline constexpr DetailLevel detailLevels[] = {{4, 3}, {6, 5}, {9, 8}};

// Sets sphereDetail and cylinderDetail to those of level (lowDetail ..
// highDetail).
void setDetailLevel(int level);

// Puts every setting back to the default of a fresh start (navigationStep
// to 0 until the next build).
void resetRenderSettings();

// ln(atomCount) x (10^(navigationSpeed - 4) x 0.08) + 0.0005, in double
// precision, stored as a float.
float navigationStepFor(int32_t atomCount, int32_t navigationSpeed);

#endif
