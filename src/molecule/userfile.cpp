// userfile.cpp - the one door through which every program opens a file that
// the user names (a PDB file, the recent list): it never blocks and lets
// only regular files through. Needs neither Qt nor OpenGL.
#include "molecule/molecule.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *openUserFile(const char *path, const char *mode, const char **reason)
{
    const char *why = nullptr;
    const char **out = reason != nullptr ? reason : &why;
    *out = nullptr;
    const bool writing = mode != nullptr && mode[0] == 'w';
    if (path == nullptr || mode == nullptr || (mode[0] != 'r' && mode[0] != 'w')) {
        *out = std::strerror(EINVAL);
        return nullptr;
    }
    // O_NONBLOCK: a FIFO without a writer (or, for writing, without a
    // reader) would otherwise hold open() for ever. No O_TRUNC: a file that
    // is refused below must not have been emptied first.
    int flags = (writing ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = open(path, flags, 0666);
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
        *out = S_ISDIR(status.st_mode) ? "a directory, not a file"
                                        : "not a regular file (a FIFO, device or socket)";
        close(fd);
        return nullptr;
    }
    int fileFlags = fcntl(fd, F_GETFL);
    if (fileFlags < 0 || fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0 ||
        (writing && ftruncate(fd, 0) != 0)) {
        *out = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    FILE *file = fdopen(fd, writing ? "w" : "r");
    if (file == nullptr) {
        *out = std::strerror(errno);
        close(fd);
    }
    return file;
}
