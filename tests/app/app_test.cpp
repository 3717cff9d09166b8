// app_test.cpp - the application as a whole inside one process: the menu
// tree at start, loading and the build messages, the representation and
// colour commands with their marks and guard, refresh and reload and the
// view, the recent-files list and its file.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <gtest/gtest.h>

#include "app/build.h"
#include "app/files.h"
#include "app/gui.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/viewstate.h"
#include "apptest.h"
#include "molecule/molecule.h"
#include "scene/scene.h"
#include "view/view.h"

using Labels = std::vector<std::string>;

static std::string recentFile() { return scratchDir() + "/recentpdb.txt"; }

// Loads a file as the dialog would and records the scene.
static std::string load(const std::string &path)
{
    ConsoleCapture console;
    loadChosenFile(path.c_str());
    runUntilReady();
    return console.text();
}

static size_t find(const std::string &text, const char *what, size_t from = 0)
{
    return text.find(what, from);
}

//------------------------------------------------------------------------------
// Start-up (runs first: no file has been loaded yet)
//------------------------------------------------------------------------------
// The menu tree, its marks and what may be chosen before any file is loaded.
TEST(StartUp, MenuTreeMarksAndEnabledStates)
{
    ASSERT_EQ(structureLoaded, 0);
    Labels bar;
    for (QAction *entry : menuBar->actions())
        bar.push_back(entry->text().toStdString());
    EXPECT_EQ(bar, (Labels{"File", "Options", "Render", "Navigation", "Help"}));
    EXPECT_EQ(menuBar->objectName(), "My Menu");
    for (QMenu *popup : {fileMenu, optionsMenu, navigationMenu, helpMenu, detailMenu, speedMenu,
                         bondAccuracyMenu, drawBondsMenu, drawAtomsMenu, renderMenu, autoselectMenu})
        EXPECT_EQ(popup->objectName(), "My Menu");

    // No recentpdb.txt in the scratch directory: no recent items, no second separator.
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "Exit"}));
    EXPECT_EQ(menuLabels(optionsMenu),
              (Labels{"Autoselect Settings...", "Draw Multiple bonds", "Highlight PDB CONECT Bonds",
                      "Colour By Chain", "Colour By Residue", "Draw Unbonded Atoms", "-", "Bond Accuracy..."}));
    EXPECT_EQ(menuLabels(autoselectMenu), (Labels{"Autoselect best settings for large molecules",
                                                  "Disable high quality settings for large molecules"}));
    EXPECT_EQ(menuLabels(bondAccuracyMenu), (Labels{"Good", "Better", "Best (Slow Load)"}));
    EXPECT_EQ(menuLabels(renderMenu), (Labels{"Draw Atoms...", "Draw Bonds...", "Draw CPK Space Filled",
                                              "Change Line Width With Distance", "-", "Detail for 3D..."}));
    EXPECT_EQ(menuLabels(drawAtomsMenu), (Labels{"Draw Atoms in 3D", "Draw Atoms as Crosses"}));
    EXPECT_EQ(menuLabels(drawBondsMenu), (Labels{"Draw Bonds in 3D", "Draw Bonds as Lines"}));
    EXPECT_EQ(menuLabels(detailMenu), (Labels{"Low", "Medium", "High"}));
    EXPECT_EQ(menuLabels(navigationMenu), (Labels{"Spin", "-", "Speed...", "Move Molecule", "Center Molecule"}));
    EXPECT_EQ(menuLabels(speedMenu), (Labels{"Slow", "Medium", "Fast"}));
    EXPECT_EQ(menuLabels(helpMenu), (Labels{"See Help..."}));

    QAction *const checked[] = {detailLowItem, bondAccuracyGoodItem, speedMediumItem, drawAtomsAsCrossesItem,
                                drawBondsAsLinesItem, drawMultipleBondsItem, drawUnbondedAtomsItem,
                                changeLineWidthItem, autoselectBestItem, disableHighQualityItem};
    for (QAction *item : checked)
        EXPECT_TRUE(item->isChecked()) << item->text().toStdString();
    QAction *const unchecked[] = {detailMediumItem, detailHighItem, bondAccuracyBetterItem, bondAccuracyBestItem,
                                  speedSlowItem, speedFastItem, drawAtomsIn3DItem, drawBondsIn3DItem,
                                  drawSpaceFilledItem, highlightPDBBondsItem, colourByChainItem,
                                  colourByResidueItem, spinItem, moveMoleculeItem};
    for (QAction *item : unchecked)
        EXPECT_FALSE(item->isChecked()) << item->text().toStdString();
    for (QAction *item : {loadPdbItem, centerMoleculeItem, seeHelpItem, exitItem})
        EXPECT_FALSE(item->isCheckable()) << item->text().toStdString();

    for (QAction *item : {loadPdbItem, exitItem, seeHelpItem})
        EXPECT_TRUE(item->isEnabled());
    for (QMenu *popup : {fileMenu, optionsMenu, renderMenu, navigationMenu, helpMenu})
        for (QAction *item : popup->actions())
            if (item->menu() != nullptr) {
                EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
                for (QAction *inner : item->menu()->actions())
                    EXPECT_FALSE(inner->isEnabled()) << inner->text().toStdString();
            } else if (!item->isSeparator() && item != loadPdbItem && item != exitItem && item != seeHelpItem) {
                EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
            }
}

