// menus.cpp - builds the window and its menu tree once at start-up: every
// label, separator and submenu, the initial check marks and enabled states,
// and the item handles that the commands and the build work on.
#include "menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QWidget>

#include "app/gui.h"
#include "app/settings.h"
#include "app/viewstate.h"

GUI *gui = nullptr;
QMenuBar *menuBar = nullptr;
QMenu *fileMenu = nullptr;
QMenu *optionsMenu = nullptr;
QMenu *navigationMenu = nullptr;
QMenu *helpMenu = nullptr;
QMenu *detailMenu = nullptr;
QMenu *speedMenu = nullptr;
QMenu *bondAccuracyMenu = nullptr;
QMenu *drawBondsMenu = nullptr;
QMenu *drawAtomsMenu = nullptr;
QMenu *renderMenu = nullptr;
QMenu *autoselectMenu = nullptr;

QAction *loadPdbItem = nullptr;
QAction *autoselectBestItem = nullptr;
QAction *disableHighQualityItem = nullptr;
QAction *drawMultipleBondsItem = nullptr;
QAction *highlightPDBBondsItem = nullptr;
QAction *colourByChainItem = nullptr;
QAction *colourByResidueItem = nullptr;
QAction *drawUnbondedAtomsItem = nullptr;
QAction *bondAccuracyGoodItem = nullptr;
QAction *bondAccuracyBetterItem = nullptr;
QAction *bondAccuracyBestItem = nullptr;
QAction *drawAtomsIn3DItem = nullptr;
QAction *drawAtomsAsCrossesItem = nullptr;
QAction *drawBondsIn3DItem = nullptr;
QAction *drawBondsAsLinesItem = nullptr;
QAction *drawSpaceFilledItem = nullptr;
QAction *changeLineWidthItem = nullptr;
QAction *detailLowItem = nullptr;
QAction *detailMediumItem = nullptr;
QAction *detailHighItem = nullptr;
QAction *spinItem = nullptr;
QAction *speedSlowItem = nullptr;
QAction *speedMediumItem = nullptr;
QAction *speedFastItem = nullptr;
QAction *moveMoleculeItem = nullptr;
QAction *centerMoleculeItem = nullptr;
QAction *seeHelpItem = nullptr;

static constexpr const char *menuObjectName = "My Menu";
static constexpr int windowSize = 500;          // initial width and height of mainBox

static QMenu *newPopup()
{
    QMenu *popup = new QMenu(mainBox);
    popup->setObjectName(menuObjectName);
    return popup;
}

// Makes `popup` an entry of `parent` (the menu bar or another popup).
template <typename Parent>
static void insertPopup(Parent *parent, const char *label, QMenu *popup)
{
    popup->setTitle(QString::fromLatin1(label));
    parent->addMenu(popup);
}

QAction *addCommand(QMenu *menu, const char *label, void (GUI::*command)(), bool checkable)
{
    QAction *item = menu->addAction(QString::fromLatin1(label));
    if (checkable) {
        item->setCheckable(true);
        // Connected first, so it runs before the command: a click leaves the
        // mark as it was, and the command sets it from the settings.
        QObject::connect(item, &QAction::triggered, item, [item](bool checkedNow) {
            item->setChecked(!checkedNow);
        });
    }
    QObject::connect(item, &QAction::triggered, gui, command);
    return item;
}

void setItemChecked(QAction *item, int32_t on)
{
    if (item != nullptr)
        item->setChecked(on != 0);
}

void checkChoice(QAction *first, QAction *second, QAction *third, int chosen)
{
    setItemChecked(first, chosen == 0);
    setItemChecked(second, chosen == 1);
    setItemChecked(third, chosen == 2);
}

void setItemEnabled(QAction *item, int32_t on)
{
    if (item != nullptr)
        item->setEnabled(on != 0);
}

// One checkable item of a choice: its handle, its label, its command.
struct ChoiceItem {
    QAction **item;
    const char *label;
    void (GUI::*command)();
};

// Below a separator of parent, a popup of three items that are one choice
// (checkChoice keeps one mark on them).
static void addChoicePopup(QMenu *parent, const char *title, QMenu *popup, const ChoiceItem (&items)[3])
{
    parent->addSeparator();
    insertPopup(parent, title, popup);
    for (const ChoiceItem &choice : items)
        *choice.item = addCommand(popup, choice.label, choice.command, true);
}

