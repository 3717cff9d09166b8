// structureread.cpp - the read branch of the structure build: the store is
// filled and bonded, the unbonded atoms counted or removed, a structure of
// more than 30000 atoms switched to the light settings, and the bonds counted.
#include "app/structureread.h"

#include "app/settings.h"
#include "molecule/molecule.h"

void removeUnbondedAtoms()
{
    int32_t last = lastAtomIndex();
    for (int32_t i = 1; i <= last; i++) {
        AtomRecord &atom = atoms[i];
        if (atom.totalBonds != 0)
            continue;
        atom.atomicWeight = 0;
        atom.x = atom.y = atom.z = 0.0f;
        atom.present = 0;
    }
}

// Lists the atoms without a bond from entry 1 on; the 4000th ends the walk.
static void countUnbondedAtoms()
{
    int32_t last = lastAtomIndex();
    for (int32_t i = 0; i <= last; i++) {
        if (atoms[i].totalBonds != 0 || atoms[i].present != 1)
            continue;
        unbondedCount++;
        if (unbondedCount >= maxUnbonded)
            break;
        unbondedAtoms[unbondedCount] = i;
    }
}

int readStructure(FILE *pdbFile)
{
    atomCount = readStructureFile(pdbFile);
    perceiveBonds();

    if (hideUnbondedAtoms || colourByChain || colourByResidue)
        removeUnbondedAtoms();
    else
        countUnbondedAtoms();
    std::printf(" (%d unbonded)\n", unbondedCount);

    int forced = 0;
    if (atomCount > largeMoleculeAtoms && changeInitialSettings &&
        (drawBondsIn3D || drawSpaceFilled || drawAtoms || drawAtomsAsLines ||
         changeLineWidthWithDistance || drawMultipleBonds || hideUnbondedAtoms == 0)) {
        std::printf("Changing initial settings...\n");
        // Crosses off, lines for the bonds only, no unbonded atoms, low detail.
        drawAtomsAsLines = drawAtoms = drawSpaceFilled = drawBondsIn3D = 0;
        drawMultipleBonds = changeLineWidthWithDistance = 0;
        hideUnbondedAtoms = drawBondsAsLines = 1;
        setDetailLevel(lowDetail);
        forced = 1;
    }

    if (unbondedCount >= maxUnbonded)
        reportLoadError("\nERROR - too many unbonded atoms found\n\n");
    return forced;
}

void countBonds()
{
    if (bondCount == 0)
        bondCount = nextBondIndex - 1;
    std::printf("%d bonds found\n", bondCount);
}
