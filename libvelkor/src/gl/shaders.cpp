// shaders.cpp - the GLSL 330 sources of the backend's programs: unit meshes
// placed per instance, spheres and cylinders ray-cast on small stand-ins
// (impostors), wide and thin line segments, and the one lighting they share.
// The backend compiles them (backend.cpp); nothing here calls GL.
#include "gl/shaders.h"

// The lighting of the fixed pipeline, per pixel: emission, the material's
// ambient in a 0.15 grey ambient light, a key light (diffuse 0.7, specular
// 0.4) from the upper left and a fill light (diffuse 0.2) from the lower
// right, both directional and fixed to the eye, a viewer at infinity and
// the specular part added after the texture. A textured surface takes its
// colour from the texture: `base` scales every term. Compiled once for
// each kind of surface (KIND 1 flat, 2 material, 4 textured), so a pixel
// runs only its own kind's work: software drivers run both sides of a
// branch and would sample the texture for every pixel.
const char *const VEL_GLSL_SHADING = R"(
#if KIND == 1
uniform vec4 flatColour;
vec4 shade(vec3 n, vec2 uv) { return flatColour; }
#else
uniform vec3 ambient;
uniform vec3 diffuse;
uniform vec3 specular;
uniform vec3 emission;
uniform float shininess;
uniform sampler2D surfaceImage;
const vec3 keyDirection = vec3(-0.45, 0.55, 0.7) / length(vec3(-0.45, 0.55, 0.7));
const vec3 fillDirection = vec3(0.6, -0.3, 0.5) / length(vec3(0.6, -0.3, 0.5));
vec4 shade(vec3 n, vec2 uv)
{
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
    return vec4(min(lit + base * specular * (0.4 * highlight), vec3(1.0)), 1.0);
}
#endif
)";

// Every program that places instances reads them the same way: instance i
// is three texels of the buffer `instances` (its 12 floats: the x, y and z
// axes with the size folded in, then the origin).
#define VEL_GLSL_INSTANCE                                                                          \
    "uniform samplerBuffer instances;\n"                                                           \
    "uniform int firstInstance;\n"                                                                 \
    "void fetchInstance(int i, out vec3 axisX, out vec3 axisY, out vec3 axisZ, out vec3 origin)\n" \
    "{\n"                                                                                          \
    "    vec4 t0 = texelFetch(instances, 3 * i), t1 = texelFetch(instances, 3 * i + 1),\n"        \
    "         t2 = texelFetch(instances, 3 * i + 2);\n"                                            \
    "    axisX = t0.xyz; axisY = vec3(t0.w, t1.xy); axisZ = vec3(t1.zw, t2.x); origin = t2.yzw;\n"  \
    "}\n"

// A unit mesh vertex placed by its instance's axes and origin. The unit
// meshes' normals are radial or along an axis, so the placed axes carry
// them to the right direction whatever the object's size. Vertex number
// v is vertex v % meshVertexCount of instance firstInstance + v /
// meshVertexCount; a vertex is two texels (position and normal x, normal
// y z and texture coordinate).
const char *const VEL_GLSL_MESH_VERTEX = "#version 330 core\n" VEL_GLSL_INSTANCE R"(
uniform samplerBuffer meshVertices;
uniform int meshVertexCount;
uniform mat4 viewMatrix;
uniform mat4 projection;
out vec3 eyeNormal;
out vec2 uv;
void main()
{
    int n = gl_VertexID / meshVertexCount;
    int local = gl_VertexID - n * meshVertexCount;
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + n, axisX, axisY, axisZ, origin);
    vec4 v0 = texelFetch(meshVertices, 2 * local), v1 = texelFetch(meshVertices, 2 * local + 1);
    vec3 world = axisX * v0.x + axisY * v0.y + axisZ * v0.z + origin;
    eyeNormal = mat3(viewMatrix) * (axisX * v0.w + axisY * v1.x + axisZ * v1.y);
    uv = v1.zw;
    gl_Position = projection * (viewMatrix * vec4(world, 1.0));
}
)";

const char *const VEL_GLSL_MESH_FRAGMENT = R"(
in vec3 eyeNormal;
in vec2 uv;
out vec4 fragColour;
void main() { fragColour = shade(normalize(eyeNormal), uv); }
)";

