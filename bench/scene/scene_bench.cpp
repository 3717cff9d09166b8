// scene_bench.cpp - times the sphere and cylinder builds (records, objects
// and list) for about 100000 atoms: copies of ubiquitin side by side, each
// read and bonded once and then copied with renumbered atoms.
//
// The library makes objects and surfaces without a window, so this runs
// without a display:   bench/scene/scene_bench   (from the build directory)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"

namespace {

constexpr int wantedAtoms = 100000;

// Reads ubiquitin, bonds it, and repeats its atoms and bonds in a grid of
// copies 60 angstrom apart until about wantedAtoms atoms are stored.
bool makeLargeStructure()
{
    FILE *pdb = std::fopen(MOLVANE_TEST_DATA "/1ubq.pdb", "r");
    if (!pdb)
        return false;
    atomCount = readStructureFile(pdb);
    std::fclose(pdb);
    perceiveBonds();
    int stride = atomCount;
    int bondsPerCopy = nextBondIndex - 1;
    int copies = wantedAtoms / stride;
    for (int c = 1; c < copies; c++) {
        float dx = 60.0f * (c % 8), dy = 60.0f * ((c / 8) % 8), dz = 60.0f * (c / 64);
        for (int i = 1; i <= stride; i++) {
            AtomRecord &a = atoms[c * stride + i];
            a = atoms[i];
            a.x += dx;
            a.y += dy;
            a.z += dz;
            for (int p = 0; p < a.totalBonds; p++)
                a.bondedTo[p] += c * stride;
        }
        for (int j = 1; j <= bondsPerCopy; j++) {
            BondRecord &b = bonds[c * bondsPerCopy + j];
            b = bonds[j];
            b.atomA += c * stride;
            b.atomB += c * stride;
        }
    }
    atomCount = copies * stride;
    nextBondIndex = copies * bondsPerCopy + 1;
    bonds[nextBondIndex].atomA = 0;
    return true;
}

// Builds with the console output of the builders sent to /dev/null.
template <typename Build> void timedBuild(benchmark::State &state, Build build)
{
    int saved = dup(1);
    int quiet = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        state.PauseTiming();
        sceneObjectList = vel_SMSObjListNew();
        bondCount = 0;
        std::fflush(stdout);
        dup2(quiet, 1);
        state.ResumeTiming();
        build();
        state.PauseTiming();
        std::fflush(stdout);
        dup2(saved, 1);
        state.counters["objects"] = vel_SMSObjectCount(sceneObjectList);
        vel_SMSDelete(sceneObjectList, 1);
        state.ResumeTiming();
    }
    close(quiet);
    close(saved);
}

void BM_Spheres(benchmark::State &state)
{
    drawAtoms = 1;
    timedBuild(state, [] { buildAtomSpheres(); });
}

void BM_CylindersMultipleBonds(benchmark::State &state)
{
    drawAtoms = 1;
    drawMultipleBonds = 1;
    timedBuild(state, [] { buildBondCylinders(); });
}

void BM_SpheresAndCylinders(benchmark::State &state)
{
    drawAtoms = 1;
    drawMultipleBonds = 1;
    timedBuild(state, [] {
        buildBondCylinders();
        buildAtomSpheres();
    });
}

BENCHMARK(BM_Spheres)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CylindersMultipleBonds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpheresAndCylinders)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    std::filesystem::current_path(MOLVANE_SOURCE_ROOT);
    vel_opt_output = 0;
    setUpPalette();
    if (!makeLargeStructure()) {
        std::printf("\nERROR - cannot read " MOLVANE_TEST_DATA "/1ubq.pdb\n\n");
        return 1;
    }
    std::printf("%d atoms, %d bonds\n", atomCount, nextBondIndex - 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
