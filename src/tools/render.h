// render.h - molvane-render's own state: what the command line asked for
// (renderoptions.cpp) and where each picture goes (picturefiles.cpp); the
// drawing of each file is render.cpp.
#ifndef MOLVANE_RENDER_H
#define MOLVANE_RENDER_H

#include <string>
#include <vector>

#include "tools/picture.h"

// Largest picture side: a poster is drawn in tiles, and a band of tile rows
// as wide as the picture stands in memory at a time.
inline constexpr int maxPictureSide = 20000;
// The share of the picture's width and height left free on each side by
// the framing first view.
inline constexpr float frameMargin = 0.03f;
// The view's far plane (the library's default, as the build leaves it) and
// the first eye's least distance from the centre (a single atom).
inline constexpr float farPlane = 10000.0f, minimumEyeDistance = 2.0f;

//------------------------------------------------------------------------------
// What was asked for (renderoptions.cpp)
//------------------------------------------------------------------------------
extern int imageWidth, imageHeight;          // --size, in pixels
extern float turnUp, turnRight;              // --turn, degrees about the view's up and right axes
extern float zoom;                           // --zoom: the eye moved towards the centre by this factor
extern float background[3];                  // --background as RGB 0..1 (unless finish.transparent)
extern PictureFinish finish;                 // samples, depth cue, occlusion, transparency, tiles
extern int viewerView;                       // --viewer-view: the viewer's first view, not framed
extern int quiet;                            // --quiet: no console text
extern const char *outputPath;               // -o, or null
extern std::vector<const char *> inputs;     // the structure files, in order

// Prints "molvane-render: reason what" (when reason is given) and the usage
// text on standard error; returns the exit status 2.
int usage(const char *reason, const char *what = nullptr);
// Reads the command line. Returns 0 when it is good, -1 when the usage text
// was asked for (and printed on standard output), else the exit status.
int parseArguments(int argc, char **argv);
// The render settings for every file: the options over the compiled-in
// defaults (a large structure's light settings never carry over to the next).
void applyOptions();

//------------------------------------------------------------------------------
// Where the pictures go (picturefiles.cpp)
//------------------------------------------------------------------------------
// True when path names a folder.
bool isFolder(const char *path);
// The picture's path for one input: -o itself, in -o as a folder, or in the
// current folder.
std::string outputFor(const char *input);
// Remembers the inputs as files, for isInput.
void rememberInputs();
// True when output is one of the inputs, by any name or link.
bool isInput(const std::string &output);

#endif
