// offscreen.cpp - drawing without a window or an X server: an OpenGL context
// from Mesa's surfaceless EGL platform and framebuffer objects. A frame is
// drawn into colour and depth textures that cover the framebuffer's part of
// the picture (with a margin for the occlusion's look around), multisampled
// or a whole number of times larger for smooth edges; the finishing pass
// (postprocess.cpp) makes the framebuffer's pixels from them, and
// vel_frameRead hands those over. Nothing is presented and the frames are
// not paced. GL functions come through libepoxy, which resolves them from
// the EGL context.
//
// Index of this file:
// [SECTION] State
// [SECTION] The context
// [SECTION] Framebuffers
// [SECTION] Tiles
// [SECTION] Set-up and settings
// [SECTION] Drawing and reading
#include "gl/backend.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

//------------------------------------------------------------------------------
// [SECTION] State
//------------------------------------------------------------------------------
int velOffscreen = 0;
int velOffscreenMultisample = -1;

namespace {

// The context asked for: the backend runs on 3.3 core. Mesa hands out the
// highest version of the profile asked for.
constexpr EGLint CONTEXT_MAJOR = 3, CONTEXT_MINOR = 3;
constexpr EGLint CONTEXT_PROFILE = EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT;
// Samples a pixel at most. A software driver rasterises multisampled
// frames slower than frames drawn 2 x 2 times larger, so there the samples
// are a grid of texels and hardware alone multisamples.
constexpr int MAX_SAMPLES = 16;
// Largest side of the textures a frame draws into, at one sample a texel
// (colour and depth of 4096 x 4096 texels take 128 MiB), and of a tile:
// larger pictures are drawn in tiles, and the caller holds a band of tile
// rows as wide as the picture.
constexpr int DRAW_LIMIT = 4096;
constexpr int TILE_LIMIT = 2048;

// The off-screen drawing's state: the context made once, the framebuffers
// and the settings. Written by the calls of this file only.
struct Offscreen {
    EGLDisplay display = EGL_NO_DISPLAY;  // the surfaceless display (makeContext)
    EGLContext context = EGL_NO_CONTEXT;  // the context, current from then on (makeContext)
    int maxSize = 0;                    // largest image side the driver allows (makeContext)
    int driverSamples = 0;              // the driver's most samples a texel of a colour and a depth texture (makeContext)
    int samplesWanted = 1;              // samples a pixel asked for (vel_offscreenSamplesSet)
    int multisampled = 0;               // 1: the frames are multisampled; 0: drawn `grid` times larger (the same)
    int grid = 1;                       // texels a pixel across (the same)
    int pixelSamples = 1;               // samples a pixel taken: grid * grid, or the multisample count (the same)
    GLuint outFbo = 0, outColour = 0;   // the finished pixels, fbWidth x fbHeight (makeOutput)
    int fbWidth = 0, fbHeight = 0;      // the framebuffer's size (makeOutput)
    GLuint drawFbo = 0, drawColour = 0, drawDepth = 0;  // what the frames draw into (makeDrawing)
    int drawWidth = 0, drawHeight = 0;  // its texels (it only grows: a smaller frame draws in its corner)
    int drawKind = -1;                  // what they were made as: their samples a texel, 0 when plain
    int pictureWidth = 0, pictureHeight = 0, tileLeft = 0, tileTop = 0;  // the framebuffer's part; 0 = whole (vel_offscreenTileSet)
    int frameDrawn = 0;                 // a frame went into the framebuffer since it was made (velOffscreenDraw)
    int frameFailed = 0;                // the last frame could not be drawn (velOffscreenDraw)
};
Offscreen off;

//------------------------------------------------------------------------------
// [SECTION] The context
//------------------------------------------------------------------------------
int fail(const char *reason)
{
    std::fprintf(stderr, "velkor: no off-screen OpenGL context: %s\n", reason);
    return 0;
}

int makeContext()
{
    off.display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (off.display == EGL_NO_DISPLAY || !eglInitialize(off.display, &major, &minor))
        return fail("the surfaceless EGL platform is not available");
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("EGL offers no desktop OpenGL");
    const EGLint wanted[] = {EGL_CONTEXT_MAJOR_VERSION, CONTEXT_MAJOR, EGL_CONTEXT_MINOR_VERSION, CONTEXT_MINOR,
                             EGL_CONTEXT_OPENGL_PROFILE_MASK, CONTEXT_PROFILE, EGL_NONE};
    off.context = eglCreateContext(off.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, wanted);
    if (off.context == EGL_NO_CONTEXT) {
        const EGLint any[] = {EGL_NONE};  // whatever the driver gives by default
        off.context = eglCreateContext(off.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, any);
    }
    if (off.context == EGL_NO_CONTEXT)
        return fail("the driver refuses an OpenGL context");
    if (!eglMakeCurrent(off.display, EGL_NO_SURFACE, EGL_NO_SURFACE, off.context))
        return fail("the context cannot be made current without a surface");
    char message[512];
    if (!velGlCheckVersion(message, sizeof message)) {
        std::fprintf(stderr, "%s\n", message);
        return 0;
    }
    GLint renderbuffer = 0, texture = 0, viewport[2] = {0, 0}, colourSamples = 0, depthSamples = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_COLOR_TEXTURE_SAMPLES, &colourSamples);
    glGetIntegerv(GL_MAX_DEPTH_TEXTURE_SAMPLES, &depthSamples);
    off.maxSize = std::min({renderbuffer, texture, viewport[0], viewport[1]});
    off.driverSamples = std::min(colourSamples, depthSamples);
    return 1;
}

