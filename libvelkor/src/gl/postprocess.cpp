// postprocess.cpp - the finish of off-screen pictures: the pass that turns a
// frame drawn into colour and depth textures into the picture's pixels. Per
// pixel it averages the samples (multisampled, or a grid of texels drawn
// larger), fades each towards the background with its distance from the eye
// (depth cue), darkens it where nearby surfaces rise towards the eye
// (ambient occlusion from the depth texture), and gives the background
// alpha 0 when the picture is transparent. Everything a pixel reads is
// found from its place in the whole picture, never from the tile it is
// drawn in, so tiles join without seams.
#include "internal.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// The finishing pass, compiled for each kind of frame: MULTISAMPLE 0 or 1,
// OCCLUSION 0 or 1, SAMPLES a pixel and GRID texels a pixel across, and
// TAPS a sample. Constant counts let the driver unroll the loops: with them
// read from uniforms a software driver took four times as long.
// Pixel and texel coordinates are GL's: y up, origin at the lower left.
const char *FINISH_VERTEX = R"(#version 330 core
void main()
{
    // one triangle over the whole viewport
    vec2 corner = vec2(float((gl_VertexID & 1) << 2), float((gl_VertexID & 2) << 1)) - 1.0;
    gl_Position = vec4(corner, 0.0, 1.0);
}
)";

const char *FINISH_FRAGMENT = R"(
#if MULTISAMPLE
uniform sampler2DMS colourImage;
uniform sampler2DMS depthImage;
#else
uniform sampler2D colourImage;
uniform sampler2D depthImage;
#endif
const int samples = SAMPLES;  // samples a pixel: grid * grid, or the multisample count
const int grid = GRID;        // texels a pixel across (1 when multisampled)
const int taps = TAPS;        // occlusion taps a sample
uniform ivec2 tileOffset;   // the tile's lower left pixel in the drawn region
uniform ivec2 drawOrigin;   // the drawn region's lower left pixel in the picture
uniform ivec2 drawTexels;   // the drawn region's size in texels
uniform vec2 pictureSize;   // the whole picture in pixels
uniform vec2 frustum;       // tangents of the half field of view, across and up
uniform vec2 clip;          // near and far plane distances
uniform vec3 fog;           // start distance, 1 / (end - start), strength
uniform vec3 background;
uniform int transparent;
uniform vec4 occlusion;     // radius, strength, reach at distance 1 in pixels, largest reach in pixels
out vec4 fragColour;

float depthAt(ivec2 texel, int s)
{
#if MULTISAMPLE
    return texelFetch(depthImage, texel, s).r;
#else
    return texelFetch(depthImage, texel, 0).r;
#endif
}

// Distance from the eye along the view of a window depth.
float distanceOf(float depth)
{
    float z = 2.0 * depth - 1.0;
    return 2.0 * clip.x * clip.y / (clip.y + clip.x - z * (clip.y - clip.x));
}

// Picture position (pixels) of a texel's centre.
vec2 placeOf(ivec2 texel)
{
    return vec2(drawOrigin) + (vec2(texel) + 0.5) / float(grid);
}

// Eye-space point seen at picture position p, `distance` along the view.
vec3 eyePoint(vec2 p, float distance)
{
    return vec3((2.0 * p / pictureSize - 1.0) * frustum * distance, -distance);
}

#if OCCLUSION
vec3 texelPoint(ivec2 texel, int s)
{
    texel = clamp(texel, ivec2(0), drawTexels - 1);
    return eyePoint(placeOf(texel), distanceOf(depthAt(texel, s)));
}

// The surface's normal from the neighbouring texels, each way from the side
// nearer in depth (the other may lie across an edge), facing the eye.
vec3 normalAt(ivec2 texel, int s, vec3 p)
{
    vec3 right = texelPoint(texel + ivec2(1, 0), s) - p, left = p - texelPoint(texel - ivec2(1, 0), s);
    vec3 up = texelPoint(texel + ivec2(0, 1), s) - p, down = p - texelPoint(texel - ivec2(0, 1), s);
    vec3 across = abs(right.z) < abs(left.z) ? right : left;
    vec3 along = abs(up.z) < abs(down.z) ? up : down;
    vec3 n = normalize(cross(across, along));
    return n.z < 0.0 ? -n : n;
}

