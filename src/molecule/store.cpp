// store.cpp - the molecule store: the fixed atom and bond tables with their
// counts, the residue name table, and the two shared queries on bond lists.
#include "molecule/molecule.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

//------------------------------------------------------------------------------
// The store
//------------------------------------------------------------------------------
AtomRecord atoms[maxAtoms];
BondRecord bonds[maxBonds];
int32_t atomCount = 0;
int32_t nextBondIndex = 1;
int32_t bondCount = 0;
int32_t unbondedAtoms[maxUnbonded];
int32_t unbondedCount = 0;
float halfExtents[3];
int32_t structureLoaded = 0;
char chainList[256];
int32_t chainListLength = 0;
int32_t loadErrors = 0;
AtomNames atomNames[maxAtoms];

const char *const residueNames[residueNameCount] = {
    "GLY", "ALA", "PRO", "PHE", "ILE", "TRP", "MET", "LEU", "VAL", "SER", "GLN",
    "TYR", "HIS", "ASN", "THR", "ASP", "CYS", "GLU", "LYS", "ARG", "HID", "HIE",
    "HIP", "CYX", "ASH", "GLH", "ACE", "NME", "CIP", "CIM", "HOH",
};

//------------------------------------------------------------------------------
// Bookkeeping private to the store
//------------------------------------------------------------------------------
// partnerBond[i][k]: the bond record behind bondedTo[k] of atom i, valid for
// k < totalBonds. It lets a CONECT repeat raise its bond without a search.
static int32_t partnerBond[maxAtoms][maxPartners];
static int32_t atomsUsed = 0;   // atom records at and above it are all zero
static int32_t bondsUsed = 1;   // bond records at and above it are all zero
static int32_t namesUsed = 0;   // atomNames entries at and above it are all empty

void markAtomsUsed(int32_t end)
{
    if (end > maxAtoms)
        end = maxAtoms;
    if (end > atomsUsed)
        atomsUsed = end;
}

void resetStore()
{
    int32_t atomClearEnd = atomsUsed;
    if (atomCount + 1 > atomClearEnd)
        atomClearEnd = atomCount + 1 > maxAtoms ? maxAtoms : atomCount + 1;
    int32_t bondClearEnd = bondsUsed > nextBondIndex ? bondsUsed : nextBondIndex;
    if (bondClearEnd > maxBonds || bondClearEnd < 1)
        bondClearEnd = maxBonds;
    std::memset(atoms, 0, sizeof(AtomRecord) * (size_t)atomClearEnd);
    std::memset(bonds, 0, sizeof(BondRecord) * (size_t)bondClearEnd);
    std::memset(unbondedAtoms, 0, sizeof unbondedAtoms);
    std::memset(atomNames, 0, sizeof(AtomNames) * (size_t)namesUsed);
    namesUsed = 0;
    loadErrors = 0;
    atomsUsed = 0;
    bondsUsed = 1;
    atomCount = 0;
    nextBondIndex = 1;
    bondCount = 0;
    unbondedCount = 0;
    chainList[0] = '\0';
    chainListLength = 0;
}

void setAtomNames(int atom, const char *chain, int chainLength, const char *residue, int residueLength)
{
    if (!validAtom(atom))
        return;
    AtomNames &names = atomNames[atom];
    std::memset(&names, 0, sizeof names);
    if (chainLength > 1)
        std::memcpy(names.chain, chain, (size_t)(chainLength < longChainLength ? chainLength : longChainLength));
    if (residueLength > 3)
        std::memcpy(names.residue, residue,
                    (size_t)(residueLength < longResidueLength ? residueLength : longResidueLength));
    if (atom + 1 > namesUsed)
        namesUsed = atom + 1;
}

void reportLoadError(const char *format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    loadErrors++;
}

//------------------------------------------------------------------------------
// Queries and bond adding
//------------------------------------------------------------------------------
static inline int usedPartners(const AtomRecord &atom)
{
    int used = atom.totalBonds;
    return used < 0 ? 0 : (used > maxPartners ? maxPartners : used);
}

int isBondedTo(int a, int b)
{
    if (!validAtom(a))
        return 0;
    const AtomRecord &atom = atoms[a];
    int used = usedPartners(atom);
    for (int k = 0; k < used; k++)
        if (atom.bondedTo[k] == b)
            return a < b ? 1 : -1;
    return 0;
}

// Appends partner to atom's list when there is room; a full list keeps its
// five entries and the bond simply goes unlisted on this side.
static void listPartner(int atom, int partner, int bond)
{
    if (!validAtom(atom))
        return;
    AtomRecord &record = atoms[atom];
    int used = usedPartners(record);
    if (used >= maxPartners)
        return;
    record.bondedTo[used] = partner;
    partnerBond[atom][used] = bond;
    record.totalBonds = used + 1;
    if (atom + 1 > atomsUsed)
        atomsUsed = atom + 1;
}

int addBond(int a, int b, int fromConect)
{
    if (nextBondIndex >= maxBonds || nextBondIndex < 1 || !validAtom(a) || !validAtom(b))
        return 0;
    int bond = nextBondIndex;
    listPartner(a, b, bond);
    listPartner(b, a, bond);
    BondRecord &record = bonds[bond];
    record.atomA = a;
    record.atomB = b;
    record.order = 1;
    record.fromConect = fromConect;
    nextBondIndex = bond + 1;
    if (nextBondIndex > bondsUsed)
        bondsUsed = nextBondIndex;
    return 1;
}

static inline bool joins(int bond, int a, int b)
{
    if (bond < 1 || bond >= nextBondIndex || bond >= maxBonds)
        return false;
    const BondRecord &record = bonds[bond];
    return (record.atomA == a && record.atomB == b) || (record.atomA == b && record.atomB == a);
}

int bondRecordOf(int a, int b)
{
    if (!validAtom(a))
        return 0;
    const AtomRecord &atom = atoms[a];
    int used = usedPartners(atom);
    for (int k = 0; k < used; k++) {
        if (atom.bondedTo[k] != b)
            continue;
        if (joins(partnerBond[a][k], a, b))
            return partnerBond[a][k];
        // The list was written by hand: find the newest record of the pair.
        for (int bond = nextBondIndex - 1; bond >= 1; bond--)
            if (joins(bond, a, b))
                return bond;
        return 0;
    }
    return 0;
}

void appendPartners(int bond)
{
    if (bond < 1 || bond >= maxBonds)
        return;
    listPartner(bonds[bond].atomA, bonds[bond].atomB, bond);
    listPartner(bonds[bond].atomB, bonds[bond].atomA, bond);
}
