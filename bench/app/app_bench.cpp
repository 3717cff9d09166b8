// app_bench.cpp - time from choosing a file to the first frame showing it:
// the load and build (loadChosenFile, as after the dialog) and the frames
// until the display list is recorded and "Ready" printed. Cases: the kinase
// 4jsv (22194 atoms) and 99999 atoms (copies of it moved apart and
// renumbered), in line mode, with spheres and with cylinders. Reports the
// peak resident memory of the process as a counter. A last case refreshes
// the kinase with sticks 300 times and reports the resident memory after
// the first, the tenth and the last refresh: from the tenth on it must stay
// flat.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "app/build.h"
#include "app/files.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "view/view.h"

namespace fs = std::filesystem;

static std::string kinase;      // the real structure
static std::string big;         // 99999 atoms

// Copies of the ATOM and HETATM lines of `source`, each copy moved 80 apart
// along x, renumbered from 1, until `count` atoms are written.
static void writeCopies(const std::string &source, const std::string &target, int count)
{
    FILE *out = fopen(target.c_str(), "w");
    int serial = 0;
    for (int copy = 0; serial < count; ++copy) {
        FILE *in = fopen(source.c_str(), "r");
        char line[256];
        while (serial < count && fgets(line, sizeof line, in)) {
            if (strncmp(line, "ATOM  ", 6) != 0 && strncmp(line, "HETATM", 6) != 0)
                continue;
            if (strlen(line) < 54)
                continue;
            char x[9] = {};
            memcpy(x, line + 30, 8);
            char moved[32];
            snprintf(moved, sizeof moved, "%8.3f", atof(x) + 80.0 * copy);
            memcpy(line + 30, moved, 8);
            char number[16];
            snprintf(number, sizeof number, "%5d", ++serial);
            memcpy(line + 6, number, 5);
            fputs(line, out);
        }
        fclose(in);
    }
    fputs("END\n", out);
    fclose(out);
}

// Discards stdout while the benchmark loads (the build messages).
static int quietConsole()
{
    fflush(stdout);
    int saved = dup(1);
    FILE *null = fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    fclose(null);
    return saved;
}

static void restoreConsole(int saved)
{
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
}

static void setRepresentation(int spheres, int cylinders, int autoselect)
{
    drawAtoms = spheres;
    drawAtomsAsLines = spheres ? 0 : 1;
    drawSpaceFilled = 0;
    drawBondsIn3D = cylinders;
    drawBondsAsLines = cylinders ? 0 : 1;
    drawMultipleBonds = 1;
    hideUnbondedAtoms = 0;
    changeLineWidthWithDistance = 1;
    changeInitialSettings = autoselect;
    disableSettingsForLargeMolecules = autoselect;
}

static void loadToReady(benchmark::State &state, const std::string &path, int spheres, int cylinders,
                        int autoselect)
{
    for (auto _ : state) {
        setRepresentation(spheres, cylinders, autoselect);
        int saved = quietConsole();
        auto start = std::chrono::steady_clock::now();
        loadChosenFile(path.c_str());
        int frames = 0;
        while (displayListDirty == 1 && frames < 100) {
            runFrame(sceneObjectList);
            ++frames;
        }
        auto end = std::chrono::steady_clock::now();
        restoreConsole(saved);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["atoms"] = atomCount;
    state.counters["peakRSS_MB"] = usage.ru_maxrss / 1024.0;
}

// Resident memory of the process now, in megabytes.
static double residentMB()
{
    long pages = 0, resident = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0.0;
    if (fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    fclose(statm);
    return (double)resident * (double)sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0);
}

static void runUntilRecorded()
{
    int frames = 0;
    while (displayListDirty == 1 && frames < 100) {
        runFrame(sceneObjectList);
        ++frames;
    }
    runFrame(sceneObjectList);
}

// 300 refreshes of the kinase with sticks, as a representation command
// makes them: the scene rebuilt and the display list recorded again. The
// first refreshes may still grow the library's reusable arrays; from the
// tenth on the resident memory must stay flat.
static void kinaseStickRefreshes(benchmark::State &state)
{
    constexpr int refreshes = 300;
    constexpr int settled = 10;
    double first = 0.0, tenth = 0.0, last = 0.0;
    for (auto _ : state) {
        setRepresentation(0, 1, 1);
        int saved = quietConsole();
        loadChosenFile(kinase.c_str());
        runUntilRecorded();
        auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= refreshes; ++i) {
            refreshStructure();
            runUntilRecorded();
            if (i == 1)
                first = residentMB();
            if (i == settled)
                tenth = residentMB();
        }
        last = residentMB();
        auto end = std::chrono::steady_clock::now();
        restoreConsole(saved);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count() / refreshes);
    }
    state.counters["rssAfterFirst_MB"] = first;
    state.counters["rssAfterTenth_MB"] = tenth;
    state.counters["rssAfterLast_MB"] = last;
    state.counters["growthPerRefresh_KB"] = (last - tenth) * 1024.0 / (refreshes - settled);
}

static void kinaseLines(benchmark::State &s) { loadToReady(s, kinase, 0, 0, 1); }
static void kinaseSpheres(benchmark::State &s) { loadToReady(s, kinase, 1, 0, 1); }
static void kinaseCylinders(benchmark::State &s) { loadToReady(s, kinase, 0, 1, 1); }
static void bigLines(benchmark::State &s) { loadToReady(s, big, 0, 0, 1); }
static void bigSpheres(benchmark::State &s) { loadToReady(s, big, 1, 0, 0); }
static void bigCylinders(benchmark::State &s) { loadToReady(s, big, 0, 1, 0); }
static void bigSpheresAndCylinders(benchmark::State &s) { loadToReady(s, big, 1, 1, 0); }

BENCHMARK(kinaseLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(kinaseSpheres)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(kinaseCylinders)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(bigLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(bigSpheres)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(bigCylinders)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(bigSpheresAndCylinders)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(kinaseStickRefreshes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    char pattern[] = "/tmp/molvane-appbench.XXXXXX";
    fs::path scratch = mkdtemp(pattern);
    fs::create_symlink(fs::path(MOLVANE_SOURCE_ROOT) / "Textures", scratch / "Textures");
    kinase = (scratch / "4jsv.pdb").string();
    fs::copy_file(fs::path(MOLVANE_TEST_DATA) / "4jsv.pdb", kinase);
    big = (scratch / "big.pdb").string();
    writeCopies(kinase, big, 99999);   // serials fit the five columns
    if (chdir(scratch.c_str()) != 0)
        return 2;
    static int qtArgc = 1;
    static char name[] = "app_bench";
    static char *qtArgv[] = {name, nullptr};
    int saved = quietConsole();
    vel_surfaceFormatDefaultSet();  // as the viewer's main does
    startUp(qtArgc, qtArgv);
    runFrame(sceneObjectList);
    restoreConsole(saved);
    benchmark::RunSpecifiedBenchmarks();
    fs::remove_all(scratch);
    fflush(stdout);
    _exit(0);
}
