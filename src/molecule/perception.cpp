// perception.cpp - bond perception: bonds by element and distance within the
// bond-accuracy window, heaviest element first; then bond orders from spare
// valence, then the bonds' mid-points. Works on the store in place.
#include "molecule/molecule.h"

#include "app/settings.h"

#include <algorithm>
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

static constexpr int blockSize = 16;                // atoms per bounding box
static constexpr int blockCount = (maxAtoms + blockSize - 1) / blockSize;

struct Block {
    float low[3], high[3];   // bounding box of the block's present atoms
    bool empty;              // no present atom in the block
};

struct Candidate {
    int32_t index;           // atom index in the window
    float score;             // its score, below the excluded score
};

static Block blocks[blockCount];          // boxes of indices 16k .. 16k + 15
static Candidate candidates[maxAtoms];    // the window's possible partners, by index
static int32_t serveOrder[maxAtoms];      // present atoms, heaviest first, by index
static float largestRadius;               // of the present atoms
// Positions of the present atoms, packed for the first distance test; an
// empty record lies far beyond any reach.
struct Position {
    float x, y, z, radius;
};
static Position positions[maxAtoms];
// Bond-order units each present atom may still take (|valence| - totalBonds),
// kept beside the atom table so that the saturation tests stay in cache.
static int32_t spare[maxAtoms];
static constexpr float farAway = 1e30f;

