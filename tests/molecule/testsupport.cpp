// testsupport.cpp - fragment reading, stdout capture and line writing for
// the molecule tests.
#include "testsupport.h"

#include "app/settings.h"
#include "app/structureread.h"
#include "molecule/molecule.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

std::string beginCapture(int &saved, FILE *&file)
{
    std::fflush(stdout);
    saved = dup(1);
    file = std::tmpfile();
    dup2(fileno(file), 1);
    return {};
}

std::string endCapture(int saved, FILE *file)
{
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

static FILE *openText(const std::string &text)
{
    static std::string keep;   // fmemopen reads from this copy
    keep = text;
    return fmemopen(keep.empty() ? nullptr : &keep[0], keep.size(), "r");
}

std::string readText(const std::string &text, int32_t *result)
{
    FILE *file = openText(text);
    std::string out = captureStdout([&] {
        int32_t last = readStructureFile(file);
        atomCount = last;
        if (result)
            *result = last;
    });
    if (file)
        std::fclose(file);
    return out;
}

std::string readStructureText(const std::string &text, int *forced)
{
    FILE *file = openText(text);
    std::string out = captureStdout([&] {
        int f = readStructure(file);
        if (forced)
            *forced = f;
    });
    if (file)
        std::fclose(file);
    return out;
}

std::string atomLine(int serial, const char *name, const char *residue, char chain, int sequence,
                     double x, double y, double z, const char *record)
{
    char line[128];
    std::snprintf(line, sizeof line, "%-6s%5d %-4s %-3s %c%4d    %8.3f%8.3f%8.3f  1.00  0.00",
                  record, serial, name, residue, chain, sequence, x, y, z);
    std::string s(line);
    s.resize(80, ' ');
    return s;
}

std::string dataFile(const char *name)
{
    std::ifstream in(std::string(MOLVANE_TEST_DATA) + "/" + name, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}