// The 32 commands in the order of the meta-object, by name and by member.
struct Command {
    const char *name;
    void (GUI::*slot)();
};
static const Command commands[] = {
    {"loadFile()", &GUI::loadFile},
    {"loadRecentFile1()", &GUI::loadRecentFile1},
    {"loadRecentFile2()", &GUI::loadRecentFile2},
    {"loadRecentFile3()", &GUI::loadRecentFile3},
    {"loadRecentFile4()", &GUI::loadRecentFile4},
    {"spin()", &GUI::spin},
    {"drawAtoms()", &GUI::drawAtoms},
    {"drawSpaceFilled()", &GUI::drawSpaceFilled},
    {"drawBondsIn3D()", &GUI::drawBondsIn3D},
    {"drawBondsAsLines()", &GUI::drawBondsAsLines},
    {"drawAtomsAsLines()", &GUI::drawAtomsAsLines},
    {"drawMultipleBonds()", &GUI::drawMultipleBonds},
    {"highlightPDBBonds()", &GUI::highlightPDBBonds},
    {"colourByChain()", &GUI::colourByChain},
    {"colourByResidue()", &GUI::colourByResidue},
    {"changeInitialSettings()", &GUI::changeInitialSettings},
    {"disableSettingsForLargeMolecules()", &GUI::disableSettingsForLargeMolecules},
    {"changeLineWidthWithDistance()", &GUI::changeLineWidthWithDistance},
    {"detailLow()", &GUI::detailLow},
    {"detailMedium()", &GUI::detailMedium},
    {"detailHigh()", &GUI::detailHigh},
    {"drawUnbondedAtoms()", &GUI::drawUnbondedAtoms},
    {"moveMolecule()", &GUI::moveMolecule},
    {"centerMolecule()", &GUI::centerMolecule},
    {"navigateSlow()", &GUI::navigateSlow},
    {"navigateMedium()", &GUI::navigateMedium},
    {"navigateFast()", &GUI::navigateFast},
    {"bondAccuracyLow()", &GUI::bondAccuracyLow},
    {"bondAccuracyMedium()", &GUI::bondAccuracyMedium},
    {"bondAccuracyHigh()", &GUI::bondAccuracyHigh},
    {"printHelp()", &GUI::printHelp},
    {"close()", &GUI::close},
};

// The item of `menu` labelled `label`, or null.
static QAction *itemIn(QMenu *menu, const char *label)
{
    for (QAction *item : menu->actions())
        if (item->text() == QString::fromLatin1(label))
            return item;
    return nullptr;
}

// The commands that `item` runs when chosen, by name. Each connection is
// taken off and put back in its place (the command runs after the mark fix).
static std::vector<std::string> commandsOf(QAction *item)
{
    std::vector<std::string> found;
    for (const Command &c : commands)
        if (QObject::disconnect(item, &QAction::triggered, gui, c.slot)) {
            QObject::connect(item, &QAction::triggered, gui, c.slot);
            found.push_back(c.name);
        }
    return found;
}

// The command object: class "GUI", no signals, the 32 slots in their order;
// every item of the menu tree runs the one command its row names.
TEST(StartUp, CommandObjectSlots)
{
    const QMetaObject *meta = &GUI::staticMetaObject;
    EXPECT_STREQ(meta->className(), "GUI");
    std::vector<std::string> names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        QMetaMethod method = meta->method(i);
        EXPECT_EQ(method.methodType(), QMetaMethod::Slot);
        EXPECT_EQ(method.parameterCount(), 0);
        names.push_back(method.methodSignature().toStdString());
    }
    EXPECT_EQ(names, (Labels{"loadFile()", "loadRecentFile1()", "loadRecentFile2()", "loadRecentFile3()",
                             "loadRecentFile4()", "spin()", "drawAtoms()", "drawSpaceFilled()", "drawBondsIn3D()",
                             "drawBondsAsLines()", "drawAtomsAsLines()", "drawMultipleBonds()",
                             "highlightPDBBonds()", "colourByChain()", "colourByResidue()",
                             "changeInitialSettings()", "disableSettingsForLargeMolecules()",
                             "changeLineWidthWithDistance()", "detailLow()", "detailMedium()", "detailHigh()",
                             "drawUnbondedAtoms()", "moveMolecule()", "centerMolecule()", "navigateSlow()",
                             "navigateMedium()", "navigateFast()", "bondAccuracyLow()", "bondAccuracyMedium()",
                             "bondAccuracyHigh()", "printHelp()", "close()"}));

    const struct { QMenu *menu; const char *label; const char *command; } rows[] = {
        {fileMenu, "Load PDB Structure...", "loadFile()"},
        {fileMenu, "Exit", "close()"},
        {autoselectMenu, "Autoselect best settings for large molecules", "changeInitialSettings()"},
        {autoselectMenu, "Disable high quality settings for large molecules", "disableSettingsForLargeMolecules()"},
        {optionsMenu, "Draw Multiple bonds", "drawMultipleBonds()"},
        {optionsMenu, "Highlight PDB CONECT Bonds", "highlightPDBBonds()"},
        {optionsMenu, "Colour By Chain", "colourByChain()"},
        {optionsMenu, "Colour By Residue", "colourByResidue()"},
        {optionsMenu, "Draw Unbonded Atoms", "drawUnbondedAtoms()"},
        {bondAccuracyMenu, "Good", "bondAccuracyLow()"},
        {bondAccuracyMenu, "Better", "bondAccuracyMedium()"},
        {bondAccuracyMenu, "Best (Slow Load)", "bondAccuracyHigh()"},
        {drawAtomsMenu, "Draw Atoms in 3D", "drawAtoms()"},
        {drawAtomsMenu, "Draw Atoms as Crosses", "drawAtomsAsLines()"},
        {drawBondsMenu, "Draw Bonds in 3D", "drawBondsIn3D()"},
        {drawBondsMenu, "Draw Bonds as Lines", "drawBondsAsLines()"},
        {renderMenu, "Draw CPK Space Filled", "drawSpaceFilled()"},
        {renderMenu, "Change Line Width With Distance", "changeLineWidthWithDistance()"},
        {detailMenu, "Low", "detailLow()"},
        {detailMenu, "Medium", "detailMedium()"},
        {detailMenu, "High", "detailHigh()"},
        {navigationMenu, "Spin", "spin()"},
        {speedMenu, "Slow", "navigateSlow()"},
        {speedMenu, "Medium", "navigateMedium()"},
        {speedMenu, "Fast", "navigateFast()"},
        {navigationMenu, "Move Molecule", "moveMolecule()"},
        {navigationMenu, "Center Molecule", "centerMolecule()"},
        {helpMenu, "See Help...", "printHelp()"},
    };
    for (const auto &row : rows) {
        QAction *item = itemIn(row.menu, row.label);
        ASSERT_NE(item, nullptr) << row.label;
        EXPECT_EQ(commandsOf(item), (Labels{row.command})) << row.label;
    }
}