// Share of the view around point p (at picture position place) that the
// surfaces within the radius hide: taps first .. first + taps - 1 of a
// spiral of `total` over a disc as wide on the picture as the radius,
// turned by `turn`.
float occludedAt(ivec2 texel, int s, vec3 p, vec2 place, int first, int total, float turn)
{
    vec3 n = normalAt(texel, s, p);
    float radius = occlusion.x, reach = min(occlusion.z * radius / -p.z, occlusion.w);
    float hidden = 0.0;
    for (int k = 0; k < taps; k++) {
        float t = float(first + k) + 0.5;
        float angle = turn + t * 2.3999632;
        vec2 q = place + reach * sqrt(t / float(total)) * vec2(cos(angle), sin(angle));
        if (any(lessThan(q, vec2(0.0))) || any(greaterThanEqual(q, pictureSize)))
            continue;  // outside the picture: nothing there
        ivec2 at = clamp(ivec2(floor((q - vec2(drawOrigin)) * float(grid))), ivec2(0), drawTexels - 1);
        float depth = depthAt(at, 0);
        if (depth >= 1.0)
            continue;
        vec3 v = eyePoint(placeOf(at), distanceOf(depth)) - p;
        float vv = dot(v, v);
        float near = max(0.0, 1.0 - vv / (radius * radius));
        hidden += near * max(0.0, dot(v, n) * inversesqrt(vv + 1e-6) - 0.1);
    }
    return hidden / float(taps);
}

// A turn of the spiral for each pixel of the picture, from its position
// alone: interleaved gradient noise, whose neighbouring values differ so
// that the taps of a few pixels together cover the disc evenly (a random
// turn a pixel left grain that 64 taps did not smooth).
float turnOf(ivec2 pixel)
{
    return 6.2831853 * fract(52.9829189 * fract(dot(vec2(pixel), vec2(0.06711056, 0.00583715))));
}
#endif

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy) + tileOffset;
#if OCCLUSION
    float turn = turnOf(pixel + drawOrigin);
#endif
    vec3 sum = vec3(0.0);
    float cover = 0.0;
    for (int s = 0; s < samples; s++) {
#if MULTISAMPLE
        ivec2 texel = pixel;
        vec4 colour = texelFetch(colourImage, texel, s);
#else
        ivec2 texel = pixel * grid + ivec2(s % grid, s / grid);
        vec4 colour = texelFetch(colourImage, texel, 0);
#endif
        // without a branch: a software driver runs both sides of one
        float depth = depthAt(texel, s), drawn = depth < 1.0 ? 1.0 : 0.0;
        float distance = distanceOf(depth);
#if OCCLUSION
        if (drawn > 0.0) {
            vec2 place = placeOf(texel);
            vec3 p = eyePoint(place, distance);
            float hidden = occludedAt(texel, s, p, place, s * taps, samples * taps, turn);
            // an eighth of the look around hidden darkens as far as the strength goes
            colour.rgb *= 1.0 - occlusion.y * clamp(8.0 * hidden, 0.0, 1.0);
        }
#endif
        float seen = drawn - drawn * fog.z * clamp((distance - fog.x) * fog.y, 0.0, 1.0);
        sum += colour.rgb * seen;
        cover += seen;
    }
    float n = float(samples);
    vec4 over = vec4((sum + background * (n - cover)) / n, 1.0);
    vec4 alone = vec4(sum / max(cover, 1e-6), cover / n);
    fragColour = transparent != 0 ? alone : over;
}
)";

// Taps a pixel looks at for the occlusion, shared among its samples, and
// the largest reach of the taps on the picture: beyond it a near point's
// look around is cut short, and each tile is drawn with that margin.
constexpr int OCCLUSION_TAPS = 64;
constexpr float OCCLUSION_REACH = 256.0f;
// Texture units of the pass, apart from those of the backend's programs.
constexpr int UNIT_COLOUR = 5, UNIT_DEPTH = 6;


constexpr int MOST_SAMPLES = 16;  // samples a pixel at most (vel_offscreenSamplesSet)
GLuint programs[2][2][MOST_SAMPLES + 1];  // by multisampled, occlusion and samples; 0 = not built yet
GLuint passVao = 0;

// The settings, as the vel_offscreen... calls left them.
float fogStart = 0, fogEnd = 0, fogStrength = 0;
float occlusionRadius = 0, occlusionStrength = 0, occlusionNearest = 1;
int transparentBackground = 0;

