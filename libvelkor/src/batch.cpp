// batch.cpp - collects what a display list or one frame draws: every sphere
// and cylinder as an instance of its unit mesh (a copy of its placement,
// nothing tessellated), grouped by mesh and drawing state, and line
// segments grouped by width.
#include "internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The two groups used last are tried first: bonds of two kinds often
// alternate (a plain and a two-coloured one, say).
VelInstanceGroup &instanceGroup(VelBatch *b, VelStateKey key, int mesh, int mirrored)
{
    for (int c = 0; c < 2; c++) {
        int i = b->lastGroups[c];
        if (i < 0 || i >= (int)b->groups.size()) continue;
        VelInstanceGroup &g = b->groups[i];
        if (g.key == key && g.mesh == mesh && g.mirrored == mirrored) {
            if (c == 1) std::swap(b->lastGroups[0], b->lastGroups[1]);
            return g;
        }
    }
    b->lastGroups[1] = b->lastGroups[0];
    for (size_t i = 0; i < b->groups.size(); i++) {
        VelInstanceGroup &g = b->groups[i];
        if (g.key == key && g.mesh == mesh && g.mirrored == mirrored) {
            b->lastGroups[0] = (int)i;
            return g;
        }
    }
    b->groups.emplace_back();
    VelInstanceGroup &g = b->groups.back();
    g.key = key;
    g.mesh = mesh;
    g.mirrored = mirrored;
    b->lastGroups[0] = (int)b->groups.size() - 1;
    return g;
}

// The unit mesh of the last detail asked for, per class and texturing:
// consecutive objects nearly always share it.
struct MeshCache {
    int a = -1, b = -1, c = -1;
    const VelMesh *mesh = nullptr;
};
MeshCache sphereMeshCache[2], cylinderMeshCache[2];  // by texturing

const VelMesh &cachedMesh(MeshCache &cache, int a, int b, int c, int sphere)
{
    if (cache.mesh && cache.a == a && cache.b == b && cache.c == c) return *cache.mesh;
    cache.mesh = sphere ? &velSphereMesh(a, b, c) : &velCylinderMesh(a, b, c);
    cache.a = a;
    cache.b = b;
    cache.c = c;
    return *cache.mesh;
}

// What an object draws: state, unit mesh, its size along the unit mesh's
// axes and its placement; false when it draws nothing.
struct Shape {
    VelStateKey key;
    const VelMesh *mesh;
    float sx, sy, sz;
    const vel_matrix *placement;
};

bool objectShape(vel_object o, Shape *s)
{
    if (!o || !o->record) return false;
    if (o->cls == VEL_CLASS_SPHERE) {
        const vel_sphereData *d = (const vel_sphereData *)o->record;
        float r = std::fabs(d->radius);
        if (!(r > 0) || !std::isfinite(r)) return false;
        s->key = velSurfaceState(d->surface);
        int textured = velStateKind(s->key) == vel_surface_textured;
        s->mesh = &cachedMesh(sphereMeshCache[textured], velSphereSegments(d->tessellation1),
                              velSphereBands(d->tessellation2), textured, 1);
        s->sx = s->sy = s->sz = r;
        s->placement = &d->matrix;
        return true;
    }
    if (o->cls == VEL_CLASS_CYLINDER) {
        const vel_cylinderData *d = (const vel_cylinderData *)o->record;
        float r = std::fabs(d->radius);
        if (!(d->height > 0) || !(r > 0) || !std::isfinite(d->height) || !std::isfinite(r)) return false;
        s->key = velSurfaceState(d->surface);
        int textured = velStateKind(s->key) == vel_surface_textured;
        s->mesh = &cachedMesh(cylinderMeshCache[textured], velCylinderSides(d->tessellation), d->endCaps != 0,
                              textured, 0);
        s->sx = s->sy = r;
        s->sz = d->height;
        s->placement = &d->matrix;
        return true;
    }
    return false;
}

