// summary_test.cpp - molvane-inspect run as a program on every data file:
// its console text and JSON against checked golden files, the JSON's shape,
// and its answers to bad arguments.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct Outcome {
    std::string out;
    int status;
};

Outcome run(const std::string &arguments)
{
    // A hang ends after 20 s as a failure of its own (status 124).
    std::string command = "timeout 20 '" + std::string(MOLVANE_INSPECT) + "' " + arguments + " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    Outcome result{"", -1};
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string golden(const std::string &name)
{
    std::ifstream in(std::string(MOLVANE_GOLDEN) + "/" + name, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Runs the inspector with standard output on `out` (closed when -1) and
// standard error into `err`; returns the exit status, 128 + signal when a
// signal ended it, or -2 when it had not ended after 20 s (then killed).
int spawnInspect(const std::vector<std::string> &arguments, int out, std::string &err)
{
    char errPath[] = "/tmp/molvane-inspect-err-XXXXXX";
    int errFd = mkstemp(errPath);
    if (errFd < 0)
        return -3;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addclose(&actions, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    std::vector<char *> argv{const_cast<char *>(MOLVANE_INSPECT)};
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, MOLVANE_INSPECT, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int result = -3;
    if (spawned == 0) {
        int status = 0;
        int waited = 0;
        for (int tick = 0; tick < 2000 && (waited = waitpid(pid, &status, WNOHANG)) == 0; tick++)
            usleep(10000);
        if (waited == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result = -2;
        } else {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    close(errFd);
    std::ifstream in(errPath, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    err = all.str();
    std::remove(errPath);
    return result;
}

const char *const dataFiles[] = {"1hpv", "1tii", "1ubq", "2jo4", "4jsv", "bpti"};
}

// The text from the title to the bond count, as the viewer prints it.
TEST(Inspector, TextMatchesGolden)
{
    for (const char *name : dataFiles) {
        Outcome r = run(std::string(MOLVANE_TEST_DATA) + "/" + name + ".pdb");
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out, golden(std::string(name) + ".txt")) << name;
        EXPECT_EQ(r.out.find("PDB File Found"), std::string::npos);
    }
}

// One JSON object per file, nothing of the console text mixed in.
TEST(Inspector, JsonMatchesGoldenAtEveryAccuracy)
{
    for (const char *name : dataFiles) {
        for (const char *accuracy : {"good", "better", "best"}) {
            Outcome r = run(std::string("--json --accuracy ") + accuracy + " " + MOLVANE_TEST_DATA + "/" + name + ".pdb");
            EXPECT_EQ(r.status, 0);
            std::string key = std::string(name) + "-" + accuracy + ".json";
            EXPECT_EQ(r.out, golden(key)) << key;
            ASSERT_GE(r.out.size(), 2u);
            EXPECT_EQ(r.out.front(), '{');
            EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
            for (const char *field : {"\"atomCount\":", "\"storedAtoms\":", "\"nextBondIndex\":",
                                      "\"bondsByOrder\":{\"1\":", "\"conectBonds\":", "\"unbondedCount\":",
                                      "\"halfExtents\":[", "\"chains\":\"", "\"bondDigest\":\""})
                EXPECT_NE(r.out.find(field), std::string::npos) << key << " " << field;
        }
    }
}

// A compressed copy gives the golden text and JSON; a file on which the
// viewer prints an error ends with status 1, its text still printed.
TEST(Inspector, CompressedFilesAndErrorStatus)
{
    char folder[] = "/tmp/molvane-inspect-gz-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string gz = std::string(folder) + "/1hpv.pdb.gz", bad = std::string(folder) + "/bad.cif",
                      empty = std::string(folder) + "/empty.pdb";
    ASSERT_EQ(std::system(("gzip -c '" + std::string(MOLVANE_TEST_DATA) + "/1hpv.pdb' > '" + gz + "'").c_str()), 0);
    std::ofstream(bad) << "data_bad\nloop_\n_atom_site.id\n_atom_site.Cartn_x\n1\n";
    std::ofstream(empty) << "REMARK no atoms\n";
    Outcome text = run("'" + gz + "'"), json = run("--json '" + gz + "'"), invalid = run("'" + bad + "'");
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, golden("1hpv.txt"));
    EXPECT_EQ(json.out, golden("1hpv-good.json"));
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.out.find("\nERROR - invalid mmCIF file..."), std::string::npos) << invalid.out;
    EXPECT_EQ(run("'" + empty + "'").status, 1) << "no atoms: \"invalid PDB file\"";
    for (const std::string &file : {gz, bad, empty})
        std::remove(file.c_str());
    rmdir(folder);
}

// Hiding unbonded atoms removes them before counting.
TEST(Inspector, HideUnbonded)
{
    Outcome r = run(std::string("--hide-unbonded ") + MOLVANE_TEST_DATA + "/1ubq.pdb");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Protein CHROMOSOMAL PROTEIN                     \n661 atoms found (0 unbonded)\n608 bonds found\n");
}

// Chain identifiers of any byte come out as valid, escaped JSON.
TEST(Inspector, OddChainBytesEscaped)
{
    char path[] = "/tmp/molvane-chains-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE *out = fdopen(fd, "w");
    const char chains[] = {'"', '\\', '\x01', '\xE9', 'A'};
    for (int k = 0; k < 5; k++)
        std::fprintf(out, "ATOM  %5d  O   HOH %c%4d    %8.3f%8.3f%8.3f\n", k + 1, chains[k], k + 1, 4.0 * k, 0.0, 0.0);
    std::fclose(out);
    Outcome r = run(std::string("--json ") + path);
    std::remove(path);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"chains\":\"\\\"\\\\\\u0001\\u00e9A\""), std::string::npos) << r.out;
}

// Run as "summary_test_german" with LC_ALL=de_DE.UTF-8, the golden files
// above show that the inspector keeps the "." of its numbers; that proves
// something only when the locale is installed.
TEST(Inspector, LocaleOfTheEnvironmentIsInstalled)
{
    const char *all = std::getenv("LC_ALL");
    if (all == nullptr || all[0] == '\0')
        GTEST_SKIP() << "LC_ALL not set";
    EXPECT_NE(std::setlocale(LC_ALL, ""), nullptr) << "locale " << all << " is not installed (localedef)";
    std::setlocale(LC_ALL, "C");
}

TEST(Inspector, BadArguments)
{
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("--accuracy").status, 2);
    EXPECT_EQ(run(std::string("--accuracy worst ") + MOLVANE_TEST_DATA + "/1ubq.pdb").status, 2);
    EXPECT_EQ(run("--frobnicate x.pdb").status, 2);
    EXPECT_EQ(run("a.pdb b.pdb").status, 2);
    Outcome missing = run("/nonexistent/file.pdb");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(run(MOLVANE_TEST_DATA).status, 1);
}

