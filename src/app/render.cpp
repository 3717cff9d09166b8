// render.cpp - molvane-render: PNG pictures of structures without a window.
// Each file goes through the viewer's own build (reader, bond perception,
// unbonded atoms, large-molecule switch, first view, scene objects) and the
// viewer's frame steps, drawn by libvelkor into an off-screen framebuffer
// and finished for print (picture.h): smooth edges, a depth cue, ambient
// occlusion on request, a transparent background, posters in tiles.
// The console text of each build is the viewer's, from the header title to
// the bond count; errors and progress go to standard error.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/optionvalues.h"
#include "app/picture.h"
#include "app/scenebuild.h"
#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"
#include "view/view.h"

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

static int imageWidth = 1200, imageHeight = 900;
static int atomStyle = atomsCrosses, bondStyle = bondsLines, colouring = colourElement;
static int singleBonds = 0, highlightConect = 0, hideUnbonded = 0, fixedLineWidth = 0, noAutoselect = 0;
static int detail = 0;                      // 0 low, 1 medium, 2 high
static int32_t accuracy = bondAccuracyGood;
static float turnUp = 0.0f, turnRight = 0.0f, zoom = 1.0f;
static float background[3] = {0.0f, 0.0f, 0.0f};
static PictureFinish finish;                // samples, depth cue, occlusion, transparency, tiles
static int viewerView = 0;
static int quiet = 0;
// Largest picture side: a poster is drawn in tiles, and a band of tile rows
// as wide as the picture stands in memory at a time.
static constexpr int maxPictureSide = 20000;
// The share of the picture's width and height left free on each side by
// the framing first view.
static constexpr float frameMargin = 0.03f;
// The view's far plane (the library's default, as the build leaves it) and
// the first eye's least distance from the centre (a single atom).
static constexpr float farPlane = 10000.0f, minimumEyeDistance = 2.0f;
static const char *outputPath = nullptr;
static std::vector<const char *> inputs;

// Options given on the command line, for the exclusions the menus make.
static const char *givenAtoms, *givenBonds, *givenColour, *givenDetail;

static int usage(const char *reason, const char *what = nullptr)
{
    if (reason)
        std::fprintf(stderr, "molvane-render: %s%s%s\n", reason, what ? " " : "",
                     what ? printableText(what).c_str() : "");
    std::fputs(usageText, stderr);
    return 2;
}

static int pick(const char *value, const char *const *names, int count)
{
    for (int k = 0; k < count; k++)
        if (std::strcmp(value, names[k]) == 0)
            return k;
    return -1;
}

static bool parseTurn(const char *text)
{
    const char *comma = std::strchr(text, ',');
    if (!comma)
        return false;
    std::string first(text, (size_t)(comma - text));
    return parseFloat(first.c_str(), &turnUp) && parseFloat(comma + 1, &turnRight);
}

// --background: a colour, or none for a transparent one.
static bool parseBackground(const char *text)
{
    if (std::strcmp(text, "none") == 0) {
        finish.transparent = 1;
        return true;
    }
    finish.transparent = 0;
    return parseColour(text, background);
}