// Before a load a refresh does nothing visible and the help text is exact.
TEST(StartUp, RefreshWithoutStructureAndHelpText)
{
    ConsoleCapture console;
    refreshStructure();
    reloadStructure();
    gui->printHelp();
    EXPECT_EQ(console.text(),
              "\nLoad a PDB file by selecting one from the file menu\n"
              "Use the LEFT mouse button to rotate the molecule\n"
              "Use the RIGHT mouse button to zoom in and out\n"
              "Use the MIDDLE button to select an atom and display its information\n\n"
              "You may re-center the molecule by selecting Navigation->Center Molecule\n"
              "You may change the rendering settings from the render menu, and any\n"
              "other options by selecting them from the Options menu\n");
}

//------------------------------------------------------------------------------
// Loading and the build
//------------------------------------------------------------------------------
class Loaded : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetSettings();
        unlink(recentFile().c_str());
        updateRecentFiles();
        text = load(dataFile("1ubq.pdb"));
        ASSERT_EQ(structureLoaded, 1);
    }
    std::string text;
};

// The console tells the road of a file in order, and the first build unlocks the menus.
TEST_F(Loaded, MessagesInOrderAndMenusUnlocked)
{
    size_t found = find(text, "\nPDB File Found ");
    size_t atomsAt = find(text, " atoms found", found);
    size_t unbonded = find(text, " unbonded)\n", atomsAt);
    size_t bondsAt = find(text, " bonds found\n", unbonded);
    size_t list = find(text, "Generating Display List...\n", bondsAt);
    size_t ready = find(text, "Ready\n", list);
    EXPECT_NE(found, std::string::npos) << text;
    EXPECT_NE(atomsAt, std::string::npos) << text;
    EXPECT_NE(unbonded, std::string::npos) << text;
    EXPECT_NE(bondsAt, std::string::npos) << text;
    EXPECT_NE(list, std::string::npos) << text;
    EXPECT_NE(ready, std::string::npos) << text;
    EXPECT_NE(find(text, dataFile("1ubq.pdb").c_str()), std::string::npos);
    EXPECT_NE(find(text, (std::to_string(nextBondIndex - 1) + " bonds found\n").c_str()), std::string::npos);

    for (QAction *item : {drawMultipleBondsItem, colourByChainItem, colourByResidueItem, highlightPDBBondsItem,
                          changeLineWidthItem, drawSpaceFilledItem, drawUnbondedAtomsItem, drawAtomsIn3DItem,
                          drawAtomsAsCrossesItem, drawBondsIn3DItem, drawBondsAsLinesItem, spinItem,
                          moveMoleculeItem, centerMoleculeItem, speedSlowItem, bondAccuracyBestItem,
                          autoselectBestItem})
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
    // Lines only: no 3D detail to choose.
    EXPECT_FALSE(detailLowItem->isEnabled());
}

// Which items a build enables, for every combination of the seven flags
// that decide it (chain and residue colouring are never on together), each
// rule as the build's table states it.
TEST_F(Loaded, EnabledStatesForEveryCombinationOfFlags)
{
    struct Flags {
        bool atoms3D, crosses, spaceFilled, bonds3D, bondLines, chain, residue;
    };
    using Rule = bool (*)(const Flags &);
    const Rule always = [](const Flags &) { return true; };
    const Rule noSpaceFilled = [](const Flags &f) { return !f.spaceFilled; };
    const Rule noColouring = [](const Flags &f) { return !f.chain && !f.residue; };
    const Rule highlight = [](const Flags &f) {
        return (f.bondLines || f.bonds3D) && !f.spaceFilled && !f.chain && !f.residue;
    };
    const Rule lineWidth = [](const Flags &f) { return (f.bondLines || f.crosses) && !f.spaceFilled; };
    const Rule detail = [](const Flags &f) { return f.atoms3D || !f.bondLines || f.spaceFilled; };
    const Rule atomItems = [](const Flags &f) { return !f.chain && !f.residue && !f.spaceFilled; };
    const struct { QAction *item; Rule enabled; } rules[] = {
        {drawMultipleBondsItem, noSpaceFilled},  {colourByChainItem, noSpaceFilled},
        {colourByResidueItem, noSpaceFilled},    {highlightPDBBondsItem, highlight},
        {changeLineWidthItem, lineWidth},        {detailLowItem, detail},
        {detailMediumItem, detail},              {detailHighItem, detail},
        {drawSpaceFilledItem, noColouring},      {bondAccuracyGoodItem, always},
        {bondAccuracyBetterItem, always},        {bondAccuracyBestItem, always},
        {drawUnbondedAtomsItem, noColouring},    {autoselectBestItem, always},
        {disableHighQualityItem, always},        {drawAtomsAsCrossesItem, atomItems},
        {drawAtomsIn3DItem, atomItems},          {drawBondsAsLinesItem, noSpaceFilled},
        {drawBondsIn3DItem, noSpaceFilled},      {spinItem, always},
        {moveMoleculeItem, always},              {centerMoleculeItem, always},
        {speedSlowItem, always},                 {speedMediumItem, always},
        {speedFastItem, always},
    };
    int combinations = 0;
    ConsoleCapture console;
    for (int bits = 0; bits < 128; ++bits) {
        const Flags f{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0,
                      (bits & 16) != 0, (bits & 32) != 0, (bits & 64) != 0};
        if (f.chain && f.residue)
            continue;
        ++combinations;
        drawAtoms = f.atoms3D;
        drawAtomsAsLines = f.crosses;
        drawSpaceFilled = f.spaceFilled;
        drawBondsIn3D = f.bonds3D;
        drawBondsAsLines = f.bondLines;
        colourByChain = f.chain;
        colourByResidue = f.residue;
        // Every item the other way first, so a build that leaves one alone shows.
        for (const auto &rule : rules)
            rule.item->setEnabled(!rule.enabled(f));
        refreshStructure();
        for (const auto &rule : rules)
            EXPECT_EQ(rule.item->isEnabled(), rule.enabled(f))
                << rule.item->text().toStdString() << " with atoms3D " << f.atoms3D << ", crosses " << f.crosses
                << ", spaceFilled " << f.spaceFilled << ", bonds3D " << f.bonds3D << ", bondLines "
                << f.bondLines << ", chain " << f.chain << ", residue " << f.residue;
    }
    console.text();
    EXPECT_EQ(combinations, 96);
}

