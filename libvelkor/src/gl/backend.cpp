// backend.cpp - every OpenGL call of the library. OpenGL 3.3 (core or
// compatibility profile) through libepoxy, which resolves the functions of
// whatever context is current: the Qt window's or a headless one. Buffer
// objects read as texture buffers and GLSL 330 programs: one for each kind
// of surface draws every instance of a unit mesh in one call, lit per pixel
// by two lights fixed to the eye; one draws line segments as screen-space
// quads of real width, and one draws lines one device pixel wide from
// vertex attributes. Instances are pulled by the vertex shader from the
// vertex number (instance = number / mesh vertices); measured on llvmpipe,
// the instanced calls with per-instance attributes draw the meshes no
// faster, and a quad per instance draws wide lines slower.
#include "internal.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

int velCaptureOn = 0;
std::vector<uint8_t> velCapture;
int velCaptureWidth = 0, velCaptureHeight = 0;
uint32_t velGlChunkInstances = 1u << 20;
uint32_t velGlChunkSegments = 1u << 20;

namespace {

//------------------------------------------------------------------------------
// Programs
//------------------------------------------------------------------------------
// A unit mesh vertex placed by its instance's axes and origin. The unit
// meshes' normals are radial or along an axis, so the placed axes carry
// them to the right direction whatever the object's size. Vertex number
// v is vertex v % meshVertexCount of instance firstInstance + v /
// meshVertexCount; a vertex is two texels (position and normal x, normal
// y z and texture coordinate), an instance three (its 12 floats).
const char *MESH_VERTEX = R"(#version 330 core
uniform samplerBuffer meshVertices;
uniform samplerBuffer instances;
uniform int meshVertexCount;
uniform int firstInstance;
uniform mat4 viewMatrix;
uniform mat4 projection;
out vec3 eyeNormal;
out vec2 uv;
void main()
{
    int n = gl_VertexID / meshVertexCount;
    int local = gl_VertexID - n * meshVertexCount;
    int instance = firstInstance + n;
    vec4 v0 = texelFetch(meshVertices, 2 * local), v1 = texelFetch(meshVertices, 2 * local + 1);
    vec4 t0 = texelFetch(instances, 3 * instance), t1 = texelFetch(instances, 3 * instance + 1),
         t2 = texelFetch(instances, 3 * instance + 2);
    vec3 axisX = t0.xyz, axisY = vec3(t0.w, t1.xy), axisZ = vec3(t1.zw, t2.x), origin = t2.yzw;
    vec3 world = axisX * v0.x + axisY * v0.y + axisZ * v0.z + origin;
    eyeNormal = mat3(viewMatrix) * (axisX * v0.w + axisY * v1.x + axisZ * v1.y);
    uv = v1.zw;
    gl_Position = projection * (viewMatrix * vec4(world, 1.0));
}
)";

// The lighting of the fixed pipeline, per pixel: emission, the material's
// ambient in a 0.15 grey ambient light, a key light (diffuse 0.7, specular
// 0.4) from the upper left and a fill light (diffuse 0.2) from the lower
// right, both directional and fixed to the eye, a viewer at infinity and
// the specular part added after the texture. A textured surface takes its
// colour from the texture: `base` scales every term. Compiled once for
// each kind of surface (KIND 1 flat, 2 material, 4 textured), so a pixel
// runs only its own kind's work: software drivers run both sides of a
// branch and would sample the texture for every pixel.
const char *MESH_FRAGMENT = R"(
#if KIND == 1
uniform vec4 flatColour;
out vec4 fragColour;
void main() { fragColour = flatColour; }
#else
uniform vec3 ambient;
uniform vec3 diffuse;
uniform vec3 specular;
uniform vec3 emission;
uniform float shininess;
uniform sampler2D surfaceImage;
in vec3 eyeNormal;
in vec2 uv;
out vec4 fragColour;
const vec3 keyDirection = vec3(-0.45, 0.55, 0.7) / length(vec3(-0.45, 0.55, 0.7));
const vec3 fillDirection = vec3(0.6, -0.3, 0.5) / length(vec3(0.6, -0.3, 0.5));
void main()
{
    vec3 n = normalize(eyeNormal);
#if KIND == 4
    vec3 base = texture(surfaceImage, uv).rgb;
#else
    const vec3 base = vec3(1.0);
#endif
    float key = max(dot(n, keyDirection), 0.0);
    float fill = max(dot(n, fillDirection), 0.0);
    vec3 lit = min(base * (emission + 0.15 * ambient + diffuse * (0.7 * key + 0.2 * fill)), vec3(1.0));
    float highlight = 0.0;
    if (key > 0.0) {
        float h = max(dot(n, normalize(keyDirection + vec3(0.0, 0.0, 1.0))), 0.0);
        highlight = shininess > 0.0 ? pow(h, shininess) : 1.0;
    }
    fragColour = vec4(min(lit + base * specular * (0.4 * highlight), vec3(1.0)), 1.0);
}
#endif
)";

