// fuzz_reader.cpp - libFuzzer target: any bytes as a structure file (PDB or
// mmCIF records, plain or gzip-compressed, told by content) through the
// readers, bond perception and the unbonded step of the build, with the
// settings that change what is read taken from the input.
#include "app/settings.h"
#include "tools/sha256.h"
#include "app/structureread.h"
#include "molecule/molecule.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reader's console text is not what is being tested.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int32_t accuracies[3] = {bondAccuracyGood, bondAccuracyBetter, bondAccuracyBest};
    uint8_t pick = size > 0 ? data[size - 1] : 0;
    bondAccuracy = accuracies[pick % 3];
    hideUnbondedAtoms = (pick >> 2) & 1;
    colourByChain = (pick >> 3) & 1;
    colourByResidue = 0;
    drawAtomsAsLines = 1;
    drawMultipleBonds = 1;
    changeLineWidthWithDistance = 1;
    changeInitialSettings = 1;

    FILE *pdbFile = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!pdbFile)
        return 0;
    readStructure(pdbFile);
    std::fclose(pdbFile);

    char digest[65];
    bondTableDigest(digest);
    // The store's invariants after every input.
    if (atomCount < 0 || atomCount >= maxAtoms || nextBondIndex < 1 || nextBondIndex > maxBonds)
        __builtin_trap();
    for (int32_t i = 0; i <= atomCount; i++)
        if (atoms[i].totalBonds < 0 || atoms[i].totalBonds > maxPartners)
            __builtin_trap();
    for (int32_t k = 1; k < nextBondIndex; k++)
        if (bonds[k].order < 1 || bonds[k].order > 3)
            __builtin_trap();
    return 0;
}