// Spheres then cylinders: the refresh messages and the objects of the scene.
TEST_F(Loaded, RepresentationCommandsRefreshAndMarks)
{
    ConsoleCapture console;
    gui->drawAtoms();
    runUntilReady();
    std::string out = console.text();
    EXPECT_NE(find(out, "\nRefreshing Structure...\n"), std::string::npos);
    EXPECT_EQ(find(out, " atoms found"), std::string::npos);     // no read at a refresh
    EXPECT_NE(find(out, "Ready\n"), std::string::npos);
    EXPECT_EQ(drawAtoms, 1);
    EXPECT_EQ(drawAtomsAsLines, 0);
    EXPECT_TRUE(drawAtomsIn3DItem->isChecked());
    EXPECT_FALSE(drawAtomsAsCrossesItem->isChecked());
    EXPECT_GT(vel_SMSObjectCount(sceneObjectList), 0);
    EXPECT_TRUE(detailLowItem->isEnabled());

    // Atoms off again: nothing else switches on.
    gui->drawAtoms();
    EXPECT_EQ(drawAtoms, 0);
    EXPECT_EQ(drawAtomsAsLines, 0);
    EXPECT_FALSE(drawAtomsAsCrossesItem->isChecked());

    gui->drawBondsIn3D();
    EXPECT_EQ(drawBondsIn3D, 1);
    EXPECT_EQ(drawBondsAsLines, 0);
    EXPECT_TRUE(drawBondsIn3DItem->isChecked());
    EXPECT_FALSE(drawBondsAsLinesItem->isChecked());
    EXPECT_GE(bondCount, nextBondIndex - 1);                    // cylinders, multiple bonds counted apiece

    gui->drawBondsAsLines();
    EXPECT_EQ(drawBondsIn3D, 0);
    EXPECT_TRUE(drawBondsAsLinesItem->isChecked());
    EXPECT_FALSE(drawBondsIn3DItem->isChecked());
}

// Refreshes with two-coloured sticks reuse their surfaces: after the first
// refresh the library holds no more surfaces however many follow, and every
// two-coloured stick still has its textured surface.
TEST_F(Loaded, RefreshesKeepTheSurfaceCount)
{
    ConsoleCapture console;
    gui->drawBondsIn3D();
    runUntilReady();
    int first = vel_surfaceCount();
    for (int i = 1; i < 300; ++i)
        refreshStructure();
    runUntilReady();
    console.text();
    EXPECT_EQ(vel_surfaceCount(), first);
    // 24 element surfaces, 120 generated ones and at most 66 textured ones.
    EXPECT_LE(first, 24 + 120 + 66);
    int textured = 0;
    for (int i = 1; i <= bondCount; ++i) {
        const CylinderRecord &c = cylinderRecords[i];
        bool plain = false;
        for (int k = 0; k < surfaceTableSize; ++k)
            plain = plain || (materialSurfaces[k] != 0 && c.surface == materialSurfaces[k]);
        textured += plain ? 0 : 1;
    }
    EXPECT_GT(textured, 0);
}

// Unchecking crosses and then lines leaves nothing to draw: the message, and an empty scene.
TEST_F(Loaded, NothingToDrawMessage)
{
    const char *message = "\nNothing to be drawn, please select a representation from the Render menu\n";
    ConsoleCapture first;
    gui->drawAtomsAsLines();
    EXPECT_EQ(find(first.text(), message), std::string::npos);
    ConsoleCapture second;
    gui->drawBondsAsLines();
    std::string out = second.text();
    EXPECT_NE(find(out, message), std::string::npos);
    EXPECT_LT(find(out, message), find(out, "\nRefreshing Structure...\n"));
    EXPECT_FALSE(drawAtomsAsCrossesItem->isChecked());
    EXPECT_FALSE(drawBondsAsLinesItem->isChecked());
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 0);
}

// Space filling hides the four marks and disables what does not apply; off again shows them.
TEST_F(Loaded, SpaceFilledMarksAndEnabledStates)
{
    gui->drawSpaceFilled();
    EXPECT_TRUE(drawSpaceFilledItem->isChecked());
    for (QAction *item : {drawAtomsIn3DItem, drawAtomsAsCrossesItem, drawBondsIn3DItem, drawBondsAsLinesItem})
        EXPECT_FALSE(item->isChecked());
    for (QAction *item : {drawMultipleBondsItem, colourByChainItem, colourByResidueItem, highlightPDBBondsItem,
                          changeLineWidthItem, drawAtomsIn3DItem, drawAtomsAsCrossesItem, drawBondsIn3DItem,
                          drawBondsAsLinesItem})
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    EXPECT_TRUE(detailHighItem->isEnabled());
    EXPECT_EQ(bondCount, nextBondIndex - 1);       // no cylinders: the bonds themselves
    EXPECT_EQ(drawAtomsAsLines, 1);                // the flags are kept
    gui->drawSpaceFilled();
    EXPECT_TRUE(drawAtomsAsCrossesItem->isChecked());
    EXPECT_TRUE(drawBondsAsLinesItem->isChecked());
    EXPECT_FALSE(drawSpaceFilledItem->isChecked());

    // Switching space filling off through a bond command shows the atom marks again.
    gui->drawSpaceFilled();
    gui->drawBondsIn3D();
    EXPECT_EQ(drawSpaceFilled, 0);
    EXPECT_TRUE(drawAtomsAsCrossesItem->isChecked());
    EXPECT_TRUE(drawBondsIn3DItem->isChecked());
}

