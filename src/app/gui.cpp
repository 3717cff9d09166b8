// gui.cpp - the menu commands: each changes its settings, re-checks the items
// that show them and refreshes the scene, reloads the file or does neither.
// File loading lives in files.cpp.
#include "gui.h"

#include <cstdio>
#include <cstdlib>

#include "app/build.h"
#include "app/files.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "view/view.h"

GUI::~GUI() = default;

//------------------------------------------------------------------------------
// Common rules
//------------------------------------------------------------------------------
static int32_t toggled(int32_t flag) { return flag == 0 ? 1 : 0; }

// Turns an on/off setting over and shows it on its item.
static void toggleSetting(int32_t &setting, QAction *item)
{
    setting = toggled(setting);
    setItemChecked(item, setting);
}

// The large-structure guard of the 3D commands; 1 when the command may go on.
static int passesGuard(int32_t limit)
{
    if (disableSettingsForLargeMolecules == 1 && atomCount > limit) {
        printf("\nSelection Aborted - Molecule too large\n");
        return 0;
    }
    return 1;
}

static void nothingToDrawTest()
{
    if (!drawAtoms && !drawAtomsAsLines && !drawBondsIn3D && !drawBondsAsLines && !drawSpaceFilled)
        printf("\nNothing to be drawn, please select a representation from the Render menu\n");
}

// While space filling is on the four atom and bond marks are hidden. When an
// atom or bond command switches it off, the marks of the other pair show
// their settings again, so every mark matches what is drawn.
static void showBondMarks()
{
    setItemChecked(drawBondsAsLinesItem, drawBondsAsLines);
    setItemChecked(drawBondsIn3DItem, drawBondsIn3D);
}

static void showAtomMarks()
{
    setItemChecked(drawAtomsIn3DItem, drawAtoms);
    setItemChecked(drawAtomsAsCrossesItem, drawAtomsAsLines);
}

// The three reload commands keep the user's view around the reload.
static void reloadKeepingView()
{
    savedViewParams = viewParams;
    reloadStructure();
    viewParams = savedViewParams;
}

//------------------------------------------------------------------------------
// Representations
//------------------------------------------------------------------------------
// An atom (or bond) representation turned over; turned on, it takes the
// place of the other one of its pair and of space filling.
static void toggleRepresentation(int32_t &chosen, int32_t &other)
{
    chosen = toggled(chosen);
    if (chosen == 1) {
        other = 0;
        ::drawSpaceFilled = 0;
    }
}

// Balls or crosses: every atom mark shows its setting.
static void chooseAtoms(int32_t &chosen, int32_t &other)
{
    const int32_t wasSpaceFilled = ::drawSpaceFilled;
    toggleRepresentation(chosen, other);
    nothingToDrawTest();
    setItemChecked(drawSpaceFilledItem, ::drawSpaceFilled);
    showAtomMarks();
    if (wasSpaceFilled && !::drawSpaceFilled)
        showBondMarks();
    refreshStructure();
}

// Cylinders or lines: the chosen mark shows its setting, the others go off
// when it comes on.
static void chooseBonds(int32_t &chosen, QAction *chosenItem, int32_t &other, QAction *otherItem)
{
    const int32_t wasSpaceFilled = ::drawSpaceFilled;
    toggleRepresentation(chosen, other);
    if (chosen == 1) {
        setItemChecked(otherItem, 0);
        setItemChecked(drawSpaceFilledItem, 0);
    }
    nothingToDrawTest();
    setItemChecked(chosenItem, chosen);
    if (wasSpaceFilled && !::drawSpaceFilled)
        showAtomMarks();
    refreshStructure();
}

void GUI::drawAtoms()
{
    if (passesGuard(largeMoleculeAtoms))
        chooseAtoms(::drawAtoms, ::drawAtomsAsLines);
}

void GUI::drawAtomsAsLines()
{
    chooseAtoms(::drawAtomsAsLines, ::drawAtoms);
}

void GUI::drawBondsIn3D()
{
    if (passesGuard(largeMoleculeBondLimit))
        chooseBonds(::drawBondsIn3D, drawBondsIn3DItem, ::drawBondsAsLines, drawBondsAsLinesItem);
}

void GUI::drawBondsAsLines()
{
    chooseBonds(::drawBondsAsLines, drawBondsAsLinesItem, ::drawBondsIn3D, drawBondsIn3DItem);
}

