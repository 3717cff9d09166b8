// userfile_test.cpp - the one opener of files the user names: regular files
// and links to them open, everything else is refused at once and untouched.
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {
class UserFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/molvane-userfile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string at(const char *name) const { return dir + "/" + name; }
    std::string dir;
};

std::string contents(FILE *file)
{
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}
}

// Regular files and links to them open as blocking streams; the rest is
// refused with its reason, and a FIFO without a writer does not block.
TEST_F(UserFile, OnlyRegularFilesOpenForReading)
{
    FILE *out = std::fopen(at("a.pdb").c_str(), "w");
    std::fputs("HEADER\n", out);
    std::fclose(out);
    ASSERT_EQ(symlink(at("a.pdb").c_str(), at("link.pdb").c_str()), 0);
    for (const char *name : {"a.pdb", "link.pdb"}) {
        const char *reason = "unset";
        FILE *file = openUserFile(at(name).c_str(), "r", &reason);
        ASSERT_NE(file, nullptr) << name;
        EXPECT_EQ(reason, nullptr);
        EXPECT_EQ(fcntl(fileno(file), F_GETFL) & O_NONBLOCK, 0) << "the stream blocks again";
        EXPECT_EQ(contents(file), "HEADER\n");
        std::fclose(file);
    }

    ASSERT_EQ(mkfifo(at("fifo.pdb").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", at("zero.pdb").c_str()), 0);
    ASSERT_EQ(mkdir(at("folder.pdb").c_str(), 0700), 0);
    const char *const refused[] = {"fifo.pdb", "zero.pdb", "folder.pdb", "missing.pdb"};
    const char *const reasons[] = {"not a regular file (a FIFO, device or socket)",
                                   "not a regular file (a FIFO, device or socket)",
                                   "a directory, not a file", std::strerror(ENOENT)};
    for (int k = 0; k < 4; k++) {
        const char *reason = nullptr;
        EXPECT_EQ(openUserFile(at(refused[k]).c_str(), "r", &reason), nullptr) << refused[k];
        EXPECT_STREQ(reason, reasons[k]) << refused[k];
        EXPECT_EQ(openUserFile(at(refused[k]).c_str(), "r", nullptr), nullptr) << refused[k];
    }
    EXPECT_EQ(openUserFile("/dev/null", "r", nullptr), nullptr);
}

// Writing creates or empties a regular file only: a FIFO without a reader
// does not block, and a refused target is neither created anew nor emptied.
TEST_F(UserFile, OnlyRegularFilesOpenForWriting)
{
    FILE *file = openUserFile(at("list.txt").c_str(), "w", nullptr);
    ASSERT_NE(file, nullptr);
    std::fputs("first\n", file);
    std::fclose(file);
    file = openUserFile(at("list.txt").c_str(), "w", nullptr);
    ASSERT_NE(file, nullptr);
    std::fputs("x\n", file);
    std::fclose(file);
    file = openUserFile(at("list.txt").c_str(), "r", nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(contents(file), "x\n");
    std::fclose(file);

    ASSERT_EQ(mkfifo(at("fifo.txt").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/null", at("null.txt").c_str()), 0);
    const char *reason = nullptr;
    EXPECT_EQ(openUserFile(at("fifo.txt").c_str(), "w", &reason), nullptr);
    EXPECT_NE(reason, nullptr);
    EXPECT_EQ(openUserFile(at("null.txt").c_str(), "w", &reason), nullptr);
    EXPECT_STREQ(reason, "not a regular file (a FIFO, device or socket)");
    struct stat status;
    ASSERT_EQ(stat(at("fifo.txt").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    EXPECT_EQ(openUserFile(at("list.txt").c_str(), "a", &reason), nullptr);
    EXPECT_EQ(openUserFile(nullptr, "r", &reason), nullptr);
}