// A segment wider than one device pixel is a quad, two triangles over four
// vertices: its ends pushed half the width to either side, measured in
// device pixels on the screen. A segment that reaches behind the near plane
// is cut there first. A segment is two texels: start and colour, end and
// colour (the colour as four bytes, red lowest). Vertex number v is corner
// v % 4 of segment firstSegment + v / 4.
const char *LINE_VERTEX = R"(#version 330 core
uniform usamplerBuffer segments;
uniform int firstSegment;
uniform mat4 viewProjection;
uniform vec2 viewport;
uniform float halfWidth;
out vec4 lineColour;
void main()
{
    int n = gl_VertexID >> 2;
    int corner = gl_VertexID & 3;
    int segment = firstSegment + n;
    uvec4 s0 = texelFetch(segments, 2 * segment), s1 = texelFetch(segments, 2 * segment + 1);
    uint c = s0.w;
    lineColour = vec4(float(c & 255u), float((c >> 8) & 255u), float((c >> 16) & 255u), float(c >> 24)) / 255.0;
    vec4 a = viewProjection * vec4(uintBitsToFloat(s0.xyz), 1.0);
    vec4 b = viewProjection * vec4(uintBitsToFloat(s1.xyz), 1.0);
    float da = a.z + a.w, db = b.z + b.w;
    if (da < 0.0 && db < 0.0) {
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        return;
    }
    if (da < 0.0) a = mix(a, b, da / (da - db));
    else if (db < 0.0) b = mix(b, a, db / (db - da));
    vec2 halfViewport = 0.5 * viewport;
    vec2 d = (b.xy / b.w - a.xy / a.w) * halfViewport;
    float len = length(d);
    vec2 side = len > 1e-6 ? vec2(-d.y, d.x) / len : vec2(0.0, 1.0);
    // corners 0 start-, 1 start+, 2 end-, 3 end+
    vec4 p = corner < 2 ? a : b;
    float sense = (corner & 1) == 0 ? -1.0 : 1.0;
    p.xy += sense * halfWidth * side / halfViewport * p.w;
    gl_Position = p;
}
)";

// A segment one device pixel wide: its ends as per-vertex attributes
// (VelLineVertex, colour bytes normalised), drawn as the driver draws
// lines. Attributes fetch faster than texture buffers in software drivers.
const char *THIN_LINE_VERTEX = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
uniform mat4 viewProjection;
out vec4 lineColour;
void main()
{
    lineColour = colour;
    gl_Position = viewProjection * vec4(position, 1.0);
}
)";

const char *LINE_FRAGMENT = R"(#version 330 core
in vec4 lineColour;
out vec4 fragColour;
void main() { fragColour = lineColour; }
)";

struct MeshProgram {
    GLuint name = 0;
    GLint viewMatrix, projection, flatColour, ambient, diffuse, specular, emission, shininess, image;
    GLint meshVertices, instances, meshVertexCount, firstInstance;
};

struct LineProgram {
    GLuint name = 0;
    GLint viewProjection, viewport, halfWidth, segments, firstSegment;
};

// Texture units: 0 the surface's image, 1 the unit mesh, 2 the instances,
// 3 the line segments. One texture object each views the buffer in use.
constexpr int UNIT_MESH = 1, UNIT_INSTANCES = 2, UNIT_SEGMENTS = 3;
GLuint meshTexture = 0, instanceTexture = 0, segmentTexture = 0;
constexpr size_t REPEAT_BYTES = 4u << 20;  // size of a mesh's repeated index buffer at most
constexpr size_t REPEAT_VERTICES = 65536;  // vertices one draw spans at most: drivers size buffers by it
constexpr size_t SOFTWARE_TRIANGLES = 49152;  // triangles one draw makes at most on a software driver
constexpr uint32_t QUADS = 1u << 14;        // segments one draw makes at most; the quad index buffer covers them
GLuint quadIndices = 0;                    // 0 1 2 2 1 3, then the same 4 on, and so on

