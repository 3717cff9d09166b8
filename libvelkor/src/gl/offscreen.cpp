// offscreen.cpp - drawing without a window or an X server: an OpenGL context
// from Mesa's surfaceless EGL platform and framebuffer objects. A frame is
// drawn into colour and depth textures that cover the framebuffer's part of
// the picture (with a margin for the occlusion's look around), multisampled
// or a whole number of times larger for smooth edges; the finishing pass
// (postprocess.cpp) makes the framebuffer's pixels from them, and
// vel_frameRead hands those over. Nothing is presented and the frames are
// not paced. GL functions come through libepoxy, which resolves them from
// the EGL context.
#include "gl/backend.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

int velOffscreen = 0;
int velOffscreenMultisample = -1;

namespace {

// The context asked for: the backend runs on 3.3 core. Mesa hands out the
// highest version of the profile asked for (4.5 on llvmpipe).
constexpr EGLint CONTEXT_MAJOR = 3, CONTEXT_MINOR = 3;
constexpr EGLint CONTEXT_PROFILE = EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT;
// Samples a pixel at most. A software driver rasterises multisampled
// frames slower than frames drawn 2 x 2 times larger (1.4 s against 0.9 s
// for 99999 atoms at 1920 x 1080 with llvmpipe), so there the samples are
// a grid of texels and hardware alone multisamples.
constexpr int MAX_SAMPLES = 16;
// Largest side of the textures a frame draws into, at one sample a texel
// (colour and depth of 4096 x 4096 texels take 128 MiB), and of a tile:
// larger pictures are drawn in tiles, and the caller holds a band of tile
// rows as wide as the picture.
constexpr int DRAW_LIMIT = 4096;
constexpr int TILE_LIMIT = 2048;

EGLDisplay display = EGL_NO_DISPLAY;
EGLContext context = EGL_NO_CONTEXT;
int maxSize = 0;                    // largest image side the driver allows
int driverSamples = 0;              // the driver's most samples a texel of a colour and a depth texture
int samplesWanted = 1;              // samples a pixel asked for
int multisampled = 0;               // 1: the frames are multisampled; 0: drawn `grid` times larger
int grid = 1;                       // texels a pixel across
int pixelSamples = 1;               // samples a pixel taken: grid * grid, or the multisample count
GLuint outFbo = 0, outColour = 0;   // the finished pixels, fbWidth x fbHeight
int fbWidth = 0, fbHeight = 0;
GLuint drawFbo = 0, drawColour = 0, drawDepth = 0;  // what the frames draw into
int drawWidth = 0, drawHeight = 0;  // its texels (it only grows: a smaller frame draws in its corner)
int drawKind = -1;                  // what they were made as: their samples a texel, 0 when plain
int pictureWidth = 0, pictureHeight = 0, tileLeft = 0, tileTop = 0;  // the framebuffer's part; 0 = whole
int frameDrawn = 0;                 // a frame went into the framebuffer since it was made
int frameFailed = 0;                // the last frame could not be drawn

int fail(const char *reason)
{
    std::fprintf(stderr, "velkor: no off-screen OpenGL context: %s\n", reason);
    return 0;
}

int makeContext()
{
    display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return fail("the surfaceless EGL platform is not available");
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("EGL offers no desktop OpenGL");
    const EGLint wanted[] = {EGL_CONTEXT_MAJOR_VERSION, CONTEXT_MAJOR, EGL_CONTEXT_MINOR_VERSION, CONTEXT_MINOR,
                             EGL_CONTEXT_OPENGL_PROFILE_MASK, CONTEXT_PROFILE, EGL_NONE};
    context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, wanted);
    if (context == EGL_NO_CONTEXT) {
        const EGLint any[] = {EGL_NONE};  // whatever the driver gives by default
        context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, any);
    }
    if (context == EGL_NO_CONTEXT)
        return fail("the driver refuses an OpenGL context");
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
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
    maxSize = std::min({renderbuffer, texture, viewport[0], viewport[1]});
    driverSamples = std::min(colourSamples, depthSamples);
    return 1;
}

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
    glDeleteFramebuffers(1, &outFbo);
    glDeleteRenderbuffers(1, &outColour);
    outFbo = outColour = 0;
    while (glGetError() != GL_NO_ERROR) {}
    glGenRenderbuffers(1, &outColour);
    glBindRenderbuffer(GL_RENDERBUFFER, outColour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    outFbo = attach(GL_RENDERBUFFER, outColour, 0);
    if (!outFbo) {
        glDeleteRenderbuffers(1, &outColour);
        outColour = 0;
        return 0;
    }
    fbWidth = width;
    fbHeight = height;
    frameDrawn = 0;
    return 1;
}

