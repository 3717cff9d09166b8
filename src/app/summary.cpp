// summary.cpp - molvane-inspect: reads one structure file (PDB or mmCIF,
// plain or gzip-compressed) as the viewer does in line mode and prints the
// viewer's load messages, or a JSON summary of the store. Needs neither Qt
// nor OpenGL.
#include "app/settings.h"
#include "app/sha256.h"
#include "app/structureread.h"
#include "molecule/molecule.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

static const char usageText[] =
    "usage: molvane-inspect FILE [--accuracy good|better|best] [--hide-unbonded] [--json]\n"
    "  FILE: a PDB or PDBx/mmCIF file (.pdb .ent .cif .mmcif), plain or gzip-compressed (.gz)\n"
    "  exit status 1 when the file cannot be read or the viewer would print an error for it\n";

static int usage()
{
    std::fputs(usageText, stderr);
    return 2;
}

// Writes text as a JSON string: quotes, backslashes, control and non-ASCII
// bytes escaped, so any identifier byte gives valid ASCII JSON.
static void printJsonString(const char *text, int length)
{
    std::putchar('"');
    for (int k = 0; k < length; k++) {
        unsigned char c = (unsigned char)text[k];
        if (c == '"' || c == '\\')
            std::printf("\\%c", c);
        else if (c < 0x20 || c >= 0x7f)
            std::printf("\\u%04x", c);
        else
            std::putchar(c);
    }
    std::putchar('"');
}

static void printJsonFloat(float value)
{
    if (std::isfinite(value))
        std::printf("%.9g", (double)value);
    else
        std::printf("null");
}

static void printJson()
{
    int stored = 0;
    for (int i = 0; i < maxAtoms; i++)
        stored += atoms[i].present == 1;
    int byOrder[4] = {0, 0, 0, 0};
    int conect = 0;
    for (int k = 1; k < bondEnd(); k++) {
        int order = bonds[k].order;
        if (order >= 1 && order <= 3)
            byOrder[order]++;
        conect += bonds[k].fromConect == 1;
    }
    char digest[65];
    bondTableDigest(digest);
    std::printf("{\"atomCount\":%d,\"storedAtoms\":%d,\"nextBondIndex\":%d,", atomCount, stored,
                nextBondIndex);
    std::printf("\"bondsByOrder\":{\"1\":%d,\"2\":%d,\"3\":%d},", byOrder[1], byOrder[2], byOrder[3]);
    std::printf("\"conectBonds\":%d,\"unbondedCount\":%d,\"halfExtents\":[", conect, unbondedCount);
    for (int axis = 0; axis < 3; axis++) {
        if (axis)
            std::putchar(',');
        printJsonFloat(halfExtents[axis]);
    }
    std::printf("],\"chains\":");
    printJsonString(chainList, chainListLength);
    std::printf(",\"bondDigest\":\"%s\"}\n", digest);
}

// The inspector never calls setlocale: the C library keeps the "C" locale,
// so its numbers keep their "." in every user locale.
int main(int argc, char **argv)
{
    if (!prepareStandardStreams()) {
        std::fprintf(stderr, "molvane-inspect: standard output is closed\n");
        return 1;
    }
    const char *path = nullptr;
    bool json = false;
    for (int k = 1; k < argc; k++) {
        if (std::strcmp(argv[k], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[k], "--hide-unbonded") == 0) {
            hideUnbondedAtoms = 1;
        } else if (std::strcmp(argv[k], "--accuracy") == 0) {
            if (++k >= argc)
                return usage();
            if (std::strcmp(argv[k], "good") == 0)
                bondAccuracy = bondAccuracyGood;
            else if (std::strcmp(argv[k], "better") == 0)
                bondAccuracy = bondAccuracyBetter;
            else if (std::strcmp(argv[k], "best") == 0)
                bondAccuracy = bondAccuracyBest;
            else
                return usage();
        } else if (argv[k][0] == '-' && argv[k][1] != '\0') {
            return usage();
        } else if (path) {
            return usage();
        } else {
            path = argv[k];
        }
    }
    if (!path)
        return usage();

    const char *reason = nullptr;
    FILE *pdbFile = openUserFile(path, "r", &reason);
    if (!pdbFile) {
        std::fprintf(stderr, "molvane-inspect: cannot open %s: %s\n", printableText(path).c_str(), reason);
        return 1;
    }

    // In JSON mode the console text of the read goes nowhere.
    int savedStdout = -1;
    if (json) {
        std::fflush(stdout);
        savedStdout = dup(1);
        int devNull = open("/dev/null", O_WRONLY);
        if (savedStdout < 0 || devNull < 0) {
            std::fprintf(stderr, "molvane-inspect: cannot silence the console text\n");
            return 1;
        }
        dup2(devNull, 1);
        close(devNull);
    }

    readStructure(pdbFile);
    // Line mode builds no cylinders: the bond count is the number of bonds.
    if (bondCount == 0)
        bondCount = nextBondIndex - 1;
    std::printf("%d bonds found\n", bondCount);
    bool readFailed = std::ferror(pdbFile) != 0;
    std::fclose(pdbFile);

    if (json) {
        std::fflush(stdout);
        dup2(savedStdout, 1);
        close(savedStdout);
        if (!readFailed)
            printJson();
    }
    if (readFailed) {
        std::fprintf(stderr, "molvane-inspect: error while reading %s\n", printableText(path).c_str());
        return 1;
    }
    int written = finishStandardOutput("molvane-inspect");
    // A file on which the viewer prints an error is a failure here too.
    return loadErrors > 0 ? 1 : written;
}
