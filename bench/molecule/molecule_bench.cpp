// molecule_bench.cpp - times readStructureFile + perceiveBonds on a 99999-atom
// structure made from copies of 4jsv (translated apart, serials renumbered,
// written once to a temporary file) and on 4jsv itself, at Good and Best,
// and wc -l on the generated file as the floor. Before timing, the fast
// perception is checked once against the plain rule on the generated file.
#include "testsupport.h"

#include "app/settings.h"
#include "molecule/molecule.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

static std::string bigFile;     // the generated structure
static std::string smallFile;   // 4jsv

static void writeBigFile()
{
    std::ifstream in(std::string(MOLVANE_TEST_DATA) + "/4jsv.pdb");
    std::vector<std::string> atomLines;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0)
            atomLines.push_back(line);
    char path[] = "/tmp/molvane-bench-XXXXXX.pdb";
    int fd = mkstemps(path, 4);
    FILE *out = fdopen(fd, "w");
    int serial = 1;
    for (int copy = 0; serial <= 99999; copy++) {
        for (const std::string &source : atomLines) {
            if (serial > 99999)
                break;
            std::string text = source;
            char field[16];
            std::snprintf(field, sizeof field, "%5d", serial++);
            text.replace(6, 5, field);
            double x = std::atof(text.substr(30, 8).c_str()) + 170.0 * copy;
            std::snprintf(field, sizeof field, "%8.3f", x);
            text.replace(30, 8, field);
            std::fprintf(out, "%s\n", text.c_str());
        }
    }
    std::fprintf(out, "END\n");
    std::fclose(out);
    bigFile = path;
    smallFile = std::string(MOLVANE_TEST_DATA) + "/4jsv.pdb";
}

// The console text of the reader goes to /dev/null while timing.
struct Quiet {
    int saved;
    Quiet()
    {
        std::fflush(stdout);
        saved = dup(1);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        close(devNull);
    }
    ~Quiet()
    {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }
};

static void readAndPerceive(const std::string &path)
{
    FILE *pdbFile = std::fopen(path.c_str(), "r");
    atomCount = readStructureFile(pdbFile);
    perceiveBonds();
    std::fclose(pdbFile);
}

static void BM_ReadAndPerceive(benchmark::State &state, const std::string *path, int accuracy)
{
    bondAccuracy = accuracy;
    Quiet quiet;
    for (auto _ : state) {
        readAndPerceive(*path);
        benchmark::DoNotOptimize(nextBondIndex);
    }
    state.counters["atoms"] = atomCount;
    state.counters["bonds"] = nextBondIndex - 1;
    bondAccuracy = bondAccuracyGood;
}

static void BM_ReadOnly(benchmark::State &state, const std::string *path)
{
    Quiet quiet;
    for (auto _ : state) {
        FILE *pdbFile = std::fopen(path->c_str(), "r");
        atomCount = readStructureFile(pdbFile);
        std::fclose(pdbFile);
        benchmark::DoNotOptimize(atomCount);
    }
}

static void BM_WcL(benchmark::State &state)
{
    std::string command = "wc -l " + bigFile + " > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("wc -l failed");
}

// Once: the fast perception against the plain rule on the generated file.
static bool matchesPlainRule(int accuracy)
{
    Quiet quiet;
    bondAccuracy = accuracy;
    FILE *pdbFile = std::fopen(bigFile.c_str(), "r");
    atomCount = readStructureFile(pdbFile);
    std::fclose(pdbFile);
    plainPerceiveBonds();
    std::vector<BondRecord> plain(bonds, bonds + nextBondIndex);
    readAndPerceive(bigFile);
    bondAccuracy = bondAccuracyGood;
    return plain.size() == (size_t)nextBondIndex &&
           std::memcmp(plain.data(), bonds, plain.size() * sizeof(BondRecord)) == 0;
}

int main(int argc, char **argv)
{
    writeBigFile();
    std::printf("generated %s (99999 atoms)\n", bigFile.c_str());
    std::printf("plain rule check: Good %s, Best %s\n", matchesPlainRule(bondAccuracyGood) ? "equal" : "DIFFERENT",
                matchesPlainRule(bondAccuracyBest) ? "equal" : "DIFFERENT");
    benchmark::RegisterBenchmark("ReadAndPerceive/99999atoms/Good", BM_ReadAndPerceive, &bigFile, bondAccuracyGood)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadOnly/99999atoms", BM_ReadOnly, &bigFile)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadAndPerceive/99999atoms/Best", BM_ReadAndPerceive, &bigFile, bondAccuracyBest)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadAndPerceive/4jsv/Good", BM_ReadAndPerceive, &smallFile, bondAccuracyGood)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadAndPerceive/4jsv/Best", BM_ReadAndPerceive, &smallFile, bondAccuracyBest)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("WcL/99999atoms (floor)", BM_WcL)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(bigFile.c_str());
    return 0;
}