// Chain and residue colouring exclude each other; colouring removes spheres and unbonded atoms.
TEST_F(Loaded, ChainAndResidueColouring)
{
    gui->colourByResidue();
    EXPECT_EQ(colourByResidue, 1);
    gui->colourByChain();
    EXPECT_EQ(colourByChain, 1);
    EXPECT_EQ(colourByResidue, 0);
    EXPECT_TRUE(colourByChainItem->isChecked());
    EXPECT_FALSE(colourByResidueItem->isChecked());
    EXPECT_FALSE(drawSpaceFilledItem->isEnabled());
    EXPECT_FALSE(highlightPDBBondsItem->isEnabled());
    EXPECT_FALSE(drawAtomsIn3DItem->isEnabled());
    gui->colourByChain();
    EXPECT_EQ(colourByChain, 0);
    EXPECT_FALSE(colourByChainItem->isChecked());
    EXPECT_FALSE(colourByResidueItem->isChecked());

    // With chain colouring a reload removes the waters even though unbonded atoms are shown.
    gui->drawAtoms();
    gui->colourByChain();
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 0);
    ConsoleCapture console;
    gui->bondAccuracyMedium();
    EXPECT_NE(find(console.text(), " (0 unbonded)\n"), std::string::npos);
    EXPECT_EQ(unbondedCount, 0);
    gui->bondAccuracyLow();
}

// A refresh and a "Bond Accuracy..." reload keep the user's view; a new load does not.
TEST_F(Loaded, ViewKeptByRefreshAndReloadNotByLoad)
{
    const float firstEye = viewParams.eye.z;
    EXPECT_FLOAT_EQ(firstEye, halfExtents[0] + halfExtents[1] + halfExtents[2] + 2.0f);
    viewParams.eye = vel_vectorSet(3.0f, -4.0f, 12.5f);
    viewParams.view = vel_vectorSet(0.0f, 0.6f, -0.8f);
    viewParams.up = vel_vectorSet(1.0f, 0.0f, 0.0f);
    const ViewParams before = viewParams;
    auto same = [&before]() {
        EXPECT_EQ(std::memcmp(&before, &viewParams, sizeof before), 0);
    };
    gui->drawMultipleBonds();
    same();
    gui->detailHigh();
    same();
    EXPECT_FALSE(detailLowItem->isChecked());
    EXPECT_FALSE(detailMediumItem->isChecked());
    EXPECT_TRUE(detailHighItem->isChecked());
    ConsoleCapture console;
    gui->bondAccuracyHigh();
    EXPECT_NE(find(console.text(), " atoms found"), std::string::npos);   // read again
    same();
    EXPECT_EQ(bondAccuracy, 300);
    EXPECT_TRUE(bondAccuracyBestItem->isChecked());
    EXPECT_FALSE(bondAccuracyGoodItem->isChecked());
    gui->drawUnbondedAtoms();
    same();
    EXPECT_EQ(hideUnbondedAtoms, 1);
    EXPECT_FALSE(drawUnbondedAtomsItem->isChecked());
    gui->bondAccuracyLow();
    same();

    gui->centerMolecule();
    EXPECT_FLOAT_EQ(viewParams.eye.z, eyeDistance);
    viewParams.eye = vel_vectorSet(3.0f, -4.0f, 12.5f);
    load(dataFile("1ubq.pdb"));
    EXPECT_FLOAT_EQ(viewParams.eye.x, 0.0f);
    EXPECT_FLOAT_EQ(viewParams.eye.z, eyeDistance);
}

// A load, a reload and a refresh each discard the old objects and display
// list and start a new object list once, before anything is built.
TEST_F(Loaded, RebuildsDiscardTheOldSceneFirst)
{
    auto traced = [](auto command) {
        ConsoleCapture console;
        vel_traceClear();
        vel_traceEnable(1);
        command();
        vel_traceEnable(0);
        std::string trace = vel_traceText();
        vel_traceClear();
        return trace;
    };
    drawAtoms = 1;                               // spheres: objects are made by each build
    const std::string path = dataFile("1ubq.pdb");
    const std::string traces[] = {
        traced([&] { loadChosenFile(path.c_str()); }),
        traced([] { reloadStructure(); }),
        traced([] { refreshStructure(); }),
    };
    for (const std::string &trace : traces) {
        size_t deleted = find(trace, "vel_SMSDelete 1\n");
        size_t list = find(trace, "vel_gfxListsDelete ");
        size_t fresh = find(trace, "vel_SMSObjListNew\n");
        size_t object = find(trace, "vel_objectNew");
        EXPECT_EQ(deleted, 0u) << trace.substr(0, 200);
        EXPECT_LT(deleted, list);
        EXPECT_LT(list, fresh);
        EXPECT_LT(fresh, object);
        EXPECT_NE(object, std::string::npos);
        EXPECT_EQ(find(trace, "vel_SMSDelete", deleted + 1), std::string::npos);
        EXPECT_EQ(find(trace, "vel_SMSObjListNew", fresh + 1), std::string::npos);
    }
    drawAtoms = 0;
    refreshStructure();
}

// Clicks go through Qt, which toggles a mark by itself: the marks still follow the settings.
TEST_F(Loaded, TriggeredItemsMarksFollowSettings)
{
    drawAtomsIn3DItem->trigger();
    EXPECT_TRUE(drawAtomsIn3DItem->isChecked());
    EXPECT_FALSE(drawAtomsAsCrossesItem->isChecked());
    drawAtomsIn3DItem->trigger();
    EXPECT_FALSE(drawAtomsIn3DItem->isChecked());
    speedFastItem->trigger();
    speedFastItem->trigger();      // choosing the checked speed again keeps it checked
    EXPECT_TRUE(speedFastItem->isChecked());
    EXPECT_FALSE(speedMediumItem->isChecked());
    EXPECT_EQ(navigationSpeed, 3);
    detailMediumItem->trigger();   // disabled in line mode: nothing happens
    EXPECT_EQ(sphereDetail, 4);
    spinItem->trigger();
    EXPECT_EQ(spin, 1);
    EXPECT_TRUE(spinItem->isChecked());
    spinItem->trigger();
    EXPECT_EQ(spin, 0);
    EXPECT_FALSE(spinItem->isChecked());

    // A refused command leaves the mark Qt toggled as it was.
    const int32_t realCount = atomCount;
    atomCount = largeMoleculeAtoms + 1;
    ConsoleCapture console;
    drawAtomsIn3DItem->trigger();
    atomCount = realCount;
    EXPECT_NE(find(console.text(), "\nSelection Aborted - Molecule too large\n"), std::string::npos);
    EXPECT_EQ(drawAtoms, 0);
    EXPECT_FALSE(drawAtomsIn3DItem->isChecked());
}