// The options the menus never allow together: an item that the settings of
// another option disable in the menus cannot be asked for with it.
static int refuseExclusive()
{
    char reason[200];
    auto refuse = [&](const char *a, const char *b) {
        std::snprintf(reason, sizeof reason, "%s and %s exclude each other (the menus disable one while the other is on)",
                      a, b);
        return usage(reason);
    };
    bool cpk = atomStyle == atomsCpk, coloured = colouring != colourElement;
    if (cpk && coloured)
        return refuse("--atoms cpk", "--colour chain|residue");
    if (cpk && givenBonds)
        return refuse("--atoms cpk", "--bonds");
    if (cpk && singleBonds)
        return refuse("--atoms cpk", "--single-bonds");
    if (cpk && highlightConect)
        return refuse("--atoms cpk", "--highlight-conect");
    if (cpk && fixedLineWidth)
        return refuse("--atoms cpk", "--fixed-line-width");
    if (coloured && givenAtoms)
        return refuse("--colour chain|residue", "--atoms");
    if (coloured && highlightConect)
        return refuse("--colour chain|residue", "--highlight-conect");
    if (coloured && hideUnbonded)
        return refuse("--colour chain|residue", "--hide-unbonded");
    if (highlightConect && bondStyle == bondsNone)
        return refuse("--highlight-conect", "--bonds none");
    if (fixedLineWidth && bondStyle != bondsLines && atomStyle != atomsCrosses)
        return refuse("--fixed-line-width", "--atoms none|balls with --bonds none|sticks");
    if (givenDetail && !(atomStyle == atomsBalls || bondStyle != bondsLines || cpk))
        return refuse("--detail", "--atoms none|crosses with --bonds lines");
    if (atomStyle == atomsNone && bondStyle == bondsNone)
        return usage("nothing to draw: --atoms none with --bonds none");
    return 0;
}

// Returns 0 when the command line is good, else the exit status.
static int parseArguments(int argc, char **argv)
{
    static const char *const atomNames[] = {"none", "crosses", "balls", "cpk"};
    static const char *const bondNames[] = {"none", "lines", "sticks"};
    static const char *const colourNames[] = {"element", "chain", "residue"};
    static const char *const detailNames[] = {"low", "medium", "high"};
    static const char *const accuracyNames[] = {"good", "better", "best"};
    static const int32_t accuracies[] = {bondAccuracyGood, bondAccuracyBetter, bondAccuracyBest};
    bool optionsEnd = false;
    for (int k = 1; k < argc; k++) {
        std::string word = argv[k];
        if (optionsEnd || word.empty() || word[0] != '-' || word == "-") {
            inputs.push_back(argv[k]);
            continue;
        }
        if (word == "--") {
            optionsEnd = true;
            continue;
        }
        std::string name = word, inlineValue;
        bool hasInline = false;
        size_t equals = word.find('=');
        if (word.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = word.substr(0, equals);
            inlineValue = word.substr(equals + 1);
            hasInline = true;
        }
        static const char *const flags[] = {"--single-bonds", "--highlight-conect", "--hide-unbonded",
                                            "--fixed-line-width", "--no-autoselect", "--quiet",
                                            "--ao", "--viewer-view", "--help", "-h"};
        int flag = pick(name.c_str(), flags, 10);
        if (flag >= 0) {
            if (hasInline)
                return usage("option takes no value:", name.c_str());
            switch (flag) {
            case 0: singleBonds = 1; break;
            case 1: highlightConect = 1; break;
            case 2: hideUnbonded = 1; break;
            case 3: fixedLineWidth = 1; break;
            case 4: noAutoselect = 1; break;
            case 5: quiet = 1; break;
            case 6: finish.occlusion = 1; break;
            case 7: viewerView = 1; break;
            default: std::fputs(usageText, stdout); return -1;
            }
            continue;
        }
        const char *value;
        if (hasInline) {
            value = argv[k] + equals + 1;
        } else {
            if (k + 1 >= argc)
                return usage("missing value after", name.c_str());
            value = argv[++k];
        }
        int choice;
        if (name == "-o" || name == "--output") {
            if (outputPath)
                return usage("only one output may be given");
            if (!*value)
                return usage("empty output path");
            outputPath = value;
        } else if (name == "--size") {
            if (!parseSize(value, maxPictureSide, &imageWidth, &imageHeight))
                return usage("--size wants WxH in pixels, not", value);
        } else if (name == "--atoms") {
            if ((choice = pick(value, atomNames, 4)) < 0)
                return usage("--atoms wants none, crosses, balls or cpk, not", value);
            atomStyle = choice;
            givenAtoms = value;
        } else if (name == "--bonds") {
            if ((choice = pick(value, bondNames, 3)) < 0)
                return usage("--bonds wants none, lines or sticks, not", value);
            bondStyle = choice;
            givenBonds = value;
        } else if (name == "--colour") {
            if ((choice = pick(value, colourNames, 3)) < 0)
                return usage("--colour wants element, chain or residue, not", value);
            colouring = choice;
            givenColour = value;
        } else if (name == "--detail") {
            if ((choice = pick(value, detailNames, 3)) < 0)
                return usage("--detail wants low, medium or high, not", value);
            detail = choice;
            givenDetail = value;
        } else if (name == "--accuracy") {
            if ((choice = pick(value, accuracyNames, 3)) < 0)
                return usage("--accuracy wants good, better or best, not", value);
            accuracy = accuracies[choice];
        } else if (name == "--turn") {
            if (!parseTurn(value))
                return usage("--turn wants two angles in degrees, X,Y, not", value);
        } else if (name == "--zoom") {
            if (!parseFloat(value, &zoom) || !(zoom > 0.0f))
                return usage("--zoom wants a factor above 0, not", value);
            // The first eye stands at least minimumEyeDistance from the centre.
            if (minimumEyeDistance / zoom >= farPlane)
                return usage("--zoom puts the eye of every structure beyond the far plane:", value);
        } else if (name == "--background") {
            if (!parseBackground(value))
                return usage("--background wants black, white, #rrggbb or none, not", value);
        } else if (name == "--samples") {
            if (!parseWhole(value, 1, 16, &finish.samples))
                return usage("--samples wants a whole number from 1 to 16, not", value);
        } else if (name == "--fog") {
            if (!parseFloat(value, &finish.fog) || finish.fog < 0 || finish.fog > 1)
                return usage("--fog wants a strength from 0 to 1, not", value);
        } else if (name == "--tile") {
            if (!parseWhole(value, 16, maxPictureSide, &finish.tile))
                return usage("--tile wants a side in pixels from 16, not", value);
        } else {
            return usage("unknown option", word.c_str());
        }
    }
    if (inputs.empty())
        return usage("no structure file given");
    return refuseExclusive();
}