// Only regular files are read: a FIFO and endless devices are refused at
// once with a clear message; a symbolic link to a file is read as the file.
TEST(Inspector, RefusesFifosAndDevices)
{
    char folder[] = "/tmp/molvane-inspect-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/fifo.pdb";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int devNull = open("/dev/null", O_WRONLY);
    for (const std::string &path : {fifo, std::string("/dev/zero"), std::string("/dev/urandom")}) {
        std::string err;
        EXPECT_EQ(spawnInspect({path}, devNull, err), 1) << path;
        EXPECT_EQ(spawnInspect({"--json", path}, devNull, err), 1) << path;
        EXPECT_EQ(err, "molvane-inspect: cannot open " + path + ": not a regular file (a FIFO, device or socket)\n");
    }
    close(devNull);
    const std::string link = std::string(folder) + "/link.pdb";
    ASSERT_EQ(symlink(MOLVANE_TEST_DATA "/1ubq.pdb", link.c_str()), 0);
    Outcome linked = run(link);
    EXPECT_EQ(linked.status, 0);
    EXPECT_EQ(linked.out, golden("1ubq.txt"));
    std::remove(link.c_str());
    std::remove(fifo.c_str());
    rmdir(folder);
}

// Output that cannot be written is a failure with a message, never success:
// a full device, a closed standard output, a pipe without a reader.
TEST(Inspector, FailedWritesAreErrors)
{
    const std::string pdb = MOLVANE_TEST_DATA "/1ubq.pdb";
    int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    std::string err;
    EXPECT_EQ(spawnInspect({pdb}, full, err), 1);
    EXPECT_EQ(err, "molvane-inspect: cannot write the output: No space left on device\n");
    EXPECT_EQ(spawnInspect({"--json", pdb}, full, err), 1);
    EXPECT_EQ(err, "molvane-inspect: cannot write the output: No space left on device\n");
    close(full);

    EXPECT_EQ(spawnInspect({pdb}, -1, err), 1);
    EXPECT_EQ(err, "molvane-inspect: standard output is closed\n");

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(spawnInspect({pdb}, ends[1], err), 1);
    EXPECT_EQ(err, "molvane-inspect: cannot write the output: Broken pipe\n");
    close(ends[1]);

    // The same run written to a file succeeds and says nothing on error.
    int devNull = open("/dev/null", O_WRONLY);
    EXPECT_EQ(spawnInspect({pdb}, devNull, err), 0);
    EXPECT_EQ(err, "");
    close(devNull);
}
