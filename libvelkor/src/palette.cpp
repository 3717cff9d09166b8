// palette.cpp - the default palette (flat colours, lit materials, textures
// from PPM files found by name in the working directory or the data
// folders) and the surface table that refers to it by index.
#include "internal.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

// Folders, separated by ':', in which a texture named by a relative path is
// looked for when the working directory does not hold it; the build hands
// them in. A relative folder is taken from the running program's folder.
#ifndef VELKOR_DATA_FOLDERS
#define VELKOR_DATA_FOLDERS ""
#endif

namespace fs = std::filesystem;

vel_colour velColours[VEL_PALETTE_SIZE];
VelMaterial velMaterials[VEL_PALETTE_SIZE];
VelTexture velTextures[VEL_PALETTE_SIZE];
std::vector<VelSurface> velSurfaces(1, VelSurface{0, 0, 0, 0});
vel_surface velLineSurface = 0;

const vel_palette vel_palette_default = 1;

namespace {

// The handle of every surface made so far, by its mode and three palette
// indices packed into one word (each index fits in eight bits).
static_assert(VEL_PALETTE_SIZE <= 256, "surface keys pack palette indices into bytes");
std::unordered_map<uint32_t, vel_surface> surfaceHandles;

void reportMissingTextures();  // the textures not found so far, in one line

// Colours start white, materials as the fixed-function default grey.
struct PaletteDefaults {
    PaletteDefaults()
    {
        for (int i = 0; i < VEL_PALETTE_SIZE; i++) {
            velColours[i] = vel_colour{1, 1, 1, 1};
            velMaterials[i] = VelMaterial{{0.2f, 0.2f, 0.2f, 1}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0};
        }
    }
} paletteDefaults;

int indexOk(const char *call, int index)
{
    if (index >= 0 && index < VEL_PALETTE_SIZE) return 1;
    velFailure("velkor: %s: palette index %d is outside 0..%d, ignored\n", call, index, VEL_PALETTE_SIZE - 1);
    return 0;
}

uint8_t toByte(float v)
{
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return (uint8_t)(v * 255.0f + 0.5f);
}

} // namespace

namespace {

// Prints a message whose file names may hold anything: control characters
// other than its line breaks are shown as '?', so a name cannot steer the
// terminal.
void printMessage(const char *format, va_list ap)
{
    char text[2048];
    std::vsnprintf(text, sizeof text, format, ap);
    for (char *c = text; *c; c++)
        if (((unsigned char)*c < 0x20 && *c != '\n') || *c == 0x7f) *c = '?';
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace

void velFailure(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    printMessage(format, ap);
    va_end(ap);
}

void velChatter(const char *format, ...)
{
    if (!vel_opt_output) return;
    va_list ap;
    va_start(ap, format);
    printMessage(format, ap);
    va_end(ap);
}

void vel_paletteColourSet(vel_palette, int index, float r, float g, float b, float a)
{
    VEL_TRACE("vel_paletteColourSet %d %g %g %g %g", index, r, g, b, a);
    reportMissingTextures();
    if (!indexOk("vel_paletteColourSet", index)) return;
    velColours[index] = vel_colour{r, g, b, a};
}

void vel_paletteMaterialSet(vel_palette, int index, vel_colour ambient, vel_colour diffuse, vel_colour specular,
                            vel_colour emission, float shininess)
{
    VEL_TRACE("vel_paletteMaterialSet %d %g %g %g %g", index, diffuse.r, diffuse.g, diffuse.b, shininess);
    reportMissingTextures();
    if (!indexOk("vel_paletteMaterialSet", index)) return;
    if (shininess < 0) shininess = 0;
    if (shininess > 128) shininess = 128;
    velMaterials[index] = VelMaterial{ambient, diffuse, specular, emission, shininess};
}

//------------------------------------------------------------------------------
// Texture files
//------------------------------------------------------------------------------
std::vector<std::string> velDataFolderList(const char *list, const std::string &programFolder)
{
    std::vector<std::string> folders;
    std::string all = list ? list : "";
    size_t from = 0;
    while (from < all.size()) {
        size_t to = all.find(':', from);
        if (to == std::string::npos) to = all.size();
        fs::path folder = all.substr(from, to - from);
        from = to + 1;
        if (folder.empty()) continue;
        if (folder.is_relative()) {
            if (programFolder.empty()) continue;
            folder = fs::path(programFolder) / folder;
        }
        std::string name = folder.lexically_normal().string();
        while (name.size() > 1 && name.back() == '/') name.pop_back();
        if (std::find(folders.begin(), folders.end(), name) == folders.end()) folders.push_back(name);
    }
    return folders;
}

std::vector<std::string> &velDataFolders()
{
    static std::vector<std::string> folders = [] {
        std::string programFolder;
        char exe[4096];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) programFolder = fs::path(std::string(exe, (size_t)n)).parent_path().string();
        return velDataFolderList(VELKOR_DATA_FOLDERS, programFolder);
    }();
    return folders;
}

int velFindDataFile(const char *name, std::string *path)
{
    std::error_code error;
    if (!name || !*name) return 0;
    if (fs::is_regular_file(name, error)) {
        *path = name;
        return 1;
    }
    if (fs::path(name).is_absolute()) return 0;
    for (const std::string &folder : velDataFolders()) {
        std::string candidate = folder + "/" + name;
        if (fs::is_regular_file(candidate, error)) {
            *path = candidate;
            return 1;
        }
    }
    return 0;
}

namespace {

// Textures not found or not usable in a run of registrations, reported in
// one line when the run ends: at the next other palette or surface call, or
// at the first draw that asks for a surface's state.
struct MissingTextures {
    int count = 0;                  // textures not found or not usable since the last report
    std::string first;              // the name of the first of them
    int relative = 0;               // 1: some name was looked up in the folders
    std::string unusable;           // the first file found but not usable, with its reason
} missingTextures;

void reportMissingTextures()
{
    MissingTextures &m = missingTextures;
    if (m.count == 0) return;
    std::string where;
    if (m.relative) {
        std::error_code error;
        where = ", looked in the working directory " + fs::current_path(error).string();
        for (const std::string &folder : velDataFolders()) where += ", " + folder;
    }
    if (!m.unusable.empty() && m.count == 1)
        velFailure("velkor: texture %s; its surfaces draw untextured\n", m.unusable.c_str());
    else if (!m.unusable.empty())
        velFailure("velkor: %d textures not found or not usable (the first \"%s\"; texture %s)%s; their surfaces "
                   "draw untextured\n", m.count, m.first.c_str(), m.unusable.c_str(), where.c_str());
    else if (m.count == 1)
        velFailure("velkor: texture \"%s\" not found%s; its surfaces draw untextured\n", m.first.c_str(), where.c_str());
    else
        velFailure("velkor: %d textures not found (the first \"%s\")%s; their surfaces draw untextured\n", m.count,
                   m.first.c_str(), where.c_str());
    m = MissingTextures();
}

} // namespace

// Looks the file up by name (velFindDataFile). One that is not found, or is
// found but not usable (unreadable, malformed, larger than 4096 x 4096),
// joins the run's report.
void vel_paletteTextureSet(vel_palette, int index, const char *ppmFile)
{
    VEL_TRACE("vel_paletteTextureSet %d %s", index, ppmFile ? ppmFile : "(null)");
    if (!indexOk("vel_paletteTextureSet", index)) return;
    VelTexture &t = velTextures[index];
    t.width = t.height = 0;
    t.rgb.clear();
    t.glDirty = 1;
    std::string path, error;
    int found = velFindDataFile(ppmFile, &path);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!found || !velPpmRead(path.c_str(), &w, &h, &rgb, &error)) {
        MissingTextures &m = missingTextures;
        if (m.count++ == 0) m.first = ppmFile ? ppmFile : "(null)";
        if (!found && ppmFile && *ppmFile && fs::path(ppmFile).is_relative()) m.relative = 1;
        if (found && m.unusable.empty())
            m.unusable = std::to_string(index) + " \"" + path + "\" not usable (" + error + ")";
        return;
    }
    t.width = w;
    t.height = h;
    t.rgb.swap(rgb);
    velChatter("velkor: texture %d loaded from %s (%d x %d)\n", index, path.c_str(), w, h);
}

