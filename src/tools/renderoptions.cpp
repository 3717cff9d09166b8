// renderoptions.cpp - molvane-render's command line: the usage text, the
// table of options, the exclusions the menus make, and the render settings
// the options give every file.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "tools/commandline.h"
#include "tools/optionvalues.h"
#include "tools/render.h"

static const char usageText[] =
    "usage: molvane-render [OPTIONS] FILE [FILE ...] [-o OUTPUT]\n"
    "  FILE: a PDB or PDBx/mmCIF file (.pdb .ent .cif .mmcif), plain or gzip-compressed (.gz)\n"
    "  -o, --output PATH   a .png file for one input, or a folder for several\n"
    "                      (default: each input's name with .png, in the current folder)\n"
    "  --size WxH          image size in pixels (default 1200x900; up to 20000x20000)\n"
    "  --atoms none|crosses|balls|cpk      as the Render menu (default crosses)\n"
    "  --bonds none|lines|sticks           lines or 3D cylinders (default lines)\n"
    "  --colour element|chain|residue      (default element)\n"
    "  --single-bonds      multiple bonds drawn as one (\"Draw Multiple bonds\" off)\n"
    "  --highlight-conect  --hide-unbonded  --fixed-line-width\n"
    "  --detail low|medium|high            --accuracy good|better|best\n"
    "  --no-autoselect     big structures keep the representation asked for\n"
    "  --turn X,Y          degrees about the view's up and right axes, after the first view\n"
    "  --zoom F            move the eye towards the centre by factor F (2 = twice as close)\n"
    "  --background black|white|#rrggbb|none   (default black; none: transparent)\n"
    "  --samples N         samples a pixel for smooth edges, 1 to 16 (default 4; 1: none)\n"
    "  --fog F             depth cue: far atoms fade towards the background, 0 to 1 (default 0.5)\n"
    "  --ao                ambient occlusion: crevices and buried atoms darker\n"
    "  --viewer-view       the viewer's first view, not one that frames the whole structure\n"
    "  --tile N            draw in tiles of at most N pixels a side (default: as large as allowed)\n"
    "  --quiet             no console text\n";

//------------------------------------------------------------------------------
// What was asked for
//------------------------------------------------------------------------------
enum AtomStyle { atomsNone, atomsCrosses, atomsBalls, atomsCpk };
enum BondStyle { bondsNone, bondsLines, bondsSticks };
enum Colouring { colourElement, colourChain, colourResidue };

int imageWidth = 1200, imageHeight = 900;
float turnUp = 0.0f, turnRight = 0.0f, zoom = 1.0f;
float background[3] = {0.0f, 0.0f, 0.0f};
PictureFinish finish;
int viewerView = 0;
int quiet = 0;
const char *outputPath = nullptr;
std::vector<const char *> inputs;

static int atomStyle = atomsCrosses, bondStyle = bondsLines, colouring = colourElement;
static int singleBonds = 0, highlightConect = 0, hideUnbonded = 0, fixedLineWidth = 0, noAutoselect = 0;
static int detail = lowDetail;
static int32_t accuracy = bondAccuracyGood;

// Options given on the command line, for the exclusions the menus make.
static const char *givenAtoms, *givenBonds, *givenDetail;

int usage(const char *reason, const char *what)
{
    if (reason)
        std::fprintf(stderr, "molvane-render: %s%s%s\n", reason, what ? " " : "",
                     what ? printableText(what).c_str() : "");
    std::fputs(usageText, stderr);
    return 2;
}

//------------------------------------------------------------------------------
// The options' values
//------------------------------------------------------------------------------
// 0 when the value was good, else the usage with complaint and the value.
static int check(bool good, const char *complaint, const char *value)
{
    return good ? 0 : usage(complaint, value);
}

