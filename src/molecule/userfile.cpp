// userfile.cpp - the doors through which every program reads a file that the
// user names (never blocking, regular files only) and writes one (a new file
// renamed over the name when complete). Needs neither Qt nor OpenGL.
#include "molecule/molecule.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const char notRegular[] = "not a regular file (a FIFO, device or socket)";
static const char aDirectory[] = "a directory, not a file";

FILE *openUserFile(const char *path, const char *mode, const char **reason)
{
    const char *why = nullptr;
    const char **out = reason != nullptr ? reason : &why;
    *out = nullptr;
    if (path == nullptr || mode == nullptr || std::strcmp(mode, "r") != 0) {
        *out = std::strerror(EINVAL);
        return nullptr;
    }
    // O_NONBLOCK: a FIFO without a writer would otherwise hold open() for ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *out = std::strerror(errno);
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0) {
        *out = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        *out = S_ISDIR(status.st_mode) ? aDirectory : notRegular;
        close(fd);
        return nullptr;
    }
    int fileFlags = fcntl(fd, F_GETFL);
    if (fileFlags < 0 || fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
        *out = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    FILE *file = fdopen(fd, "r");
    if (file == nullptr) {
        *out = std::strerror(errno);
        close(fd);
    }
    return file;
}

//------------------------------------------------------------------------------
// Writing: a new file beside the name, renamed over it when complete
//------------------------------------------------------------------------------
FILE *beginFileReplacement(const char *path, FileReplacement *replacement, const char **reason)
{
    const char *why = nullptr;
    const char **out = reason != nullptr ? reason : &why;
    *out = nullptr;
    replacement->stream = nullptr;
    size_t length = path != nullptr ? std::strlen(path) : 0;
    if (length == 0 || path[length - 1] == '/') {
        *out = length == 0 ? std::strerror(ENOENT) : aDirectory;
        return nullptr;
    }
    if (length + 9 > sizeof replacement->temporaryPath) {
        *out = std::strerror(ENAMETOOLONG);
        return nullptr;
    }
    // What stands at the name now: a file or a link is replaced; anything
    // else is refused before a byte is written.
    struct stat status;
    bool exists = lstat(path, &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        *out = aDirectory;
        return nullptr;
    }
    if (exists && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
        *out = notRegular;
        return nullptr;
    }
    // A file its owner made read-only stays as it is, as an open for writing
    // would leave it.
    if (exists && S_ISREG(status.st_mode) && access(path, W_OK) != 0) {
        *out = std::strerror(errno);
        return nullptr;
    }
    std::memcpy(replacement->finalPath, path, length + 1);
    const char *slash = std::strrchr(path, '/');
    size_t folder = slash != nullptr ? (size_t)(slash - path) + 1 : 0;
    std::snprintf(replacement->temporaryPath, sizeof replacement->temporaryPath, "%.*s.%s.XXXXXX", (int)folder,
                  path, path + folder);
    int fd = mkostemp(replacement->temporaryPath, O_CLOEXEC);
    if (fd < 0) {
        *out = std::strerror(errno);
        return nullptr;
    }
    // A file that is replaced keeps its permissions; a new one gets those a
    // plain create would give.
    mode_t mode;
    if (exists && S_ISREG(status.st_mode)) {
        mode = status.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    replacement->stream = fchmod(fd, mode) == 0 ? fdopen(fd, "w") : nullptr;
    if (replacement->stream == nullptr) {
        *out = std::strerror(errno);
        close(fd);
        unlink(replacement->temporaryPath);
    }
    return replacement->stream;
}

int finishFileReplacement(FileReplacement *replacement, const char **reason)
{
    const char *why = nullptr;
    const char **out = reason != nullptr ? reason : &why;
    *out = nullptr;
    FILE *stream = replacement->stream;
    if (stream == nullptr) {
        *out = std::strerror(EBADF);
        return 0;
    }
    replacement->stream = nullptr;
    errno = 0;
    bool written = std::fflush(stream) == 0 && !std::ferror(stream) && fsync(fileno(stream)) == 0;
    int error = errno;
    written = std::fclose(stream) == 0 && written;
    if (written && rename(replacement->temporaryPath, replacement->finalPath) == 0)
        return 1;
    if (error == 0)
        error = errno != 0 ? errno : EIO;
    *out = std::strerror(error);
    unlink(replacement->temporaryPath);
    return 0;
}

void abandonFileReplacement(FileReplacement *replacement)
{
    if (replacement->stream == nullptr)
        return;
    std::fclose(replacement->stream);
    replacement->stream = nullptr;
    unlink(replacement->temporaryPath);
}
