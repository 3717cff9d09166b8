// gui.h - the one command object: every menu item is connected to one of its
// slots. The slots work on process-wide state only (settings, menus, store).
#ifndef MOLVANE_GUI_H
#define MOLVANE_GUI_H

#include <QObject>

class GUI : public QObject {
    Q_OBJECT

public:
    GUI() = default;
    ~GUI() override;

public slots:
    void loadFile();                          // File > "Load PDB Structure..." (files.cpp)
    void loadRecentFile1();                   // File > first recent entry (files.cpp)
    void loadRecentFile2();
    void loadRecentFile3();
    void loadRecentFile4();
    void spin();                              // toggles the automatic spin
    void drawAtoms();                         // atoms as balls (guarded)
    void drawSpaceFilled();                   // space-filling spheres (guarded)
    void drawBondsIn3D();                     // bonds as cylinders (guarded)
    void drawBondsAsLines();                  // bonds as lines
    void drawAtomsAsLines();                  // atoms as crosses
    void drawMultipleBonds();                 // double and triple bonds shown as such
    void highlightPDBBonds();                 // CONECT bonds highlighted
    void colourByChain();                     // colour by chain (clears residue colouring)
    void colourByResidue();                   // colour by residue (clears chain colouring)
    void changeInitialSettings();             // light settings for large structures at the next read
    void disableSettingsForLargeMolecules();  // the large-structure guard of the 3D commands
    void changeLineWidthWithDistance();       // line width follows the distance
    void detailLow();                         // sphere 4, cylinder 3
    void detailMedium();                      // sphere 6, cylinder 5
    void detailHigh();                        // sphere 9, cylinder 8
    void drawUnbondedAtoms();                 // hides or shows unbonded atoms; reloads, keeps the view
    void moveMolecule();                      // left drags slide instead of turning
    void centerMolecule();                    // back to the first view
    void navigateSlow();                      // navigation speed 1
    void navigateMedium();                    // navigation speed 2
    void navigateFast();                      // navigation speed 3
    void bondAccuracyLow();                   // "Good" (15); reloads, keeps the view
    void bondAccuracyMedium();                // "Better" (25); reloads, keeps the view
    void bondAccuracyHigh();                  // "Best (Slow Load)" (300); reloads, keeps the view
    void printHelp();                         // the help text on the console
    void close();                             // ends the process with exit status 1
};

#endif
