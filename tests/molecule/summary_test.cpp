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
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct Outcome {
    std::string out;
    int status;
};

Outcome run(const std::string &arguments)
{
    std::string command = "'" + std::string(MOLVANE_INSPECT) + "' " + arguments + " 2>/dev/null";
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