// A sphere a few pixels wide: one point that covers the sphere's outline,
// placed at the sphere's point nearest the eye so that what lies inside the
// sphere stays hidden behind it. Each pixel casts its ray against the
// sphere for the surface and normal under it, and discards a miss. Vertex
// v is instance firstInstance + v. The placed axes, made unit, go along for
// textures.
const char *const VEL_GLSL_SPHERE_VERTEX = "#version 330 core\n" VEL_GLSL_INSTANCE R"(
uniform mat4 viewMatrix;
uniform mat4 projection;
uniform vec2 viewport;
flat out vec4 sphere;  // centre seen from the eye, radius
flat out mat3 frame;
void main()
{
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + gl_VertexID, axisX, axisY, axisZ, origin);
    mat3 turn = mat3(viewMatrix);
    frame = mat3(normalize(turn * axisX), normalize(turn * axisY), normalize(turn * axisZ));
    float radius = max(length(axisX), max(length(axisY), length(axisZ)));
    vec3 centre = (viewMatrix * vec4(origin, 1.0)).xyz;
    sphere = vec4(centre, radius);
    float distance = length(centre);
    if (-centre.z <= 2.0 * radius) {  // reaches the eye's plane: the meshes draw such spheres
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        gl_PointSize = 1.0;
        return;
    }
    gl_Position = projection * vec4(centre * (1.0 - radius / distance), 1.0);
    // the outline is a circle stretched away from the middle of the view
    float pixels = radius * projection[1][1] * 0.5 * viewport.y / -centre.z;
    gl_PointSize = 2.0 * pixels * distance / -centre.z + 0.5;
}
)";

const char *const VEL_GLSL_SPHERE_FRAGMENT = R"(
uniform mat4 projection;
uniform vec2 viewport;
flat in vec4 sphere;
flat in mat3 frame;
out vec4 fragColour;
const float TURN = 6.28318530718, HALF_TURN = 3.14159265359;
void main()
{
    vec3 centre = sphere.xyz;
    float radius = sphere.w;
    vec2 focal = vec2(projection[0][0], projection[1][1]) * 0.5 * viewport;
    vec3 ray = normalize(vec3((gl_FragCoord.xy - 0.5 * viewport) / focal, -1.0));
    // the ray's closest approach to the centre, small however far the sphere
    vec3 miss = ray * dot(ray, centre) - centre;
    float inside = radius * radius - dot(miss, miss);
    if (inside < 0.0) discard;
    vec3 n = (miss - ray * sqrt(inside)) / radius;
    vec2 uv = vec2(0.0);
#if KIND == 4
    // the unit mesh's coordinates: s once around its z axis, t from pole to pole
    vec3 local = n * frame;
    float s = atan(local.y, local.x) / TURN;
    uv = vec2(s < 0.0 ? s + 1.0 : s, acos(clamp(-local.z, -1.0, 1.0)) / HALF_TURN);
#endif
    fragColour = shade(n, uv);
}
)";

// A cylinder a few pixels thick: a quad facing the eye that covers its
// outline (the tube and both end discs), each corner moved along
// its own ray towards the eye by the radius, so that the quad lies in
// front of the tube's axis. Each pixel casts its ray against the tube: the
// outside of the tube between its ends, and the end that faces the eye
// when the cylinder is closed; a miss is discarded, as the inside of an
// open tube is (the meshes cull it as a back face). Vertex v is corner
// v % 4 of instance firstInstance + v / 4: 0 and 1 at the -Z end, 2 and 3
// at +Z.
const char *const VEL_GLSL_CYLINDER_VERTEX = "#version 330 core\n" VEL_GLSL_INSTANCE R"(
uniform mat4 viewMatrix;
uniform mat4 projection;
out vec3 eyePosition;
flat out vec4 base;  // the -Z end seen from the eye, radius
flat out vec4 axis;  // unit direction from the -Z end to the +Z end, length
flat out vec3 sideX;
flat out vec3 sideY;
void main()
{
    int corner = gl_VertexID & 3;
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + (gl_VertexID >> 2), axisX, axisY, axisZ, origin);
    mat3 turn = mat3(viewMatrix);
    vec3 z = turn * axisZ;
    float len = length(z);
    axis = vec4(z / len, len);
    sideX = turn * axisX;
    sideY = turn * axisY;
    float radius = max(length(sideX), length(sideY));
    sideX = normalize(sideX);
    sideY = normalize(sideY);
    vec3 start = (viewMatrix * vec4(origin, 1.0)).xyz - 0.5 * z;
    base = vec4(start, radius);
    vec3 end = corner < 2 ? start : start + z;
    if (-start.z <= 2.0 * radius || -(start + z).z <= 2.0 * radius) {  // reaches the eye's plane: the meshes draw it
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        return;
    }
    // across the tube and along it, both square to the ray to this end
    vec3 ray = normalize(end);
    vec3 across = cross(axis.xyz, ray);
    across = dot(across, across) > 1e-8 ? normalize(across) : normalize(cross(ray, abs(ray.x) < 0.9 ? vec3(1, 0, 0) : vec3(0, 1, 0)));
    vec3 along = cross(ray, across);
    if (dot(along, axis.xyz) * (corner < 2 ? -1.0 : 1.0) < 0.0) along = -along;
    // an end disc seen from the eye: the radius across, less along the tube
    // the more it is seen from the side (5 % to spare for the perspective)
    vec3 p = end + 1.05 * radius * (((corner & 1) == 0 ? -1.0 : 1.0) * across + abs(dot(axis.xyz, ray)) * along);
    eyePosition = p - normalize(p) * radius;
    gl_Position = projection * vec4(eyePosition, 1.0);
}
)";