//------------------------------------------------------------------------------
// [SECTION] Framebuffers
//------------------------------------------------------------------------------
// Makes a framebuffer object of the given attachments; 0 when the driver
// cannot complete it (errors from before are cleared first).
GLuint attach(GLenum target, GLuint colour, GLuint depth)
{
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    if (target == GL_RENDERBUFFER) {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    } else {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, colour, 0);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, target, depth, 0);
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        return 0;
    }
    return fbo;
}

// The finished pixels: a renderbuffer of the framebuffer's size.
int makeOutput(int width, int height)
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &off.outFbo);
    glDeleteRenderbuffers(1, &off.outColour);
    off.outFbo = off.outColour = 0;
    while (glGetError() != GL_NO_ERROR) {}
    glGenRenderbuffers(1, &off.outColour);
    glBindRenderbuffer(GL_RENDERBUFFER, off.outColour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    off.outFbo = attach(GL_RENDERBUFFER, off.outColour, 0);
    if (!off.outFbo) {
        glDeleteRenderbuffers(1, &off.outColour);
        off.outColour = 0;
        return 0;
    }
    off.fbWidth = width;
    off.fbHeight = height;
    off.frameDrawn = 0;
    return 1;
}

GLuint newTexture(GLenum target, GLenum format, int width, int height)
{
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(target, t);
    if (target == GL_TEXTURE_2D_MULTISAMPLE) {
        glTexImage2DMultisample(target, off.pixelSamples, format, width, height, GL_TRUE);
    } else {
        GLenum kind = format == GL_RGBA8 ? GL_RGBA : GL_DEPTH_COMPONENT;
        GLenum type = format == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_UNSIGNED_INT;
        glTexImage2D(target, 0, (GLint)format, width, height, 0, kind, type, nullptr);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    glBindTexture(target, 0);
    return t;
}

void releaseDrawing()
{
    GLuint textures[2] = {off.drawColour, off.drawDepth};
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &off.drawFbo);
    glDeleteTextures(2, textures);
    off.drawFbo = off.drawColour = off.drawDepth = 0;
    off.drawWidth = off.drawHeight = 0;
}

// Textures of at least width x height texels for the frames, made anew
// only when they must grow or change kind.
int makeDrawing(int width, int height)
{
    int kind = off.multisampled ? off.pixelSamples : 0;
    if (off.drawFbo && width <= off.drawWidth && height <= off.drawHeight && off.drawKind == kind) return 1;
    width = std::max(width, off.drawKind == kind ? off.drawWidth : 0);
    height = std::max(height, off.drawKind == kind ? off.drawHeight : 0);
    releaseDrawing();
    while (glGetError() != GL_NO_ERROR) {}
    GLenum target = off.multisampled ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
    off.drawColour = newTexture(target, GL_RGBA8, width, height);
    off.drawDepth = newTexture(target, GL_DEPTH_COMPONENT24, width, height);
    off.drawFbo = attach(target, off.drawColour, off.drawDepth);
    if (!off.drawFbo) {
        releaseDrawing();
        return 0;
    }
    off.drawWidth = width;
    off.drawHeight = height;
    off.drawKind = kind;
    return 1;
}

