// backend.cpp - the GL backend's set-up and resources: the version check, the
// programs and vertex arrays made once, textures, unit meshes, the buffers
// of recorded lists and their release, and reading a frame back. OpenGL 3.3
// (core or compatibility profile) through libepoxy, which resolves the
// functions of whatever context is current: the Qt window's or a headless
// one. Frames are drawn by draw.cpp; the window's framebuffers are
// target.cpp's. Instances are pulled by the vertex shader from the vertex
// number (instance = number / mesh vertices): plain draws of repeated
// indices, which software drivers run at least as fast as instanced calls
// with per-instance attributes.
//
// Index of this file:
// [SECTION] State
// [SECTION] Programs
// [SECTION] Set-up and the driver
// [SECTION] Textures, meshes and buffers
// [SECTION] Reading a frame back
// [SECTION] Recorded lists
#include "gl/backend.h"
#include "gl/shaders.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

//------------------------------------------------------------------------------
// [SECTION] State
//------------------------------------------------------------------------------
VelGlState velGl;
VelCaptureState velCapture;

namespace {

//------------------------------------------------------------------------------
// [SECTION] Programs
//------------------------------------------------------------------------------
// A shader or link failure of the backend's own programs: reported, and
// the program goes on unusable (draws nothing).
void reportBuild(int stage, const char *log, void *)
{
    if (stage == VEL_GL_COMPILE) velFailure("velkor: a shader does not compile: %s\n", log);
    else velFailure("velkor: a shader program does not link: %s\n", log);
}

// A program of the backend from its stages' pieces; a failure is reported
// and the program draws nothing.
GLuint buildProgram(std::initializer_list<const char *> vertex, std::initializer_list<const char *> fragment)
{
    int linked = 0;
    return velGlBuildProgram(vertex.begin(), (int)vertex.size(), fragment.begin(), (int)fragment.size(), &linked,
                             reportBuild, nullptr);
}

// Each named uniform's location into its field of the program, then each
// named sampler pointed at its texture unit.
template <class Program, size_t U, size_t S>
void findUniforms(Program *program, const std::pair<const char *, GLint Program::*> (&uniforms)[U],
                  const std::pair<const char *, int> (&samplers)[S])
{
    for (const auto &[name, field] : uniforms) program->*field = glGetUniformLocation(program->name, name);
    glUseProgram(program->name);
    for (const auto &[name, unit] : samplers) glUniform1i(glGetUniformLocation(program->name, name), unit);
}

// A program for one kind of surface (a vel_surfaceMode). The kind is fixed
// when compiling, so a pixel runs only its own kind's work: software
// drivers run both sides of a branch and would sample the texture for
// every pixel.
void makeInstanceProgram(VelGlProgram *program, int kind, const char *vertex, const char *fragmentMain)
{
    char define[32];
    std::snprintf(define, sizeof define, "#define KIND %d\n", kind);
    program->name = buildProgram({VEL_GLSL_VERSION, VEL_GLSL_INSTANCE, vertex},
                                 {VEL_GLSL_VERSION, define, VEL_GLSL_SHADING, fragmentMain});
    using P = VelGlProgram;
    static const std::pair<const char *, GLint P::*> uniforms[] = {
        {"viewMatrix", &P::viewMatrix}, {"projection", &P::projection}, {"viewport", &P::viewport},
        {"firstInstance", &P::firstInstance}, {"meshVertexCount", &P::meshVertexCount}, {"closed", &P::closed},
        {"flatColour", &P::flatColour}, {"ambient", &P::ambient}, {"diffuse", &P::diffuse},
        {"specular", &P::specular}, {"emission", &P::emission}, {"shininess", &P::shininess}};
    static const std::pair<const char *, int> samplers[] = {
        {"surfaceImage", VEL_UNIT_IMAGE}, {"meshVertices", VEL_UNIT_MESH}, {"instances", VEL_UNIT_INSTANCES}};
    findUniforms(program, uniforms, samplers);
}

void makeLineProgram(VelGlLineProgram *program, const char *vertex)
{
    program->name = buildProgram({VEL_GLSL_VERSION, vertex}, {VEL_GLSL_VERSION, VEL_GLSL_LINE_FRAGMENT});
    using P = VelGlLineProgram;
    static const std::pair<const char *, GLint P::*> uniforms[] = {{"viewProjection", &P::viewProjection},
        {"viewport", &P::viewport}, {"halfWidth", &P::halfWidth}, {"firstSegment", &P::firstSegment}};
    static const std::pair<const char *, int> samplers[] = {{"segments", VEL_UNIT_SEGMENTS}};
    findUniforms(program, uniforms, samplers);
}

#ifndef NDEBUG
void GLAPIENTRY debugMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar *message, const void *)
{
    if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH) velFailure("velkor: GL: %s\n", message);
}
#endif