GLuint newTexture(GLenum target, GLenum format, int width, int height)
{
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(target, t);
    if (target == GL_TEXTURE_2D_MULTISAMPLE) {
        glTexImage2DMultisample(target, pixelSamples, format, width, height, GL_TRUE);
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
    GLuint textures[2] = {drawColour, drawDepth};
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &drawFbo);
    glDeleteTextures(2, textures);
    drawFbo = drawColour = drawDepth = 0;
    drawWidth = drawHeight = 0;
}

// Textures of at least width x height texels for the frames, made anew
// only when they must grow or change kind.
int makeDrawing(int width, int height)
{
    int kind = multisampled ? pixelSamples : 0;
    if (drawFbo && width <= drawWidth && height <= drawHeight && drawKind == kind) return 1;
    width = std::max(width, drawKind == kind ? drawWidth : 0);
    height = std::max(height, drawKind == kind ? drawHeight : 0);
    releaseDrawing();
    while (glGetError() != GL_NO_ERROR) {}
    GLenum target = multisampled ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
    drawColour = newTexture(target, GL_RGBA8, width, height);
    drawDepth = newTexture(target, GL_DEPTH_COMPONENT24, width, height);
    drawFbo = attach(target, drawColour, drawDepth);
    if (!drawFbo) {
        releaseDrawing();
        return 0;
    }
    drawWidth = width;
    drawHeight = height;
    drawKind = kind;
    return 1;
}

// How a frame covers the picture: the framebuffer's part with the margin
// the occlusion looks into, inside the picture (top left origin).
struct Layout {
    int pictureWidth, pictureHeight;
    int left, top, width, height;  // the drawn region
};

Layout layout()
{
    Layout l;
    l.pictureWidth = pictureWidth > 0 ? pictureWidth : fbWidth;
    l.pictureHeight = pictureHeight > 0 ? pictureHeight : fbHeight;
    int margin = velFinishMargin(velWindow.view, l.pictureHeight);
    l.left = std::max(0, tileLeft - margin);
    l.top = std::max(0, tileTop - margin);
    l.width = std::min(l.pictureWidth, tileLeft + fbWidth + margin) - l.left;
    l.height = std::min(l.pictureHeight, tileTop + fbHeight + margin) - l.top;
    return l;
}

// The framebuffer's own part for vel_vectorScrnPos between frames.
void showTile()
{
    velProjectionRegion = VelProjectionRegion{};
    if (pictureWidth > 0) velProjectionRegion = {pictureWidth, pictureHeight, tileLeft, tileTop, fbWidth, fbHeight};
    velWindow.width = velWindow.pixelWidth = fbWidth;
    velWindow.height = velWindow.pixelHeight = fbHeight;
}

} // namespace

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
    if (width < 1 || height < 1 || width > maxSize || height > maxSize) {
        std::fprintf(stderr, "velkor: an off-screen image of %d x %d pixels is outside 1 x 1 .. %d x %d\n", width,
                     height, maxSize, maxSize);
        return 0;
    }
    if ((width != fbWidth || height != fbHeight || !outFbo) && !makeOutput(width, height)) {
        std::fprintf(stderr, "velkor: no off-screen framebuffer of %d x %d pixels\n", width, height);
        return 0;
    }
    pictureWidth = pictureHeight = tileLeft = tileTop = 0;
    frameDrawn = 0;
    showTile();
    vel_win_current = 1;
    velGlInit();
    return 1;
}

int vel_offscreenMaxSize(void)
{
    return velOffscreen ? maxSize : 0;
}