//------------------------------------------------------------------------------
// [SECTION] Tiles
//------------------------------------------------------------------------------
// How a frame covers the picture: the framebuffer's part with the margin
// the occlusion looks into, inside the picture (top left origin).
struct Layout {
    int pictureWidth, pictureHeight;
    int left, top, width, height;  // the drawn region
};

Layout layout()
{
    Layout l;
    l.pictureWidth = off.pictureWidth > 0 ? off.pictureWidth : off.fbWidth;
    l.pictureHeight = off.pictureHeight > 0 ? off.pictureHeight : off.fbHeight;
    int margin = velFinishMargin(velWindow.view, l.pictureHeight);
    l.left = std::max(0, off.tileLeft - margin);
    l.top = std::max(0, off.tileTop - margin);
    l.width = std::min(l.pictureWidth, off.tileLeft + off.fbWidth + margin) - l.left;
    l.height = std::min(l.pictureHeight, off.tileTop + off.fbHeight + margin) - l.top;
    return l;
}

// The framebuffer's own part for vel_vectorScrnPos between frames.
void showTile()
{
    velProjectionRegion = VelProjectionRegion{};
    if (off.pictureWidth > 0) velProjectionRegion = {off.pictureWidth, off.pictureHeight, off.tileLeft, off.tileTop, off.fbWidth, off.fbHeight};
    velWindow.width = velWindow.pixelWidth = off.fbWidth;
    velWindow.height = velWindow.pixelHeight = off.fbHeight;
}

} // namespace

//------------------------------------------------------------------------------
// [SECTION] Set-up and settings
//------------------------------------------------------------------------------
int vel_initialiseOffscreen(int width, int height)
{
    VEL_TRACE("vel_initialiseOffscreen %d %d", width, height);
    if (velInitialised) {
        std::fprintf(stderr, "velkor: vel_initialiseOffscreen: the library already draws into a window\n");
        return 0;
    }
    if (!velOffscreen) {
        if (!makeContext()) return 0;
    }
    velOffscreen = 1;
    if (width < 1 || height < 1 || width > off.maxSize || height > off.maxSize) {
        std::fprintf(stderr, "velkor: an off-screen image of %d x %d pixels is outside 1 x 1 .. %d x %d\n", width,
                     height, off.maxSize, off.maxSize);
        return 0;
    }
    if ((width != off.fbWidth || height != off.fbHeight || !off.outFbo) && !makeOutput(width, height)) {
        std::fprintf(stderr, "velkor: no off-screen framebuffer of %d x %d pixels\n", width, height);
        return 0;
    }
    off.pictureWidth = off.pictureHeight = off.tileLeft = off.tileTop = 0;
    off.frameDrawn = 0;
    showTile();
    vel_win_current = 1;
    velGlInit();
    return 1;
}

int vel_offscreenMaxSize(void)
{
    return velOffscreen ? off.maxSize : 0;
}

int vel_offscreenSamplesSet(int samples)
{
    VEL_TRACE("vel_offscreenSamplesSet %d", samples);
    if (!velOffscreen) return 0;
    off.samplesWanted = std::clamp(samples, 1, MAX_SAMPLES);
    // drivers multisample by powers of two: 3 samples are 4, 9 are 16
    int hardware = velOffscreenMultisample < 0 ? !velGlSoftware() : velOffscreenMultisample, power = 1;
    while (power < off.samplesWanted) power *= 2;
    off.multisampled = off.samplesWanted > 1 && hardware && off.driverSamples >= power;
    off.grid = off.multisampled ? 1 : (int)std::ceil(std::sqrt((double)off.samplesWanted) - 1e-9);
    off.pixelSamples = off.multisampled ? power : off.grid * off.grid;
    return off.pixelSamples;
}