//------------------------------------------------------------------------------
// The large-structure guard (no refresh: nothing is loaded meanwhile)
//------------------------------------------------------------------------------
TEST(Guard, LimitsAreInclusiveAndSwitchable)
{
    resetSettings();
    const int32_t loaded = structureLoaded, realCount = atomCount;
    structureLoaded = 0;
    const char *aborted = "\nSelection Aborted - Molecule too large\n";

    atomCount = largeMoleculeAtoms;
    gui->drawAtoms();
    EXPECT_EQ(drawAtoms, 1);
    gui->drawSpaceFilled();
    EXPECT_EQ(drawSpaceFilled, 1);
    gui->drawSpaceFilled();
    atomCount = largeMoleculeAtoms + 1;
    {
        ConsoleCapture console;
        gui->drawAtoms();      // switching off is guarded too
        gui->drawSpaceFilled();
        std::string out = console.text();
        EXPECT_NE(find(out, aborted), std::string::npos);
        EXPECT_NE(find(out, aborted, find(out, aborted) + 1), std::string::npos);
    }
    EXPECT_EQ(drawAtoms, 1);
    EXPECT_EQ(drawSpaceFilled, 0);
    EXPECT_TRUE(drawAtomsIn3DItem->isChecked());

    atomCount = largeMoleculeBondLimit;
    gui->drawBondsIn3D();
    EXPECT_EQ(drawBondsIn3D, 1);
    atomCount = largeMoleculeBondLimit + 1;
    gui->drawBondsIn3D();
    EXPECT_EQ(drawBondsIn3D, 1);

    gui->disableSettingsForLargeMolecules();
    EXPECT_FALSE(disableHighQualityItem->isChecked());
    gui->drawBondsIn3D();
    gui->drawSpaceFilled();
    EXPECT_EQ(drawBondsIn3D, 0);
    EXPECT_EQ(drawSpaceFilled, 1);

    atomCount = realCount;
    structureLoaded = loaded;
    resetSettings();
}

// A structure of more than 30000 atoms switches to the light settings and their marks.
TEST(Build, LargeStructureForcesLightSettings)
{
    resetSettings();
    gui->drawAtoms();                       // not loaded: only the settings change
    gui->detailHigh();
    std::string big = writeCarbonGrid(scratchDir() + "/big.pdb", largeMoleculeAtoms + 1);
    std::string out = load(big);
    EXPECT_NE(find(out, "Changing initial settings...\n"), std::string::npos);
    EXPECT_EQ(drawAtoms, 0);
    EXPECT_EQ(drawAtomsAsLines, 0);
    EXPECT_EQ(drawBondsAsLines, 1);
    EXPECT_EQ(hideUnbondedAtoms, 1);
    EXPECT_TRUE(detailLowItem->isChecked());
    EXPECT_FALSE(detailHighItem->isChecked());
    EXPECT_FALSE(drawAtomsIn3DItem->isChecked());
    EXPECT_FALSE(drawAtomsAsCrossesItem->isChecked());
    EXPECT_FALSE(drawMultipleBondsItem->isChecked());
    EXPECT_FALSE(drawUnbondedAtomsItem->isChecked());
    EXPECT_FALSE(changeLineWidthItem->isChecked());
    EXPECT_TRUE(drawBondsAsLinesItem->isChecked());

    // Exactly 30000 atoms keep the settings.
    resetSettings();
    std::string limit = writeCarbonGrid(scratchDir() + "/limit.pdb", largeMoleculeAtoms);
    out = load(limit);
    EXPECT_EQ(find(out, "Changing initial settings"), std::string::npos);
    EXPECT_EQ(drawAtomsAsLines, 1);
    unlink(big.c_str());
    unlink(limit.c_str());
}

// A build of 1000 atoms: zoomStep 0.0475468 and navigationStep 0.0060262 at
// Medium; the speed commands make it 0.0010526 (Slow) and 0.0557620 (Fast).
TEST(Build, NavigationStepsOfAThousandAtoms)
{
    resetSettings();
    std::string thousand = writeCarbonGrid(scratchDir() + "/thousand.pdb", 1000);
    load(thousand);
    ASSERT_EQ(atomCount, 1000);
    EXPECT_NEAR(zoomStep, 0.0475468, 5e-8);
    EXPECT_NEAR(navigationStep, 0.0060262, 5e-8);
    gui->navigateSlow();
    EXPECT_NEAR(navigationStep, 0.0010526, 5e-8);
    gui->navigateFast();
    EXPECT_NEAR(navigationStep, 0.0557620, 5e-8);
    gui->navigateMedium();
    EXPECT_NEAR(navigationStep, 0.0060262, 5e-8);
    gui->navigateFast();
    gui->drawMultipleBonds();                 // a refresh keeps the speed's step
    EXPECT_NEAR(navigationStep, 0.0557620, 5e-8);
    resetSettings();
    unlink(thousand.c_str());
}

// A file without atoms still builds, with finite navigation steps.
TEST(Build, StructureWithoutAtoms)
{
    resetSettings();
    std::string empty = scratchDir() + "/empty.pdb";
    writeFile(empty, "HEADER    NOTHING HERE\nEND\n");
    load(empty);
    EXPECT_EQ(atomCount, 0);
    EXPECT_TRUE(std::isfinite(zoomStep));
    EXPECT_TRUE(std::isfinite(navigationStep));
    gui->navigateFast();
    EXPECT_TRUE(std::isfinite(navigationStep));
    gui->navigateMedium();
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 0);
}

//------------------------------------------------------------------------------
// File loading and the recent list
//------------------------------------------------------------------------------
class Recent : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetSettings();
        unlink(recentFile().c_str());
        updateRecentFiles();
        small = readFile(dataFile("1ubq.pdb"));
    }
    // A copy of a small structure at dir/name in the scratch directory.
    std::string copy(const std::string &dir, const std::string &name)
    {
        std::string folder = scratchDir() + "/" + dir;
        mkdir(folder.c_str(), 0700);
        writeFile(folder + "/" + name, small);
        return folder + "/" + name;
    }
    std::string small;
};

