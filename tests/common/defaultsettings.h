// defaultsettings.h - puts every render setting back to its start-up
// default, for tests that change settings and must not leak them.
#ifndef MOLVANE_TESTS_DEFAULTSETTINGS_H
#define MOLVANE_TESTS_DEFAULTSETTINGS_H

#include "app/settings.h"

inline void restoreDefaultSettings()
{
    drawAtoms = 0;
    drawAtomsAsLines = 1;
    drawSpaceFilled = 0;
    drawBondsIn3D = 0;
    drawBondsAsLines = 1;
    drawMultipleBonds = 1;
    highlightPDBBonds = 0;
    colourByChain = 0;
    colourByResidue = 0;
    hideUnbondedAtoms = 0;
    changeLineWidthWithDistance = 1;
    sphereDetail = 4;
    cylinderDetail = 3;
    bondAccuracy = bondAccuracyGood;
    spin = 0;
    moveMolecule = 0;
    navigationSpeed = 2;
    changeInitialSettings = 1;
    disableSettingsForLargeMolecules = 1;
}

#endif