int glReady = 0;               // velGlInit has run
int softwareDriver = 0;        // 1: the driver rasterises on the CPU; set by velGlInit
MeshProgram meshPrograms[3];        // flat, material, textured
MeshProgram *meshProgram = nullptr;  // the one in use
LineProgram lineProgram;      // wide segments, read from texture buffers
LineProgram thinLineProgram;  // segments one device pixel wide, from attributes
GLuint lineVao = 0;           // the thin segments' attributes
GLuint emptyVao = 0;  // core profile draws need one bound, though nothing is read from it
VelStateKey currentKey = 0xffffffffu;  // state last applied in this frame
int currentMesh = -1;                  // unit mesh whose buffers are bound
int currentMirrored = -1;
vel_matrix frameView, frameProjection;  // the view of the frame being drawn

GLuint compile(GLenum type, const char *source)
{
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        velFailure("velkor: a shader does not compile: %s\n", log);
    }
    return s;
}

GLuint link(const char *vertex, const char *fragment)
{
    GLuint p = glCreateProgram(), v = compile(GL_VERTEX_SHADER, vertex), f = compile(GL_FRAGMENT_SHADER, fragment);
    glAttachShader(p, v);
    glAttachShader(p, f);
    glBindFragDataLocation(p, 0, "fragColour");
    glLinkProgram(p);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetProgramInfoLog(p, sizeof log, nullptr, log);
        velFailure("velkor: a shader program does not link: %s\n", log);
    }
    // detached, the shaders go at once; attached, they kept their compiled
    // form for as long as the program lived (1.5 MB on llvmpipe)
    glDetachShader(p, v);
    glDetachShader(p, f);
    glDeleteShader(v);
    glDeleteShader(f);
    return p;
}

#ifndef NDEBUG
void GLAPIENTRY debugMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar *message, const void *)
{
    if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH) velFailure("velkor: GL: %s\n", message);
}

int debugOutput = 0;  // KHR_debug reports errors as they happen

void reportErrors(const char *where)
{
    if (debugOutput) return;
    for (GLenum e; (e = glGetError()) != GL_NO_ERROR;) velFailure("velkor: GL error 0x%x in %s\n", e, where);
}
#else
void reportErrors(const char *) {}
#endif

//------------------------------------------------------------------------------
// Textures, meshes and buffers
//------------------------------------------------------------------------------
void uploadTexture(VelTexture &t)
{
    if (t.glName == 0) glGenTextures(1, &t.glName);
    glBindTexture(GL_TEXTURE_2D, t.glName);
    // GL's first row is t = 0, the bottom: hand the file's rows over last first
    std::vector<uint8_t> flipped(t.rgb.size());
    size_t row = (size_t)t.width * 3;
    for (int y = 0; y < t.height; y++)
        std::copy(t.rgb.begin() + (size_t)y * row, t.rgb.begin() + (size_t)(y + 1) * row,
                  flipped.begin() + (size_t)(t.height - 1 - y) * row);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, t.width, t.height, 0, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    t.glDirty = 0;
}

