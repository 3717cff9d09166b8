// settings.cpp - defines the render settings with their compiled-in defaults
// and the navigation step formula.
#include "settings.h"

#include <cmath>

int32_t drawAtoms = 0;
int32_t drawAtomsAsLines = 1;
int32_t drawSpaceFilled = 0;
int32_t drawBondsIn3D = 0;
int32_t drawBondsAsLines = 1;
int32_t drawMultipleBonds = 1;
int32_t highlightPDBBonds = 0;
int32_t colourByChain = 0;
int32_t colourByResidue = 0;
int32_t hideUnbondedAtoms = 0;
int32_t changeLineWidthWithDistance = 1;
int32_t sphereDetail = 4;
int32_t cylinderDetail = 3;
int32_t bondAccuracy = bondAccuracyGood;
int32_t spin = 0;
int32_t moveMolecule = 0;
int32_t navigationSpeed = 2;
float navigationStep = 0.0f;
int32_t changeInitialSettings = 1;
int32_t disableSettingsForLargeMolecules = 1;

float navigationStepFor(int32_t count, int32_t speed)
{
    // A structure without atoms has no logarithm: it gets the bare offset,
    // so the spin and the navigation stay finite.
    double logCount = count > 0 ? std::log((double)count) : 0.0;
    return (float)(logCount * (std::pow(10.0, speed - 4) * 0.08) + 0.0005);
}