void GUI::drawSpaceFilled()
{
    if (!passesGuard(largeMoleculeAtoms))
        return;
    ::drawSpaceFilled = toggled(::drawSpaceFilled);
    nothingToDrawTest();
    const int32_t shown = ::drawSpaceFilled == 0;
    setItemChecked(drawAtomsIn3DItem, ::drawAtoms && shown);
    setItemChecked(drawAtomsAsCrossesItem, ::drawAtomsAsLines && shown);
    setItemChecked(drawBondsAsLinesItem, ::drawBondsAsLines && shown);
    setItemChecked(drawBondsIn3DItem, ::drawBondsIn3D && shown);
    setItemChecked(drawSpaceFilledItem, ::drawSpaceFilled);
    refreshStructure();
}

//------------------------------------------------------------------------------
// Options and rendering
//------------------------------------------------------------------------------
void GUI::drawMultipleBonds()
{
    toggleSetting(::drawMultipleBonds, drawMultipleBondsItem);
    refreshStructure();
}

void GUI::highlightPDBBonds()
{
    toggleSetting(::highlightPDBBonds, highlightPDBBondsItem);
    refreshStructure();
}

// Colour by chain or by residue: never both.
static void chooseColouring(int32_t &chosen, QAction *chosenItem, int32_t &other, QAction *otherItem)
{
    chosen = toggled(chosen);
    if (other == 1)
        other = 0;
    setItemChecked(chosenItem, chosen);
    setItemChecked(otherItem, other);
    refreshStructure();
}

void GUI::colourByChain()
{
    chooseColouring(::colourByChain, colourByChainItem, ::colourByResidue, colourByResidueItem);
}

void GUI::colourByResidue()
{
    chooseColouring(::colourByResidue, colourByResidueItem, ::colourByChain, colourByChainItem);
}

void GUI::changeInitialSettings()
{
    toggleSetting(::changeInitialSettings, autoselectBestItem);
}

void GUI::disableSettingsForLargeMolecules()
{
    toggleSetting(::disableSettingsForLargeMolecules, disableHighQualityItem);
}

void GUI::changeLineWidthWithDistance()
{
    toggleSetting(::changeLineWidthWithDistance, changeLineWidthItem);
    refreshStructure();
}

// Detail levels: sphere and cylinder tessellation.
static void setDetail(int level)
{
    setDetailLevel(level);
    checkChoice(detailLowItem, detailMediumItem, detailHighItem, level);
    refreshStructure();
}

void GUI::detailLow() { setDetail(lowDetail); }
void GUI::detailMedium() { setDetail(mediumDetail); }
void GUI::detailHigh() { setDetail(highDetail); }

void GUI::drawUnbondedAtoms()
{
    hideUnbondedAtoms = toggled(hideUnbondedAtoms);
    setItemChecked(drawUnbondedAtomsItem, hideUnbondedAtoms == 0);
    reloadKeepingView();
}

// The accuracy chosen (0 Good, 1 Better, 2 Best), then the file read again.
static void setBondAccuracy(int choice)
{
    bondAccuracy = bondAccuracies[choice];
    checkChoice(bondAccuracyGoodItem, bondAccuracyBetterItem, bondAccuracyBestItem, choice);
    reloadKeepingView();
}

void GUI::bondAccuracyLow() { setBondAccuracy(0); }
void GUI::bondAccuracyMedium() { setBondAccuracy(1); }
void GUI::bondAccuracyHigh() { setBondAccuracy(2); }

//------------------------------------------------------------------------------
// Navigation
//------------------------------------------------------------------------------
void GUI::spin()
{
    toggleSetting(::spin, spinItem);
}

void GUI::moveMolecule()
{
    toggleSetting(::moveMolecule, moveMoleculeItem);
}

void GUI::centerMolecule()
{
    setInitialView();
    vel_windowViewParamsSet(vel_win_current, &viewParams);
}

// Speeds 1 Slow, 2 Medium, 3 Fast.
static void setSpeed(int32_t speed)
{
    navigationSpeed = speed;
    navigationStep = navigationStepFor(atomCount, navigationSpeed);
    checkChoice(speedSlowItem, speedMediumItem, speedFastItem, speed - 1);
}

void GUI::navigateSlow() { setSpeed(1); }
void GUI::navigateMedium() { setSpeed(2); }
void GUI::navigateFast() { setSpeed(3); }

//------------------------------------------------------------------------------
// Help and exit
//------------------------------------------------------------------------------
void GUI::printHelp()
{
    printf("\nLoad a PDB file by selecting one from the file menu\n");
    printf("Use the LEFT mouse button to rotate the molecule\n");
    printf("Use the RIGHT mouse button to zoom in and out\n");
    printf("Use the MIDDLE button to select an atom and display its information\n\n");
    printf("You may re-center the molecule by selecting Navigation->Center Molecule\n");
    printf("You may change the rendering settings from the render menu, and any\n");
    printf("other options by selecting them from the Options menu\n");
}

void GUI::close()
{
    std::exit(1);
}