// The render settings for every file: the options over the compiled-in
// defaults (a large structure's light settings never carry over to the next).
static void applyOptions()
{
    static const int32_t sphereDetails[] = {4, 6, 9}, cylinderDetails[] = {3, 5, 8};
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
    sphereDetail = sphereDetails[detail];
    cylinderDetail = cylinderDetails[detail];
    bondAccuracy = accuracy;
    changeInitialSettings = !noAutoselect;
    spin = 0;
}

//------------------------------------------------------------------------------
// The console: standard output carries the build's text, or nothing
//------------------------------------------------------------------------------
static int consoleFd = -1;   // the real standard output while it is switched off
static int nullFd = -1;

static void consoleOff()
{
    std::fflush(stdout);
    if (consoleFd < 0)
        consoleFd = dup(1);
    dup2(nullFd, 1);
}

static void consoleOn()
{
    std::fflush(stdout);
    if (!quiet && consoleFd >= 0)
        dup2(consoleFd, 1);
}

//------------------------------------------------------------------------------
// The palette. The library finds "Textures/..." in the working folder, the
// installed data folder or the source tree; what it says about them goes to
// standard error, never into the console text.
//------------------------------------------------------------------------------
static void setUpPaletteAndTextures()
{
    std::fflush(stdout);
    int saved = dup(1);
    dup2(2, 1);
    setUpPalette();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
}