// The options that choose one of a few names.
static const char *const atomStyleNames[] = {"none", "crosses", "balls", "cpk"};
static const char *const bondStyleNames[] = {"none", "lines", "sticks"};
static const char *const colouringNames[] = {"element", "chain", "residue"};
static const char *const detailLevelNames[] = {"low", "medium", "high"};
static const struct {
    const char *const *names;   // the choices, by their index
    int count;
    const char *complaint;      // the usage's reason for another value
    int *choice;                // the index chosen
    const char **given;         // the value as given, for the exclusions; or null
} choices[] = {
    {atomStyleNames, 4, "--atoms wants none, crosses, balls or cpk, not", &atomStyle, &givenAtoms},
    {bondStyleNames, 3, "--bonds wants none, lines or sticks, not", &bondStyle, &givenBonds},
    {colouringNames, 3, "--colour wants element, chain or residue, not", &colouring, nullptr},
    {detailLevelNames, 3, "--detail wants low, medium or high, not", &detail, &givenDetail},
};

template <int k>
static int takeChoice(const char *value)
{
    int chosen = pickName(value, choices[k].names, choices[k].count);
    if (chosen >= 0)
        *choices[k].choice = chosen;
    if (choices[k].given)
        *choices[k].given = value;
    return check(chosen >= 0, choices[k].complaint, value);
}

static int takeAccuracy(const char *value)
{
    int chosen = pickName(value, accuracyNames, 3);
    if (chosen >= 0)
        accuracy = bondAccuracies[chosen];
    return check(chosen >= 0, "--accuracy wants good, better or best, not", value);
}

static int takeOutput(const char *value)
{
    if (outputPath)
        return usage("only one output may be given");
    if (!*value)
        return usage("empty output path");
    outputPath = value;
    return 0;
}

static bool readTurn(const char *value)
{
    const char *comma = std::strchr(value, ',');
    if (!comma)
        return false;
    std::string first(value, (size_t)(comma - value));
    return parseFloat(first.c_str(), &turnUp) && parseFloat(comma + 1, &turnRight);
}

static int takeZoom(const char *value)
{
    if (!parseFloat(value, &zoom) || !(zoom > 0.0f))
        return usage("--zoom wants a factor above 0, not", value);
    // The first eye stands at least minimumEyeDistance from the centre.
    return check(minimumEyeDistance / zoom < farPlane, "--zoom puts the eye of every structure beyond the far plane:",
                 value);
}

// --background: a colour, or none for a transparent one.
static bool readBackground(const char *value)
{
    finish.transparent = std::strcmp(value, "none") == 0;
    return finish.transparent || parseColour(value, background);
}

// A flag sets its variable to 1.
template <int *flag>
static int setFlag(const char *)
{
    *flag = 1;
    return 0;
}

static int printUsage(const char *)
{
    std::fputs(usageText, stdout);
    return -1;
}

static const CommandOption renderOptions[] = {
    {"-o", true, takeOutput},
    {"--output", true, takeOutput},
    {"--size", true, [](const char *v) {
         return check(parseSize(v, maxPictureSide, &imageWidth, &imageHeight), "--size wants WxH in pixels, not", v);
     }},
    {"--atoms", true, takeChoice<0>},
    {"--bonds", true, takeChoice<1>},
    {"--colour", true, takeChoice<2>},
    {"--detail", true, takeChoice<3>},
    {"--accuracy", true, takeAccuracy},
    {"--turn", true, [](const char *v) { return check(readTurn(v), "--turn wants two angles in degrees, X,Y, not", v); }},
    {"--zoom", true, takeZoom},
    {"--background", true, [](const char *v) {
         return check(readBackground(v), "--background wants black, white, #rrggbb or none, not", v);
     }},
    {"--samples", true, [](const char *v) {
         return check(parseWhole(v, 1, 16, &finish.samples), "--samples wants a whole number from 1 to 16, not", v);
     }},
    {"--fog", true, [](const char *v) {
         bool good = parseFloat(v, &finish.fog) && finish.fog >= 0 && finish.fog <= 1;
         return check(good, "--fog wants a strength from 0 to 1, not", v);
     }},
    {"--tile", true, [](const char *v) {
         return check(parseWhole(v, 16, maxPictureSide, &finish.tile), "--tile wants a side in pixels from 16, not", v);
     }},
    {"--single-bonds", false, setFlag<&singleBonds>},
    {"--highlight-conect", false, setFlag<&highlightConect>},
    {"--hide-unbonded", false, setFlag<&hideUnbonded>},
    {"--fixed-line-width", false, setFlag<&fixedLineWidth>},
    {"--no-autoselect", false, setFlag<&noAutoselect>},
    {"--quiet", false, setFlag<&quiet>},
    {"--ao", false, [](const char *) { finish.occlusion = 1; return 0; }},
    {"--viewer-view", false, setFlag<&viewerView>},
    {"--help", false, printUsage},
    {"-h", false, printUsage},
};

