// format_timing.cpp - the whole molvane-inspect process on one 99030-atom
// structure as PDB, as mmCIF and as .cif.gz (made from copies of 4jsv moved
// apart and renumbered, the mmCIF by the tests' converter), best of several
// runs taken in turn; and, where python3-gemmi is installed, what that field
// library takes to read the same three files, for comparison.
//
//     build/bench/molecule/format_timing build/src/tools/molvane-inspect [RUNS]
#include "cifwriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static constexpr int structureAtoms = 99030;

static std::string copiesOf4jsv()
{
    std::ifstream in(std::string(MOLVANE_TEST_DATA) + "/4jsv.pdb");
    std::vector<std::string> atomLines;
    std::string line;
    while (std::getline(in, line))
        if ((line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0) && line.size() >= 54)
            atomLines.push_back(line);
    std::string text = "HEADER    BENCHMARK STRUCTURE                     01-JAN-00   XXXX\n";
    int serial = 0;
    for (int copy = 0; serial < structureAtoms; copy++) {
        for (const std::string &source : atomLines) {
            if (serial >= structureAtoms)
                break;
            std::string atom = source;
            char field[16];
            std::snprintf(field, sizeof field, "%5d", ++serial);
            atom.replace(6, 5, field);
            std::snprintf(field, sizeof field, "%8.3f", std::atof(atom.substr(30, 8).c_str()) + 80.0 * copy);
            atom.replace(30, 8, field);
            text += atom + "\n";
        }
    }
    return text + "END\n";
}

static void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Milliseconds of one run of the command, its output thrown away.
static double timeRun(const std::vector<std::string> &command)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(127);
        std::vector<char *> argv;
        for (const std::string &word : command)
            argv.push_back(const_cast<char *>(word.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "format_timing: %s failed\n", command.back().c_str());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: format_timing MOLVANE-INSPECT [RUNS]\n");
        return 2;
    }
    int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    char folder[] = "/tmp/molvane-inspect-timing-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::string pdb = copiesOf4jsv(), cif = pdbToMmcif(pdb);
    const std::string base = std::string(folder) + "/big";
    const std::vector<std::string> files = {base + ".pdb", base + ".cif", base + ".cif.gz"};
    writeFile(files[0], pdb);
    writeFile(files[1], cif);
    writeFile(files[2], gzipText(cif));

    std::vector<std::vector<double>> times(files.size());
    for (int run = 0; run < runs; run++)
        for (size_t f = 0; f < files.size(); f++)
            times[f].push_back(timeRun({argv[1], files[f]}));
    std::printf("molvane-inspect, %d atoms, best of %d runs taken in turn:\n", structureAtoms, runs);
    double pdbBest = *std::min_element(times[0].begin(), times[0].end());
    for (size_t f = 0; f < files.size(); f++) {
        std::sort(times[f].begin(), times[f].end());
        std::printf("  %-8s best %7.1f ms  median %7.1f ms  %.2fx the PDB file\n",
                    files[f].substr(base.size()).c_str(), times[f][0], times[f][times[f].size() / 2],
                    times[f][0] / pdbBest);
    }

    // The field library's read of the same files, inside one Python process.
    std::string script = std::string(folder) + "/gemmi_read.py";
    writeFile(script, "import sys, time\ntry:\n    import gemmi\nexcept ImportError:\n    sys.exit(3)\n"
                      "for path in sys.argv[1:]:\n    best = 1e9\n    for run in range(" + std::to_string(runs) +
                      "):\n        t = time.perf_counter()\n        gemmi.read_structure(path)\n"
                      "        best = min(best, time.perf_counter() - t)\n"
                      "    print('  %-8s best %7.1f ms' % (path[path.rindex('/big') + 4:], best * 1000))\n");
    std::fflush(stdout);
    std::string command = "/usr/bin/python3 " + script + " " + files[0] + " " + files[1] + " " + files[2];
    std::printf("gemmi.read_structure (python3-gemmi), in one process:\n");
    std::fflush(stdout);
    int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("  (python3-gemmi is not installed)\n");
    for (const std::string &f : files)
        std::remove(f.c_str());
    std::remove(script.c_str());
    rmdir(folder);
    return 0;
}