//------------------------------------------------------------------------------
// Output
//------------------------------------------------------------------------------
static bool isFolder(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The input's last path component with its structure file ending (".pdb",
// ".ent", ".cif", ".mmcif", each also with ".gz"; any case) replaced by
// ".png", or ".png" added.
static std::string pictureName(const char *input)
{
    std::string name(input);
    size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    for (const char *ending : {".gz", ""}) {
        size_t n = name.size(), e = std::strlen(ending);
        if (e > 0 && !(n > e && strcasecmp(name.c_str() + n - e, ending) == 0))
            continue;
        for (const char *kind : {".pdb", ".ent", ".cif", ".mmcif"}) {
            size_t k = std::strlen(kind);
            if (n > k + e && strncasecmp(name.c_str() + n - e - k, kind, k) == 0) {
                name.resize(n - e - k);
                return name + ".png";
            }
        }
    }
    return name + ".png";
}

static std::string outputFor(const char *input)
{
    if (!outputPath)
        return pictureName(input);
    if (inputs.size() > 1 || isFolder(outputPath)) {
        std::string folder(outputPath);
        if (folder.back() != '/')
            folder += '/';
        return folder + pictureName(input);
    }
    return outputPath;
}

// The inputs as files (device and inode), so that no picture is written
// over one of them, by any name or link.
static std::vector<std::pair<dev_t, ino_t>> inputFiles;

static bool isInput(const std::string &output)
{
    struct stat info;
    if (stat(output.c_str(), &info) != 0)
        return false;
    for (const auto &input : inputFiles)
        if (input.first == info.st_dev && input.second == info.st_ino)
            return true;
    return false;
}

//------------------------------------------------------------------------------
// One file
//------------------------------------------------------------------------------
enum Outcome { drawn = 0, failed = 1, refused = 2 };   // also the exit status it asks for

// Draws one file into the open replacement of its picture and completes it.
// Returns drawn, or failed / refused after one line on stderr (the
// replacement then abandoned).
static int renderFile(const char *input, FileReplacement &picture)
{
    std::string shownInput = printableText(input), shownOutput = printableText(picture.finalPath);
    const char *why = nullptr;
    FILE *file = openUserFile(input, "r", &why);
    if (!file) {
        std::fprintf(stderr, "molvane-render: cannot read %s: %s\n", shownInput.c_str(), why);
        return failed;
    }
    applyOptions();
    discardScene();
    structureLoaded = 0;
    buildBondObjects(file);
    // The viewer's text ends with the bond count; the rest is not echoed.
    consoleOff();
    buildAtomObjects();
    structureLoaded = 1;
    bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed || atomCount <= 0) {
        consoleOn();
        std::fprintf(stderr, "molvane-render: %s: %s\n", shownInput.c_str(),
                     readFailed ? "error while reading" : "no atoms: not a PDB or mmCIF structure");
        return failed;
    }

    // The first view turned as asked about the origin, where the reader
    // centred the structure (the framing of the file before moved the
    // pivot), framed to the picture unless the viewer's own is asked for,
    // and moved in.
    viewParams.pivot = vel_vectorSet(0.0f, 0.0f, 0.0f);
    if (turnUp != 0.0f)
        vel_navigateRotUp(&viewParams, turnUp * (float)(M_PI / 180.0), 0.0f, 1.0f);
    if (turnRight != 0.0f)
        vel_navigateRotRight(&viewParams, turnRight * (float)(M_PI / 180.0), 0.0f, 1.0f);
    if (!viewerView)
        frameStructure(&viewParams, imageWidth, imageHeight, frameMargin);
    float eyeFromCentre = vel_vectorMag(vel_vectorSub(viewParams.eye, viewParams.pivot)) / zoom;
    if (!(eyeFromCentre < farPlane)) {
        consoleOn();
        std::fprintf(stderr, "molvane-render: %s: --zoom %g puts the eye %g from the centre, beyond the far plane (%g)\n",
                     shownInput.c_str(), (double)zoom, (double)eyeFromCentre, (double)farPlane);
        return refused;
    }
    viewParams.eye = vel_vectorAdd(viewParams.pivot,
                                   vel_vectorScalar(vel_vectorSub(viewParams.eye, viewParams.pivot), 1.0f / zoom));

    const char *reason = nullptr;
    bool pictureDrawn = drawPicture(picture.stream, imageWidth, imageHeight, finish, &reason);
    consoleOn();
    if (!pictureDrawn || !finishFileReplacement(&picture, &reason)) {
        std::fprintf(stderr, "molvane-render: cannot write %s: %s\n", shownOutput.c_str(), reason);
        return failed;
    }
    return drawn;
}

