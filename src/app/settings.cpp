// settings.cpp - defines the render settings with their compiled-in defaults,
// the reset back to them and the navigation step formula.
#include "settings.h"

#include <cmath>

// Every setting with the default of a fresh start, in one place: the
// variables below start from it and resetRenderSettings() puts them back.
#define RENDER_SETTINGS(SETTING)                                  \
    SETTING(int32_t, drawAtoms, 0)                                \
    SETTING(int32_t, drawAtomsAsLines, 1)                         \
    SETTING(int32_t, drawSpaceFilled, 0)                          \
    SETTING(int32_t, drawBondsIn3D, 0)                            \
    SETTING(int32_t, drawBondsAsLines, 1)                         \
    SETTING(int32_t, drawMultipleBonds, 1)                        \
    SETTING(int32_t, highlightPDBBonds, 0)                        \
    SETTING(int32_t, colourByChain, 0)                            \
    SETTING(int32_t, colourByResidue, 0)                          \
    SETTING(int32_t, hideUnbondedAtoms, 0)                        \
    SETTING(int32_t, changeLineWidthWithDistance, 1)              \
    SETTING(int32_t, sphereDetail, detailLevels[lowDetail].sphere) \
    SETTING(int32_t, cylinderDetail, detailLevels[lowDetail].cylinder) \
    SETTING(int32_t, bondAccuracy, bondAccuracyGood)              \
    SETTING(int32_t, spin, 0)                                     \
    SETTING(int32_t, moveMolecule, 0)                             \
    SETTING(int32_t, navigationSpeed, 2)                          \
    SETTING(float, navigationStep, 0.0f)                          \
    SETTING(int32_t, changeInitialSettings, 1)                    \
    SETTING(int32_t, disableSettingsForLargeMolecules, 1)

#define DEFINE_SETTING(type, name, value) type name = value;
RENDER_SETTINGS(DEFINE_SETTING)
#undef DEFINE_SETTING

void resetRenderSettings()
{
#define RESET_SETTING(type, name, value) name = value;
    RENDER_SETTINGS(RESET_SETTING)
#undef RESET_SETTING
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
