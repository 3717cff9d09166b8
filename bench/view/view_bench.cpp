// view_bench.cpp - frame time in the default line mode for about 100000
// atoms (copies of ubiquitin side by side, atoms renumbered), with the lines
// re-sent every frame and replayed from the display list (the library keeps
// a list's segments as one GL_LINES draw per width); the line pass alone
// against the same number of segments sent as one polyline; one screen pick
// over 120000 atoms.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/view/view_bench   (from the build directory)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"
#include "view/view.h"
#include "common/viewerwindow.h"

namespace {

// Reads ubiquitin, bonds it and repeats atoms and bonds (mid-points
// included) in a grid of copies 60 angstrom apart up to `wanted` atoms.
bool makeStructure(int wanted)
{
    FILE *pdb = std::fopen(MOLVANE_TEST_DATA "/1ubq.pdb", "r");
    if (pdb == nullptr)
        return false;
    int saved = dup(1), quiet = open("/dev/null", O_WRONLY);
    std::fflush(stdout);
    dup2(quiet, 1);
    atomCount = readStructureFile(pdb);
    perceiveBonds();
    std::fflush(stdout);
    dup2(saved, 1);
    close(quiet);
    close(saved);
    std::fclose(pdb);
    int stride = atomCount;
    int bondsPerCopy = nextBondIndex - 1;
    int copies = wanted / stride;
    while ((copies * bondsPerCopy) >= maxBonds)
        copies--;
    for (int c = 1; c < copies; c++) {
        float d[3] = {60.0f * (c % 8), 60.0f * ((c / 8) % 8), 60.0f * (c / 64)};
        for (int i = 1; i <= stride; i++) {
            AtomRecord &a = atoms[c * stride + i];
            a = atoms[i];
            a.x += d[0];
            a.y += d[1];
            a.z += d[2];
            for (int p = 0; p < a.totalBonds && p < maxPartners; p++)
                a.bondedTo[p] += c * stride;
        }
        for (int j = 1; j <= bondsPerCopy; j++) {
            BondRecord &b = bonds[c * bondsPerCopy + j];
            b = bonds[j];
            b.atomA += c * stride;
            b.atomB += c * stride;
            for (int k = 0; k < 3; k++)
                b.midpoint[k] += d[k];
        }
    }
    // centre the grid and look at it from its front
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    atomCount = copies * stride;
    for (int i = 1; i <= atomCount; i++) {
        if (atoms[i].present != 1)
            continue;
        float p[3] = {atoms[i].x, atoms[i].y, atoms[i].z};
        for (int k = 0; k < 3; k++) {
            lo[k] = p[k] < lo[k] ? p[k] : lo[k];
            hi[k] = p[k] > hi[k] ? p[k] : hi[k];
        }
    }
    float mid[3], half[3];
    for (int k = 0; k < 3; k++) {
        mid[k] = (lo[k] + hi[k]) / 2;
        half[k] = (hi[k] - lo[k]) / 2;
        halfExtents[k] = half[k];
    }
    for (int i = 1; i <= atomCount; i++) {
        atoms[i].x -= mid[0];
        atoms[i].y -= mid[1];
        atoms[i].z -= mid[2];
    }
    nextBondIndex = copies * bondsPerCopy + 1;
    for (int j = 1; j < nextBondIndex; j++)
        for (int k = 0; k < 3; k++)
            bonds[j].midpoint[k] -= mid[k];
    bonds[nextBondIndex].atomA = 0;
    return true;
}

// The program's window at 800 x 600, the palette, an empty scene.
void openWindow()
{
    static bool open = false;
    if (open)
        return;
    open = true;
    openViewerTestWindow(800, 600);
    for (int k = 0; k < 10; k++)
        runFrame(sceneObjectList);
}

// What the build does for a loaded structure in line mode.
void buildLineMode(int lineWidthFollowsDistance)
{
    changeLineWidthWithDistance = lineWidthFollowsDistance;
    vel_SMSDelete(sceneObjectList, 1);
    sceneObjectList = vel_SMSObjListNew();
    displayListDirty = 1;
    vel_gfxListsDelete(displayListId, 1);
    setInitialView();
    zoomStep = zoomStepFor(atomCount);
    navigationStep = navigationStepFor(atomCount, navigationSpeed);
    registerMouseHandling();
    structureLoaded = 1;
    spin = 1;  // a turning view draws every frame; an unchanged one would draw nothing
    vel_windowViewParamsSet(vel_win_current, &viewParams);
    int saved = dup(1), quiet = open("/dev/null", O_WRONLY);
    std::fflush(stdout);
    dup2(quiet, 1);
    runFrame(sceneObjectList);   // records the list
    std::fflush(stdout);
    dup2(saved, 1);
    close(quiet);
    close(saved);
}

bool ready(benchmark::State &state, int atomsWanted)
{
    openWindow();
    static int made = 0;
    if (made != atomsWanted) {
        if (!makeStructure(atomsWanted)) {
            state.SkipWithError("tests/data/1ubq.pdb not found");
            return false;
        }
        made = atomsWanted;
    }
    return true;
}

// Polylines and vertices the line pass sends for the current structure.
void countLines(long *lines, long *vertices)
{
    long l = 0, v = 0;
    for (int b = 1; b < nextBondIndex; b++) {
        int order = bonds[b].order;
        if (order >= 1 && order <= 3) {
            l += order;
            v += 3 * order;
        }
    }
    for (int i = 1; i <= atomCount; i++)
        if (atoms[i].present == 1) {
            l += 3;
            v += 6;
        }
    *lines = l;
    *vertices = v;
}

// A whole frame with distance-dependent widths: the lines go out every frame.
void BM_FrameLinesEveryFrame(benchmark::State &state)
{
    if (!ready(state, 100000))
        return;
    buildLineMode(1);
    for (auto _ : state)
        runFrame(sceneObjectList);
    long lines, vertices;
    countLines(&lines, &vertices);
    state.counters["atoms"] = atomCount;
    state.counters["polylines"] = lines;
    state.counters["vertices"] = vertices;
}
BENCHMARK(BM_FrameLinesEveryFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// A whole frame with fixed widths: the lines are replayed from the list.
void BM_FrameLinesFromList(benchmark::State &state)
{
    if (!ready(state, 100000))
        return;
    buildLineMode(0);
    for (auto _ : state)
        runFrame(sceneObjectList);
    state.counters["atoms"] = atomCount;
}
BENCHMARK(BM_FrameLinesFromList)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same frame with nothing moving: it shows what is shown already, so
// the library draws nothing and the frame costs the line pass and a sleep.
void BM_FrameLinesIdle(benchmark::State &state)
{
    if (!ready(state, 100000))
        return;
    buildLineMode(0);
    spin = 0;
    for (auto _ : state)
        runFrame(sceneObjectList);
    state.counters["atoms"] = atomCount;
}
BENCHMARK(BM_FrameLinesIdle)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The line pass alone, inside a frame, as the frame loop sends it.
void BM_LinePassOnly(benchmark::State &state)
{
    if (!ready(state, 100000))
        return;
    buildLineMode(1);
    for (auto _ : state) {
        vel_frameBegin();
        drawLinePass();
        state.PauseTiming();
        vel_windowViewParamsSet(vel_win_current, &viewParams);
        vel_frameEnd();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LinePassOnly)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same number of segments as one polyline of one colour and width:
// what the line pass would cost without its per-line calls.
void BM_SameSegmentsOnePolyline(benchmark::State &state)
{
    if (!ready(state, 100000))
        return;
    buildLineMode(1);
    long lines, vertices;
    countLines(&lines, &vertices);
    long segments = vertices - lines;
    for (auto _ : state) {
        vel_frameBegin();
        vel_surfaceParamsUse(colourSurfaces[5]);
        vel_gfxLineWidthSet(1.0f);
        vel_gfxLineBegin();
        int atom = 1;
        for (long k = 0; k <= segments; k++) {
            while (atoms[atom].present != 1)
                atom = atom % atomCount + 1;
            vel_gfxVertex(vel_vectorSet(atoms[atom].x, atoms[atom].y, atoms[atom].z));
            atom = atom % atomCount + 1;
        }
        vel_gfxLineEnd();
        state.PauseTiming();
        vel_windowViewParamsSet(vel_win_current, &viewParams);
        vel_frameEnd();
        state.ResumeTiming();
    }
    state.counters["segments"] = segments;
}
BENCHMARK(BM_SameSegmentsOnePolyline)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// An empty frame: the floor set by clearing, presenting and pacing.
void BM_EmptyFrame(benchmark::State &state)
{
    openWindow();
    structureLoaded = 0;
    int saved = atomCount;
    atomCount = 0;
    for (auto _ : state)
        runFrame(sceneObjectList);
    atomCount = saved;
    structureLoaded = 1;
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// One screen pick over 120000 atoms (the output sent to /dev/null).
void BM_ScreenPick120000(benchmark::State &state)
{
    if (!ready(state, maxAtoms))
        return;
    buildLineMode(1);
    int width = 0, height = 0;
    vel_windowSizeGet(vel_win_current, &width, &height);
    int saved = dup(1), quiet = open("/dev/null", O_WRONLY);
    std::fflush(stdout);
    dup2(quiet, 1);
    for (auto _ : state)
        pickAtomOnScreen(width / 2, height / 2);
    std::fflush(stdout);
    dup2(saved, 1);
    close(quiet);
    close(saved);
    state.counters["atoms"] = atomCount;
}
BENCHMARK(BM_ScreenPick120000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
