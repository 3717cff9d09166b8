// picking.cpp - the middle-button pick: the sphere callback of the library,
// the screen-space pick of line mode, and the atom information block.
// Reads the store, the sphere records and the size of the window.
#include "view.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"

//------------------------------------------------------------------------------
// Constants
//------------------------------------------------------------------------------
static constexpr float noDepth = 9999.9f;        // best depth before any candidate
static constexpr float foundDepth = 9999.0f;     // a best depth below this was found
static constexpr float menuCorrection = 13.0f;   // pixels the pointer sits below the projection
static constexpr double discFactor = 0.3;        // pick radius: half size x (1 - depth^3) x 0.3
static constexpr double discScale = 1.8;         //   x 1.8
static constexpr double discInset = 1.0;         //   - 1 pixel

//------------------------------------------------------------------------------
// Sphere pick
//------------------------------------------------------------------------------
int pickSphereCallback(vel_object object, vel_mouseEvent *event)
{
    if (event == nullptr || event->state != 0)
        return 1;
    const SphereRecord *record = (const SphereRecord *)vel_objectDataGet(object);
    if (record == nullptr)
        return 1;
    vel_vector p = vel_matrixXYZGet(record->matrix);
    // Every atom at exactly the sphere's place is reported: alternate
    // locations with equal coordinates share one position.
    int last = lastAtomIndex();
    for (int i = 1; i <= last; i++) {
        const AtomRecord &a = atoms[i];
        if (a.present == 1 && a.x == p.x && a.y == p.y && a.z == p.z)
            printAtomInfo(i);
    }
    return 1;
}

//------------------------------------------------------------------------------
// Screen pick
//------------------------------------------------------------------------------
void pickAtomOnScreen(int x, int y)
{
    int width = 0, height = 0;
    if (!mainBoxSize(&width, &height))
        vel_windowSizeGet(vel_win_current, &width, &height);
    const float W = (float)width;
    const float H = (float)height;
    const int halfSize = (width + height) / 2;

    int best = 0;
    float bestDepth = noDepth;
    int last = lastAtomIndex();
    for (int i = 1; i <= last; i++) {
        const AtomRecord &a = atoms[i];
        if (a.present != 1)
            continue;
        vel_vector s = vel_vectorScrnPos(vel_vectorSet(a.x, a.y, a.z));
        float X = W * (s.x + 1.0f) / 2.0f;
        float Y = H - H * (s.y + 1.0f) / 2.0f - menuCorrection;
        // The pick disc shrinks with depth and vanishes at the far plane.
        float R = (float)(halfSize * ((1.0 - (double)(s.z * s.z * s.z)) * discFactor) * discScale - discInset);
        float dx = (float)x - X;
        float dy = (float)y - Y;
        float d = std::sqrt(dx * dx + dy * dy);
        if (d <= R && s.z > 0.0f && s.z < bestDepth) {
            bestDepth = s.z;
            best = i;
        }
    }
    if (bestDepth < foundDepth)
        printAtomInfo(best);
}

//------------------------------------------------------------------------------
// Atom information
//------------------------------------------------------------------------------
// Whether a residue name is one of the names of residueNames: the walk stops
// at the first equal name or at the last entry, never past the table.
static bool knownResidue(const char name[4])
{
    int k = 0;
    while (k < residueNameCount - 1 && std::strncmp(name, residueNames[k], 4) != 0)
        k++;
    return std::strncmp(name, residueNames[k], 4) == 0;
}

void printAtomInfo(int atom)
{
    if (atom <= 0 || atom >= maxAtoms)
        return;
    const AtomRecord &a = atoms[atom];
    printf("\nAtom Number:     %d\nChemical Name:   ", atom);
    printf("%s", elementName(a.element));
    printf(" (%s)\nVDW Radius:      %.2f Ang\n", printableText(a.element, (int)strnlen(a.element, 4)).c_str(),
           a.vdwRadius);
    printf("Atomic Weight:   %d\n", a.atomicWeight);
    // Names longer than the record holds (mmCIF files) are printed whole.
    const AtomNames &names = atomNames[atom];
    if (names.chain[0] != '\0')
        printf("Chain:           %s\n", printableText(names.chain).c_str());
    else if (a.chain == ' ' || a.chain == '\0')
        printf("Chain:           None\n");
    else
        printf("Chain:           %s\n", printableText(&a.chain, 1).c_str());
    if (names.residue[0] != '\0')
        printf("Residue:         %s\n", printableText(names.residue).c_str());
    else if (knownResidue(a.residueName))
        printf("Residue:         %.4s\n", a.residueName);  // one of the table's names
    else
        printf("Residue:         %d\n", a.residueClass);
    printf("Atom Valence:    %d\nTotal Bonds:     %d\n", a.valence, a.totalBonds);
    printf("Bonded to Atoms: ");
    if (a.totalBonds == 0)
        printf("None");
    // Never more entries than bondedTo holds, whatever totalBonds says.
    int partners = a.totalBonds < maxPartners ? a.totalBonds : maxPartners;
    for (int k = 0; k < partners; k++) {
        int partner = a.bondedTo[k];
        const char *element = (partner > 0 && partner < maxAtoms) ? atoms[partner].element : "";
        printf("%d(%s) ", partner, printableText(element, (int)strnlen(element, 4)).c_str());
    }
    printf("\n");
}
