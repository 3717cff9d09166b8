// bondcolour.cpp - the signed texture code of a bonded pair of atoms: its
// magnitude names the two-colour texture, its sign the atom that carries the
// texture's first colour. Reads the atoms' element symbols.
#include <cstring>

#include "scene/scene.h"

int bondTextureCode(int atomA, int atomB)
{
    // The colour order of the texture names is ascending palette index, so
    // the code follows from the two element colours alone.
    if (!validAtom(atomA) || !validAtom(atomB))
        return 1;
    return colourPairCode(elementPaletteIndex(atoms[atomA].element), elementPaletteIndex(atoms[atomB].element));
}

int matchElementPair(int atomA, int atomB, const char *e1, const char *e2, int value)
{
    if (!validAtom(atomA) || !validAtom(atomB))
        return 0;
    const char *first = atoms[atomA].element, *second = atoms[atomB].element;
    if (std::strcmp(first, e1) == 0 && std::strcmp(second, e2) == 0)
        return value;
    if (std::strcmp(first, e2) == 0 && std::strcmp(second, e1) == 0)
        return -value;
    return 0;
}

int matchUnknownElement(int atomA, int atomB, const char *e1, int value)
{
    if (!validAtom(atomA) || !validAtom(atomB))
        return 0;
    const char *first = atoms[atomA].element, *second = atoms[atomB].element;
    if (std::strcmp(first, e1) == 0 && isUnknownElement(second))
        return value;
    if (isUnknownElement(first) && std::strcmp(second, e1) == 0)
        return -value;
    return 0;
}
