// backend.h - what the parts of the GL backend share: the programs, vertex
// arrays and index buffers that velGlInit makes once (backend.cpp), read by
// the drawing of frames (draw.cpp) and the window's framebuffers
// (target.cpp). Only the files of src/gl/ include it.
#ifndef VELKOR_GL_BACKEND_H
#define VELKOR_GL_BACKEND_H

#include <epoxy/gl.h>

#include "internal.h"

// A program that draws instances of one kind of surface: unit meshes, or
// sphere or cylinder stand-ins. A uniform the program lacks is at -1.
struct VelGlProgram {
    GLuint name = 0;                   // 0 until first used
    GLint viewMatrix, projection, viewport, firstInstance, meshVertexCount, closed;
    GLint flatColour, ambient, diffuse, specular, emission, shininess;
    uint64_t frame = 0;                // the frame whose view its uniforms hold
};

struct VelGlLineProgram {
    GLuint name = 0;                   // 0 until first used
    GLint viewProjection, viewport, halfWidth, firstSegment;
    uint64_t frame = 0;                // the frame whose view its uniforms hold
};

// What an instance program draws.
inline constexpr int VEL_GL_MESHES = 0, VEL_GL_SPHERES = 1, VEL_GL_CYLINDERS = 2;

// Texture units: the surface's image, the unit mesh, the instances and the
// line segments. One buffer texture each views the buffer in use.
inline constexpr int VEL_UNIT_IMAGE = 0, VEL_UNIT_MESH = 1, VEL_UNIT_INSTANCES = 2, VEL_UNIT_SEGMENTS = 3;

inline constexpr size_t VEL_REPEAT_BYTES = 4u << 20;      // a mesh's repeated index buffer at most
inline constexpr size_t VEL_REPEAT_VERTICES = 65536;      // vertices one draw spans at most: drivers size buffers by it
inline constexpr size_t VEL_SOFTWARE_TRIANGLES = 49152;   // triangles one draw makes at most on a software driver
inline constexpr uint32_t VEL_QUADS = 1u << 14;           // line segments one draw makes at most
// Stand-ins one draw makes at most on a software driver. It bins every
// triangle or point with its inputs to the pixels (48 bytes each), so a
// smaller draw keeps its memory down, at no cost in frame time.
inline constexpr uint32_t VEL_CYLINDER_QUADS = 1u << 12;
inline constexpr uint32_t VEL_POINTS = 1u << 13;

// The backend's state: the objects velGlInit makes with a context current
// and keeps for the whole run, and the driver's limits it reads then. Every
// field is written by velGlInit (backend.cpp) unless it says otherwise.
struct VelGlState {
    int ready = 0;                     // velGlInit has run
    int software = 0;                  // 1: the driver rasterises on the CPU
    int debugOutput = 0;               // 1: KHR_debug reports errors as they happen (debug builds)
    // Programs are made the first time they draw (velGlInstanceProgram,
    // velGlLineProgram): each costs a software driver memory of its own,
    // and a scene needs few of the eleven.
    VelGlProgram instances[3][3];      // by VEL_GL_...: unit meshes, spheres as points, cylinders
                                       // as quads; then by surface kind: flat, material, textured
    VelGlLineProgram lines;            // wide segments, read from texture buffers
    VelGlLineProgram thinLines;        // segments one device pixel wide, from attributes
    GLuint lineVao = 0;                // the thin segments' attributes (pointed by draw.cpp)
    GLuint emptyVao = 0;               // bound for every other draw: core profiles need one
    GLuint quadIndices = 0;            // 0 1 2 2 1 3, then the same 4 on: VEL_QUADS quads
    GLuint bufferTextures[4] = {};     // by unit: the buffer textures of units 1 to 3
    float pointLimit = 1;              // largest point the driver draws, in pixels
    uint32_t chunkInstances = 1u << 20;  // instances a GL buffer holds: the driver's texel limit / 3
    uint32_t chunkSegments = 1u << 20;   // line segments a GL buffer holds: the texel limit / 2
};
extern VelGlState velGl;              // the one backend (backend.cpp)

VelGlProgram *velGlInstanceProgram(int what, int kind);  // VEL_GL_..., kind a vel_surfaceMode
VelGlLineProgram *velGlLineProgram(int thin);            // 1: one-pixel segments
void velGlUploadTexture(VelTexture &texture);  // the texture's pixels into its GL texture
void velGlMeshBuffers(VelMesh &mesh);          // a unit mesh's vertex and repeated index buffers, the first time
// Copies `count` items of `size` bytes into buffers of `chunk` items each.
void velGlFillBuffers(std::vector<unsigned> *buffers, const void *data, size_t count, size_t size, size_t chunk,
                      GLenum usage);
void velGlReportErrors(const char *where);  // debug builds without KHR_debug: glGetError after a frame
// Builds a program from a vertex and a fragment stage, each compiled from
// its pieces in order. A stage that does not compile, then a link that
// fails, hands its log to `report` (VEL_GL_COMPILE or VEL_GL_LINK) and the
// building goes on; *linked says whether the program is usable.
inline constexpr int VEL_GL_COMPILE = 1, VEL_GL_LINK = 2;
typedef void (*VelGlBuildReport)(int stage, const char *log, void *data);
GLuint velGlBuildProgram(const char *const *vertex, int vertexPieces, const char *const *fragment,
                         int fragmentPieces, int *linked, VelGlBuildReport report, void *data);
// A renderbuffer of `format`, multisampled when samples > 0.
GLuint velGlRenderbuffer(GLenum format, int samples, int width, int height);

#endif
