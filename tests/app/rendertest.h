// rendertest.h - what the molvane-render test files share: the scratch
// folder they run in, the program run as a user runs it, and its pictures
// read back (render_test.cpp defines them).
#ifndef MOLVANE_RENDERTEST_H
#define MOLVANE_RENDERTEST_H

#include <cstdint>
#include <string>
#include <vector>

#include "common/picturecompare.h"

namespace rendertest {

extern std::string scratch;              // the folder every run works in; removed at the end

struct Outcome {
    int status = -1;     // exit status, or -1 when killed or timed out
    std::string out, err;
};

std::string data(const char *name);                                 // a file of tests/data
Outcome render(std::vector<std::string> arguments, int seconds = 60);  // molvane-render in scratch
// The pixels of a PNG file as PNG_FORMAT_RGB or PNG_FORMAT_RGBA, top row
// first, and its size; empty when it cannot be read.
std::vector<unsigned char> readPixels(const std::string &path, uint32_t format, int *width, int *height);
Picture readPng(const std::string &path);                           // as RGB

} // namespace rendertest

#endif