// Identical parameters give the handle made for them the first time, so a
// scene rebuilt again and again reuses its surfaces instead of adding more.
vel_surface vel_surfaceParamsNew(int mode, int colour, int material, int texture)
{
    VEL_TRACE("vel_surfaceParamsNew %d %d %d %d", mode, colour, material, texture);
    reportMissingTextures();
    if (mode != vel_surface_flat && mode != vel_surface_material && mode != vel_surface_textured) {
        velFailure("velkor: vel_surfaceParamsNew: unknown mode %d, using a lit material\n", mode);
        mode = vel_surface_material;
    }
    if (colour < 0 || colour >= VEL_PALETTE_SIZE) colour = 0;
    if (material < 0 || material >= VEL_PALETTE_SIZE) material = 0;
    if (texture < 0 || texture >= VEL_PALETTE_SIZE) texture = 0;
    uint32_t key = ((uint32_t)mode << 24) | ((uint32_t)colour << 16) | ((uint32_t)material << 8) | (uint32_t)texture;
    auto known = surfaceHandles.find(key);
    if (known != surfaceHandles.end()) return known->second;
    velSurfaces.push_back(VelSurface{mode, colour, material, texture});
    vel_surface handle = (vel_surface)(velSurfaces.size() - 1);
    surfaceHandles.emplace(key, handle);
    return handle;
}

int vel_surfaceCount(void) { return (int)velSurfaces.size() - 1; }

void vel_surfaceParamsUse(vel_surface surface)
{
    VEL_TRACE("vel_surfaceParamsUse %d", surface);
    reportMissingTextures();
    velLineSurface = surface;
}

// Resolves a surface to its drawing state; a missing texture falls back to
// the surface's material, an invalid handle to material 0.
VelStateKey velSurfaceState(vel_surface surface)
{
    if (missingTextures.count) reportMissingTextures();
    if (surface <= 0 || (size_t)surface >= velSurfaces.size()) return vel_surface_material;
    const VelSurface &s = velSurfaces[surface];
    if (s.mode == vel_surface_flat) return vel_surface_flat | ((uint32_t)s.colour << 8);
    if (s.mode == vel_surface_textured && velTextures[s.texture].width > 0)
        return vel_surface_textured | ((uint32_t)s.material << 8) | ((uint32_t)s.texture << 16);
    return vel_surface_material | ((uint32_t)s.material << 8);
}

// Line colour of a state: the flat colour, or the material's diffuse colour.
void velStateColour(VelStateKey key, uint8_t rgba[4])
{
    int index = (key >> 8) & 0xff;
    vel_colour c = velStateKind(key) == vel_surface_flat ? velColours[index] : velMaterials[index].diffuse;
    rgba[0] = toByte(c.r);
    rgba[1] = toByte(c.g);
    rgba[2] = toByte(c.b);
    rgba[3] = toByte(c.a);
}

int vel_paletteTextureSize(vel_palette, int index, int *width, int *height)
{
    int loaded = index >= 0 && index < VEL_PALETTE_SIZE && velTextures[index].width > 0;
    if (width) *width = loaded ? velTextures[index].width : 0;
    if (height) *height = loaded ? velTextures[index].height : 0;
    return loaded;
}