// Five loads keep the last four, newest first; a listed path keeps the order.
TEST_F(Recent, OrderAfterFiveLoadsAndDuplicates)
{
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i)
        paths.push_back(copy("d" + std::to_string(i), "f" + std::to_string(i) + ".pdb"));
    load(paths[0]);
    EXPECT_EQ(readFile(recentFile()), paths[0] + "\n");
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "f1.pdb", "-", "Exit"}));
    for (int i = 1; i < 5; ++i)
        load(paths[i]);
    const std::string expected = paths[4] + "\n" + paths[3] + "\n" + paths[2] + "\n" + paths[1] + "\n";
    EXPECT_EQ(readFile(recentFile()), expected);
    EXPECT_EQ(menuLabels(fileMenu),
              (Labels{"Load PDB Structure...", "-", "f5.pdb", "f4.pdb", "f3.pdb", "f2.pdb", "-", "Exit"}));
    load(paths[3]);                              // second in the list
    EXPECT_EQ(readFile(recentFile()), expected);

    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(commandsOf(recentItems[k]), (Labels{"loadRecentFile" + std::to_string(k + 1) + "()"})) << k;

    // A recent entry reloads with the full path and changes neither list nor menu.
    viewParams.eye = vel_vectorSet(1.0f, 1.0f, 1.0f);
    ConsoleCapture console;
    recentItems[2]->trigger();
    runUntilReady();
    EXPECT_NE(find(console.text(), ("\nPDB File Found " + paths[2] + "\n").c_str()), std::string::npos);
    EXPECT_STREQ(currentFile, paths[2].c_str());
    EXPECT_FLOAT_EQ(viewParams.eye.z, eyeDistance);     // a fresh view
    EXPECT_EQ(readFile(recentFile()), expected);
    EXPECT_EQ(menuLabels(fileMenu)[2], "f5.pdb");

    // Two files of one name in different folders: two items with the same label.
    std::string twin = copy("other", "f5.pdb");
    load(twin);
    EXPECT_EQ(menuLabels(fileMenu),
              (Labels{"Load PDB Structure...", "-", "f5.pdb", "f5.pdb", "f4.pdb", "f3.pdb", "-", "Exit"}));
}

// Files that cannot be read, and paths longer than the buffers, change nothing.
TEST_F(Recent, MissingDirectoryAndOverlongPaths)
{
    std::string good = copy("ok", "good.pdb");
    load(good);
    const int32_t atoms = atomCount;
    const std::string listed = readFile(recentFile());
    std::string folder = scratchDir() + "/folder.pdb";
    mkdir(folder.c_str(), 0700);
    std::string longPath = scratchDir() + "/" + std::string(300, 'x') + ".pdb";
    {
        ConsoleCapture console;
        loadChosenFile((scratchDir() + "/missing.pdb").c_str());
        loadChosenFile(folder.c_str());
        loadChosenFile(longPath.c_str());
        std::string out = console.text();
        EXPECT_NE(find(out, ("\nNo PDB File Found " + scratchDir() + "/missing.pdb\n").c_str()), std::string::npos);
        EXPECT_NE(find(out, ("\nNo PDB File Found " + folder + "\n").c_str()), std::string::npos);
        EXPECT_NE(find(out, "\nERROR - path too long: "), std::string::npos);
        EXPECT_EQ(find(out, "\nPDB File Found "), std::string::npos);
    }
    EXPECT_STREQ(currentFile, good.c_str());
    EXPECT_EQ(atomCount, atoms);
    EXPECT_EQ(structureLoaded, 1);
    EXPECT_EQ(readFile(recentFile()), listed);

    // A recent entry whose file has gone keeps the structure shown.
    writeFile(recentFile(), scratchDir() + "/gone.pdb\n");
    updateRecentFiles();
    ConsoleCapture console;
    recentItems[0]->trigger();
    EXPECT_NE(find(console.text(), "\nNo PDB File Found "), std::string::npos);
    EXPECT_EQ(atomCount, atoms);
}

// Lines the program never writes: CR, empty lines, too many, no final newline, too long, NUL.
TEST_F(Recent, ForeignRecentFileIsReadSafely)
{
    std::string longLine(400, 'a');
    writeFile(recentFile(), std::string("C:\\data\\one.pdb\r\n\n\r\n") + longLine + "\n/x/two.pdb\n" +
                                std::string("bad\0line\n", 9) + "C:\\data/three.pdb\n/x/two.pdb\n" +
                                "/y/four.pdb\n/z/five.pdb\n/w/six.pdb");
    ConsoleCapture console;
    updateRecentFiles();
    EXPECT_NE(find(console.text(), "\nERROR - "), std::string::npos);
    ASSERT_EQ(recentPathCount, 4);
    EXPECT_STREQ(recentPaths[0], "C:\\data\\one.pdb");
    EXPECT_STREQ(recentPaths[1], "/x/two.pdb");
    EXPECT_STREQ(recentPaths[2], "C:\\data/three.pdb");
    EXPECT_STREQ(recentPaths[3], "/y/four.pdb");
    EXPECT_EQ(menuLabels(fileMenu),
              (Labels{"Load PDB Structure...", "-", "one.pdb", "two.pdb", "data/three.pdb", "four.pdb", "-", "Exit"}));

    // A last line without newline, and an empty file.
    writeFile(recentFile(), "/a/b.pdb\n/a/c&d.pdb");
    updateRecentFiles();
    ASSERT_EQ(recentPathCount, 2);
    EXPECT_STREQ(recentPaths[1], "/a/c&d.pdb");
    EXPECT_EQ(fileMenu->actions()[3]->text().toStdString(), "c&&d.pdb");
    writeFile(recentFile(), "");
    updateRecentFiles();
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "-", "Exit"}));

    // Loading rewrites the list cleanly.
    writeFile(recentFile(), "/q/one.pdb\r\n\n/q/two.pdb\r\n");
    std::string fresh = copy("new", "fresh.pdb");
    load(fresh);
    EXPECT_EQ(readFile(recentFile()), fresh + "\n/q/one.pdb\n/q/two.pdb\n");
}