static inline bool isHydrogen(const AtomRecord &atom)
{
    return atom.element[0] == 'H' && atom.element[1] == '\0';
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

// Bounding boxes of runs of 16 indices: atoms next to each other in the file
// lie close together, so most boxes of a window are out of reach.
static void buildBlocks(int32_t last)
{
    largestRadius = 0.0f;
    for (int32_t b = 0; b * blockSize <= last; b++) {
        Block &block = blocks[b];
        float low[3] = {farAway, farAway, farAway};
        float high[3] = {-farAway, -farAway, -farAway};
        int32_t end = (b + 1) * blockSize - 1 < last ? (b + 1) * blockSize - 1 : last;
        for (int32_t i = b * blockSize; i <= end; i++) {
            const AtomRecord &atom = atoms[i];
            spare[i] = std::abs(atom.valence) - atom.totalBonds;
            if (atom.present != 1) {
                positions[i] = {farAway, farAway, farAway, 0.0f};
                continue;
            }
            positions[i] = {atom.x, atom.y, atom.z, atom.vdwRadius};
            low[0] = std::min(low[0], atom.x);
            low[1] = std::min(low[1], atom.y);
            low[2] = std::min(low[2], atom.z);
            high[0] = std::max(high[0], atom.x);
            high[1] = std::max(high[1], atom.y);
            high[2] = std::max(high[2], atom.z);
            largestRadius = std::max(largestRadius, atom.vdwRadius);
        }
        block.empty = low[0] > high[0];
        for (int axis = 0; axis < 3; axis++) {
            block.low[axis] = low[axis];
            block.high[axis] = high[axis];
        }
    }
}

// Squared distance from a point to a box (0 inside it), in single
// precision: its rounding is far inside the 0.1 margin of the reach.
static inline float boxDistanceSquared(const Block &block, const float p[3])
{
    float sum = 0.0f;
    for (int axis = 0; axis < 3; axis++) {
        float gap = std::max(std::max(block.low[axis] - p[axis], p[axis] - block.high[axis]), 0.0f);
        sum += gap * gap;
    }
    return sum;
}

// Scores i's window as the plain rule does, keeping only the indices that
// can score below the acceptance limit: a box or a pair further apart than
// the expected length + 0.6 cannot (its score is at least 1.2). Returns the
// number of candidates, in index order.
static int32_t scoreWindow(int32_t i, int32_t lo, int32_t hi, bool testBoxes)
{
    const AtomRecord &a = atoms[i];
    const bool hydrogen = isHydrogen(a);
    const float p[3] = {a.x, a.y, a.z};
    const double blockReach = ((double)a.vdwRadius + (double)largestRadius) / 2 + reachBeyondExpected;
    // The first test in single precision: its rounding (a few parts in 10^7)
    // is far inside the 0.1 margin between this reach and the 0.5 that a
    // score below 1.0 needs.
    const float blockReachSquared = (float)(blockReach * blockReach);
    const float halfRadius = a.vdwRadius * 0.5f;
    const float margin = (float)reachBeyondExpected;
    int32_t found = 0;
    for (int32_t b = lo / blockSize; b <= hi / blockSize; b++) {
        if (blocks[b].empty || (testBoxes && boxDistanceSquared(blocks[b], p) >= blockReachSquared))
            continue;
        int32_t first = b * blockSize > lo ? b * blockSize : lo;
        int32_t end = (b + 1) * blockSize - 1 < hi ? (b + 1) * blockSize - 1 : hi;
        for (int32_t j = first; j <= end; j++) {
            const Position &q = positions[j];
            float qx = p[0] - q.x;
            float qy = p[1] - q.y;
            float qz = p[2] - q.z;
            float reachF = halfRadius + q.radius * 0.5f + margin;
            if (!(qx * qx + qy * qy + qz * qz < reachF * reachF) || j == i)
                continue;
            const AtomRecord &c = atoms[j];
            if (c.present != 1)
                continue;
            float dx = a.x - c.x;
            float dy = a.y - c.y;
            float dz = a.z - c.z;
            double squared = (double)dx * dx + (double)dy * dy + (double)dz * dz;
            double expected = ((double)a.vdwRadius + (double)c.vdwRadius) / 2;
            double reach = expected + reachBeyondExpected;
            if (squared >= reach * reach || isBondedTo(i, j) != 0)
                continue;
            double s = deviationWeight * std::fabs(std::sqrt(squared) - expected);
            if (spare[j] <= 0)
                s += saturatedPenalty;
            if (hydrogen && isHydrogen(c))
                s += hydrogenPairPenalty;
            candidates[found++] = {j, (float)s};
        }
    }
    return found;
}

void perceiveBonds()
{
    int32_t last = lastAtomIndex();
    int32_t accuracy = bondAccuracy < 0 ? 0 : (bondAccuracy > maxAtoms ? maxAtoms : bondAccuracy);
    bool tableFull = false;

    // Phase 1: each atom takes its best-fitting neighbours in the window.
    // Taking partner j changes no other index's score (j alone becomes
    // excluded), so the window is scored once per atom, not once per bond.
    // (An atom served has |valence| <= 4 > totalBonds, so its own list always
    // has room and j is listed at once.)
    // Boxes pay only when a window spans several of them.
    const bool testBoxes = accuracy > 2 * blockSize;
    int32_t served = 0;
    if (last >= 0) {
        served = orderByWeight(last);
        buildBlocks(last);
    }
    for (int32_t n = 0; n < served && !tableFull; n++) {
        int32_t i = serveOrder[n];
        if (spare[i] <= 0)
            continue;
        int32_t lo = i - accuracy > 1 ? i - accuracy : 1;
        int32_t hi = i + accuracy < last ? i + accuracy : last;
        int32_t found = scoreWindow(i, lo, hi, testBoxes);
        while (spare[i] > 0) {
            int32_t best = -1;
            float bestScore = (float)acceptanceLimit;
            for (int32_t k = 0; k < found; k++) {
                if (candidates[k].score < bestScore) {
                    bestScore = candidates[k].score;
                    best = k;
                }
            }
            if (best < 0)
                break;
            int32_t j = candidates[best].index;
            if (!addBond(i, j, 0)) {
                tableFull = true;
                break;
            }
            spare[i] = std::abs(atoms[i].valence) - atoms[i].totalBonds;
            spare[j] = std::abs(atoms[j].valence) - atoms[j].totalBonds;
            candidates[best].score = excludedScore;
        }
    }

    // Phase 2: spare valence on both ends raises the order, earliest bond first.
    // Bonds of atoms past the last index (CONECT records only) are CONECT
    // bonds, which phase 2 skips, so spare covers every atom met here.
    for (int32_t k = 1; k < nextBondIndex && k < maxBonds; k++) {
        BondRecord &bond = bonds[k];
        if (bond.fromConect == 1)
            continue;
        const int32_t a = bond.atomA, b = bond.atomB;
        while (spare[a] > 0 && spare[b] > 0 && bond.order < highestOrder) {
            bond.order++;
            appendPartners(k);
            spare[a] = std::abs(atoms[a].valence) - atoms[a].totalBonds;
            spare[b] = std::abs(atoms[b].valence) - atoms[b].totalBonds;
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
        reportLoadError("\nERROR - PDB file too big... Structure incomplete\n\n");
}
