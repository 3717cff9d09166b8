// plainperception.cpp - the reference for bond perception: every step as the
// rules state it, with no shortcut (all records walked once per atomic
// number, the whole window scored again after every bond). The fast code
// must give exactly its bonds, in the same order, with the same orders.
#include "testsupport.h"

#include "app/settings.h"
#include "molecule/molecule.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

static bool saturated(const AtomRecord &atom) { return atom.totalBonds >= std::abs(atom.valence); }

void plainPerceiveBonds()
{
    std::vector<float> score(maxAtoms);
    int highest = 0;
    for (int i = 0; i <= atomCount; i++)
        if (atoms[i].atomicWeight > highest)
            highest = atoms[i].atomicWeight;
    bool full = false;
    for (int z = highest; z >= 0 && !full; z--) {
        for (int i = 0; i <= atomCount && !full; i++) {
            if (atoms[i].present != 1 || atoms[i].atomicWeight != z)
                continue;
            int lo = std::max(1, i - bondAccuracy);
            int hi = std::min(atomCount, i + bondAccuracy);
            for (;;) {
                if (saturated(atoms[i]))
                    break;
                for (int j = lo; j <= hi; j++) {
                    if (atoms[j].present != 1 || j == i || isBondedTo(i, j) != 0) {
                        score[j] = 9999;
                        continue;
                    }
                    float dx = atoms[i].x - atoms[j].x;
                    float dy = atoms[i].y - atoms[j].y;
                    float dz = atoms[i].z - atoms[j].z;
                    double d = std::sqrt((double)dx * dx + (double)dy * dy + (double)dz * dz);
                    double expected = ((double)atoms[i].vdwRadius + (double)atoms[j].vdwRadius) / 2;
                    double s = 2 * std::fabs(d - expected);
                    if (saturated(atoms[j]))
                        s += 0.4;
                    if (std::strcmp(atoms[i].element, "H") == 0 && std::strcmp(atoms[j].element, "H") == 0)
                        s += 0.5;
                    score[j] = (float)s;
                }
                int best = -1;
                for (int j = lo; j <= hi; j++)
                    if (score[j] < 1.0f && (best < 0 || score[j] < score[best]))
                        best = j;
                if (best < 0)
                    break;
                if (!addBond(i, best, 0)) {
                    full = true;
                    break;
                }
            }
        }
    }
    for (int k = 1; k < nextBondIndex; k++) {
        BondRecord &bond = bonds[k];
        if (bond.fromConect == 1)
            continue;
        AtomRecord &a = atoms[bond.atomA];
        AtomRecord &b = atoms[bond.atomB];
        while (!saturated(a) && !saturated(b) && bond.order < 3) {
            bond.order++;
            a.bondedTo[a.totalBonds++] = bond.atomB;
            b.bondedTo[b.totalBonds++] = bond.atomA;
        }
    }
    for (int k = 1; k < nextBondIndex; k++) {
        BondRecord &bond = bonds[k];
        bond.midpoint[0] = (atoms[bond.atomA].x + atoms[bond.atomB].x) / 2;
        bond.midpoint[1] = (atoms[bond.atomA].y + atoms[bond.atomB].y) / 2;
        bond.midpoint[2] = (atoms[bond.atomA].z + atoms[bond.atomB].z) / 2;
    }
    if (nextBondIndex >= maxBonds)
        std::printf("\nERROR - PDB file too big... Structure incomplete\n\n");
}
