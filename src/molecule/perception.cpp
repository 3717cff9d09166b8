// perception.cpp - bond perception: bonds by element and distance within the
// bond-accuracy window, heaviest element first; then bond orders from spare
// valence, then the bonds' mid-points. Works on the store in place.
#include "molecule/molecule.h"

#include "app/settings.h"

#include <cmath>
#include <cstdlib>

//------------------------------------------------------------------------------
// Score constants
//------------------------------------------------------------------------------
static constexpr double acceptanceLimit = 1.0;     // a partner scores below this
static constexpr double deviationWeight = 2.0;     // score = 2 x |d - L|
static constexpr double saturatedPenalty = 0.4;    // partner already at its valence
static constexpr double hydrogenPairPenalty = 0.5; // both atoms hydrogen
static constexpr float excludedScore = 9999.0f;    // cannot be a partner
static constexpr int highestOrder = 3;             // bond orders stop here
// A pair further apart than L + 0.6 scores at least 1.2, so it can never be
// chosen: its exact score need not be computed.
static constexpr double reachBeyondExpected = 0.6;
static constexpr int weightBuckets = 256;          // atomic numbers served

static float scores[maxAtoms];        // window scores, indexed by atom index
static int32_t serveOrder[maxAtoms];  // present atoms, heaviest first, by index

static inline bool isHydrogen(const AtomRecord &atom)
{
    return atom.element[0] == 'H' && atom.element[1] == '\0';
}

static inline bool isSaturated(const AtomRecord &atom)
{
    return atom.totalBonds >= std::abs(atom.valence);
}

// Orders the present atoms by falling atomic number, by index within one
// number: the order in which the plain walk over Z = highest .. 0 serves them.
static int32_t orderByWeight(int32_t last)
{
    static int32_t start[weightBuckets + 1];
    for (int z = 0; z <= weightBuckets; z++)
        start[z] = 0;
    for (int32_t i = 0; i <= last; i++)
        if (atoms[i].present == 1 && atoms[i].atomicWeight >= 0 && atoms[i].atomicWeight < weightBuckets)
            start[weightBuckets - 1 - atoms[i].atomicWeight + 1]++;
    for (int z = 1; z <= weightBuckets; z++)
        start[z] += start[z - 1];
    int32_t served = start[weightBuckets];
    for (int32_t i = 0; i <= last; i++)
        if (atoms[i].present == 1 && atoms[i].atomicWeight >= 0 && atoms[i].atomicWeight < weightBuckets)
            serveOrder[start[weightBuckets - 1 - atoms[i].atomicWeight]++] = i;
    return served;
}

// Scores every index of i's window, as the plain rule does; indices that
// cannot score below the acceptance limit get the excluded score.
static void scoreWindow(int32_t i, int32_t lo, int32_t hi)
{
    const AtomRecord &a = atoms[i];
    const bool hydrogen = isHydrogen(a);
    for (int32_t j = lo; j <= hi; j++) {
        const AtomRecord &b = atoms[j];
        float score = excludedScore;
        if (b.present == 1 && j != i) {
            float dx = a.x - b.x;
            float dy = a.y - b.y;
            float dz = a.z - b.z;
            double squared = (double)dx * dx + (double)dy * dy + (double)dz * dz;
            double expected = ((double)a.vdwRadius + (double)b.vdwRadius) / 2;
            double reach = expected + reachBeyondExpected;
            if (squared < reach * reach && isBondedTo(i, j) == 0) {
                double s = deviationWeight * std::fabs(std::sqrt(squared) - expected);
                if (isSaturated(b))
                    s += saturatedPenalty;
                if (hydrogen && isHydrogen(b))
                    s += hydrogenPairPenalty;
                score = (float)s;
            }
        }
        scores[j] = score;
    }
}

void perceiveBonds()
{
    int32_t last = atomCount < maxAtoms ? atomCount : maxAtoms - 1;
    int32_t accuracy = bondAccuracy < 0 ? 0 : (bondAccuracy > maxAtoms ? maxAtoms : bondAccuracy);
    bool tableFull = false;

    // Phase 1: each atom takes its best-fitting neighbours in the window.
    // Taking partner j changes no other index's score (j alone becomes
    // excluded), so the window is scored once per atom, not once per bond.
    int32_t served = last >= 0 ? orderByWeight(last) : 0;
    for (int32_t n = 0; n < served && !tableFull; n++) {
        int32_t i = serveOrder[n];
        if (isSaturated(atoms[i]))
            continue;
        int32_t lo = i - accuracy > 1 ? i - accuracy : 1;
        int32_t hi = i + accuracy < last ? i + accuracy : last;
        scoreWindow(i, lo, hi);
        while (!isSaturated(atoms[i])) {
            int32_t best = -1;
            float bestScore = (float)acceptanceLimit;
            for (int32_t j = lo; j <= hi; j++) {
                if (scores[j] < bestScore) {
                    bestScore = scores[j];
                    best = j;
                }
            }
            if (best < 0)
                break;
            if (!addBond(i, best, 0)) {
                tableFull = true;
                break;
            }
            scores[best] = excludedScore;
        }
    }

    // Phase 2: spare valence on both ends raises the order, earliest bond first.
    for (int32_t k = 1; k < nextBondIndex && k < maxBonds; k++) {
        BondRecord &bond = bonds[k];
        if (bond.fromConect == 1)
            continue;
        const AtomRecord &a = atoms[bond.atomA];
        const AtomRecord &b = atoms[bond.atomB];
        while (!isSaturated(a) && !isSaturated(b) && bond.order < highestOrder) {
            bond.order++;
            appendPartners(k);
        }
    }

    // Phase 3: mid-points of every bond, CONECT bonds included.
    for (int32_t k = 1; k < nextBondIndex && k < maxBonds; k++) {
        BondRecord &bond = bonds[k];
        const AtomRecord &a = atoms[bond.atomA];
        const AtomRecord &b = atoms[bond.atomB];
        bond.midpoint[0] = (a.x + b.x) / 2;
        bond.midpoint[1] = (a.y + b.y) / 2;
        bond.midpoint[2] = (a.z + b.z) / 2;
    }

    if (nextBondIndex >= maxBonds)
        std::printf("\nERROR - PDB file too big... Structure incomplete\n\n");
}
