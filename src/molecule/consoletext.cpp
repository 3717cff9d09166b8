// consoletext.cpp - console text that comes from files and file names made
// safe to print, and the standard streams of the command-line programs.
// Needs neither Qt nor OpenGL.
#include "molecule/molecule.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Length of the UTF-8 character at p (at most `left` bytes), or 0 when the
// bytes there are no well-formed character (overlong forms, surrogates and
// values past U+10FFFF included).
static int utf8Length(const unsigned char *p, int left)
{
    unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || c > 0xF4 || length > left)
        return 0;
    for (int k = 1; k < length; k++)
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] >= 0x90))
        return 0;
    return length;
}

std::string printableText(const char *text, int length)
{
    if (text == nullptr)
        return std::string();
    if (length < 0)
        length = (int)std::strlen(text);
    const unsigned char *bytes = (const unsigned char *)text;
    bool utf8 = true;
    for (int at = 0; at < length && utf8;) {
        int n = utf8Length(bytes + at, length - at);
        utf8 = n > 0;
        at += n;
    }
    std::string shown;
    shown.reserve((size_t)length);
    for (int at = 0; at < length;) {
        unsigned char c = bytes[at];
        int n = utf8 ? utf8Length(bytes + at, length - at) : 1;
        bool control = c < 0x20 || c == 0x7F || (!utf8 && c >= 0x80 && c <= 0x9F) ||
                       (utf8 && c == 0xC2 && bytes[at + 1] <= 0x9F);  // U+0080 .. U+009F
        if (control)
            shown += '?';
        else
            shown.append(text + at, (size_t)n);
        at += n;
    }
    return shown;
}

bool prepareStandardStreams()
{
    std::signal(SIGPIPE, SIG_IGN);
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        if (fd == 1)
            return false;
        int devNull = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (devNull >= 0 && devNull != fd) {
            dup2(devNull, fd);
            close(devNull);
        }
    }
    return true;
}

int finishStandardOutput(const char *program)
{
    errno = 0;
    int flushed = std::fflush(stdout);
    int error = errno;
    if (flushed != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the output: %s\n", program,
                     error != 0 ? std::strerror(error) : "write error");
        return 1;
    }
    return 0;
}