//------------------------------------------------------------------------------
// Memory: a picture is made in one go, and every page it uses is touched
// fresh. The tables of fixed capacity (tens of megabytes of zero pages until
// a file fills them) are asked for huge pages: a fault per 2 MiB instead of
// one per 4 KiB, which on a virtual machine costs more than the filling.
//------------------------------------------------------------------------------
extern "C" char __bss_start[], _end[];  // the linker's bounds of the zeroed tables

static void tablesOnHugePages()
{
    const uintptr_t huge = 2u << 20;
    uintptr_t from = ((uintptr_t)__bss_start + huge - 1) & ~(huge - 1), to = (uintptr_t)_end & ~(huge - 1);
    if (to > from)
        madvise((void *)from, to - from, MADV_HUGEPAGE);
}

int main(int argc, char **argv)
{
    if (!prepareStandardStreams()) {
        std::fprintf(stderr, "molvane-render: standard output is closed\n");
        return 1;
    }
    int status = parseArguments(argc, argv);
    if (status != 0)
        return status < 0 ? finishStandardOutput("molvane-render") : status;
    if (inputs.size() > 1 && outputPath && !isFolder(outputPath))
        return usage("with several files the output must be a folder:", outputPath);
    for (const char *input : inputs) {
        struct stat info;
        if (stat(input, &info) == 0)
            inputFiles.emplace_back(info.st_dev, info.st_ino);
    }

    nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nullFd < 0) {
        std::perror("molvane-render: /dev/null");
        return 1;
    }
    if (quiet)
        consoleOff();

    tablesOnHugePages();
    vel_heapPrepare();
    vel_opt_splash = 0;
    vel_opt_output = 0;
    // each picture sets the size of its frames
    if (!vel_initialiseOffscreen(1, 1))
        return 1;
    vel_windowBackgroundColourSet(vel_win_current, background[0], background[1], background[2]);
    setUpPaletteAndTextures();
    sceneObjectList = vel_SMSObjListNew();

    std::vector<std::string> written;
    int worst = drawn;
    size_t count = inputs.size();
    for (size_t k = 0; k < count; k++) {
        std::string shownInput = printableText(inputs[k]);
        if (count > 1)
            std::fprintf(stderr, "[%zu/%zu] %s\n", k + 1, count, shownInput.c_str());
        std::string output = outputFor(inputs[k]);
        std::string shownOutput = printableText(output.c_str());
        bool repeated = false;
        for (const std::string &earlier : written)
            repeated |= earlier == output;
        // The picture's name is checked, and its new file made, before
        // anything is drawn.
        FileReplacement picture;
        const char *why = nullptr;
        int outcome = failed;
        if (repeated)
            std::fprintf(stderr, "molvane-render: %s: its picture %s was already written from another file\n",
                         shownInput.c_str(), shownOutput.c_str());
        else if (isInput(output))
            std::fprintf(stderr, "molvane-render: cannot write %s: it is one of the inputs\n", shownOutput.c_str());
        else if (!beginFileReplacement(output.c_str(), &picture, &why))
            std::fprintf(stderr, "molvane-render: cannot write %s: %s\n", shownOutput.c_str(), why);
        else
            outcome = renderFile(inputs[k], picture);
        abandonFileReplacement(&picture);
        if (outcome == drawn)
            written.push_back(output);
        worst = outcome > worst ? outcome : worst;
    }
    consoleOn();
    int console = finishStandardOutput("molvane-render");
    return worst != drawn ? worst : console;
}
