// render_test.cpp - molvane-render run as a user runs it, with no X display:
// its console text against the inspector's, golden pictures of every
// representation and colouring, batches with bad, missing and unreadable
// files and unwritable outputs, and the command line's refusals.
//
// Golden pictures live in tests/app/golden/. After an intended change of the
// drawing (a new backend, new lighting), regenerate them with one command:
//   MOLVANE_UPDATE_GOLDEN=1 ctest --test-dir build -R RenderGolden
// and look at the new files before committing them. A failing comparison
// leaves the picture it got in build/tests/artifacts/render/.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "common/picturecompare.h"
#include "rendertest.h"

namespace fs = std::filesystem;

namespace rendertest {

std::string scratch;

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void spill(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string data(const char *name) { return std::string(MOLVANE_TEST_DATA) + "/" + name; }

// Runs a program in the scratch folder with stdout and stderr in files,
// killed after `seconds`.
Outcome run(const std::vector<std::string> &words, int seconds = 60)
{
    Outcome result;
    std::string outPath = scratch + "/.stdout", errPath = scratch + "/.stderr";
    pid_t child = fork();
    if (child == 0) {
        if (chdir(scratch.c_str()) != 0)
            _exit(127);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char *> argv;
        for (const std::string &w : words)
            argv.push_back(const_cast<char *>(w.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "timed out: " << words[0];
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1 && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

Outcome render(std::vector<std::string> arguments, int seconds)
{
    arguments.insert(arguments.begin(), MOLVANE_RENDER);
    return run(arguments, seconds);
}

Outcome inspect(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), MOLVANE_INSPECT);
    return run(arguments);
}

std::vector<unsigned char> readPixels(const std::string &path, uint32_t format, int *width, int *height)
{
    std::vector<unsigned char> pixels;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return pixels;
    image.format = format;
    pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        pixels.clear();
        return pixels;
    }
    *width = (int)image.width;
    *height = (int)image.height;
    return pixels;
}

Picture readPng(const std::string &path)
{
    Picture p;
    p.rgb = readPixels(path, PNG_FORMAT_RGB, &p.width, &p.height);
    return p;
}

int countLines(const std::string &text, const std::string &part)
{
    int n = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        n += line.find(part) != std::string::npos;
    return n;
}

const char *dataFiles[] = {"bpti.pdb", "1ubq.pdb", "1hpv.pdb", "1tii.pdb", "2jo4.pdb", "4jsv.pdb"};

} // namespace rendertest

using namespace rendertest;

//------------------------------------------------------------------------------
// Console text
//------------------------------------------------------------------------------
// One batch over every data file prints, file after file, exactly what the
// inspector prints for each with the same settings.
TEST(RenderConsole, EqualsInspectorOnEveryDataFile)
{
    const std::vector<std::vector<std::string>> settings = {{}, {"--accuracy", "better"}, {"--hide-unbonded"}};
    for (const auto &options : settings) {
        std::string expected;
        std::vector<std::string> arguments = options;
        for (const char *name : dataFiles) {
            std::vector<std::string> one = options;
            one.insert(one.begin(), data(name));
            Outcome inspected = inspect(one);
            ASSERT_EQ(inspected.status, 0) << inspected.err;
            expected += inspected.out;
            arguments.push_back(data(name));
        }
        fs::create_directories(scratch + "/console");
        arguments.insert(arguments.end(), {"-o", "console", "--size", "64x48"});
        Outcome rendered = render(arguments, 120);
        EXPECT_EQ(rendered.status, 0) << rendered.err;
        EXPECT_EQ(rendered.out, expected) << "options: " << (options.empty() ? "none" : options[0]);
        EXPECT_EQ(countLines(rendered.err, "] "), 6) << rendered.err;
    }
}

// 3D representations add the viewer's cylinder lines; nothing after the
// bond count is printed, and --quiet prints nothing at all.
TEST(RenderConsole, SticksCountCylindersAndQuietIsSilent)
{
    Outcome sticks = render({data("1ubq.pdb"), "--bonds", "sticks", "--atoms", "balls", "-o", "s.png", "--size", "64x48"});
    EXPECT_EQ(sticks.status, 0) << sticks.err;
    EXPECT_NE(sticks.out.find("(58 unbonded)\nGenerating bonds...\n"), std::string::npos) << sticks.out;
    size_t count = sticks.out.find(" bonds found\n");
    ASSERT_NE(count, std::string::npos);
    EXPECT_EQ(count + 13, sticks.out.size()) << "text after the bond count: " << sticks.out;
    EXPECT_EQ(sticks.out.find("Generating atoms"), std::string::npos);
    EXPECT_EQ(sticks.out.find("velkor"), std::string::npos);
    // A double bond is two cylinders, as the viewer counts them; drawn
    // single, every bond is one.
    EXPECT_NE(sticks.out.find("\n915 bonds found\n"), std::string::npos) << sticks.out;
    Outcome single = render({data("1ubq.pdb"), "--bonds", "sticks", "--single-bonds", "-o", "s.png", "--size", "64x48"});
    EXPECT_NE(single.out.find("\n608 bonds found\n"), std::string::npos) << single.out;

    Outcome quiet = render({data("1ubq.pdb"), "--quiet", "-o", "q.png", "--size", "64x48"});
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(readPng(scratch + "/q.png").width, 64);
}

//------------------------------------------------------------------------------
// Golden pictures
//------------------------------------------------------------------------------
struct Golden {
    const char *name, *file;
    std::vector<std::string> options;
};

void PrintTo(const Golden &g, std::ostream *os) { *os << g.name; }

class RenderGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(RenderGolden, MatchesWithinTolerance)
{
    const Golden &g = GetParam();
    std::string got = scratch + "/" + g.name + ".png";
    // today's picture: one sample, no depth cue, the viewer's first view
    std::vector<std::string> arguments = {data(g.file), "--size", "320x240", "-o", got, "--samples", "1", "--fog", "0",
                                          "--viewer-view"};
    arguments.insert(arguments.end(), g.options.begin(), g.options.end());
    Outcome r = render(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string golden = std::string(MOLVANE_GOLDEN) + "/" + g.name + ".png";
    if (std::getenv("MOLVANE_UPDATE_GOLDEN")) {
        fs::copy_file(got, golden, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "golden picture written: " << golden;
    }
    Picture expected = readPng(golden), actual = readPng(got);
    ASSERT_EQ(expected.width, 320) << "missing golden picture " << golden;
    ASSERT_EQ(actual.width, 320);
    ASSERT_EQ(actual.height, expected.height);
    int drawn = 0;
    double share = drawnDifference(expected, actual, &drawn);
    EXPECT_GT(drawn, 50) << "the golden picture shows almost nothing";
    if (share > 0.08) {
        fs::create_directories(MOLVANE_ARTIFACTS);
        fs::copy_file(got, std::string(MOLVANE_ARTIFACTS) + "/" + g.name + ".png",
                      fs::copy_options::overwrite_existing);
    }
    EXPECT_LE(share, 0.08) << g.name << ": " << share * 100 << "% of " << drawn << " drawn blocks differ";
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, RenderGolden,
    ::testing::Values(Golden{"lines_crosses", "1ubq.pdb", {}},
                      Golden{"balls", "1ubq.pdb", {"--atoms", "balls", "--detail", "medium"}},
                      Golden{"cpk", "1ubq.pdb", {"--atoms", "cpk"}},
                      Golden{"sticks", "1ubq.pdb", {"--atoms", "none", "--bonds", "sticks"}},
                      Golden{"balls_sticks_single", "1ubq.pdb", {"--atoms", "balls", "--bonds", "sticks", "--single-bonds"}},
                      Golden{"chain", "1hpv.pdb", {"--colour", "chain", "--fixed-line-width"}},
                      Golden{"residue_sticks", "1ubq.pdb", {"--colour", "residue", "--bonds", "sticks"}},
                      Golden{"conect", "1hpv.pdb", {"--highlight-conect", "--atoms", "none"}},
                      Golden{"turned_white", "1ubq.pdb",
                             {"--atoms", "balls", "--bonds", "sticks", "--turn", "90,30", "--zoom", "1.6",
                              "--background", "white"}}),
    [](const ::testing::TestParamInfo<Golden> &info) { return std::string(info.param.name); });

// The view options change the picture, and the background colour is the
// colour of the corners.
TEST(RenderView, TurnZoomAndBackgroundChangeThePicture)
{
    ASSERT_EQ(render({data("1ubq.pdb"), "--size", "160x120", "-o", "plain.png"}).status, 0);
    ASSERT_EQ(render({data("1ubq.pdb"), "--size", "160x120", "-o", "turned.png", "--turn", "0,90"}).status, 0);
    ASSERT_EQ(render({data("1ubq.pdb"), "--size", "160x120", "-o", "near.png", "--zoom", "3"}).status, 0);
    ASSERT_EQ(render({data("1ubq.pdb"), "--size", "160x120", "-o", "blue.png", "--background", "#2040ff"}).status, 0);
    Picture plain = readPng(scratch + "/plain.png"), turned = readPng(scratch + "/turned.png"),
            nearer = readPng(scratch + "/near.png"), blue = readPng(scratch + "/blue.png");
    ASSERT_EQ(plain.width, 160);
    ASSERT_EQ(plain.height, 120);
    int drawn = 0;
    EXPECT_GT(drawnDifference(plain, turned, &drawn), 0.3);
    // Three times as close, the structure fills far more of the picture.
    auto lit = [](const Picture &p) {
        int n = 0;
        for (size_t i = 0; i < p.rgb.size(); i += 3)
            n += p.rgb[i] + p.rgb[i + 1] + p.rgb[i + 2] > 60;
        return n;
    };
    EXPECT_GT(lit(nearer), 2 * lit(plain));
    EXPECT_EQ(blue.rgb[0], 0x20);
    EXPECT_EQ(blue.rgb[1], 0x40);
    EXPECT_EQ(blue.rgb[2], 0xff);
}

// A gzip-compressed copy draws the same picture, named after the structure.
TEST(RenderView, CompressedFileDrawsTheSamePicture)
{
    ASSERT_EQ(std::system(("gzip -c '" + data("1ubq.pdb") + "' > '" + scratch + "/copy.pdb.gz'").c_str()), 0);
    ASSERT_EQ(render({data("1ubq.pdb"), "--size", "160x120", "-o", "fromplain.png"}).status, 0);
    ASSERT_EQ(render({"copy.pdb.gz", "--size", "160x120"}).status, 0);
    Picture plain = readPng(scratch + "/fromplain.png"), compressed = readPng(scratch + "/copy.png");
    EXPECT_EQ(plain.rgb, compressed.rgb);
}

//------------------------------------------------------------------------------
// Batches and failures
//------------------------------------------------------------------------------
// A bad file, a missing file, a folder and a FIFO each get one line naming
// them; the good files are still drawn; the status is 1.
TEST(RenderBatch, BadMissingAndUnreadableFilesDoNotStopTheOthers)
{
    fs::create_directories(scratch + "/batch");
    spill(scratch + "/garbage.pdb", "this is not\na PDB file\n");
    fs::create_directories(scratch + "/folder.pdb");
    mkfifo((scratch + "/pipe.pdb").c_str(), 0644);
    Outcome r = render({data("bpti.pdb"), "garbage.pdb", "missing.pdb", "folder.pdb", "pipe.pdb", data("1ubq.pdb"),
                    "-o", "batch", "--size", "80x60"},
                   60);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(countLines(r.err, "molvane-render: "), 4) << r.err;
    EXPECT_EQ(countLines(r.err, "garbage.pdb"), 2) << r.err;  // progress and the failure
    EXPECT_EQ(countLines(r.err, "missing.pdb"), 2) << r.err;
    EXPECT_EQ(countLines(r.err, "folder.pdb"), 2) << r.err;
    EXPECT_EQ(countLines(r.err, "pipe.pdb"), 2) << r.err;
    EXPECT_NE(r.err.find("[1/6] "), std::string::npos);
    EXPECT_NE(r.err.find("[6/6] "), std::string::npos);
    EXPECT_EQ(readPng(scratch + "/batch/bpti.png").width, 80);
    EXPECT_EQ(readPng(scratch + "/batch/1ubq.png").width, 80);
    EXPECT_FALSE(fs::exists(scratch + "/batch/garbage.png"));
    EXPECT_FALSE(fs::exists(scratch + "/batch/missing.png"));
    // The bad file's read still tells its story, as the viewer's would.
    EXPECT_NE(r.out.find("\nERROR - invalid PDB file...\n\n"), std::string::npos) << r.out;
}

// An output that cannot be written is an error, never a silent skip; two
// inputs of the same name would write one picture twice.
TEST(RenderBatch, UnwritableOutputAndRepeatedNames)
{
    spill(scratch + "/plainfile", "x");
    Outcome one = render({data("1ubq.pdb"), "-o", "plainfile/ubq.png", "--size", "40x30"});
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(countLines(one.err, "cannot write plainfile/ubq.png"), 1) << one.err;

    Outcome notFolder = render({data("1ubq.pdb"), data("bpti.pdb"), "-o", "plainfile", "--size", "40x30"});
    EXPECT_EQ(notFolder.status, 2);
    EXPECT_NE(notFolder.err.find("usage: molvane-render"), std::string::npos);

    fs::create_directories(scratch + "/a");
    fs::create_directories(scratch + "/b");
    fs::create_directories(scratch + "/same");
    fs::copy_file(data("bpti.pdb"), scratch + "/a/x.pdb", fs::copy_options::overwrite_existing);
    fs::copy_file(data("1ubq.pdb"), scratch + "/b/x.pdb", fs::copy_options::overwrite_existing);
    Outcome twice = render({"a/x.pdb", "b/x.pdb", "-o", "same", "--size", "40x30"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(countLines(twice.err, "b/x.pdb: its picture"), 1) << twice.err;
    EXPECT_TRUE(fs::exists(scratch + "/same/x.png"));

    // The default output: the input's name with .png, in the working folder.
    Outcome plain = render({data("bpti.pdb"), "--size", "40x30"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(readPng(scratch + "/bpti.png").height, 30);
}

// Every picture is written to a new file and renamed over its name: a FIFO,
// device or folder at the name is refused at once (no hang, nothing
// removed), a link is replaced and never written through, an input is never
// an output, and a writer killed half-way leaves the old picture whole.
TEST(RenderBatch, OutputsCannotHurtWhatStandsAtTheirNames)
{
    fs::create_directories(scratch + "/out");
    fs::copy_file(data("bpti.pdb"), scratch + "/out/bpti.pdb", fs::copy_options::overwrite_existing);
    mkfifo((scratch + "/out/fifo.png").c_str(), 0644);
    fs::create_directories(scratch + "/out/bpti.png");
    spill(scratch + "/notes", "someone's notes\n");
    fs::create_symlink(scratch + "/notes", scratch + "/out/link.png");
    bool root = geteuid() == 0;
    if (root)
        mknod((scratch + "/out/full.png").c_str(), S_IFCHR | 0600, makedev(1, 7));
    const struct {
        std::string output, error;
        bool applies;
    } cases[] = {
        {"out/fifo.png", "cannot write out/fifo.png: not a regular file (a FIFO, device or socket)", true},
        {"out/full.png", "cannot write out/full.png: not a regular file (a FIFO, device or socket)", root},
        {"out", "cannot write out/bpti.png: a directory, not a file", true},
        {"out/bpti.pdb", "cannot write out/bpti.pdb: it is one of the inputs", true},
        {"out/link.png", "", true},
    };
    for (const auto &c : cases) {
        if (!c.applies)
            continue;
        Outcome r = render({"out/bpti.pdb", "-o", c.output, "--size", "40x30"}, 20);
        EXPECT_EQ(r.status, c.error.empty() ? 0 : 1) << c.output << r.err;
        if (!c.error.empty()) {
            EXPECT_EQ(r.err, "molvane-render: " + c.error + "\n") << c.output;
            EXPECT_EQ(r.out, "") << c.output << ": refused only after drawing";
        }
    }
    struct stat info;
    EXPECT_TRUE(stat((scratch + "/out/fifo.png").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_TRUE(!root || (stat((scratch + "/out/full.png").c_str(), &info) == 0 && S_ISCHR(info.st_mode)));
    EXPECT_EQ(slurp(scratch + "/out/bpti.pdb"), slurp(data("bpti.pdb")));
    EXPECT_EQ(slurp(scratch + "/notes"), "someone's notes\n");
    EXPECT_EQ(readPng(scratch + "/out/link.png").width, 40);
    EXPECT_FALSE(fs::is_symlink(scratch + "/out/link.png"));

    // Killed by the file-size limit while writing its picture: the old one
    // stays whole; only the new file, under its own name, is cut.
    std::string old = slurp(scratch + "/out/link.png");
    Outcome killed = run({"/bin/sh", "-c", "ulimit -f 1; exec env MESA_SHADER_CACHE_DISABLE=true " +
                                               std::string(MOLVANE_RENDER) +
                                               " out/bpti.pdb -o out/link.png --size 400x300 --atoms cpk"});
    EXPECT_NE(killed.status, 0);
    EXPECT_EQ(slurp(scratch + "/out/link.png"), old);
    int leftovers = 0;
    for (const auto &entry : fs::directory_iterator(scratch + "/out"))
        leftovers += entry.path().filename().string().rfind(".link.png.", 0) == 0;
    EXPECT_EQ(leftovers, 1) << "the writer was not stopped half-way";
}

// Control characters in a file name or a HEADER never reach the terminal;
// console text that cannot be written is a failure, as in the inspector.
TEST(RenderConsole, ControlCharactersAndUnwritableConsole)
{
    std::string name = "esc\x1b]0;PWNED\x07.pdb";
    spill(scratch + "/" + name, "HEADER    \x1b[2J TITLE\n" + slurp(data("bpti.pdb")));
    Outcome r = render({name, "missing\x1b[2J.pdb", "--size", "40x30", "-o", "."});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Protein ?[2J TITLE"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("cannot read missing?[2J.pdb"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(scratch + "/esc\x1b]0;PWNED\x07.png"));

    Outcome full = run({"/bin/sh", "-c", std::string(MOLVANE_RENDER) + " " + data("bpti.pdb") +
                                             " --size 40x30 -o full.png > /dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("molvane-render: cannot write the output:"), std::string::npos) << full.err;
}

// A texture whose header lies is not usable and takes the road of a missing
// one; one of another size is used, with one warning naming it.
TEST(RenderConsole, BadTexturesAreReportedOnce)
{
    fs::copy(std::string(MOLVANE_SOURCE_ROOT) + "/Textures", scratch + "/Textures");
    spill(scratch + "/Textures/lightgreyred.ppm", std::string("P6 1 1 255\n\xff\x00\x00", 14));
    spill(scratch + "/Textures/lightgreywhite.ppm", "P6 16384 16384 255\n" + std::string(100, 'x'));
    Outcome r = render({data("bpti.pdb"), "--bonds", "sticks", "--size", "40x30", "-o", "t.png"});
    fs::remove_all(scratch + "/Textures");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLines(r.err, "WARNING - texture Textures/lightgreyred.ppm is 1 x 1 pixels, not 8 x 64"), 1)
        << r.err;
    EXPECT_EQ(countLines(r.err, "lightgreywhite.ppm\" not usable (PPM image larger than 4096 x 4096)"), 1) << r.err;
    EXPECT_EQ(countLines(r.err, "texture"), 2) << r.err;
}

// A large structure switches to the light settings as in the viewer, unless
// --no-autoselect; the switch never carries over to the next file.
TEST(RenderBatch, LargeStructureSwitchIsPerFile)
{
    std::string big = scratch + "/big.pdb";
    FILE *out = std::fopen(big.c_str(), "w");
    for (int i = 0; i < 30001; ++i)
        std::fprintf(out, "ATOM  %5d  C   ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n", i + 1,
                     (i / 10) % 10000, (float)(i % 100) * 1.54f, (float)((i / 100) % 50) * 4.0f,
                     (float)(i / 5000) * 4.0f);
    std::fclose(out);
    fs::create_directories(scratch + "/large");
    Outcome r = render({"big.pdb", data("1ubq.pdb"), "--atoms", "balls", "-o", "large", "--size", "120x90"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLines(r.out, "Changing initial settings..."), 1) << r.out;
    Outcome alone = render({data("1ubq.pdb"), "--atoms", "balls", "-o", "alone.png", "--size", "120x90"});
    Picture inBatch = readPng(scratch + "/large/1ubq.png"), single = readPng(scratch + "/alone.png");
    ASSERT_EQ(inBatch.width, 120);
    EXPECT_EQ(inBatch.rgb, single.rgb) << "the light settings leaked into the next file";

    Outcome kept = render({"big.pdb", "--no-autoselect", "--quiet", "-o", "kept.png", "--size", "40x30"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    Outcome told = render({"big.pdb", "--no-autoselect", "-o", "kept.png", "--size", "40x30"});
    EXPECT_EQ(countLines(told.out, "Changing initial settings..."), 0) << told.out;
}

//------------------------------------------------------------------------------
// The command line
//------------------------------------------------------------------------------
// What the menus never allow together is refused with the usage text and
// status 2, before anything is drawn; so are bad values.
TEST(RenderCommandLine, ExclusiveOptionsAndBadValuesAreRefused)
{
    const std::vector<std::vector<std::string>> refused = {
        {"--atoms", "cpk", "--colour", "chain"},
        {"--atoms", "cpk", "--bonds", "sticks"},
        {"--atoms", "cpk", "--single-bonds"},
        {"--atoms", "cpk", "--highlight-conect"},
        {"--colour", "residue", "--atoms", "balls"},
        {"--colour", "chain", "--highlight-conect"},
        {"--colour", "chain", "--hide-unbonded"},
        {"--highlight-conect", "--bonds", "none"},
        {"--fixed-line-width", "--atoms", "balls", "--bonds", "sticks"},
        {"--detail", "high"},
        {"--atoms", "none", "--bonds", "none"},
        {"--atoms", "spheres"},
        {"--size", "100"},
        {"--size", "0x10"},
        {"--zoom", "-1"},
        {"--turn", "30"},
        {"--background", "#12345"},
        {"--accuracy"},
        {"--frobnicate"},
        {"--quiet=yes"},
        {"-o", "x.png", "-o", "y.png"},
        {"--size", "100000x10"},
        {"--turn", "1e308,0"},      // finite as a double, not as the float drawn with
        {"--zoom", "1e39"},
        {"--zoom", "1e-30"},        // the eye far beyond the far plane for any structure
        {"--samples", "0"},
        {"--samples", "17"},
        {"--samples", "2.5"},
        {"--fog", "1.5"},
        {"--tile", "8"},
        {"--background", "transparent"},
        {"--ao=yes"},
        {"--size", "20001x10"},     // beyond the largest picture, even in tiles
    };
    for (const auto &options : refused) {
        std::vector<std::string> arguments = {data("bpti.pdb")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        Outcome r = render(arguments);
        std::string shown;
        for (const std::string &o : options)
            shown += o + " ";
        EXPECT_EQ(r.status, 2) << shown << r.err;
        EXPECT_NE(r.err.find("usage: molvane-render"), std::string::npos) << shown;
        EXPECT_EQ(r.out, "") << shown;
    }
    EXPECT_FALSE(fs::exists(scratch + "/bpti.png"));
    EXPECT_EQ(render({}).status, 2);
    // An unknown option is named as given, not by the word after it.
    EXPECT_EQ(countLines(render({data("bpti.pdb"), "--frobnicate", "x"}).err, "unknown option --frobnicate"), 1);

    // A zoom that puts this structure's eye beyond the far plane.
    Outcome far = render({data("bpti.pdb"), "--zoom", "0.001", "-o", "far.png"});
    EXPECT_EQ(far.status, 2) << far.err;
    EXPECT_EQ(countLines(far.err, "beyond the far plane"), 1) << far.err;
    EXPECT_FALSE(fs::exists(scratch + "/far.png"));

    // Allowed together: --detail once 3D shapes are drawn, inline values.
    Outcome good = render({data("bpti.pdb"), "--bonds=sticks", "--detail=high", "--size=40x30", "-o", "ok.png"});
    EXPECT_EQ(good.status, 0) << good.err;
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // No X server: the renderer must not need one.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    char pattern[] = "/tmp/molvane-rendertest.XXXXXX";
    scratch = mkdtemp(pattern);
    int result = RUN_ALL_TESTS();
    fs::remove_all(scratch);
    return result;
}
