// build.cpp - the one place where a structure becomes a scene: the read and
// the first view, cylinders, the bond count, spheres, navigation steps, the
// mouse registrations and which menu items apply; refresh. A reload comes
// through files.cpp, which opens the file and calls down into rebuildScene.
#include "build.h"

#include <cstdio>

#include "app/menus.h"
#include "app/scenebuild.h"
#include "app/settings.h"
#include "app/structureread.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"
#include "view/view.h"

FILE *pdbFile = nullptr;

void checkLightSettings()
{
    checkChoice(detailLowItem, detailMediumItem, detailHighItem, lowDetail);
    setItemChecked(drawBondsIn3DItem, drawBondsIn3D);
    setItemChecked(drawBondsAsLinesItem, drawBondsAsLines);
    setItemChecked(drawSpaceFilledItem, drawSpaceFilled);
    setItemChecked(changeLineWidthItem, changeLineWidthWithDistance);
    setItemChecked(drawAtomsIn3DItem, drawAtoms);
    setItemChecked(drawAtomsAsCrossesItem, drawAtomsAsLines);
    setItemChecked(drawUnbondedAtomsItem, hideUnbondedAtoms == 0);
    setItemChecked(drawMultipleBondsItem, drawMultipleBonds);
}

void setMenuEnabledStates()
{
    const int32_t colouring = colourByChain || colourByResidue;
    setItemEnabled(drawMultipleBondsItem, drawSpaceFilled == 0);
    setItemEnabled(colourByChainItem, drawSpaceFilled == 0);
    setItemEnabled(colourByResidueItem, drawSpaceFilled == 0);
    setItemEnabled(highlightPDBBondsItem,
                   (drawBondsAsLines || drawBondsIn3D) && drawSpaceFilled == 0 && !colouring);
    setItemEnabled(changeLineWidthItem, (drawBondsAsLines || drawAtomsAsLines) && drawSpaceFilled == 0);
    const int32_t detail = drawAtoms || drawBondsAsLines == 0 || drawSpaceFilled;
    setItemEnabled(detailLowItem, detail);
    setItemEnabled(detailMediumItem, detail);
    setItemEnabled(detailHighItem, detail);
    setItemEnabled(drawSpaceFilledItem, !colouring);
    setItemEnabled(bondAccuracyGoodItem, 1);
    setItemEnabled(bondAccuracyBetterItem, 1);
    setItemEnabled(bondAccuracyBestItem, 1);
    setItemEnabled(drawUnbondedAtomsItem, !colouring);
    setItemEnabled(autoselectBestItem, 1);
    setItemEnabled(disableHighQualityItem, 1);
    setItemEnabled(drawAtomsAsCrossesItem, !colouring && drawSpaceFilled == 0);
    setItemEnabled(drawAtomsIn3DItem, !colouring && drawSpaceFilled == 0);
    setItemEnabled(drawBondsAsLinesItem, drawSpaceFilled == 0);
    setItemEnabled(drawBondsIn3DItem, drawSpaceFilled == 0);
    setItemEnabled(spinItem, 1);
    setItemEnabled(moveMoleculeItem, 1);
    setItemEnabled(centerMoleculeItem, 1);
    setItemEnabled(speedSlowItem, 1);
    setItemEnabled(speedMediumItem, 1);
    setItemEnabled(speedFastItem, 1);
}

void buildStructure()
{
    if (buildBondObjects(pdbFile) == 1)
        checkLightSettings();
    buildAtomObjects();
    setMenuEnabledStates();
}

void rebuildScene(int read)
{
    // The next frame records the display list of the new scene.
    discardScene();
    if (read == 0) {
        buildStructure();
        return;
    }
    structureLoaded = 0;
    buildStructure();
    structureLoaded = 1;
}

void refreshStructure()
{
    savedViewParams = viewParams;
    if (structureLoaded != 1)
        return;
    bondCount = 0;
    printf("\nRefreshing Structure...\n");
    rebuildScene(0);
    viewParams = savedViewParams;
    vel_windowViewParamsSet(vel_win_current, &viewParams);
}