// A mirroring placement flips the winding of the unit mesh's triangles.
int mirrors(const vel_matrix &m)
{
    const float *a = m.m;
    float det = a[0] * (a[5] * a[10] - a[9] * a[6]) - a[4] * (a[1] * a[10] - a[9] * a[2]) +
                a[8] * (a[1] * a[6] - a[5] * a[2]);
    return det < 0;
}

} // namespace

namespace {

void addInstance(VelInstanceGroup &g, const Shape &s)
{
    const float *a = s.placement->m;
    VelInstance in;
    for (int k = 0; k < 3; k++) {
        in.axis[0][k] = a[k] * s.sx;
        in.axis[1][k] = a[4 + k] * s.sy;
        in.axis[2][k] = a[8 + k] * s.sz;
        in.origin[k] = a[12 + k];
    }
    g.instances.push_back(in);
    g.count++;
}

std::vector<int> groupOf;  // scratch of velBatchAddObjects: each object's group, -1 for none

} // namespace

void velBatchAddObject(VelBatch *b, vel_object o)
{
    Shape s;
    if (!objectShape(o, &s)) return;
    addInstance(instanceGroup(b, s.key, s.mesh->id, mirrors(*s.placement)), s);
}

// A whole object list: its groups are counted first and each array is
// allocated once at its final size, never grown by doubling, which holds
// the old and the new array at once and leaves the larger one behind.
void velBatchAddObjects(VelBatch *b, const vel_object *objects, size_t count)
{
    if (count < 4096) {
        for (size_t i = 0; i < count; i++) velBatchAddObject(b, objects[i]);
        return;
    }
    groupOf.resize(count);
    std::vector<size_t> wanted(b->groups.size());
    Shape s;
    for (size_t i = 0; i < count; i++) {
        if (!objectShape(objects[i], &s)) {
            groupOf[i] = -1;
            continue;
        }
        VelInstanceGroup &g = instanceGroup(b, s.key, s.mesh->id, mirrors(*s.placement));
        size_t index = (size_t)(&g - b->groups.data());
        if (index >= wanted.size()) wanted.resize(index + 1, 0);
        wanted[index]++;
        groupOf[i] = (int)index;
    }
    for (size_t k = 0; k < wanted.size(); k++)
        if (wanted[k]) b->groups[k].instances.reserve(b->groups[k].instances.size() + wanted[k]);
    for (size_t i = 0; i < count; i++)
        if (groupOf[i] >= 0 && objectShape(objects[i], &s)) addInstance(b->groups[(size_t)groupOf[i]], s);
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

namespace {

uint64_t instanceHash(const VelInstance &in)
{
    static_assert(sizeof(VelInstance) == 48, "an instance is six 8-byte words");
    uint64_t h = 0x9e3779b97f4a7c15ull, word;
    for (size_t k = 0; k < sizeof in; k += 8) {
        std::memcpy(&word, (const char *)&in + k, 8);
        h = (h ^ word) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    return h;
}

} // namespace

// A bond listed a thousand times in a file is a thousand identical
// cylinders: drawing them all costs a thousand times the pixels for one
// picture. An open-addressed table of the instances kept so far finds each
// repeat by its bytes. Each slot holds the upper half of the instance's
// hash beside its index, so that an occupied slot is passed over without
// reading the instance it names; and the slot of the instance AHEAD places
// on is fetched into the cache while this one is placed. Either cache miss
// waited for cost about as much as the copy of the whole list.
size_t velBatchDropDuplicates(VelBatch *b)
{
    constexpr size_t AHEAD = 16;
    constexpr uint64_t EMPTY = ~0ull, TAG = 0xffffffff00000000ull;
    size_t dropped = 0;
    std::vector<uint64_t> table;  // tag (hash's upper half) | index of a kept instance, or EMPTY
    uint64_t hashes[AHEAD];
    for (VelInstanceGroup &g : b->groups) {
        size_t n = g.instances.size();
        if (n < 2) continue;
        size_t size = 16;
        while (size < 2 * n) size <<= 1;
        table.assign(size, EMPTY);
        for (size_t i = 0; i < AHEAD && i < n; i++) hashes[i] = instanceHash(g.instances[i]);
        size_t kept = 0;
        for (size_t i = 0; i < n; i++) {
            uint64_t h = hashes[i % AHEAD];
            if (i + AHEAD < n) {
                uint64_t next = instanceHash(g.instances[i + AHEAD]);
                hashes[i % AHEAD] = next;
                __builtin_prefetch(&table[(size_t)next & (size - 1)]);
            }
            const VelInstance in = g.instances[i];
            size_t slot = (size_t)h & (size - 1);
            bool repeat = false;
            for (; table[slot] != EMPTY; slot = (slot + 1) & (size - 1))
                if ((table[slot] & TAG) == (h & TAG) &&
                    std::memcmp(&g.instances[table[slot] & ~TAG], &in, sizeof in) == 0) {
                    repeat = true;
                    break;
                }
            if (repeat) continue;
            g.instances[kept] = in;
            table[slot] = (h & TAG) | kept++;
        }
        dropped += n - kept;
        g.instances.resize(kept);
        g.count = (uint32_t)kept;
    }
    return dropped;
}

void velBatchClear(VelBatch *b)
{
    b->groups.clear();
    b->lines.clear();
    b->calls.clear();
    b->sources.clear();
    b->uploaded = 0;
    b->bytes = 0;
    b->lastGroups[0] = b->lastGroups[1] = b->lastLine = -1;
}

size_t velBatchBytes(const VelBatch *b)
{
    if (b->uploaded && b->retained) return b->bytes;
    size_t n = 0;
    for (const VelInstanceGroup &g : b->groups) n += (size_t)g.count * sizeof(VelInstance);
    for (const VelLineGroup &g : b->lines) n += (size_t)g.vertexCount * sizeof(VelLineVertex);
    return n;
}

// Empties a frame's batch but keeps its arrays' capacity for the next frame.
void velBatchReset(VelBatch *b)
{
    for (VelInstanceGroup &g : b->groups) {
        g.instances.clear();
        g.count = 0;
    }
    for (VelLineGroup &g : b->lines) {
        g.vertices.clear();
        g.vertexCount = 0;
    }
    b->calls.clear();
    b->sources.clear();
}

namespace {

template <class T> int sameBytes(const std::vector<T> &a, const std::vector<T> &b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Two arrays of groups compared in order, the empty ones (size(g) == 0)
// passed over; same(g, h) compares two that are not empty.
template <class Group, class Size, class Same>
int sameGroups(const std::vector<Group> &x, const std::vector<Group> &y, Size size, Same same)
{
    size_t j = 0;
    for (const Group &g : x) {
        if (size(g) == 0) continue;
        while (j < y.size() && size(y[j]) == 0) j++;
        if (j == y.size() || !same(g, y[j++])) return 0;
    }
    while (j < y.size() && size(y[j]) == 0) j++;
    return j == y.size() ? 1 : 0;
}

} // namespace

// Two frames' immediate geometry compared group by group (empty groups
// ignored), byte for byte: cheap next to drawing it.
int velBatchSame(const VelBatch &a, const VelBatch &b)
{
    if (a.calls != b.calls) return 0;
    auto instances = [](const VelInstanceGroup &g) { return g.count; };
    auto sameInstances = [](const VelInstanceGroup &g, const VelInstanceGroup &h) {
        return g.key == h.key && g.mesh == h.mesh && g.mirrored == h.mirrored && g.count == h.count &&
               sameBytes(g.instances, h.instances);
    };
    auto segments = [](const VelLineGroup &g) { return g.vertexCount; };
    auto sameSegments = [](const VelLineGroup &g, const VelLineGroup &h) {
        return g.width == h.width && g.vertexCount == h.vertexCount && sameBytes(g.vertices, h.vertices);
    };
    return sameGroups(a.groups, b.groups, instances, sameInstances) && sameGroups(a.lines, b.lines, segments, sameSegments);
}