GLuint bufferTexture(int unit)
{
    GLuint t = 0;
    glGenTextures(1, &t);
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_BUFFER, t);
    glActiveTexture(GL_TEXTURE0);
    return t;
}

void deleteBuffers(std::vector<unsigned> *buffers)
{
    if (!buffers->empty()) glDeleteBuffers((GLsizei)buffers->size(), buffers->data());
    buffers->clear();
}

} // namespace

GLuint velGlBuildProgram(const char *const *vertex, int vertexPieces, const char *const *fragment,
                         int fragmentPieces, int *linked, VelGlBuildReport report, void *data)
{
    const char *const *pieces[2] = {vertex, fragment};
    const int counts[2] = {vertexPieces, fragmentPieces};
    const GLenum stages[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
    GLuint program = glCreateProgram(), shaders[2];
    char log[1024];
    for (int k = 0; k < 2; k++) {
        shaders[k] = glCreateShader(stages[k]);
        glShaderSource(shaders[k], counts[k], pieces[k], nullptr);
        glCompileShader(shaders[k]);
        GLint ok = 0;
        glGetShaderiv(shaders[k], GL_COMPILE_STATUS, &ok);
        if (!ok) {
            log[0] = 0;
            glGetShaderInfoLog(shaders[k], sizeof log, nullptr, log);
            report(VEL_GL_COMPILE, log, data);
        }
        glAttachShader(program, shaders[k]);
    }
    glBindFragDataLocation(program, 0, "fragColour");
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        log[0] = 0;
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        report(VEL_GL_LINK, log, data);
    }
    // detached, the shaders go at once; attached, they would keep their
    // compiled form for as long as the program lived
    for (GLuint s : shaders) {
        glDetachShader(program, s);
        glDeleteShader(s);
    }
    *linked = ok;
    return program;
}

void velGlReportErrors(const char *where)
{
#ifndef NDEBUG
    if (velGl.debugOutput) return;
    for (GLenum e; (e = glGetError()) != GL_NO_ERROR;) velFailure("velkor: GL error 0x%x in %s\n", e, where);
#else
    (void)where;
#endif
}

//------------------------------------------------------------------------------
// [SECTION] Set-up and the driver
//------------------------------------------------------------------------------
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
    if (velGl.ready) return;
    velGl.ready = 1;
    velGl.software = velGlSoftware();
#ifndef NDEBUG
    if (epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_KHR_debug")) {
        velGl.debugOutput = 1;
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageCallback(debugMessage, nullptr);
    }
#endif
    glGenVertexArrays(1, &velGl.lineVao);
    glBindVertexArray(velGl.lineVao);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glGenVertexArrays(1, &velGl.emptyVao);
    std::vector<uint32_t> quad(6 * (size_t)VEL_QUADS);
    for (uint32_t k = 0; k < VEL_QUADS; k++) {
        const uint32_t corner[6] = {0, 1, 2, 2, 1, 3};
        for (int j = 0; j < 6; j++) quad[6 * k + j] = 4 * k + corner[j];
    }
    glGenBuffers(1, &velGl.quadIndices);
    glBindVertexArray(velGl.emptyVao);  // the element buffer binding belongs to the vertex array
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, velGl.quadIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(quad.size() * 4), quad.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
    for (int unit : {VEL_UNIT_MESH, VEL_UNIT_INSTANCES, VEL_UNIT_SEGMENTS}) velGl.bufferTextures[unit] = bufferTexture(unit);
    // spheres' stand-ins are points as wide as the sphere
    glEnable(GL_PROGRAM_POINT_SIZE);
    GLfloat sizes[2] = {1, 1};
    glGetFloatv(GL_POINT_SIZE_RANGE, sizes);
    velGl.pointLimit = sizes[1] >= 1 ? sizes[1] : 1;
    // a buffer holds no more than the driver's texel limit allows
    GLint texels = 65536;
    glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &texels);
    uint32_t limit = (uint32_t)std::max<GLint>(texels, 65536);
    velGl.chunkInstances = std::min<uint32_t>(limit / 3, 1u << 20);
    velGl.chunkSegments = std::min<uint32_t>(limit / 2, 1u << 20);
    velGlReportErrors("set-up");
    velChatter("velkor: OpenGL %s, %s\n", (const char *)glGetString(GL_VERSION), velGlRenderer());
}

VelGlProgram *velGlInstanceProgram(int what, int kind)
{
    static const char *const sources[3][2] = {{VEL_GLSL_MESH_VERTEX, VEL_GLSL_MESH_FRAGMENT},
                                              {VEL_GLSL_SPHERE_VERTEX, VEL_GLSL_SPHERE_FRAGMENT},
                                              {VEL_GLSL_CYLINDER_VERTEX, VEL_GLSL_CYLINDER_FRAGMENT}};
    int slot = kind == vel_surface_flat ? 0 : kind == vel_surface_material ? 1 : 2;
    VelGlProgram *p = &velGl.instances[what][slot];
    if (!p->name) makeInstanceProgram(p, kind, sources[what][0], sources[what][1]);
    return p;
}

