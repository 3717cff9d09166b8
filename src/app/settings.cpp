// settings.cpp - defines the render settings with their compiled-in defaults,
// the reset back to them and the navigation step formula.
#include "settings.h"

#include <cmath>

// The defaults of a fresh start, in one place: the variables below start
// from them and resetRenderSettings() puts them back.
namespace {
namespace defaults {
constexpr int32_t drawAtoms = 0;
constexpr int32_t drawAtomsAsLines = 1;
constexpr int32_t drawSpaceFilled = 0;
constexpr int32_t drawBondsIn3D = 0;
constexpr int32_t drawBondsAsLines = 1;
constexpr int32_t drawMultipleBonds = 1;
constexpr int32_t highlightPDBBonds = 0;
constexpr int32_t colourByChain = 0;
constexpr int32_t colourByResidue = 0;
constexpr int32_t hideUnbondedAtoms = 0;
constexpr int32_t changeLineWidthWithDistance = 1;
constexpr int32_t sphereDetail = detailLevels[lowDetail].sphere;
constexpr int32_t cylinderDetail = detailLevels[lowDetail].cylinder;
constexpr int32_t bondAccuracy = bondAccuracyGood;
constexpr int32_t spin = 0;
constexpr int32_t moveMolecule = 0;
constexpr int32_t navigationSpeed = 2;
constexpr float navigationStep = 0.0f;
constexpr int32_t changeInitialSettings = 1;
constexpr int32_t disableSettingsForLargeMolecules = 1;
}  // namespace defaults
}  // namespace

int32_t drawAtoms = defaults::drawAtoms;
int32_t drawAtomsAsLines = defaults::drawAtomsAsLines;
int32_t drawSpaceFilled = defaults::drawSpaceFilled;
int32_t drawBondsIn3D = defaults::drawBondsIn3D;
int32_t drawBondsAsLines = defaults::drawBondsAsLines;
int32_t drawMultipleBonds = defaults::drawMultipleBonds;
int32_t highlightPDBBonds = defaults::highlightPDBBonds;
int32_t colourByChain = defaults::colourByChain;
int32_t colourByResidue = defaults::colourByResidue;
int32_t hideUnbondedAtoms = defaults::hideUnbondedAtoms;
int32_t changeLineWidthWithDistance = defaults::changeLineWidthWithDistance;
int32_t sphereDetail = defaults::sphereDetail;
int32_t cylinderDetail = defaults::cylinderDetail;
int32_t bondAccuracy = defaults::bondAccuracy;
int32_t spin = defaults::spin;
int32_t moveMolecule = defaults::moveMolecule;
int32_t navigationSpeed = defaults::navigationSpeed;
float navigationStep = defaults::navigationStep;
int32_t changeInitialSettings = defaults::changeInitialSettings;
int32_t disableSettingsForLargeMolecules = defaults::disableSettingsForLargeMolecules;

void resetRenderSettings()
{
    drawAtoms = defaults::drawAtoms;
    drawAtomsAsLines = defaults::drawAtomsAsLines;
    drawSpaceFilled = defaults::drawSpaceFilled;
    drawBondsIn3D = defaults::drawBondsIn3D;
    drawBondsAsLines = defaults::drawBondsAsLines;
    drawMultipleBonds = defaults::drawMultipleBonds;
    highlightPDBBonds = defaults::highlightPDBBonds;
    colourByChain = defaults::colourByChain;
    colourByResidue = defaults::colourByResidue;
    hideUnbondedAtoms = defaults::hideUnbondedAtoms;
    changeLineWidthWithDistance = defaults::changeLineWidthWithDistance;
    sphereDetail = defaults::sphereDetail;
    cylinderDetail = defaults::cylinderDetail;
    bondAccuracy = defaults::bondAccuracy;
    spin = defaults::spin;
    moveMolecule = defaults::moveMolecule;
    navigationSpeed = defaults::navigationSpeed;
    navigationStep = defaults::navigationStep;
    changeInitialSettings = defaults::changeInitialSettings;
    disableSettingsForLargeMolecules = defaults::disableSettingsForLargeMolecules;
}

void setDetailLevel(int level)
{
    sphereDetail = detailLevels[level].sphere;
    cylinderDetail = detailLevels[level].cylinder;
}

float navigationStepFor(int32_t count, int32_t speed)
{
    // A structure without atoms has no logarithm: it gets the bare offset,
    // so the spin and the navigation stay finite.
    double logCount = count > 0 ? std::log((double)count) : 0.0;
    return (float)(logCount * (std::pow(10.0, speed - 4) * 0.08) + 0.0005);
}