// A unit mesh goes to its buffers the first time it is drawn and stays:
// its vertices, and its indices repeated for as many instances as fit in
// REPEAT_BYTES, each copy moved on by the mesh's vertex count.
void bindMesh(int id)
{
    if (id == currentMesh) return;
    currentMesh = id;
    VelMesh &m = *velMeshTable[id];
    if (m.glBuffers[0] == 0) {
        glGenBuffers(2, m.glBuffers);
        glBindBuffer(GL_TEXTURE_BUFFER, m.glBuffers[0]);
        glBufferData(GL_TEXTURE_BUFFER, (GLsizeiptr)(m.vertices.size() * sizeof(VelMeshVertex)), m.vertices.data(),
                     GL_STATIC_DRAW);
        glBindBuffer(GL_TEXTURE_BUFFER, 0);
        size_t ni = m.indices.size(), nv = m.vertices.size();
        size_t repeat = std::min(REPEAT_BYTES / (4 * std::max<size_t>(ni, 1)), REPEAT_VERTICES / std::max<size_t>(nv, 1));
        if (softwareDriver) repeat = std::min(repeat, SOFTWARE_TRIANGLES / std::max<size_t>(ni / 3, 1));
        m.glRepeat = (uint32_t)std::max<size_t>(1, repeat);
        std::vector<uint32_t> repeated(ni * m.glRepeat);
        for (size_t k = 0; k < m.glRepeat; k++)
            for (size_t j = 0; j < ni; j++) repeated[k * ni + j] = (uint32_t)(k * nv + m.indices[j]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.glBuffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(repeated.size() * 4), repeated.data(), GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.glBuffers[1]);
    glActiveTexture(GL_TEXTURE0 + UNIT_MESH);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, m.glBuffers[0]);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(meshProgram->meshVertexCount, (GLint)m.vertices.size());
}

// Copies `count` items of `size` bytes into buffers of `chunk` items each.
void fillBuffers(std::vector<unsigned> *buffers, const void *data, size_t count, size_t size, size_t chunk,
                 GLenum usage)
{
    size_t need = (count + chunk - 1) / chunk;
    while (buffers->size() < need) {
        GLuint b = 0;
        glGenBuffers(1, &b);
        buffers->push_back(b);
    }
    for (size_t i = 0; i < need; i++) {
        size_t n = std::min(chunk, count - i * chunk);
        glBindBuffer(GL_TEXTURE_BUFFER, (*buffers)[i]);
        glBufferData(GL_TEXTURE_BUFFER, (GLsizeiptr)(n * size), (const char *)data + i * chunk * size, usage);
    }
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
}

void deleteBuffers(std::vector<unsigned> *buffers)
{
    if (!buffers->empty()) glDeleteBuffers((GLsizei)buffers->size(), buffers->data());
    buffers->clear();
}

//------------------------------------------------------------------------------
// Drawing
//------------------------------------------------------------------------------
float luminance(const vel_colour &c) { return (c.r + c.g + c.b) / 3.0f; }

void applyState(VelStateKey key, int mirrored)
{
    if (mirrored != currentMirrored) {
        currentMirrored = mirrored;
        glFrontFace(mirrored ? GL_CW : GL_CCW);
    }
    if (key == currentKey) return;
    currentKey = key;
    int kind = key & 0xff, index = (key >> 8) & 0xff, texture = (key >> 16) & 0xff;
    if (key & (1u << 24)) glDisable(GL_CULL_FACE);
    else glEnable(GL_CULL_FACE);
    if (kind == 4 && velTextures[texture].width == 0) kind = 2;  // unloaded since: the material alone
    MeshProgram *program = &meshPrograms[kind == 1 ? 0 : kind == 2 ? 1 : 2];
    if (program != meshProgram) {
        meshProgram = program;
        glUseProgram(program->name);
        currentMesh = -1;  // the mesh's uniforms are the program's
    }
    if (kind == 1) {
        glUniform4fv(meshProgram->flatColour, 1, &velColours[index].r);
        return;
    }
    const VelMaterial &m = velMaterials[index];
    if (kind == 2) {
        glUniform3fv(meshProgram->ambient, 1, &m.ambient.r);
        glUniform3fv(meshProgram->diffuse, 1, &m.diffuse.r);
        glUniform3fv(meshProgram->specular, 1, &m.specular.r);
        glUniform3fv(meshProgram->emission, 1, &m.emission.r);
    } else {
        // colour from the texture; from the material only how much of each
        // light it takes, relative to its diffuse part
        float d = luminance(m.diffuse);
        if (!(d > 1e-6f)) d = 1;
        float a = luminance(m.ambient) / d, s = luminance(m.specular) / d, e = luminance(m.emission) / d;
        glUniform3f(meshProgram->ambient, a, a, a);
        glUniform3f(meshProgram->diffuse, 1, 1, 1);
        glUniform3f(meshProgram->specular, s, s, s);
        glUniform3f(meshProgram->emission, e, e, e);
        VelTexture &t = velTextures[texture];
        glActiveTexture(GL_TEXTURE0);
        if (t.glName == 0 || t.glDirty) uploadTexture(t);
        else glBindTexture(GL_TEXTURE_2D, t.glName);
    }
    glUniform1f(meshProgram->shininess, m.shininess);
}

