// postprocess.cpp - the finish of off-screen pictures: the pass that turns a
// frame drawn into colour and depth textures into the picture's pixels. Per
// pixel it averages the samples (multisampled, or a grid of texels drawn
// larger), fades each towards the background with its distance from the eye
// (depth cue), darkens it where nearby surfaces rise towards the eye
// (ambient occlusion from the depth texture), and gives the background
// alpha 0 when the picture is transparent. Everything a pixel reads is
// found from its place in the whole picture, never from the tile it is
// drawn in, so tiles join without seams.
//
// Index of this file:
// [SECTION] State
// [SECTION] Programs
// [SECTION] Reach of the occlusion
// [SECTION] Settings
// [SECTION] The pass
#include "gl/backend.h"
#include "gl/shaders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

//------------------------------------------------------------------------------
// [SECTION] State
//------------------------------------------------------------------------------
// Taps a pixel looks at for the occlusion, shared among its samples, and
// the largest reach of the taps on the picture: beyond it a near point's
// look around is cut short, and each tile is drawn with that margin.
constexpr int OCCLUSION_TAPS = 64;
constexpr float OCCLUSION_REACH = 256.0f;
// Texture units of the pass, apart from those of the backend's programs.
constexpr int UNIT_COLOUR = 5, UNIT_DEPTH = 6;


constexpr int MOST_SAMPLES = 16;  // samples a pixel at most (vel_offscreenSamplesSet)
// The pass's programs and the settings as the vel_offscreen... calls left
// them (written by those calls; the programs and vertex array by the pass).
struct Finish {
    GLuint programs[2][2][MOST_SAMPLES + 1] = {};  // by multisampled, occlusion and samples; 0 = not built yet
    GLuint passVao = 0;                  // the empty vertex array the pass draws with
    float fogStart = 0, fogEnd = 0;      // distances where the depth cue starts and is complete
    float fogStrength = 0;               // how far it fades towards the background, 0..1
    float occlusionRadius = 0;           // scene units around a point that may hide it; 0 off
    float occlusionStrength = 0;         // how dark a point hidden all round gets, 0..1
    float occlusionNearest = 1;          // nearest distance the reach is sized for
    int transparentBackground = 0;       // 1: the background gets alpha 0
};
Finish finish;

int occlusionOn() { return finish.occlusionRadius > 0 && finish.occlusionStrength > 0; }

//------------------------------------------------------------------------------
// [SECTION] Programs
//------------------------------------------------------------------------------
// Keeps the log that says why the pass did not build: the last stage that
// failed to compile, else the link's.
void keepLog(int stage, const char *log, void *data)
{
    char *kept = (char *)data;
    if (stage == VEL_GL_COMPILE || !kept[0]) std::snprintf(kept, 1024, "%s", log);
}

