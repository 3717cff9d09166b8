// cylinders.cpp - the cylinder records and objects of the bonds: one tube
// per bond, or two or three thinner parallel ones for multiple bonds, turned
// onto the bond and coloured by chain, residue, highlight or element pair.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"

static_assert(sizeof(CylinderRecord) == sizeof(vel_cylinderData), "the library reads cylinder records in place");
static_assert(offsetof(CylinderRecord, surface) == offsetof(vel_cylinderData, surface));
static_assert(offsetof(CylinderRecord, matrix) == offsetof(vel_cylinderData, matrix));
static_assert(offsetof(CylinderRecord, reserved) == offsetof(vel_cylinderData, reserved));

CylinderRecord cylinderRecords[maxCylinders];

namespace {

constexpr float bondRadius = 0.15f;      // a single bond's tube
constexpr float doubleOffset = 0.12f;    // sideways shift of each tube of a double bond
constexpr float tripleOffset = 0.15f;    // sideways shift of the outer tubes of a triple bond
constexpr double degreeDivisor = 0.017453292;
constexpr float parallelLimit = 1e-6f;   // |V0 x N| below this: the bond runs along Z

// The rotation that turns local -Z onto the unit direction n. A direction
// (nearly) along Z has no cross product to turn about: -Z needs no turn and
// +Z a half turn about X; a zero direction gets no turn either.
vel_matrix rotationOnto(vel_vector n)
{
    vel_vector v0 = vel_vectorSet(0.0f, 0.0f, -1.0f);
    vel_vector cross = vel_vectorCrossProduct(v0, n);
    vel_vector axis;
    float angle;
    if (vel_vectorMag(cross) < parallelLimit) {
        axis = vel_vectorSet(1.0f, 0.0f, 0.0f);
        angle = n.z > 0.0f ? 180.0f : 0.0f;
    } else {
        axis = vel_vectorNormalize(cross);
        double dot = vel_vectorDotProduct(v0, n);
        dot = dot > 1.0 ? 1.0 : (dot < -1.0 ? -1.0 : dot);
        angle = (float)(std::acos(dot) / degreeDivisor);
    }
    return vel_matrixQuaternionConvert(vel_quaternionSet(axis, angle));
}

// Cylinders a bond needs with the current settings.
int cylindersFor(int order)
{
    int count = 0;
    if (order == 1 || drawMultipleBonds == 0)
        count += 1;
    if (order == 2 && drawMultipleBonds == 1)
        count += 2;
    if (order == 3 && drawMultipleBonds == 1)
        count += 3;
    return count;
}

void addCylinder(int bond, float offset)
{
    bondCount = bondCount + 1;
    placeCylinder(bond, bondCount, offset);
}

}  // namespace

void initCylinderRecord(CylinderRecord *record, float length)
{
    record->height = length;
    record->tessellation = cylinderDetail;
    record->endCaps = drawAtoms == 0 ? 1 : 0;
}

void placeCylinder(int bond, int record, float offset)
{
    const BondRecord &b = bonds[bond];
    int code = bondTextureCode(b.atomA, b.atomB);
    const AtomRecord &atomA = atoms[code > 0 ? b.atomA : b.atomB];
    const AtomRecord &atomB = atoms[code > 0 ? b.atomB : b.atomA];
    CylinderRecord *cylinder = &cylinderRecords[record];

    vel_vector a = vel_vectorSet(atomA.x, atomA.y, atomA.z);
    vel_vector d = vel_vectorSub(vel_vectorSet(atomB.x, atomB.y, atomB.z), a);
    float length = vel_vectorMag(vel_vectorSet(std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)));
    // The small balls cover the ends: the tube is one ball radius shorter.
    // A bond shorter than that keeps its negative height, which draws nothing.
    if (drawAtoms == 1 && colourByChain == 0 && colourByResidue == 0)
        length = (float)(length - 0.3);
    initCylinderRecord(cylinder, length);
    cylinder->radius = drawMultipleBonds == 1 && b.order >= 1 ? (float)(0.15 / b.order) : bondRadius;

    vel_vector n = vel_vectorNormalize(d);
    vel_vector centre = vel_vectorAdd(vel_vectorAdd(a, vel_vectorScalar(d, 0.5f)), vel_vectorSet(0.0f, offset, 0.0f));
    cylinder->matrix = vel_matrixXYZSet(rotationOnto(n), centre);

    if (colourByChain == 1 || colourByResidue == 1) {
        if (colourByChain)
            cylinder->surface = materialSurfaces[generatedColourEntry(atomA.chainIndex)];
        if (colourByResidue)
            cylinder->surface = materialSurfaces[generatedColourEntry(atomA.residueClass)];
    } else if (b.fromConect == 1 && highlightPDBBonds == 1) {
        cylinder->surface = materialSurfaces[highlightColour];
    } else if (atomA.paletteIndex == atomB.paletteIndex) {
        cylinder->surface = materialSurfaces[atomA.paletteIndex];
    } else {
        cylinder->surface = vel_surfaceParamsNew(vel_surface_textured, 0, 5, std::abs(code));
    }
}

void buildBondCylinders()
{
    std::printf("Generating bonds...\n");
    // Every stored bond: a CONECT record with a blank serial makes a bond
    // whose atomA is 0 in mid-table, so that is no end mark here. Bonds to an
    // empty record (a serial no atom line filled) get no cylinder.
    const int end = bondEnd();
    for (int j = 1; j < end; j++) {
        const BondRecord &b = bonds[j];
        if (b.atomA <= 0 || b.atomA >= maxAtoms || b.atomB <= 0 || b.atomB >= maxAtoms ||
            atoms[b.atomA].present != 1 || atoms[b.atomB].present != 1)
            continue;
        int order = b.order;
        // Whole bonds only: a multiple bond is never cut short.
        if (bondCount + cylindersFor(order) >= maxCylinders) {
            std::printf("\nERROR - too many bonds to draw... Structure incomplete\n\n");
            break;
        }
        if (order == 1 || drawMultipleBonds == 0)
            addCylinder(j, 0.0f);
        if (order == 2 && drawMultipleBonds == 1) {
            addCylinder(j, doubleOffset);
            addCylinder(j, -doubleOffset);
        }
        if (order == 3 && drawMultipleBonds == 1) {
            addCylinder(j, tripleOffset);
            addCylinder(j, 0.0f);
            addCylinder(j, -tripleOffset);
        }
    }
    for (int k = 1; k <= bondCount && k < maxCylinders; k++)
        vel_SMSObjectAdd(sceneObjectList, vel_objectNew(vel_class_cylinder, &cylinderRecords[k]));
}