// A software driver bins the triangles of each draw in memory of its own and
// rasterises them on other threads. Given a whole large frame at once it
// queued several such scenes: 7.4 M triangles cost 138 MB more at the first
// frame, and that stays in the heap. So a draw makes at most
// SOFTWARE_TRIANGLES triangles or QUADS segments there, and before each draw
// it waits for the one before the last: two in flight, 45-50 MB for the
// same frame and frames as fast. Lines count too: 200000 thin segments in
// one draw took 27 MB.
GLsync inFlight[2];  // fences after the last two draws, oldest first

void paceDraw()
{
    if (!softwareDriver) return;
    if (inFlight[0]) {
        glClientWaitSync(inFlight[0], GL_SYNC_FLUSH_COMMANDS_BIT, 10000000000ull);
        glDeleteSync(inFlight[0]);
    }
    inFlight[0] = inFlight[1];
    inFlight[1] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

void endPacing()
{
    for (GLsync &f : inFlight)
        if (f) {
            glDeleteSync(f);
            f = nullptr;
        }
}

void drawGroups(VelBatch *b)
{
    int any = 0;
    for (const VelInstanceGroup &g : b->groups) any |= g.count > 0;
    if (!any) return;
    for (MeshProgram &p : meshPrograms) {
        glUseProgram(p.name);
        glUniformMatrix4fv(p.viewMatrix, 1, GL_FALSE, frameView.m);
        glUniformMatrix4fv(p.projection, 1, GL_FALSE, frameProjection.m);
    }
    meshProgram = &meshPrograms[2];
    glBindVertexArray(emptyVao);
    currentKey = 0xffffffffu;
    currentMesh = -1;
    for (VelInstanceGroup &g : b->groups) {
        if (g.count == 0 || g.mesh < 0 || g.mesh >= (int)velMeshTable.size()) continue;
        applyState(g.key, g.mirrored);
        bindMesh(g.mesh);
        if (!b->uploaded)
            fillBuffers(&g.glBuffers, g.instances.data(), g.count, sizeof(VelInstance), velGlChunkInstances,
                        GL_STREAM_DRAW);
        const VelMesh &m = *velMeshTable[g.mesh];
        GLsizei ni = (GLsizei)m.indices.size();
        for (size_t i = 0; i < g.glBuffers.size() && i * velGlChunkInstances < g.count; i++) {
            uint32_t n = std::min<uint32_t>(velGlChunkInstances, g.count - (uint32_t)i * velGlChunkInstances);
            glActiveTexture(GL_TEXTURE0 + UNIT_INSTANCES);
            glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, g.glBuffers[i]);
            glActiveTexture(GL_TEXTURE0);
            for (uint32_t first = 0; first < n; first += m.glRepeat) {
                uint32_t k = std::min(m.glRepeat, n - first);
                glUniform1i(meshProgram->firstInstance, (GLint)first);
                glDrawElements(GL_TRIANGLES, ni * (GLsizei)k, GL_UNSIGNED_INT, nullptr);
                paceDraw();
            }
        }
    }
    glBindVertexArray(0);
}

