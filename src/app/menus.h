// menus.h - the window's menu tree: the menu bar, the eleven popups and one
// process-wide handle per item that a command or the build checks, enables,
// disables or removes. Built once at start-up; alive until the process ends.
#ifndef MOLVANE_MENUS_H
#define MOLVANE_MENUS_H

#include <cstdint>

class GUI;
class QAction;
class QMenu;
class QMenuBar;

//------------------------------------------------------------------------------
// The command object, the menu bar and the popups
//------------------------------------------------------------------------------
extern GUI *gui;                       // receiver of every menu command; never destroyed
extern QMenuBar *menuBar;              // menu bar at the top of mainBox ("My Menu")
extern QMenu *fileMenu;                // "File": loading, recent entries, "Exit"
extern QMenu *optionsMenu;             // "Options": bonds, colouring, unbonded atoms, accuracy
extern QMenu *navigationMenu;          // "Navigation": spin, speed, move, centre
extern QMenu *helpMenu;                // "Help"
extern QMenu *detailMenu;              // Render > "Detail for 3D..."
extern QMenu *speedMenu;               // Navigation > "Speed..."
extern QMenu *bondAccuracyMenu;        // Options > "Bond Accuracy..."
extern QMenu *drawBondsMenu;           // Render > "Draw Bonds..."
extern QMenu *drawAtomsMenu;           // Render > "Draw Atoms..."
extern QMenu *renderMenu;              // "Render": representations, line width, detail
extern QMenu *autoselectMenu;          // Options > "Autoselect Settings..."

//------------------------------------------------------------------------------
// Item handles (the recent entries, their separator and "Exit" are in files.h)
//------------------------------------------------------------------------------
extern QAction *loadPdbItem;               // "Load PDB Structure..."
extern QAction *autoselectBestItem;        // "Autoselect best settings for large molecules"
extern QAction *disableHighQualityItem;    // "Disable high quality settings for large molecules"
extern QAction *drawMultipleBondsItem;     // "Draw Multiple bonds"
extern QAction *highlightPDBBondsItem;     // "Highlight PDB CONECT Bonds"
extern QAction *colourByChainItem;         // "Colour By Chain"
extern QAction *colourByResidueItem;       // "Colour By Residue"
extern QAction *drawUnbondedAtomsItem;     // "Draw Unbonded Atoms" (checked while hideUnbondedAtoms is 0)
extern QAction *bondAccuracyGoodItem;      // "Good"
extern QAction *bondAccuracyBetterItem;    // "Better"
extern QAction *bondAccuracyBestItem;      // "Best (Slow Load)"
extern QAction *drawAtomsIn3DItem;         // "Draw Atoms in 3D"
extern QAction *drawAtomsAsCrossesItem;    // "Draw Atoms as Crosses"
extern QAction *drawBondsIn3DItem;         // "Draw Bonds in 3D"
extern QAction *drawBondsAsLinesItem;      // "Draw Bonds as Lines"
extern QAction *drawSpaceFilledItem;       // "Draw CPK Space Filled"
extern QAction *changeLineWidthItem;       // "Change Line Width With Distance"
extern QAction *detailLowItem;             // "Low"
extern QAction *detailMediumItem;          // "Medium" (detail)
extern QAction *detailHighItem;            // "High"
extern QAction *spinItem;                  // "Spin"
extern QAction *speedSlowItem;             // "Slow"
extern QAction *speedMediumItem;           // "Medium" (speed)
extern QAction *speedFastItem;             // "Fast"
extern QAction *moveMoleculeItem;          // "Move Molecule"
extern QAction *centerMoleculeItem;        // "Center Molecule"
extern QAction *seeHelpItem;               // "See Help..."

//------------------------------------------------------------------------------
// Operations
//------------------------------------------------------------------------------
// Creates mainBox, gui, the menu bar and every popup and item with their
// initial check marks and enabled states; resizes mainBox to 500 x 500 and
// shows it. The recent entries and "Exit" come later (updateRecentFiles).
void buildMenus();
// Appends a command item. A checkable item shows a check mark; Qt's own
// toggle on a click is undone before the command runs, so only the commands
// and the build change marks. Returns the item.
QAction *addCommand(QMenu *menu, const char *label, void (GUI::*command)(), bool checkable);
void setItemChecked(QAction *item, int32_t on);   // the mark follows `on` (0 or 1)
void setItemEnabled(QAction *item, int32_t on);   // the item can be chosen while `on`
// The mark on the chosen one (0, 1 or 2) of three items that are one
// choice (the detail levels, the bond accuracies, the speeds), off the others.
void checkChoice(QAction *first, QAction *second, QAction *third, int chosen);

#endif
