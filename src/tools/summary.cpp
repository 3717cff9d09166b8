// summary.cpp - molvane-inspect: reads one structure file (PDB or mmCIF,
// plain or gzip-compressed) as the viewer does in line mode and prints the
// viewer's load messages, or a JSON summary of the store. Needs neither Qt
// nor OpenGL.
#include "app/settings.h"
#include "app/structureread.h"
#include "molecule/molecule.h"
#include "tools/commandline.h"
#include "tools/console.h"
#include "tools/sha256.h"

#include <cmath>
#include <cstdio>
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

//------------------------------------------------------------------------------
// The command line
//------------------------------------------------------------------------------
static const char *path = nullptr;   // the structure file
static bool json = false;            // --json: the summary instead of the console text

static int takeAccuracy(const char *value)
{
    int choice = pickName(value, accuracyNames, 3);
    if (choice < 0)
        return usage();
    bondAccuracy = bondAccuracies[choice];
    return 0;
}

static const CommandOption inspectOptions[] = {
    {"--json", false, [](const char *) { json = true; return 0; }},
    {"--hide-unbonded", false, [](const char *) { hideUnbondedAtoms = 1; return 0; }},
    {"--accuracy", true, takeAccuracy},
};

// One file, and every fault of the command line the usage text alone.
static const CommandLine inspectCommandLine = {
    inspectOptions, (int)(sizeof inspectOptions / sizeof inspectOptions[0]), false, false,
    [](const char *word) {
        if (path)
            return usage();
        path = word;
        return 0;
    },
    [](CommandLineFault, const char *) { return usage(); },
};

// The inspector never calls setlocale: the C library keeps the "C" locale,
// so its numbers keep their "." in every user locale.
int main(int argc, char **argv)
{
    if (!prepareStandardStreams()) {
        std::fprintf(stderr, "molvane-inspect: standard output is closed\n");
        return 1;
    }
    if (int status = readCommandLine(inspectCommandLine, argc, argv))
        return status;
    if (!path)
        return usage();

    const char *reason = nullptr;
    FILE *pdbFile = openUserFile(path, "r", &reason);
    if (!pdbFile) {
        std::fprintf(stderr, "molvane-inspect: cannot open %s: %s\n", printableText(path).c_str(), reason);
        return 1;
    }

    // In JSON mode the console text of the read goes nowhere.
    ConsoleSwitch console;
    if (json) {
        int devNull = openNullDevice();
        if (devNull < 0 || !consoleAway(console, devNull)) {
            std::fprintf(stderr, "molvane-inspect: cannot silence the console text\n");
            return 1;
        }
        close(devNull);
    }

    readStructure(pdbFile);
    countBonds();
    bool readFailed = std::ferror(pdbFile) != 0;
    std::fclose(pdbFile);

    if (json) {
        consoleBack(console);
        consoleRelease(console);
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