void drawLines(VelBatch *b)
{
    int any = 0;
    for (const VelLineGroup &g : b->lines) any |= g.vertexCount > 0;
    if (!any) return;
    int w = velWindow.pixelWidth > 0 ? velWindow.pixelWidth : 1, h = velWindow.pixelHeight > 0 ? velWindow.pixelHeight : 1;
    float ratio = velWindow.width > 0 ? (float)velWindow.pixelWidth / (float)velWindow.width : 1.0f;
    if (!(ratio > 0)) ratio = 1;
    vel_matrix vp = velMatrixMultiply(frameProjection, frameView);
    glUseProgram(lineProgram.name);
    glBindVertexArray(emptyVao);
    glUniformMatrix4fv(lineProgram.viewProjection, 1, GL_FALSE, vp.m);
    glUniform2f(lineProgram.viewport, (float)w, (float)h);
    glUseProgram(thinLineProgram.name);
    glUniformMatrix4fv(thinLineProgram.viewProjection, 1, GL_FALSE, vp.m);
    glUseProgram(lineProgram.name);
    glDisable(GL_CULL_FACE);
    currentKey = 0xffffffffu;
    for (VelLineGroup &g : b->lines) {
        uint32_t segments = g.vertexCount / 2;
        if (segments == 0) continue;
        if (!b->uploaded)
            fillBuffers(&g.glBuffers, g.vertices.data(), segments, 2 * sizeof(VelLineVertex), velGlChunkSegments,
                        GL_STREAM_DRAW);
        // one device pixel: a plain line, which any driver draws and fastest
        float width = g.width * ratio;
        int quads = width > 1.0f;
        glUniform1f(lineProgram.halfWidth, 0.5f * width);
        for (size_t i = 0; i < g.glBuffers.size() && i * velGlChunkSegments < segments; i++) {
            uint32_t n = std::min<uint32_t>(velGlChunkSegments, segments - (uint32_t)i * velGlChunkSegments);
            if (!quads) {
                glUseProgram(thinLineProgram.name);
                glBindVertexArray(lineVao);
                glBindBuffer(GL_ARRAY_BUFFER, g.glBuffers[i]);
                const GLsizei stride = sizeof(VelLineVertex);
                glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, (const void *)offsetof(VelLineVertex, p));
                glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, (const void *)offsetof(VelLineVertex, c));
                for (uint32_t first = 0; first < n; first += QUADS) {
                    glDrawArrays(GL_LINES, (GLint)(2 * first), (GLsizei)(2 * std::min(QUADS, n - first)));
                    paceDraw();
                }
                glUseProgram(lineProgram.name);
                glBindVertexArray(emptyVao);
                continue;
            }
            glActiveTexture(GL_TEXTURE0 + UNIT_SEGMENTS);
            glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32UI, g.glBuffers[i]);
            glActiveTexture(GL_TEXTURE0);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndices);
            for (uint32_t first = 0; first < n; first += QUADS) {
                glUniform1i(lineProgram.firstSegment, (GLint)first);
                glDrawElements(GL_TRIANGLES, (GLsizei)(6 * std::min(QUADS, n - first)), GL_UNSIGNED_INT, nullptr);
                paceDraw();
            }
        }
    }
    glBindVertexArray(0);
}

void drawBatch(VelBatch *b, int depth)
{
    if (!b || depth > 16) return;
    if (b->retained && !b->uploaded && b != velRecording) velGlUploadBatch(b);
    drawGroups(b);
    drawLines(b);
    for (int id : b->calls)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velDisplayLists[id], depth + 1);
}

GLuint bufferTexture(int unit)
{
    GLuint t = 0;
    glGenTextures(1, &t);
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_BUFFER, t);
    glActiveTexture(GL_TEXTURE0);
    return t;
}

} // namespace

int velGlCheckVersion(char *message, size_t size)
{
    const char *renderer = velGlRenderer();
    const GLubyte *versionText = glGetString(GL_VERSION);
    int version = versionText ? epoxy_gl_version() : 0, glsl = 0, desktop = versionText ? epoxy_is_desktop_gl() : 0;
    const char *profile = "";
    if (desktop && version >= 20) {
        const char *s = (const char *)glGetString(GL_SHADING_LANGUAGE_VERSION);
        int major = 0, minor = 0;
        if (s && std::sscanf(s, "%d.%d", &major, &minor) == 2) glsl = major * 100 + minor;
    }
    if (desktop && version >= 32) {
        GLint mask = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
        profile = (mask & GL_CONTEXT_CORE_PROFILE_BIT) ? " core profile" : " compatibility profile";
    }
    if (desktop && version >= 33 && glsl >= 330) return 1;
    if (message && size)
        std::snprintf(message, size,
                      "velkor: OpenGL 3.3 with GLSL 3.30 is needed, but the driver offers %s%s%s (renderer %s)",
                      desktop ? "OpenGL " : "", versionText ? (const char *)versionText : "no OpenGL context",
                      profile, renderer);
    return 0;
}

