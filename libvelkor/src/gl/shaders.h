// shaders.h - the GLSL sources of the backend, one constant per file of
// src/gl/shaders/, embedded at build time (cmake/embed_glsl.cmake). None
// starts with a #version line: the programs are compiled from pieces,
// VEL_GLSL_VERSION first. An instance program's vertex stage comes after
// VEL_GLSL_INSTANCE; its fragment stage after "#define KIND k" (a
// vel_surfaceMode) and VEL_GLSL_SHADING, which gives it shade(normal, uv).
// The finishing pass's fragment stage comes after its own #define lines.
#ifndef VELKOR_GL_SHADERS_H
#define VELKOR_GL_SHADERS_H

inline constexpr const char *VEL_GLSL_VERSION = "#version 330 core\n";  // first piece of every stage

extern const char *const VEL_GLSL_INSTANCE;           // fetchInstance(i, ...): an instance's axes and origin
extern const char *const VEL_GLSL_SHADING;            // shade(n, uv): the lighting of every surface
extern const char *const VEL_GLSL_MESH_VERTEX;        // unit mesh vertices placed per instance
extern const char *const VEL_GLSL_MESH_FRAGMENT;      // a mesh's pixel
extern const char *const VEL_GLSL_SPHERE_VERTEX;      // a small sphere as one point
extern const char *const VEL_GLSL_SPHERE_FRAGMENT;    // the sphere ray-cast under a pixel
extern const char *const VEL_GLSL_CYLINDER_VERTEX;    // a thin cylinder as one quad
extern const char *const VEL_GLSL_CYLINDER_FRAGMENT;  // the tube and its ends ray-cast under a pixel
extern const char *const VEL_GLSL_LINE_VERTEX;        // wide segments as quads
extern const char *const VEL_GLSL_THIN_LINE_VERTEX;   // one-pixel segments as lines
extern const char *const VEL_GLSL_LINE_FRAGMENT;      // a segment's pixel
extern const char *const VEL_GLSL_FINISH_VERTEX;      // the finishing pass's triangle over the viewport
extern const char *const VEL_GLSL_FINISH_FRAGMENT;    // the finishing pass: samples, depth cue, occlusion

#endif
