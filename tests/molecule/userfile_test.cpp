// userfile_test.cpp - the one opener of files the user names: regular files
// and links to them open, everything else is refused at once and untouched.
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
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

// A file is written under a new name and renamed over the old one: what
// stood at the name is replaced (a link is never written through), keeps a
// file's permissions, and a FIFO, device, folder or read-only file is
// refused untouched.
TEST_F(UserFile, WritesReplaceAndNeverWriteThrough)
{
    auto write = [&](const char *name, const char *text, const char **reason) {
        FileReplacement replacement;
        if (beginFileReplacement(at(name).c_str(), &replacement, reason) == nullptr)
            return false;
        std::fputs(text, replacement.stream);
        return finishFileReplacement(&replacement, reason) == 1;
    };
    auto read = [&](const char *name) {
        FILE *file = openUserFile(at(name).c_str(), "r", nullptr);
        std::string text = file ? contents(file) : "(none)";
        if (file)
            std::fclose(file);
        return text;
    };
    const char *reason = nullptr;
    ASSERT_TRUE(write("list.txt", "first\n", &reason)) << reason;
    ASSERT_EQ(chmod(at("list.txt").c_str(), 0640), 0);
    ASSERT_TRUE(write("list.txt", "second\n", &reason)) << reason;
    EXPECT_EQ(read("list.txt"), "second\n");
    struct stat status;
    ASSERT_EQ(stat(at("list.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "a replaced file keeps its permissions";

    // A link at the name is replaced by the new file; its target stays.
    FILE *notes = std::fopen(at("notes").c_str(), "w");
    std::fputs("someone's notes\n", notes);
    std::fclose(notes);
    ASSERT_EQ(symlink(at("notes").c_str(), at("link.txt").c_str()), 0);
    ASSERT_TRUE(write("link.txt", "mine\n", &reason)) << reason;
    EXPECT_EQ(read("notes"), "someone's notes\n");
    ASSERT_EQ(lstat(at("link.txt").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));

    ASSERT_EQ(mkfifo(at("fifo.txt").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(at("folder.txt").c_str(), 0700), 0);
    FILE *locked = std::fopen(at("locked.txt").c_str(), "w");
    std::fclose(locked);
    ASSERT_EQ(chmod(at("locked.txt").c_str(), 0444), 0);
    bool root = geteuid() == 0;  // a device node needs root to make; root may write a read-only file
    if (root) {
        ASSERT_EQ(mknod(at("full.txt").c_str(), S_IFCHR | 0600, makedev(1, 7)), 0);
    }
    const struct {
        const char *name;
        const char *reason;
        mode_t type;      // what must still stand there afterwards
        bool applies;     // the row can be tried by this user
    } refused[] = {
        {"fifo.txt", "not a regular file (a FIFO, device or socket)", S_IFIFO, true},
        {"folder.txt", "a directory, not a file", S_IFDIR, true},
        {"full.txt", "not a regular file (a FIFO, device or socket)", S_IFCHR, root},
        {"locked.txt", std::strerror(EACCES), S_IFREG, !root},
        {"missing/list.txt", std::strerror(ENOENT), 0, true},
    };
    for (const auto &r : refused) {
        if (!r.applies)
            continue;
        EXPECT_FALSE(write(r.name, "x\n", &reason)) << r.name;
        EXPECT_STREQ(reason, r.reason) << r.name;
        if (r.type != 0) {
            ASSERT_EQ(lstat(at(r.name).c_str(), &status), 0) << r.name;
            EXPECT_EQ(status.st_mode & S_IFMT, r.type) << r.name << " was replaced";
        }
    }

    // A writer that dies half-way leaves the old file whole, and an abandoned
    // one leaves nothing behind.
    pid_t child = fork();
    if (child == 0) {
        FileReplacement replacement;
        if (beginFileReplacement(at("list.txt").c_str(), &replacement, nullptr) != nullptr) {
            std::fputs("half", replacement.stream);
            std::fflush(replacement.stream);
        }
        _exit(3);
    }
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    EXPECT_EQ(read("list.txt"), "second\n");
    FileReplacement abandoned;
    ASSERT_NE(beginFileReplacement(at("new.txt").c_str(), &abandoned, nullptr), nullptr);
    abandonFileReplacement(&abandoned);
    EXPECT_NE(access(at("new.txt").c_str(), F_OK), 0);
    EXPECT_NE(access(abandoned.temporaryPath, F_OK), 0);
    EXPECT_EQ(openUserFile(at("list.txt").c_str(), "w", &reason), nullptr) << "reading only";
}