void velGlInit(void)
{
    if (glReady) return;
    glReady = 1;
    softwareDriver = velGlSoftware();
    velHeapPrepare();
#ifndef NDEBUG
    if (epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_KHR_debug")) {
        debugOutput = 1;
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageCallback(debugMessage, nullptr);
    }
#endif
    for (int k = 0; k < 3; k++) {
        // the surface kind is fixed when compiling: 1, 2 or 4
        std::string fragment = std::string("#version 330 core\n#define KIND ") + "124"[k] + MESH_FRAGMENT;
        meshProgram = &meshPrograms[k];
        meshProgram->name = link(MESH_VERTEX, fragment.c_str());
        GLuint p = meshProgram->name;
        meshProgram->viewMatrix = glGetUniformLocation(p, "viewMatrix");
        meshProgram->projection = glGetUniformLocation(p, "projection");
        meshProgram->flatColour = glGetUniformLocation(p, "flatColour");
        meshProgram->ambient = glGetUniformLocation(p, "ambient");
        meshProgram->diffuse = glGetUniformLocation(p, "diffuse");
        meshProgram->specular = glGetUniformLocation(p, "specular");
        meshProgram->emission = glGetUniformLocation(p, "emission");
        meshProgram->shininess = glGetUniformLocation(p, "shininess");
        meshProgram->image = glGetUniformLocation(p, "surfaceImage");
        meshProgram->meshVertices = glGetUniformLocation(p, "meshVertices");
        meshProgram->instances = glGetUniformLocation(p, "instances");
        meshProgram->meshVertexCount = glGetUniformLocation(p, "meshVertexCount");
        meshProgram->firstInstance = glGetUniformLocation(p, "firstInstance");
        glUseProgram(p);
        glUniform1i(meshProgram->image, 0);
        glUniform1i(meshProgram->meshVertices, UNIT_MESH);
        glUniform1i(meshProgram->instances, UNIT_INSTANCES);
    }
    lineProgram.name = link(LINE_VERTEX, LINE_FRAGMENT);
    GLuint l = lineProgram.name;
    lineProgram.viewProjection = glGetUniformLocation(l, "viewProjection");
    lineProgram.viewport = glGetUniformLocation(l, "viewport");
    lineProgram.halfWidth = glGetUniformLocation(l, "halfWidth");
    lineProgram.segments = glGetUniformLocation(l, "segments");
    lineProgram.firstSegment = glGetUniformLocation(l, "firstSegment");
    glUseProgram(l);
    glUniform1i(lineProgram.segments, UNIT_SEGMENTS);
    thinLineProgram.name = link(THIN_LINE_VERTEX, LINE_FRAGMENT);
    thinLineProgram.viewProjection = glGetUniformLocation(thinLineProgram.name, "viewProjection");
    glGenVertexArrays(1, &lineVao);
    glBindVertexArray(lineVao);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glBindVertexArray(0);
    glUseProgram(0);
    glGenVertexArrays(1, &emptyVao);
    std::vector<uint32_t> quad(6 * (size_t)QUADS);
    for (uint32_t k = 0; k < QUADS; k++) {
        const uint32_t corner[6] = {0, 1, 2, 2, 1, 3};
        for (int j = 0; j < 6; j++) quad[6 * k + j] = 4 * k + corner[j];
    }
    glGenBuffers(1, &quadIndices);
    glBindVertexArray(emptyVao);  // the element buffer binding belongs to the vertex array
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(quad.size() * 4), quad.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
    meshTexture = bufferTexture(UNIT_MESH);
    instanceTexture = bufferTexture(UNIT_INSTANCES);
    segmentTexture = bufferTexture(UNIT_SEGMENTS);
    // a buffer holds no more than the driver's texel limit allows
    GLint texels = 65536;
    glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &texels);
    uint32_t limit = (uint32_t)std::max<GLint>(texels, 65536);
    velGlChunkInstances = std::min<uint32_t>(limit / 3, 1u << 20);
    velGlChunkSegments = std::min<uint32_t>(limit / 2, 1u << 20);
    reportErrors("set-up");
    velChatter("velkor: OpenGL %s, %s\n", (const char *)glGetString(GL_VERSION), velGlRenderer());
}

const char *velGlRenderer(void)
{
    const GLubyte *s = glGetString(GL_RENDERER);
    return s ? (const char *)s : "unknown";
}

int velGlSoftware(void)
{
    const char *r = velGlRenderer();
    return std::strstr(r, "llvmpipe") || std::strstr(r, "softpipe") || std::strstr(r, "swrast") ||
           std::strstr(r, "Software Rasterizer");
}