// Compiles and links the pass for one kind of frame; says why in one line if not.
GLuint buildProgram(const char *defines)
{
    const char *vertex[] = {VEL_GLSL_VERSION, VEL_GLSL_FINISH_VERTEX};
    const char *fragment[] = {VEL_GLSL_VERSION, defines, VEL_GLSL_FINISH_FRAGMENT};
    char log[1024] = "";
    int linked = 0;
    GLuint program = velGlBuildProgram(vertex, 2, fragment, 3, &linked, keepLog, log);
    if (!linked) {
        std::fprintf(stderr, "velkor: the finishing pass does not build: %s\n", log);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

GLuint programFor(const VelFinishInput &in, int occlusion)
{
    int samples = std::clamp(in.samples, 1, MOST_SAMPLES);
    GLuint &program = finish.programs[in.multisampled ? 1 : 0][occlusion][samples];
    if (program) return program;
    char defines[160];
    std::snprintf(defines, sizeof defines, "#define MULTISAMPLE %d\n#define OCCLUSION %d\n#define SAMPLES %d\n"
                  "#define GRID %d\n#define TAPS %d\n",
                  in.multisampled ? 1 : 0, occlusion, samples, in.multisampled ? 1 : in.grid,
                  std::max(1, (OCCLUSION_TAPS + samples - 1) / samples));
    program = buildProgram(defines);
    return program;
}

//------------------------------------------------------------------------------
// [SECTION] Reach of the occlusion
//------------------------------------------------------------------------------
// Pixels of the picture that a length of 1 spans at distance 1 from the eye.
float pixelsAtUnitDistance(const vel_viewParams &view, int pictureHeight)
{
    vel_viewParams v = velViewResolved(view);
    return (float)(0.5 * pictureHeight / std::tan(v.fov * M_PI / 360.0));
}

// How far on the picture the taps of the nearest point reach: the radius
// seen at the nearest distance, at most OCCLUSION_REACH.
float largestReach(const vel_viewParams &view, int pictureHeight)
{
    vel_viewParams v = velViewResolved(view);
    float nearest = std::max(finish.occlusionNearest, v.nearClip);
    return std::min(pixelsAtUnitDistance(view, pictureHeight) * finish.occlusionRadius / nearest, OCCLUSION_REACH);
}

} // namespace

//------------------------------------------------------------------------------
// [SECTION] Settings
//------------------------------------------------------------------------------
void vel_offscreenFogSet(float nearDistance, float farDistance, float strength)
{
    VEL_TRACE("vel_offscreenFogSet %g %g %g", nearDistance, farDistance, strength);
    finish.fogStart = nearDistance;
    finish.fogEnd = farDistance;
    finish.fogStrength = std::isfinite(strength) ? std::clamp(strength, 0.0f, 1.0f) : 0.0f;
}

void vel_offscreenOcclusionSet(float radius, float strength, float nearest)
{
    VEL_TRACE("vel_offscreenOcclusionSet %g %g %g", radius, strength, nearest);
    finish.occlusionRadius = std::isfinite(radius) && radius > 0 ? radius : 0.0f;
    finish.occlusionStrength = std::isfinite(strength) ? std::clamp(strength, 0.0f, 1.0f) : 0.0f;
    finish.occlusionNearest = std::isfinite(nearest) && nearest > 0 ? nearest : 0.0f;
}

void vel_offscreenTransparentSet(int transparent)
{
    VEL_TRACE("vel_offscreenTransparentSet %d", transparent);
    finish.transparentBackground = transparent ? 1 : 0;
}

//------------------------------------------------------------------------------
// [SECTION] The pass
//------------------------------------------------------------------------------
int velFinishMargin(const vel_viewParams &view, int pictureHeight)
{
    if (!occlusionOn()) return 0;
    return (int)std::ceil(largestReach(view, pictureHeight)) + 2;  // and the neighbours of the normals
}

int velFinishDraw(const VelFinishInput &in)
{
    if (!finish.passVao) glGenVertexArrays(1, &finish.passVao);
    int occlusion = occlusionOn();
    GLuint program = programFor(in, occlusion);
    if (!program) return 0;
    auto at = [program](const char *uniform) { return glGetUniformLocation(program, uniform); };
    vel_viewParams v = velViewResolved(in.view);
    GLenum target = in.multisampled ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
    glActiveTexture(GL_TEXTURE0 + UNIT_COLOUR);
    glBindTexture(target, in.colour);
    glActiveTexture(GL_TEXTURE0 + UNIT_DEPTH);
    glBindTexture(target, in.depth);
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(program);
    glUniform1i(at("colourImage"), UNIT_COLOUR);
    glUniform1i(at("depthImage"), UNIT_DEPTH);
    glUniform2i(at("tileOffset"), in.tileLeft, in.tileBottom);
    glUniform2i(at("drawOrigin"), in.drawLeft, in.drawBottom);
    glUniform2i(at("drawTexels"), in.drawWidth * in.grid, in.drawHeight * in.grid);
    glUniform2f(at("pictureSize"), (float)in.pictureWidth, (float)in.pictureHeight);
    float up = (float)std::tan(v.fov * M_PI / 360.0);
    glUniform2f(at("frustum"), up * (float)in.pictureWidth / (float)in.pictureHeight, up);
    glUniform2f(at("clip"), v.nearClip, v.farClip);
    float span = finish.fogEnd - finish.fogStart;
    glUniform3f(at("fog"), finish.fogStart, span > 1e-6f ? 1.0f / span : 1e6f, finish.fogStrength);
    glUniform3fv(at("background"), 1, in.background);
    glUniform1i(at("transparent"), finish.transparentBackground);
    glUniform4f(at("occlusion"), finish.occlusionRadius, finish.occlusionStrength, pixelsAtUnitDistance(in.view, in.pictureHeight),
                largestReach(in.view, in.pictureHeight));
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glBindVertexArray(finish.passVao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
    glEnable(GL_DEPTH_TEST);
    return 1;
}
