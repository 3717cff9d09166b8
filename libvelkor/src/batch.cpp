// batch.cpp - turns objects and line segments into vertex arrays grouped by
// drawing state: the geometry of a recorded display list or of one frame.
// Meshes are cut into chunks of at most 65535 vertices for 16-bit indices.
#include "internal.h"

#include <algorithm>
#include <cmath>

namespace {

VelMeshGroup &meshGroup(VelBatch *b, VelStateKey key)
{
    if (b->lastMesh >= 0 && b->meshes[b->lastMesh].key == key) return b->meshes[b->lastMesh];
    for (size_t i = 0; i < b->meshes.size(); i++)
        if (b->meshes[i].key == key) {
            b->lastMesh = (int)i;
            return b->meshes[i];
        }
    b->meshes.emplace_back();
    VelMeshGroup &g = b->meshes.back();
    g.key = key;
    g.textured = (key & 0xff) == 4;
    b->lastMesh = (int)b->meshes.size() - 1;
    return g;
}

int8_t normalByte(float v)
{
    float s = v * 127.0f;
    if (s > 127) s = 127;
    if (s < -127) s = -127;
    return (int8_t)(s >= 0 ? s + 0.5f : s - 0.5f);
}

// The unit mesh of the last detail asked for, per class: consecutive
// objects nearly always share it.
struct MeshCache {
    int a = -1, b = -1, c = -1;
    const VelMesh *mesh = nullptr;
};
MeshCache sphereMeshCache, cylinderMeshCache;

const VelMesh &cachedMesh(MeshCache &cache, int a, int b, int c, int sphere)
{
    if (cache.mesh && cache.a == a && cache.b == b && cache.c == c) return *cache.mesh;
    cache.mesh = sphere ? &velSphereMesh(a, b, c) : &velCylinderMesh(a, b, c);
    cache.a = a;
    cache.b = b;
    cache.c = c;
    return *cache.mesh;
}

// A recorded list keeps at most one open chunk per state group on the CPU:
// the full one goes to its GL buffers and the arrays are reused for the next.
void flushChunk(VelBatch *b, VelMeshGroup &g)
{
    VelChunk &c = g.chunks.back();
    if (c.glBuffers[0] || c.vertexCount == 0) return;
    if (!velGlueMakeCurrent()) {
        b->streaming = 0;  // no context: the whole list is uploaded at its end
        return;
    }
    b->bytes += velGlUploadChunk(&g, &c);
    g.vertices.clear();
    g.tex.clear();
    g.indices.clear();
}

// Appends a unit mesh scaled by (sx, sy, sz) and placed by m.
void addMesh(VelBatch *b, VelStateKey key, const VelMesh &mesh, const vel_matrix &m, float sx, float sy, float sz)
{
    VelMeshGroup &g = meshGroup(b, key);
    uint32_t nv = (uint32_t)mesh.vertices.size();
    if (g.chunks.empty() || g.chunks.back().vertexCount + nv > (uint32_t)VEL_CHUNK_VERTICES) {
        if (b->streaming && !g.chunks.empty()) flushChunk(b, g);
        g.chunks.push_back(VelChunk{(uint32_t)g.vertices.size(), 0, (uint32_t)g.indices.size(), 0, {0, 0}});
    }
    VelChunk &c = g.chunks.back();
    uint32_t base = c.vertexCount;
    const float *a = m.m;
    // a mirroring placement flips the winding; keep the outside outside
    float det = a[0] * (a[5] * a[10] - a[9] * a[6]) - a[4] * (a[1] * a[10] - a[9] * a[2]) +
                a[8] * (a[1] * a[6] - a[5] * a[2]);
    size_t v0 = g.vertices.size();
    g.vertices.resize(v0 + nv);
    VelVertex *out = g.vertices.data() + v0;
    for (uint32_t i = 0; i < nv; i++) {
        const VelMeshVertex &mv = mesh.vertices[i];
        float x = mv.p[0] * sx, y = mv.p[1] * sy, z = mv.p[2] * sz;
        out[i].p[0] = a[0] * x + a[4] * y + a[8] * z + a[12];
        out[i].p[1] = a[1] * x + a[5] * y + a[9] * z + a[13];
        out[i].p[2] = a[2] * x + a[6] * y + a[10] * z + a[14];
        float nx = a[0] * mv.n[0] + a[4] * mv.n[1] + a[8] * mv.n[2];
        float ny = a[1] * mv.n[0] + a[5] * mv.n[1] + a[9] * mv.n[2];
        float nz = a[2] * mv.n[0] + a[6] * mv.n[1] + a[10] * mv.n[2];
        float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (len > 0 && (len < 0.999f || len > 1.001f)) {
            nx /= len;
            ny /= len;
            nz /= len;
        }
        out[i].n[0] = normalByte(nx);
        out[i].n[1] = normalByte(ny);
        out[i].n[2] = normalByte(nz);
        out[i].n[3] = 0;
    }
    if (g.textured) {
        size_t t0 = g.tex.size();
        g.tex.resize(t0 + 2 * (size_t)nv);
        float *t = g.tex.data() + t0;
        for (uint32_t i = 0; i < nv; i++) {
            t[2 * i] = mesh.vertices[i].t[0];
            t[2 * i + 1] = mesh.vertices[i].t[1];
        }
    }
    size_t i0 = g.indices.size(), ni = mesh.indices.size();
    g.indices.resize(i0 + ni);
    uint16_t *idx = g.indices.data() + i0;
    if (det >= 0) {
        for (size_t i = 0; i < ni; i++) idx[i] = (uint16_t)(mesh.indices[i] + base);
    } else {
        for (size_t i = 0; i < ni; i += 3) {
            idx[i] = (uint16_t)(mesh.indices[i] + base);
            idx[i + 1] = (uint16_t)(mesh.indices[i + 2] + base);
            idx[i + 2] = (uint16_t)(mesh.indices[i + 1] + base);
        }
    }
    c.vertexCount += nv;
    c.indexCount += (uint32_t)ni;
    g.vertexCount += nv;
    g.indexCount += (uint32_t)ni;
}

} // namespace

