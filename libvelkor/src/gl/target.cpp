// target.cpp - where the window's frames are drawn and kept: a framebuffer
// of the window's size that a frame is drawn into, and the colour of the
// last complete frame, kept to be copied to the window again whenever it is
// uncovered (a menu closing over it, a dialog moved away) at the cost of one
// copy, whatever the scene. A frame broken off half-drawn is never copied.
// Two colour buffers take turns: the one drawn into becomes the kept one
// when its frame is complete. With multisampling (hardware drivers) the
// frame is drawn into a multisampled buffer and resolved into its turn's.
#include "gl/backend.h"

#include <algorithm>

namespace {

// The window's framebuffers; written by the calls of this file only.
struct Target {
    int width = 0, height = 0;      // size of the buffers, device pixels
    int samples = 0;                // samples of the drawing buffers
    GLuint colour[2] = {0, 0};      // single-sampled colours, taking turns
    GLuint colourFbo[2] = {0, 0};   // a framebuffer holding each alone
    GLuint draw = 0;                // the framebuffer a frame is drawn into
    GLuint drawColour = 0;          // its multisampled colour, 0 without multisampling
    GLuint depth = 0;               // its depth
    int drawing = 0;                // colour the next frame goes into
    int kept = -1;                  // colour holding the last complete frame, -1 none
    int keptWidth = 0, keptHeight = 0;
};
Target target;

void release()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLuint fbos[3] = {target.draw, target.colourFbo[0], target.colourFbo[1]};
    GLuint rbs[4] = {target.colour[0], target.colour[1], target.drawColour, target.depth};
    glDeleteFramebuffers(3, fbos);
    glDeleteRenderbuffers(4, rbs);
    target = Target{};
}

// The buffers for frames of width x height; the last frame is kept only
// while the size stays.
void make(int width, int height, int samples)
{
    release();
    target.width = width;
    target.height = height;
    target.samples = samples;
    for (int k = 0; k < 2; k++) {
        target.colour[k] = velGlRenderbuffer(GL_RGBA8, 0, width, height);
        glGenFramebuffers(1, &target.colourFbo[k]);
        glBindFramebuffer(GL_FRAMEBUFFER, target.colourFbo[k]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour[k]);
    }
    glGenFramebuffers(1, &target.draw);
    glBindFramebuffer(GL_FRAMEBUFFER, target.draw);
    if (samples > 0) {
        target.drawColour = velGlRenderbuffer(GL_RGBA8, samples, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.drawColour);
    }
    target.depth = velGlRenderbuffer(GL_DEPTH_COMPONENT24, samples, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
}

// The kept frame into the window's back buffer, at the top left; the rest
// of a larger window in the background colour.
void copyKept()
{
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    int w = velWindow.pixelWidth, h = velWindow.pixelHeight;
    if (target.kept < 0 || w > target.keptWidth || h > target.keptHeight) {
        const GLfloat background[4] = {velWindow.background[0], velWindow.background[1], velWindow.background[2], 1};
        glClearBufferfv(GL_COLOR, 0, background);
    }
    if (target.kept < 0) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.colourFbo[target.kept]);
    // GL counts rows from the bottom: the top rows of both line up
    int copyW = std::min(w, target.keptWidth), copyH = std::min(h, target.keptHeight);
    glBlitFramebuffer(0, target.keptHeight - copyH, copyW, target.keptHeight, 0, h - copyH, copyW, h,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

} // namespace

int velGlTargetBegin(int samples)
{
    static int singleOnly = 0;  // a multisampled framebuffer could not be made: single samples from then on
    if (singleOnly) samples = 0;
    velGlInit();
    int w = velWindow.pixelWidth > 0 ? velWindow.pixelWidth : 1, h = velWindow.pixelHeight > 0 ? velWindow.pixelHeight : 1;
    if (w != target.width || h != target.height || samples != target.samples || !target.draw) make(w, h, samples);
    glBindFramebuffer(GL_FRAMEBUFFER, target.draw);
    if (!target.drawColour)
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour[target.drawing]);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return 1;
    if (samples > 0) {
        release();
        singleOnly = 1;
        return velGlTargetBegin(0);
    }
    static int reported = 0;  // once: every frame would try again
    if (!reported++) velFailure("velkor: no framebuffer of %d x %d pixels to draw the window's frames into\n", w, h);
    release();
    return 0;
}

void velGlTargetFinish(void)
{
    int k = target.drawing;
    if (target.drawColour) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.draw);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.colourFbo[k]);
        glBlitFramebuffer(0, 0, target.width, target.height, 0, 0, target.width, target.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    }
    target.kept = k;
    target.keptWidth = target.width;
    target.keptHeight = target.height;
    target.drawing = 1 - k;
    copyKept();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void velGlTargetShowKept(void)
{
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    copyKept();
    // an expose may come between two draws of a frame: it goes on where it was
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, (GLuint)draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)read);
    if (draw != 0) glDrawBuffer(GL_COLOR_ATTACHMENT0);
}

void velGlTargetCapture(void)
{
    if (target.kept < 0) return;
    GLint draw = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.colourFbo[target.kept]);
    velGlCapture();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, (GLuint)draw);
}