void buildMenus()
{
    // 1. The window, the command object, the menu bar and the popups.
    mainBox = new QWidget();
    QVBoxLayout *box = new QVBoxLayout(mainBox);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    gui = new GUI();
    menuBar = new QMenuBar(mainBox);
    menuBar->setObjectName(menuObjectName);
    box->setMenuBar(menuBar);
    fileMenu = newPopup();
    optionsMenu = newPopup();
    navigationMenu = newPopup();
    helpMenu = newPopup();
    detailMenu = newPopup();
    speedMenu = newPopup();
    bondAccuracyMenu = newPopup();
    drawBondsMenu = newPopup();
    drawAtomsMenu = newPopup();
    renderMenu = newPopup();
    autoselectMenu = newPopup();

    // 2. The menu bar entries, left to right.
    insertPopup(menuBar, "File", fileMenu);
    insertPopup(menuBar, "Options", optionsMenu);
    insertPopup(menuBar, "Render", renderMenu);
    insertPopup(menuBar, "Navigation", navigationMenu);
    insertPopup(menuBar, "Help", helpMenu);

    // 3. Size and show the window.
    mainBox->resize(windowSize, windowSize);
    mainBox->show();

    // 4. Fill the popups.
    loadPdbItem = addCommand(fileMenu, "Load PDB Structure...", &GUI::loadFile, false);
    fileMenu->addSeparator();
    // An empty recent list still shows its separator above "Exit": two
    // separators in a row, which Qt would otherwise draw as one.
    fileMenu->setSeparatorsCollapsible(false);

    insertPopup(optionsMenu, "Autoselect Settings...", autoselectMenu);
    autoselectBestItem = addCommand(autoselectMenu, "Autoselect best settings for large molecules",
                                    &GUI::changeInitialSettings, true);
    disableHighQualityItem = addCommand(autoselectMenu, "Disable high quality settings for large molecules",
                                        &GUI::disableSettingsForLargeMolecules, true);
    drawMultipleBondsItem = addCommand(optionsMenu, "Draw Multiple bonds", &GUI::drawMultipleBonds, true);
    highlightPDBBondsItem = addCommand(optionsMenu, "Highlight PDB CONECT Bonds", &GUI::highlightPDBBonds, true);
    colourByChainItem = addCommand(optionsMenu, "Colour By Chain", &GUI::colourByChain, true);
    colourByResidueItem = addCommand(optionsMenu, "Colour By Residue", &GUI::colourByResidue, true);
    drawUnbondedAtomsItem = addCommand(optionsMenu, "Draw Unbonded Atoms", &GUI::drawUnbondedAtoms, true);
    addChoicePopup(optionsMenu, "Bond Accuracy...", bondAccuracyMenu,
                   {{&bondAccuracyGoodItem, "Good", &GUI::bondAccuracyLow},
                    {&bondAccuracyBetterItem, "Better", &GUI::bondAccuracyMedium},
                    {&bondAccuracyBestItem, "Best (Slow Load)", &GUI::bondAccuracyHigh}});

    insertPopup(renderMenu, "Draw Atoms...", drawAtomsMenu);
    drawAtomsIn3DItem = addCommand(drawAtomsMenu, "Draw Atoms in 3D", &GUI::drawAtoms, true);
    drawAtomsAsCrossesItem = addCommand(drawAtomsMenu, "Draw Atoms as Crosses", &GUI::drawAtomsAsLines, true);
    insertPopup(renderMenu, "Draw Bonds...", drawBondsMenu);
    drawBondsIn3DItem = addCommand(drawBondsMenu, "Draw Bonds in 3D", &GUI::drawBondsIn3D, true);
    drawBondsAsLinesItem = addCommand(drawBondsMenu, "Draw Bonds as Lines", &GUI::drawBondsAsLines, true);
    drawSpaceFilledItem = addCommand(renderMenu, "Draw CPK Space Filled", &GUI::drawSpaceFilled, true);
    changeLineWidthItem = addCommand(renderMenu, "Change Line Width With Distance",
                                     &GUI::changeLineWidthWithDistance, true);
    addChoicePopup(renderMenu, "Detail for 3D...", detailMenu,
                   {{&detailLowItem, "Low", &GUI::detailLow},
                    {&detailMediumItem, "Medium", &GUI::detailMedium},
                    {&detailHighItem, "High", &GUI::detailHigh}});

    spinItem = addCommand(navigationMenu, "Spin", &GUI::spin, true);
    addChoicePopup(navigationMenu, "Speed...", speedMenu,
                   {{&speedSlowItem, "Slow", &GUI::navigateSlow},
                    {&speedMediumItem, "Medium", &GUI::navigateMedium},
                    {&speedFastItem, "Fast", &GUI::navigateFast}});
    moveMoleculeItem = addCommand(navigationMenu, "Move Molecule", &GUI::moveMolecule, true);
    centerMoleculeItem = addCommand(navigationMenu, "Center Molecule", &GUI::centerMolecule, false);

    seeHelpItem = addCommand(helpMenu, "See Help...", &GUI::printHelp, false);

    // 5. The check marks.
    setItemChecked(detailLowItem, 1);
    setItemChecked(bondAccuracyGoodItem, 1);
    setItemChecked(drawMultipleBondsItem, drawMultipleBonds);
    checkChoice(speedSlowItem, speedMediumItem, speedFastItem, 1);
    setItemChecked(drawUnbondedAtomsItem, hideUnbondedAtoms == 0);
    setItemChecked(autoselectBestItem, changeInitialSettings);
    setItemChecked(disableHighQualityItem, disableSettingsForLargeMolecules);
    setItemChecked(drawAtomsAsCrossesItem, drawAtomsAsLines);
    setItemChecked(drawAtomsIn3DItem, drawAtoms);
    setItemChecked(changeLineWidthItem, changeLineWidthWithDistance);
    setItemChecked(drawBondsIn3DItem, drawBondsIn3D);
    setItemChecked(drawBondsAsLinesItem, drawBondsAsLines);

    // 6. Everything that needs a structure waits for the first build.
    QAction *const waiting[] = {
        autoselectBestItem, disableHighQualityItem, drawMultipleBondsItem, highlightPDBBondsItem,
        colourByChainItem, colourByResidueItem, drawUnbondedAtomsItem,
        bondAccuracyGoodItem, bondAccuracyBetterItem, bondAccuracyBestItem,
        drawAtomsIn3DItem, drawAtomsAsCrossesItem, drawBondsIn3DItem, drawBondsAsLinesItem,
        drawSpaceFilledItem, changeLineWidthItem, detailLowItem, detailMediumItem, detailHighItem,
        spinItem, speedSlowItem, speedMediumItem, speedFastItem, moveMoleculeItem, centerMoleculeItem,
    };
    for (QAction *item : waiting)
        setItemEnabled(item, 0);
}
