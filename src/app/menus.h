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
// File
extern QAction *loadPdbItem;               // "Load PDB Structure..."
// Options > "Autoselect Settings...": "Autoselect best settings for large
// molecules", "Disable high quality settings for large molecules"
extern QAction *autoselectBestItem, *disableHighQualityItem;
// Options
extern QAction *drawMultipleBondsItem;     // "Draw Multiple bonds"
extern QAction *highlightPDBBondsItem;     // "Highlight PDB CONECT Bonds"
extern QAction *colourByChainItem, *colourByResidueItem;   // "Colour By Chain", "Colour By Residue"
extern QAction *drawUnbondedAtomsItem;     // "Draw Unbonded Atoms" (checked while hideUnbondedAtoms is 0)
// Options > "Bond Accuracy...": one choice
extern QAction *bondAccuracyGoodItem, *bondAccuracyBetterItem, *bondAccuracyBestItem;   // "Good", "Better", "Best (Slow Load)"
// Render > "Draw Atoms...": "Draw Atoms in 3D", "Draw Atoms as Crosses"
extern QAction *drawAtomsIn3DItem, *drawAtomsAsCrossesItem;
// Render > "Draw Bonds...": "Draw Bonds in 3D", "Draw Bonds as Lines"
extern QAction *drawBondsIn3DItem, *drawBondsAsLinesItem;
// Render
extern QAction *drawSpaceFilledItem;       // "Draw CPK Space Filled"
extern QAction *changeLineWidthItem;       // "Change Line Width With Distance"
// Render > "Detail for 3D...": one choice
extern QAction *detailLowItem, *detailMediumItem, *detailHighItem;   // "Low", "Medium", "High"
// Navigation, and its "Speed..." (one choice)
extern QAction *spinItem;                  // "Spin"
extern QAction *speedSlowItem, *speedMediumItem, *speedFastItem;   // "Slow", "Medium", "Fast"
extern QAction *moveMoleculeItem;          // "Move Molecule"
extern QAction *centerMoleculeItem;        // "Center Molecule"
// Help
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
