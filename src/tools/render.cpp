// render.cpp - molvane-render: PNG pictures of structures without a window.
// Each file goes through the viewer's own build (reader, bond perception,
// unbonded atoms, large-molecule switch, first view, scene objects) and the
// viewer's frame steps, drawn by libvelkor into an off-screen framebuffer
// and finished for print (picture.h): smooth edges, a depth cue, ambient
// occlusion on request, a transparent background, posters in tiles.
// The console text of each build is the viewer's, from the header title to
// the bond count; errors and progress go to standard error.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/scenebuild.h"
#include "app/settings.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "scene/scene.h"
#include "tools/console.h"
#include "tools/render.h"
#include "view/view.h"

//------------------------------------------------------------------------------
// The console: standard output carries the build's text, or nothing
//------------------------------------------------------------------------------
static ConsoleSwitch console;   // the real standard output while it is switched off
static int nullFd = -1;

static void consoleOff()
{
    consoleAway(console, nullFd);
}

static void consoleOn()
{
    if (quiet)
        std::fflush(stdout);
    else
        consoleBack(console);
}

//------------------------------------------------------------------------------
// The palette. The library finds "Textures/..." in the working folder, the
// installed data folder or the source tree; what it says about them goes to
// standard error, never into the console text.
//------------------------------------------------------------------------------
static void setUpPaletteAndTextures()
{
    ConsoleSwitch toErrors;
    consoleAway(toErrors, 2);
    setUpPalette();
    consoleBack(toErrors);
    consoleRelease(toErrors);
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

// The linker's bounds of the zeroed tables: the store, the scene's and the
// reader's buffers, tens of megabytes of zero pages until a file fills them.
extern "C" char __bss_start[], _end[];

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
    rememberInputs();

    nullFd = openNullDevice();
    if (nullFd < 0) {
        std::perror("molvane-render: /dev/null");
        return 1;
    }
    if (quiet)
        consoleOff();

    // A picture is made in one go and every page of the tables is touched
    // fresh: on huge pages that is a fault per 2 MiB, not per 4 KiB.
    adviseHugePages(__bss_start, (size_t)(_end - __bss_start));
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
    int printed = finishStandardOutput("molvane-render");
    return worst != drawn ? worst : printed;
}
