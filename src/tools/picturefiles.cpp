// picturefiles.cpp - where molvane-render writes each picture: the name
// made from its input's, the folder -o names, and never over an input.
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <utility>

#include "tools/render.h"

bool isFolder(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The input's last path component with its structure file ending (".pdb",
// ".ent", ".cif", ".mmcif", each also with ".gz"; any case) replaced by
// ".png", or ".png" added.
static std::string pictureName(const char *input)
{
    std::string name(input);
    size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    for (const char *ending : {".gz", ""}) {
        size_t n = name.size(), e = std::strlen(ending);
        if (e > 0 && !(n > e && strcasecmp(name.c_str() + n - e, ending) == 0))
            continue;
        for (const char *kind : {".pdb", ".ent", ".cif", ".mmcif"}) {
            size_t k = std::strlen(kind);
            if (n > k + e && strncasecmp(name.c_str() + n - e - k, kind, k) == 0) {
                name.resize(n - e - k);
                return name + ".png";
            }
        }
    }
    return name + ".png";
}

std::string outputFor(const char *input)
{
    if (!outputPath)
        return pictureName(input);
    if (inputs.size() > 1 || isFolder(outputPath)) {
        std::string folder(outputPath);
        if (folder.back() != '/')
            folder += '/';
        return folder + pictureName(input);
    }
    return outputPath;
}

// The inputs as files (device and inode), so that no picture is written
// over one of them, by any name or link.
static std::vector<std::pair<dev_t, ino_t>> inputFiles;

void rememberInputs()
{
    for (const char *input : inputs) {
        struct stat info;
        if (stat(input, &info) == 0)
            inputFiles.emplace_back(info.st_dev, info.st_ino);
    }
}

bool isInput(const std::string &output)
{
    struct stat info;
    if (stat(output.c_str(), &info) != 0)
        return false;
    for (const auto &input : inputFiles)
        if (input.first == info.st_dev && input.second == info.st_ino)
            return true;
    return false;
}
