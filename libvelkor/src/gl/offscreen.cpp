// offscreen.cpp - drawing without a window or an X server: an OpenGL context
// from Mesa's surfaceless EGL platform and a framebuffer object of the image
// size. vel_frameEnd draws each frame into it (nothing is presented and the
// frames are not paced); vel_frameRead hands the pixels over. GL functions
// come through libepoxy, which resolves them from the EGL context.
#include "gl/backend.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstring>

int velOffscreen = 0;

namespace {

// The context asked for: the backend runs on 3.3 core. Mesa hands out the
// highest version of the profile asked for (4.5 on llvmpipe).
constexpr EGLint CONTEXT_MAJOR = 3, CONTEXT_MINOR = 3;
constexpr EGLint CONTEXT_PROFILE = EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT;
// Multisampling, resolved before reading: 4 smooths the edges, but on
// llvmpipe it made a 1200 x 900 picture 0.6 s slower, so it is off.
constexpr int WANTED_SAMPLES = 0;

EGLDisplay display = EGL_NO_DISPLAY;
EGLContext context = EGL_NO_CONTEXT;
int maxSize = 0;                    // largest image side the driver allows
int samples = 0;                    // samples of the drawing framebuffer, 0 = single
GLuint drawFbo = 0, drawColour = 0, drawDepth = 0;  // what the frames draw into
GLuint resolveFbo = 0, resolveColour = 0;           // single-sampled copy, when samples > 0
int fbWidth = 0, fbHeight = 0;
int frameDrawn = 0;                 // a frame went into the framebuffer since it was made

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
    GLint renderbuffer = 0, viewport[2] = {0, 0}, maxSamples = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    maxSize = renderbuffer;
    if (viewport[0] < maxSize) maxSize = viewport[0];
    if (viewport[1] < maxSize) maxSize = viewport[1];
    samples = maxSamples >= WANTED_SAMPLES ? WANTED_SAMPLES : 0;
    return 1;
}

void releaseFramebuffers()
{
    GLuint fbos[2] = {drawFbo, resolveFbo}, rbs[3] = {drawColour, drawDepth, resolveColour};
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(2, fbos);
    glDeleteRenderbuffers(3, rbs);
    drawFbo = drawColour = drawDepth = resolveFbo = resolveColour = 0;
}

int makeFramebuffers(int width, int height)
{
    releaseFramebuffers();
    while (glGetError() != GL_NO_ERROR) {}
    glGenFramebuffers(1, &drawFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
    drawColour = velGlRenderbuffer(GL_RGBA8, samples, width, height);
    drawDepth = velGlRenderbuffer(GL_DEPTH_COMPONENT24, samples, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, drawColour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, drawDepth);
    int ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (ok && samples > 0) {
        glGenFramebuffers(1, &resolveFbo);
        glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo);
        resolveColour = velGlRenderbuffer(GL_RGBA8, 0, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColour);
        ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    ok = ok && glGetError() == GL_NO_ERROR;
    if (!ok) {
        releaseFramebuffers();
        return 0;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
    fbWidth = width;
    fbHeight = height;
    frameDrawn = 0;
    return 1;
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
        // before the driver's first buffers: they come from the heap too
        velHeapPrepare();
        if (!makeContext()) return 0;
    }
    velOffscreen = 1;
    if (width < 1 || height < 1 || width > maxSize || height > maxSize) {
        std::fprintf(stderr, "velkor: an off-screen image of %d x %d pixels is outside 1 x 1 .. %d x %d\n", width,
                     height, maxSize, maxSize);
        return 0;
    }
    if (!makeFramebuffers(width, height)) {
        std::fprintf(stderr, "velkor: no off-screen framebuffer of %d x %d pixels\n", width, height);
        return 0;
    }
    velWindow.width = velWindow.pixelWidth = width;
    velWindow.height = velWindow.pixelHeight = height;
    vel_win_current = 1;
    velGlInit();
    return 1;
}

int vel_offscreenMaxSize(void)
{
    return velOffscreen ? maxSize : 0;
}

void velOffscreenDraw(const VelFrame &frame)
{
    if (!drawFbo) return;
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
    velGlRenderFrame(frame);
    frameDrawn = 1;
}

int vel_frameRead(unsigned char *rgba)
{
    if (!velOffscreen || !drawFbo || !rgba) return 0;
    if (!frameDrawn) {
        // nothing drawn yet: the background, as an empty frame shows it
        VelFrame empty;
        velOffscreenDraw(empty);
    }
    GLuint source = drawFbo;
    if (samples > 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo);
        glBlitFramebuffer(0, 0, fbWidth, fbHeight, 0, 0, fbWidth, fbHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        source = resolveFbo;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, fbWidth, fbHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
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