// Drawing state and unit mesh of an object; false when it draws nothing.
namespace {
bool objectShape(vel_object o, VelStateKey *key, const VelMesh **mesh)
{
    if (!o || !o->record) return false;
    if (o->cls == VEL_CLASS_SPHERE) {
        const vel_sphereData *s = (const vel_sphereData *)o->record;
        float r = std::fabs(s->radius);
        if (!(r > 0) || !std::isfinite(r)) return false;
        *key = velSurfaceState(s->surface);
        *mesh = &cachedMesh(sphereMeshCache, velSphereSegments(s->tessellation1), velSphereBands(s->tessellation2),
                            (*key & 0xff) == 4, 1);
        return true;
    }
    if (o->cls == VEL_CLASS_CYLINDER) {
        const vel_cylinderData *c = (const vel_cylinderData *)o->record;
        float r = std::fabs(c->radius);
        if (!(c->height > 0) || !(r > 0) || !std::isfinite(c->height) || !std::isfinite(r)) return false;
        *key = velSurfaceState(c->surface);
        *mesh = &cachedMesh(cylinderMeshCache, velCylinderSides(c->tessellation), c->endCaps != 0, (*key & 0xff) == 4, 0);
        return true;
    }
    return false;
}
} // namespace

// Sizes the arrays for a whole list at once: no regrowth while adding.
void velBatchReserve(VelBatch *b, const std::vector<vel_object> &objects)
{
    struct Need {
        size_t vertices = 0, indices = 0;
    };
    std::vector<Need> need;
    for (vel_object o : objects) {
        VelStateKey key;
        const VelMesh *mesh;
        if (!objectShape(o, &key, &mesh)) continue;
        VelMeshGroup &g = meshGroup(b, key);
        size_t i = (size_t)(&g - b->meshes.data());
        if (need.size() <= i) need.resize(i + 1);
        need[i].vertices += mesh->vertices.size();
        need[i].indices += mesh->indices.size();
    }
    for (size_t i = 0; i < need.size(); i++) {
        VelMeshGroup &g = b->meshes[i];
        size_t nv = g.vertices.size() + need[i].vertices, ni = g.indices.size() + need[i].indices;
        if (b->streaming && nv > (size_t)VEL_CHUNK_VERTICES && need[i].vertices > 0) {
            // room for one chunk only: the full ones leave for GL buffers
            ni = std::min(ni, need[i].indices * VEL_CHUNK_VERTICES / need[i].vertices + 1024);
            nv = VEL_CHUNK_VERTICES;
        }
        g.vertices.reserve(nv);
        g.indices.reserve(ni);
        if (g.textured) g.tex.reserve(2 * nv);
    }
}