VelGlLineProgram *velGlLineProgram(int thin)
{
    VelGlLineProgram *p = thin ? &velGl.thinLines : &velGl.lines;
    if (!p->name) makeLineProgram(p, thin ? VEL_GLSL_THIN_LINE_VERTEX : VEL_GLSL_LINE_VERTEX);
    return p;
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

//------------------------------------------------------------------------------
// [SECTION] Textures, meshes and buffers
//------------------------------------------------------------------------------
void velGlUploadTexture(VelTexture &t)
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
// VEL_REPEAT_BYTES, each copy moved on by the mesh's vertex count.
void velGlMeshBuffers(VelMesh &m)
{
    if (m.glBuffers[0] != 0) return;
    glGenBuffers(2, m.glBuffers);
    glBindBuffer(GL_TEXTURE_BUFFER, m.glBuffers[0]);
    glBufferData(GL_TEXTURE_BUFFER, (GLsizeiptr)(m.vertices.size() * sizeof(VelMeshVertex)), m.vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
    size_t ni = m.indices.size(), nv = m.vertices.size();
    size_t repeat = std::min(VEL_REPEAT_BYTES / (4 * std::max<size_t>(ni, 1)), VEL_REPEAT_VERTICES / std::max<size_t>(nv, 1));
    if (velGl.software) repeat = std::min(repeat, VEL_SOFTWARE_TRIANGLES / std::max<size_t>(ni / 3, 1));
    m.glRepeat = (uint32_t)std::max<size_t>(1, repeat);
    std::vector<uint32_t> repeated(ni * m.glRepeat);
    for (size_t k = 0; k < m.glRepeat; k++)
        for (size_t j = 0; j < ni; j++) repeated[k * ni + j] = (uint32_t)(k * nv + m.indices[j]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.glBuffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)(repeated.size() * 4), repeated.data(), GL_STATIC_DRAW);
}

void velGlFillBuffers(std::vector<unsigned> *buffers, const void *data, size_t count, size_t size, size_t chunk,
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

GLuint velGlRenderbuffer(GLenum format, int samples, int width, int height)
{
    GLuint rb = 0;
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    if (samples > 0) glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    return rb;
}

//------------------------------------------------------------------------------
// [SECTION] Reading a frame back
//------------------------------------------------------------------------------
// Reads the framebuffer being drawn into: the window's frame or the
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
    velCapture.rgba.resize(raw.size());
    size_t row = (size_t)w * 4;
    for (int y = 0; y < h; y++)
        std::copy(raw.begin() + (size_t)y * row, raw.begin() + (size_t)(y + 1) * row,
                  velCapture.rgba.begin() + (size_t)(h - 1 - y) * row);
    velCapture.width = w;
    velCapture.height = h;
}

//------------------------------------------------------------------------------
// [SECTION] Recorded lists
//------------------------------------------------------------------------------
// A recorded list: each group's instances and each width's segments go to
// buffers of their own, and the CPU copies are freed; each group keeps the
// bounds of its runs of instances for culling and the choice of stand-ins.
// The largest go first: the copy freed after each leaves room in the heap
// for the next, smaller buffers, where in the order recorded a large group
// came after small holes and the list stood in memory twice over.
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
            velChunkBounds(g.instances.data(), g.count, velMeshTable[g.mesh]->shape, &g.chunks);
            velGlFillBuffers(&g.glBuffers, g.instances.data(), g.count, sizeof(VelInstance), velGl.chunkInstances,
                             GL_STATIC_DRAW);
            std::vector<VelInstance>().swap(g.instances);
        } else {
            VelLineGroup &g = b->lines[-1 - k];
            velGlFillBuffers(&g.glBuffers, g.vertices.data(), g.vertexCount / 2, 2 * sizeof(VelLineVertex),
                             velGl.chunkSegments, GL_STATIC_DRAW);
            std::vector<VelLineVertex>().swap(g.vertices);
        }
    }
    b->bytes = bytes;
    b->uploaded = 1;
}

void velGlReleaseBatch(VelBatch *b)
{
    if (velGl.ready) {
        // A vertex array or a buffer texture that still names a deleted
        // buffer keeps its storage: unbound here, the list's segments and
        // instances go with it instead of staying for the rest of the run.
        glBindVertexArray(velGl.lineVao);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, nullptr);
        glBindVertexArray(0);
        glActiveTexture(GL_TEXTURE0 + VEL_UNIT_INSTANCES);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, 0);
        glActiveTexture(GL_TEXTURE0 + VEL_UNIT_SEGMENTS);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32UI, 0);
        glActiveTexture(GL_TEXTURE0);
    }
    for (VelInstanceGroup &g : b->groups) deleteBuffers(&g.glBuffers);
    for (VelLineGroup &g : b->lines) deleteBuffers(&g.glBuffers);
    b->uploaded = 0;
}