int vel_offscreenSamplesSet(int samples)
{
    VEL_TRACE("vel_offscreenSamplesSet %d", samples);
    if (!velOffscreen) return 0;
    samplesWanted = std::clamp(samples, 1, MAX_SAMPLES);
    // drivers multisample by powers of two: 3 samples are 4, 9 are 16
    int hardware = velOffscreenMultisample < 0 ? !velGlSoftware() : velOffscreenMultisample, power = 1;
    while (power < samplesWanted) power *= 2;
    multisampled = samplesWanted > 1 && hardware && driverSamples >= power;
    grid = multisampled ? 1 : (int)std::ceil(std::sqrt((double)samplesWanted) - 1e-9);
    pixelSamples = multisampled ? power : grid * grid;
    return pixelSamples;
}

int vel_offscreenTileSet(int width, int height, int left, int top)
{
    VEL_TRACE("vel_offscreenTileSet %d %d %d %d", width, height, left, top);
    if (!velOffscreen) return 0;
    int whole = width == 0 && height == 0 && left == 0 && top == 0;
    if (!whole && (left < 0 || top < 0 || left > width - fbWidth || top > height - fbHeight)) return 0;
    pictureWidth = width;
    pictureHeight = height;
    tileLeft = left;
    tileTop = top;
    showTile();
    return 1;
}

int vel_offscreenTileMaxSize(int height)
{
    if (!velOffscreen) return 0;
    // as many samples as DRAW_LIMIT x DRAW_LIMIT texels of one sample
    int across = (int)std::ceil(std::sqrt((double)pixelSamples) - 1e-9);
    int side = std::min(maxSize / grid, DRAW_LIMIT / across) - 2 * velFinishMargin(velWindow.view, height);
    return std::clamp(side, 16, TILE_LIMIT);
}

void velOffscreenDraw(const VelFrame &frame)
{
    if (!outFbo) return;
    Layout l = layout();
    frameDrawn = 1;
    frameFailed = !makeDrawing(l.width * grid, l.height * grid);
    if (frameFailed) {
        std::fprintf(stderr, "velkor: no off-screen frame of %d x %d texels\n", l.width * grid, l.height * grid);
        return;
    }
    // the frame: the drawn region, grid times the pixels each way (line
    // widths follow, as at a device-pixel ratio of `grid`)
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
    velProjectionRegion = {l.pictureWidth, l.pictureHeight, l.left, l.top, l.width, l.height};
    velWindow.width = l.width;
    velWindow.height = l.height;
    velWindow.pixelWidth = l.width * grid;
    velWindow.pixelHeight = l.height * grid;
    velGlRenderFrame(frame);
    showTile();

    VelFinishInput in;
    in.colour = drawColour;
    in.depth = drawDepth;
    in.multisampled = multisampled;
    in.samples = pixelSamples;
    in.grid = grid;
    in.drawLeft = l.left;
    in.drawBottom = l.pictureHeight - (l.top + l.height);
    in.drawWidth = l.width;
    in.drawHeight = l.height;
    in.tileLeft = tileLeft - l.left;
    in.tileBottom = (l.top + l.height) - (tileTop + fbHeight);
    in.pictureWidth = l.pictureWidth;
    in.pictureHeight = l.pictureHeight;
    std::memcpy(in.background, velWindow.background, sizeof in.background);
    in.view = velWindow.view;
    glBindFramebuffer(GL_FRAMEBUFFER, outFbo);
    glViewport(0, 0, fbWidth, fbHeight);
    frameFailed = !velFinishDraw(in);
}

int vel_frameRead(unsigned char *rgba)
{
    if (!velOffscreen || !outFbo || !rgba) return 0;
    if (!frameDrawn) {
        // nothing drawn yet: the background, as an empty frame shows it
        VelFrame empty;
        velOffscreenDraw(empty);
    }
    if (frameFailed) return 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, outFbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, fbWidth, fbHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    // GL's first row is the bottom one: turn the rows over in place
    size_t row = (size_t)fbWidth * 4;
    std::vector<unsigned char> spare(row);
    for (int y = 0; y < fbHeight / 2; y++) {
        unsigned char *top = rgba + (size_t)y * row, *bottom = rgba + (size_t)(fbHeight - 1 - y) * row;
        std::memcpy(spare.data(), top, row);
        std::memcpy(top, bottom, row);
        std::memcpy(bottom, spare.data(), row);
    }
    return 1;
}