void velGlRenderFrame(const VelFrame &frame)
{
    velGlInit();
    int w = velWindow.pixelWidth > 0 ? velWindow.pixelWidth : 1;
    int h = velWindow.pixelHeight > 0 ? velWindow.pixelHeight : 1;
    glViewport(0, 0, w, h);
    glClearColor(velWindow.background[0], velWindow.background[1], velWindow.background[2], 1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    currentMirrored = 0;
    frameProjection = velProjectionMatrix(velWindow.view, w, h);
    frameView = velViewMatrix(velWindow.view);
    for (int id : frame.lists)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velDisplayLists[id], 0);
    drawBatch(const_cast<VelBatch *>(&frame.immediate), 0);
    endPacing();
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glFrontFace(GL_CCW);
    reportErrors("a frame");
    if (velCaptureOn) velGlCapture();
}

// Reads the framebuffer being drawn into: the window's back buffer, or the
// caller's framebuffer object.
void velGlCapture(void)
{
    int w = velWindow.pixelWidth, h = velWindow.pixelHeight;
    if (w <= 0 || h <= 0) return;
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)draw);
    glReadBuffer(draw == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0);
    std::vector<uint8_t> raw((size_t)w * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)read);
    velCapture.resize(raw.size());
    size_t row = (size_t)w * 4;
    for (int y = 0; y < h; y++)
        std::copy(raw.begin() + (size_t)y * row, raw.begin() + (size_t)(y + 1) * row,
                  velCapture.begin() + (size_t)(h - 1 - y) * row);
    velCaptureWidth = w;
    velCaptureHeight = h;
}

// A recorded list: each group's instances and each width's segments go to
// buffers of their own, and the CPU copies are freed. The largest go first:
// the copy freed after each leaves room in the heap for the next, smaller
// buffers, where in the order recorded a large group came after small holes
// and the list stood in memory twice over.
void velGlUploadBatch(VelBatch *b)
{
    if (b->uploaded) return;
    std::vector<std::pair<size_t, int>> order;  // bytes, then group k as k and width k as -1 - k
    for (size_t k = 0; k < b->groups.size(); k++)
        if (b->groups[k].count > 0) order.push_back({(size_t)b->groups[k].count * sizeof(VelInstance), (int)k});
    for (size_t k = 0; k < b->lines.size(); k++)
        if (b->lines[k].vertexCount >= 2)
            order.push_back({(size_t)b->lines[k].vertexCount * sizeof(VelLineVertex), -1 - (int)k});
    std::stable_sort(order.begin(), order.end(), [](auto &x, auto &y) { return x.first > y.first; });
    size_t bytes = 0;
    for (auto [size, k] : order) {
        bytes += size;
        if (k >= 0) {
            VelInstanceGroup &g = b->groups[k];
            fillBuffers(&g.glBuffers, g.instances.data(), g.count, sizeof(VelInstance), velGlChunkInstances,
                        GL_STATIC_DRAW);
            std::vector<VelInstance>().swap(g.instances);
        } else {
            VelLineGroup &g = b->lines[-1 - k];
            fillBuffers(&g.glBuffers, g.vertices.data(), g.vertexCount / 2, 2 * sizeof(VelLineVertex),
                        velGlChunkSegments, GL_STATIC_DRAW);
            std::vector<VelLineVertex>().swap(g.vertices);
        }
    }
    b->bytes = bytes;
    b->uploaded = 1;
}

void velGlReleaseBatch(VelBatch *b)
{
    if (glReady) {
        // A vertex array or a buffer texture that still names a deleted
        // buffer keeps its storage: the last thin lines drawn kept a whole
        // list's segments, 6.5 MB at 99999 atoms, for as long as the viewer ran.
        glBindVertexArray(lineVao);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, nullptr);
        glBindVertexArray(0);
        glActiveTexture(GL_TEXTURE0 + UNIT_INSTANCES);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, 0);
        glActiveTexture(GL_TEXTURE0 + UNIT_SEGMENTS);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32UI, 0);
        glActiveTexture(GL_TEXTURE0);
    }
    for (VelInstanceGroup &g : b->groups) deleteBuffers(&g.glBuffers);
    for (VelLineGroup &g : b->lines) deleteBuffers(&g.glBuffers);
    b->uploaded = 0;
}