// A list that cannot be written, and a path that cannot be one line of it, still load.
TEST_F(Recent, UnwritableListAndNewlineInPath)
{
    mkdir(recentFile().c_str(), 0700);          // opens for reading, not for writing
    std::string good = copy("w", "x.pdb");
    std::string out = load(good);
    EXPECT_NE(find(out, "\nPDB File Found "), std::string::npos);
    EXPECT_EQ(find(out, "ERROR"), std::string::npos);
    EXPECT_EQ(structureLoaded, 1);
    // A folder is not a list: read as missing, so no second separator.
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "Exit"}));
    rmdir(recentFile().c_str());

    std::string odd = copy("w", "two\nlines.pdb");
    load(odd);
    EXPECT_STREQ(currentFile, odd.c_str());
    EXPECT_EQ(readFile(recentFile()), "");       // not recorded: it would split in two
    updateRecentFiles();
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "Exit"}));
}

// A device or a FIFO in place of a file never blocks: as the recent list it
// reads as a missing list; a FIFO is left as it is, a link to a device is
// replaced by the new list (never written through); chosen as a structure,
// or put in place of the current file, it is "No PDB File Found".
TEST_F(Recent, FifosAndDevicesNeverBlock)
{
    const Labels noList{"Load PDB Structure...", "-", "Exit"};
    std::string good = copy("n", "good.pdb");
    for (int fifo = 0; fifo <= 1; fifo++) {
        unlink(recentFile().c_str());
        if (fifo)
            ASSERT_EQ(mkfifo(recentFile().c_str(), 0600), 0);
        else
            ASSERT_EQ(symlink("/dev/zero", recentFile().c_str()), 0);
        {
            ConsoleCapture console;
            updateRecentFiles();
            EXPECT_EQ(console.text(), "");
        }
        EXPECT_EQ(recentPathCount, 0);
        EXPECT_EQ(menuLabels(fileMenu), noList);
        std::string out = load(good);
        EXPECT_EQ(out.rfind("\nPDB File Found " + good + "\n", 0), 0u) << out;
        EXPECT_NE(find(out, "Ready\n"), std::string::npos) << out;
        EXPECT_EQ(find(out, "ERROR"), std::string::npos) << out;
        EXPECT_EQ(menuLabels(fileMenu), fifo ? noList : (Labels{"Load PDB Structure...", "-", "good.pdb", "-", "Exit"}));
        struct stat status;
        ASSERT_EQ(lstat(recentFile().c_str(), &status), 0);
        EXPECT_TRUE(fifo ? S_ISFIFO(status.st_mode) : S_ISREG(status.st_mode));
    }
    unlink(recentFile().c_str());

    const int32_t atoms = atomCount;
    std::string fifo = scratchDir() + "/n/fifo.pdb";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        ConsoleCapture console;
        loadChosenFile(fifo.c_str());
        EXPECT_EQ(console.text(), "\nNo PDB File Found " + fifo + "\n");
    }
    EXPECT_STREQ(currentFile, good.c_str());

    // The current file becomes a FIFO: a reload and its recent entry keep the structure.
    load(good);
    ASSERT_EQ(recentPathCount, 1);
    unlink(good.c_str());
    ASSERT_EQ(mkfifo(good.c_str(), 0600), 0);
    {
        ConsoleCapture console;
        gui->bondAccuracyMedium();
        recentItems[0]->trigger();
        EXPECT_EQ(console.text(), "\nNo PDB File Found " + good + "\n\nNo PDB File Found " + good + "\n");
    }
    EXPECT_EQ(atomCount, atoms);
    EXPECT_EQ(structureLoaded, 1);
    gui->bondAccuracyLow();
    unlink(good.c_str());
    unlink(fifo.c_str());
}

// A recent list of any size is read only up to its bound, with at most one
// error line per read.
TEST_F(Recent, LongListIsReadUpToItsBound)
{
    std::string overlong;
    for (int k = 0; k < 20000; k++)
        overlong += std::string(320, 'a') + "\n";
    writeFile(recentFile(), overlong);
    {
        ConsoleCapture console;
        updateRecentFiles();
        EXPECT_EQ(console.text(), "\nERROR - unusable line in recentpdb.txt skipped\n\n");
    }
    EXPECT_EQ(recentPathCount, 0);
    EXPECT_EQ(menuLabels(fileMenu), (Labels{"Load PDB Structure...", "-", "-", "Exit"}));

    // One endless line is unusable too.
    writeFile(recentFile(), "/a/one.pdb\n" + std::string(100000, 'b'));
    {
        ConsoleCapture console;
        updateRecentFiles();
        EXPECT_EQ(console.text(), "\nERROR - unusable line in recentpdb.txt skipped\n\n");
    }
    ASSERT_EQ(recentPathCount, 1);
    EXPECT_STREQ(recentPaths[0], "/a/one.pdb");

    // Entries past the bound are not there, and a short line cut by it is dropped quietly.
    writeFile(recentFile(), "/a/one.pdb\n" + std::string(recentListByteLimit, '\n') + "/a/two.pdb\n");
    {
        ConsoleCapture console;
        updateRecentFiles();
        EXPECT_EQ(console.text(), "");
    }
    EXPECT_EQ(recentPathCount, 1);
    writeFile(recentFile(), std::string(recentListByteLimit - 4, '\n') + "/a/cut.pdb\n");
    updateRecentFiles();
    EXPECT_EQ(recentPathCount, 0);
    unlink(recentFile().c_str());
}

// Labels: the last component, backslash before slash.
TEST(RecentLabel, LastComponent)
{
    EXPECT_STREQ(recentFileLabel("C:/data/pdb/1crn.pdb"), "1crn.pdb");
    EXPECT_STREQ(recentFileLabel("C:\\data\\1crn.pdb"), "1crn.pdb");
    EXPECT_STREQ(recentFileLabel("C:\\data/1crn.pdb"), "data/1crn.pdb");
    EXPECT_STREQ(recentFileLabel("1crn.pdb"), "1crn.pdb");
    EXPECT_STREQ(recentFileLabel("/odd/"), "/odd/");
}