void velBatchAddObject(VelBatch *b, vel_object o)
{
    VelStateKey key;
    const VelMesh *mesh;
    if (!objectShape(o, &key, &mesh)) return;
    if (o->cls == VEL_CLASS_SPHERE) {
        const vel_sphereData *s = (const vel_sphereData *)o->record;
        float r = std::fabs(s->radius);
        addMesh(b, key, *mesh, s->matrix, r, r, r);
    } else {
        const vel_cylinderData *c = (const vel_cylinderData *)o->record;
        float r = std::fabs(c->radius);
        addMesh(b, key, *mesh, c->matrix, r, r, c->height);
    }
}

void velBatchAddSegment(VelBatch *b, float width, const vel_vector &p, const vel_vector &q, const uint8_t rgba[4])
{
    VelLineGroup *g = nullptr;
    if (b->lastLine >= 0 && b->lines[b->lastLine].width == width) {
        g = &b->lines[b->lastLine];
    } else {
        for (size_t i = 0; i < b->lines.size(); i++)
            if (b->lines[i].width == width) {
                g = &b->lines[i];
                b->lastLine = (int)i;
                break;
            }
        if (!g) {
            b->lines.emplace_back();
            g = &b->lines.back();
            g->width = width;
            b->lastLine = (int)b->lines.size() - 1;
        }
    }
    VelLineVertex v0{{p.x, p.y, p.z}, {rgba[0], rgba[1], rgba[2], rgba[3]}};
    VelLineVertex v1{{q.x, q.y, q.z}, {rgba[0], rgba[1], rgba[2], rgba[3]}};
    g->vertices.push_back(v0);
    g->vertices.push_back(v1);
    g->vertexCount += 2;
}

void velBatchClear(VelBatch *b)
{
    b->meshes.clear();
    b->lines.clear();
    b->calls.clear();
    b->sources.clear();
    b->uploaded = 0;
    b->bytes = 0;
    b->lastMesh = b->lastLine = -1;
}

size_t velBatchBytes(const VelBatch *b)
{
    if (b->uploaded && b->retained) return b->bytes;
    size_t n = 0;
    for (const VelMeshGroup &g : b->meshes)
        n += (size_t)g.vertexCount * sizeof(VelVertex) + (g.textured ? (size_t)g.vertexCount * 8 : 0) +
             (size_t)g.indexCount * 2;
    for (const VelLineGroup &g : b->lines) n += (size_t)g.vertexCount * sizeof(VelLineVertex);
    return n;
}

// Empties a frame's batch but keeps its arrays' capacity for the next frame.
void velBatchReset(VelBatch *b)
{
    for (VelMeshGroup &g : b->meshes) {
        g.vertices.clear();
        g.tex.clear();
        g.indices.clear();
        g.chunks.clear();
        g.vertexCount = g.indexCount = 0;
    }
    for (VelLineGroup &g : b->lines) {
        g.vertices.clear();
        g.vertexCount = 0;
    }
    b->calls.clear();
    b->sources.clear();
}