int vel_offscreenTileSet(int width, int height, int left, int top)
{
    VEL_TRACE("vel_offscreenTileSet %d %d %d %d", width, height, left, top);
    if (!velOffscreen) return 0;
    int whole = width == 0 && height == 0 && left == 0 && top == 0;
    if (!whole && (left < 0 || top < 0 || left > width - off.fbWidth || top > height - off.fbHeight)) return 0;
    off.pictureWidth = width;
    off.pictureHeight = height;
    off.tileLeft = left;
    off.tileTop = top;
    showTile();
    return 1;
}

int vel_offscreenTileMaxSize(int height)
{
    if (!velOffscreen) return 0;
    // as many samples as DRAW_LIMIT x DRAW_LIMIT texels of one sample
    int across = (int)std::ceil(std::sqrt((double)off.pixelSamples) - 1e-9);
    int side = std::min(off.maxSize / off.grid, DRAW_LIMIT / across) - 2 * velFinishMargin(velWindow.view, height);
    return std::clamp(side, 16, TILE_LIMIT);
}

//------------------------------------------------------------------------------
// [SECTION] Drawing and reading
//------------------------------------------------------------------------------
void velOffscreenDraw(const VelFrame &frame)
{
    if (!off.outFbo) return;
    Layout l = layout();
    off.frameDrawn = 1;
    off.frameFailed = !makeDrawing(l.width * off.grid, l.height * off.grid);
    if (off.frameFailed) {
        std::fprintf(stderr, "velkor: no off-screen frame of %d x %d texels\n", l.width * off.grid, l.height * off.grid);
        return;
    }
    // the frame: the drawn region, grid times the pixels each way (line
    // widths follow, as at a device-pixel ratio of `grid`)
    glBindFramebuffer(GL_FRAMEBUFFER, off.drawFbo);
    velProjectionRegion = {l.pictureWidth, l.pictureHeight, l.left, l.top, l.width, l.height};
    velWindow.width = l.width;
    velWindow.height = l.height;
    velWindow.pixelWidth = l.width * off.grid;
    velWindow.pixelHeight = l.height * off.grid;
    velGlRenderFrame(frame);
    showTile();

    VelFinishInput in;
    in.colour = off.drawColour;
    in.depth = off.drawDepth;
    in.multisampled = off.multisampled;
    in.samples = off.pixelSamples;
    in.grid = off.grid;
    in.drawLeft = l.left;
    in.drawBottom = l.pictureHeight - (l.top + l.height);
    in.drawWidth = l.width;
    in.drawHeight = l.height;
    in.tileLeft = off.tileLeft - l.left;
    in.tileBottom = (l.top + l.height) - (off.tileTop + off.fbHeight);
    in.pictureWidth = l.pictureWidth;
    in.pictureHeight = l.pictureHeight;
    std::memcpy(in.background, velWindow.background, sizeof in.background);
    in.view = velWindow.view;
    glBindFramebuffer(GL_FRAMEBUFFER, off.outFbo);
    glViewport(0, 0, off.fbWidth, off.fbHeight);
    off.frameFailed = !velFinishDraw(in);
}

int vel_frameRead(unsigned char *rgba)
{
    if (!velOffscreen || !off.outFbo || !rgba) return 0;
    if (!off.frameDrawn) {
        // nothing drawn yet: the background, as an empty frame shows it
        VelFrame empty;
        velOffscreenDraw(empty);
    }
    if (off.frameFailed) return 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, off.outFbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, off.fbWidth, off.fbHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    // GL's first row is the bottom one: turn the rows over in place
    size_t row = (size_t)off.fbWidth * 4;
    std::vector<unsigned char> spare(row);
    for (int y = 0; y < off.fbHeight / 2; y++) {
        unsigned char *top = rgba + (size_t)y * row, *bottom = rgba + (size_t)(off.fbHeight - 1 - y) * row;
        std::memcpy(spare.data(), top, row);
        std::memcpy(top, bottom, row);
        std::memcpy(bottom, spare.data(), row);
    }
    return 1;
}