const char *const VEL_GLSL_CYLINDER_FRAGMENT = R"(
uniform int closed;
in vec3 eyePosition;
flat in vec4 base;
flat in vec4 axis;
flat in vec3 sideX;
flat in vec3 sideY;
out vec4 fragColour;
const float TURN = 6.28318530718;
void main()
{
    float radius = base.w;
    vec3 ray = normalize(eyePosition);
    vec3 from = -base.xyz;  // the eye, seen from the -Z end
    float ra = dot(ray, axis.xyz), fa = dot(from, axis.xyz);
    // across the axis: the ray's closest approach to it, small however far the tube
    vec3 rp = ray - axis.xyz * ra, fp = from - axis.xyz * fa;
    float a = dot(rp, rp);
    float t = 1e30, along = 0.0;
    vec3 n = vec3(0.0, 0.0, 1.0);
    if (a > 1e-12) {
        float closest = -dot(rp, fp) / a;
        vec3 miss = fp + rp * closest;
        float inside = radius * radius - dot(miss, miss);
        float chord = sqrt(max(inside, 0.0) / a);  // half the chord, in steps along rp
        float h = fa + (closest - chord) * ra;
        if (inside >= 0.0 && h >= 0.0 && h <= axis.w) {
            t = closest - chord;
            n = (miss - rp * chord) / radius;
            along = h;
        }
    }
    if (closed == 1 && abs(ra) > 1e-6) {
        float h = ra > 0.0 ? 0.0 : axis.w;
        float hit = (h - fa) / ra;
        vec3 q = fp + hit * rp;
        if (hit < t && dot(q, q) <= radius * radius) {
            t = hit;
            n = ra > 0.0 ? -axis.xyz : axis.xyz;
            along = h;
        }
    }
    if (t >= 1e30) discard;
    vec2 uv = vec2(0.0);
#if KIND == 4
    // the unit mesh's coordinates: s once around, t from the -Z to the +Z end
    vec3 radial = fp + t * rp;
    float s = atan(dot(radial, sideY), dot(radial, sideX)) / TURN;
    uv = vec2(s < 0.0 ? s + 1.0 : s, along / axis.w);
#endif
    fragColour = shade(n, uv);
}
)";

// A segment wider than one device pixel is a quad, two triangles over four
// vertices: its ends pushed half the width to either side, measured in
// device pixels on the screen. A segment that reaches behind the near plane
// is cut there first. A segment is two texels: start and colour, end and
// colour (the colour as four bytes, red lowest). Vertex number v is corner
// v % 4 of segment firstSegment + v / 4.
const char *const VEL_GLSL_LINE_VERTEX = R"(#version 330 core
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
const char *const VEL_GLSL_THIN_LINE_VERTEX = R"(#version 330 core
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

const char *const VEL_GLSL_LINE_FRAGMENT = R"(#version 330 core
in vec4 lineColour;
out vec4 fragColour;
void main() { fragColour = lineColour; }
)";