int occlusionOn() { return occlusionRadius > 0 && occlusionStrength > 0; }

// Compiles and links the pass's two stages; says why in one line if not.
GLuint buildProgram(const std::string &fragment)
{
    const char *stages[2] = {FINISH_VERTEX, fragment.c_str()};
    const GLenum kinds[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
    GLuint program = glCreateProgram(), shaders[2];
    char log[1024] = "";
    for (int k = 0; k < 2; k++) {
        shaders[k] = glCreateShader(kinds[k]);
        glShaderSource(shaders[k], 1, &stages[k], nullptr);
        glCompileShader(shaders[k]);
        GLint ok = 0;
        glGetShaderiv(shaders[k], GL_COMPILE_STATUS, &ok);
        if (!ok) glGetShaderInfoLog(shaders[k], sizeof log, nullptr, log);
        glAttachShader(program, shaders[k]);
    }
    glBindFragDataLocation(program, 0, "fragColour");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked && !log[0]) glGetProgramInfoLog(program, sizeof log, nullptr, log);
    for (GLuint s : shaders) {
        glDetachShader(program, s);
        glDeleteShader(s);
    }
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
    GLuint &program = programs[in.multisampled ? 1 : 0][occlusion][samples];
    if (program) return program;
    char defines[160];
    std::snprintf(defines, sizeof defines,
                  "#version 330 core\n#define MULTISAMPLE %d\n#define OCCLUSION %d\n#define SAMPLES %d\n"
                  "#define GRID %d\n#define TAPS %d\n",
                  in.multisampled ? 1 : 0, occlusion, samples, in.multisampled ? 1 : in.grid,
                  std::max(1, (OCCLUSION_TAPS + samples - 1) / samples));
    std::string fragment = std::string(defines) + FINISH_FRAGMENT;
    program = buildProgram(fragment);
    return program;
}

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
    float nearest = std::max(occlusionNearest, v.nearClip);
    return std::min(pixelsAtUnitDistance(view, pictureHeight) * occlusionRadius / nearest, OCCLUSION_REACH);
}

} // namespace

//------------------------------------------------------------------------------
// Settings
//------------------------------------------------------------------------------
void vel_offscreenFogSet(float nearDistance, float farDistance, float strength)
{
    VEL_TRACE("vel_offscreenFogSet %g %g %g", nearDistance, farDistance, strength);
    fogStart = nearDistance;
    fogEnd = farDistance;
    fogStrength = std::isfinite(strength) ? std::clamp(strength, 0.0f, 1.0f) : 0.0f;
}

void vel_offscreenOcclusionSet(float radius, float strength, float nearest)
{
    VEL_TRACE("vel_offscreenOcclusionSet %g %g %g", radius, strength, nearest);
    occlusionRadius = std::isfinite(radius) && radius > 0 ? radius : 0.0f;
    occlusionStrength = std::isfinite(strength) ? std::clamp(strength, 0.0f, 1.0f) : 0.0f;
    occlusionNearest = std::isfinite(nearest) && nearest > 0 ? nearest : 0.0f;
}

void vel_offscreenTransparentSet(int transparent)
{
    VEL_TRACE("vel_offscreenTransparentSet %d", transparent);
    transparentBackground = transparent ? 1 : 0;
}

//------------------------------------------------------------------------------
// The pass
//------------------------------------------------------------------------------
int velFinishMargin(const vel_viewParams &view, int pictureHeight)
{
    if (!occlusionOn()) return 0;
    return (int)std::ceil(largestReach(view, pictureHeight)) + 2;  // and the neighbours of the normals
}

int velFinishDraw(const VelFinishInput &in)
{
    if (!passVao) glGenVertexArrays(1, &passVao);
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
    float span = fogEnd - fogStart;
    glUniform3f(at("fog"), fogStart, span > 1e-6f ? 1.0f / span : 1e6f, fogStrength);
    glUniform3fv(at("background"), 1, in.background);
    glUniform1i(at("transparent"), transparentBackground);
    glUniform4f(at("occlusion"), occlusionRadius, occlusionStrength, pixelsAtUnitDistance(in.view, in.pictureHeight),
                largestReach(in.view, in.pictureHeight));
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glBindVertexArray(passVao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
    glEnable(GL_DEPTH_TEST);
    return 1;
}
