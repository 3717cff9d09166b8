// linedraw.cpp - line mode: bonds as two-coloured lines split at their
// mid-point, double and triple bonds as parallel lines offset along world y,
// atoms as three-axis crosses. Reads the store, the settings and the eye.
#include "view.h"

#include <cmath>

#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"

//------------------------------------------------------------------------------
// Constants
//------------------------------------------------------------------------------
static constexpr double crossHalfArm = 0.3;     // cross arm reaches 0.3 either side
static constexpr double crossArm = 0.6;         // added to the arm's start
static constexpr double doubleOffset = 0.12;    // first line of a double bond
static constexpr double doubleSpacing = 0.24;   // second line: the first minus this
static constexpr double tripleOffset = 0.15;    // second line of a triple bond
static constexpr double tripleSpacing = 0.3;    // third line: the second minus this
static constexpr double widthNumerator = 40.0;  // width = ceil(40 / distance)
static constexpr int widthCap = 10;             // widest line

//------------------------------------------------------------------------------
// Shared steps
//------------------------------------------------------------------------------
// The flat-colour surface of an element colour index; an index outside the
// element colours falls back to the unknown-element colour.
static vel_surface elementSurface(int32_t paletteIndex)
{
    if (paletteIndex < firstElementColour || paletteIndex > lastElementColour)
        paletteIndex = lastElementColour;
    return colourSurfaces[paletteIndex];
}

int lineWidthFor(int atom)
{
    if (changeLineWidthWithDistance != 1)
        return 1;
    const AtomRecord &a = atoms[atom];
    double dz = (double)viewParams.eye.z - (double)a.z;
    double dx = (double)viewParams.eye.x - (double)a.x;
    double dy = (double)viewParams.eye.y - (double)a.y;
    double d = std::sqrt(dz * dz + dx * dx + dy * dy);
    // An atom at the eye (d = 0) gives an infinite quotient: it is tested
    // against the cap in double precision and never converted.
    double w = std::ceil(widthNumerator * (1.0 / d));
    if (!(w < widthCap))
        return widthCap;
    if (w < 1.0)
        return 1;
    return (int)w;
}

vel_surface bondColour(int bond, int half)
{
    const BondRecord &b = bonds[bond];
    if (colourByChain != 0 || colourByResidue != 0) {
        // The whole bond takes the colour of its first atom; with both flags
        // set the residue colour is the one in force.
        const AtomRecord &a = atoms[b.atomA];
        if (colourByResidue != 0)
            return colourSurfaces[generatedColourEntry(a.residueClass)];
        return colourSurfaces[generatedColourEntry(a.chainIndex)];
    }
    if (b.fromConect == 1 && highlightPDBBonds == 1)
        return colourSurfaces[highlightColour];
    return elementSurface(atoms[half == 0 ? b.atomA : b.atomB].paletteIndex);
}

// One bond line through copies of the three points, each already offset.
static void bondLine(int bond, vel_vector start, vel_vector middle, vel_vector end)
{
    vel_surfaceParamsUse(bondColour(bond, 0));
    vel_gfxLineBegin();
    vel_gfxVertex(start);
    vel_gfxVertex(middle);
    vel_surfaceParamsUse(bondColour(bond, 1));
    vel_gfxVertex(end);
    vel_gfxLineEnd();
}

// Shifts the three copies along world y, in single precision.
static void shiftY(vel_vector points[3], double offset)
{
    for (int k = 0; k < 3; k++)
        points[k].y = (float)(points[k].y + offset);
}

// The three points of a bond: atomA, the mid-point, atomB.
static bool bondPoints(int bond, vel_vector points[3])
{
    const BondRecord &b = bonds[bond];
    if (!listedAtom(b.atomA) || !listedAtom(b.atomB))
        return false;
    const AtomRecord &a = atoms[b.atomA];
    const AtomRecord &c = atoms[b.atomB];
    // A CONECT record may name a serial no atom line filled: no line to an
    // empty record's stale position.
    if (a.present != 1 || c.present != 1)
        return false;
    points[0] = vel_vectorSet(a.x, a.y, a.z);
    points[1] = vel_vectorSet(b.midpoint[0], b.midpoint[1], b.midpoint[2]);
    points[2] = vel_vectorSet(c.x, c.y, c.z);
    return true;
}

void drawCross(int atom)
{
    const AtomRecord &a = atoms[atom];
    float start;

    start = (float)(a.x - crossHalfArm);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(start, a.y, a.z));
    vel_gfxVertex(vel_vectorSet((float)(start + crossArm), a.y, a.z));
    vel_gfxLineEnd();

    start = (float)(a.y - crossHalfArm);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(a.x, start, a.z));
    vel_gfxVertex(vel_vectorSet(a.x, (float)(start + crossArm), a.z));
    vel_gfxLineEnd();

    start = (float)(a.z - crossHalfArm);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(a.x, a.y, start));
    vel_gfxVertex(vel_vectorSet(a.x, a.y, (float)(start + crossArm)));
    vel_gfxLineEnd();
}

// Crosses for the listed unbonded atoms, which have no bond line to show
// them; left out when spheres are drawn, unbonded atoms are hidden or the
// structure is coloured by chain or residue.
static void drawUnbondedCrosses()
{
    if (hideUnbondedAtoms != 0 || drawAtoms != 0 || colourByChain != 0 || colourByResidue != 0)
        return;
    int last = unbondedCount < maxUnbonded - 1 ? unbondedCount : maxUnbonded - 1;
    for (int k = 1; k <= last; k++) {
        int atom = unbondedAtoms[k];
        if (!listedAtom(atom) || atoms[atom].present != 1)
            continue;
        vel_gfxLineWidthSet((float)lineWidthFor(atom));
        vel_surfaceParamsUse(elementSurface(atoms[atom].paletteIndex));
        drawCross(atom);
    }
}

//------------------------------------------------------------------------------
// The three line operations
//------------------------------------------------------------------------------
// Every bond as lines: one for each bond, or (multiple) as many as its order
// (none for an order outside 1 .. 3), then the unbonded atoms' crosses.
static void drawLinesOfBonds(bool multiple)
{
    int end = bondEnd();
    vel_vector points[3];
    for (int bond = 1; bond < end; bond++) {
        if (!bondPoints(bond, points))
            continue;
        vel_gfxLineWidthSet((float)lineWidthFor(bonds[bond].atomA));
        switch (multiple ? bonds[bond].order : 1) {
        case 1:
            bondLine(bond, points[0], points[1], points[2]);
            break;
        case 2:
            shiftY(points, doubleOffset);
            bondLine(bond, points[0], points[1], points[2]);
            shiftY(points, -doubleSpacing);
            bondLine(bond, points[0], points[1], points[2]);
            break;
        case 3:
            bondLine(bond, points[0], points[1], points[2]);
            shiftY(points, tripleOffset);
            bondLine(bond, points[0], points[1], points[2]);
            shiftY(points, -tripleSpacing);
            bondLine(bond, points[0], points[1], points[2]);
            break;
        default:
            break;
        }
    }
    drawUnbondedCrosses();
}

void drawBondLines()
{
    drawLinesOfBonds(false);
}

void drawMultipleBondLines()
{
    drawLinesOfBonds(true);
}

void drawAtomCrosses()
{
    int last = lastAtomIndex();
    for (int atom = 1; atom <= last; atom++) {
        if (atoms[atom].present != 1)
            continue;
        vel_surfaceParamsUse(elementSurface(atoms[atom].paletteIndex));
        vel_gfxLineWidthSet((float)lineWidthFor(atom));
        drawCross(atom);
    }
}