static int takeInput(const char *word)
{
    inputs.push_back(word);
    return 0;
}

static int refuseCommandLine(CommandLineFault fault, const char *text)
{
    if (fault == valueNotTaken)
        return usage("option takes no value:", text);
    if (fault == missingValue)
        return usage("missing value after", text);
    return usage("unknown option", text);
}

// The options the menus never allow together: an item that the settings of
// another option disable in the menus cannot be asked for with it.
static int refuseExclusive()
{
    bool cpk = atomStyle == atomsCpk, coloured = colouring != colourElement;
    const struct {
        bool both;         // the two were asked for together
        const char *one;   // how the message names them
        const char *other;
    } exclusions[] = {
        {cpk && coloured, "--atoms cpk", "--colour chain|residue"},
        {cpk && givenBonds, "--atoms cpk", "--bonds"},
        {cpk && singleBonds, "--atoms cpk", "--single-bonds"},
        {cpk && highlightConect, "--atoms cpk", "--highlight-conect"},
        {cpk && fixedLineWidth, "--atoms cpk", "--fixed-line-width"},
        {coloured && givenAtoms, "--colour chain|residue", "--atoms"},
        {coloured && highlightConect, "--colour chain|residue", "--highlight-conect"},
        {coloured && hideUnbonded, "--colour chain|residue", "--hide-unbonded"},
        {highlightConect && bondStyle == bondsNone, "--highlight-conect", "--bonds none"},
        {fixedLineWidth && bondStyle != bondsLines && atomStyle != atomsCrosses, "--fixed-line-width",
         "--atoms none|balls with --bonds none|sticks"},
        {givenDetail && !(atomStyle == atomsBalls || bondStyle != bondsLines || cpk), "--detail",
         "--atoms none|crosses with --bonds lines"},
    };
    for (const auto &exclusion : exclusions) {
        if (!exclusion.both)
            continue;
        char reason[200];
        std::snprintf(reason, sizeof reason, "%s and %s exclude each other (the menus disable one while the other is on)",
                      exclusion.one, exclusion.other);
        return usage(reason);
    }
    if (atomStyle == atomsNone && bondStyle == bondsNone)
        return usage("nothing to draw: --atoms none with --bonds none");
    return 0;
}

int parseArguments(int argc, char **argv)
{
    static const CommandLine line = {renderOptions, (int)(sizeof renderOptions / sizeof renderOptions[0]), true, true,
                                     takeInput, refuseCommandLine};
    if (int status = readCommandLine(line, argc, argv))
        return status;
    if (inputs.empty())
        return usage("no structure file given");
    return refuseExclusive();
}

void applyOptions()
{
    drawAtomsAsLines = atomStyle == atomsCrosses;
    drawAtoms = atomStyle == atomsBalls;
    drawSpaceFilled = atomStyle == atomsCpk;
    drawBondsAsLines = bondStyle == bondsLines;
    drawBondsIn3D = bondStyle == bondsSticks;
    drawMultipleBonds = !singleBonds;
    highlightPDBBonds = highlightConect;
    colourByChain = colouring == colourChain;
    colourByResidue = colouring == colourResidue;
    hideUnbondedAtoms = hideUnbonded;
    changeLineWidthWithDistance = !fixedLineWidth;
    setDetailLevel(detail);
    bondAccuracy = accuracy;
    changeInitialSettings = !noAutoselect;
    spin = 0;
}
