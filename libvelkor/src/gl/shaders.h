// shaders.h - the GLSL sources of the backend (shaders.cpp). A fragment
// source is compiled after "#version 330 core", "#define KIND k" (1 flat, 2
// material, 4 textured) and VEL_GLSL_SHADING, which gives it shade(normal,
// uv); the vertex sources and the line fragment stand alone.
#ifndef VELKOR_GL_SHADERS_H
#define VELKOR_GL_SHADERS_H

extern const char *const VEL_GLSL_SHADING;            // shade(n, uv): the lighting of every surface
extern const char *const VEL_GLSL_MESH_VERTEX;        // unit mesh vertices placed per instance
extern const char *const VEL_GLSL_MESH_FRAGMENT;
extern const char *const VEL_GLSL_SPHERE_VERTEX;      // a small sphere as one point
extern const char *const VEL_GLSL_SPHERE_FRAGMENT;
extern const char *const VEL_GLSL_CYLINDER_VERTEX;    // a thin cylinder as one quad
extern const char *const VEL_GLSL_CYLINDER_FRAGMENT;
extern const char *const VEL_GLSL_LINE_VERTEX;        // wide segments as quads
extern const char *const VEL_GLSL_THIN_LINE_VERTEX;   // one-pixel segments as lines
extern const char *const VEL_GLSL_LINE_FRAGMENT;

#endif
