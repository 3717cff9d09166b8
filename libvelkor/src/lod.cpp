// lod.cpp - what each run of instances costs a frame: the bounds of runs of
// a group's instances, whether a run is in view, and whether its objects
// are small enough on the screen to be drawn as stand-ins (a sphere as a
// point, a cylinder as a quad, each ray-cast per pixel) instead of meshes.
// Pure arithmetic, no GL: the backend asks, once per run and frame.
#include "internal.h"

#include <algorithm>
#include <cmath>

int velStandInsOn = 1;

void velChunkBounds(const VelInstance *in, uint32_t count, int shape, std::vector<VelChunk> *out)
{
    out->clear();
    auto squared = [](const float v[3]) { return v[0] * v[0] + v[1] * v[1] + v[2] * v[2]; };
    for (uint32_t first = 0; first < count; first += VEL_CHUNK) {
        uint32_t n = std::min<uint32_t>(VEL_CHUNK, count - first);
        // the box of the objects' centres, then a sphere about its middle
        // that holds every object whole
        float lo[3], hi[3];
        for (int k = 0; k < 3; k++) lo[k] = hi[k] = in[first].origin[k];
        for (uint32_t i = first; i < first + n; i++)
            for (int k = 0; k < 3; k++) {
                lo[k] = std::min(lo[k], in[i].origin[k]);
                hi[k] = std::max(hi[k], in[i].origin[k]);
            }
        VelChunk c;
        for (int k = 0; k < 3; k++) c.centre[k] = 0.5f * (lo[k] + hi[k]);
        c.radius = 0;
        float thick2 = 0;  // squared
        c.first = first;
        c.count = n;
        for (uint32_t i = first; i < first + n; i++) {
            const VelInstance &o = in[i];
            float x = squared(o.axis[0]), y = squared(o.axis[1]), z = squared(o.axis[2]);
            // a sphere reaches its radius every way; a cylinder's local z
            // axis is its full height, centred on the origin
            float t2 = shape == VEL_CLASS_CYLINDER ? std::max(x, y) : std::max(x, std::max(y, z));
            float reach = std::sqrt(shape == VEL_CLASS_CYLINDER ? t2 + 0.25f * z : t2);
            float d[3] = {o.origin[0] - c.centre[0], o.origin[1] - c.centre[1], o.origin[2] - c.centre[2]};
            c.radius = std::max(c.radius, std::sqrt(squared(d)) + reach);
            thick2 = std::max(thick2, t2);
        }
        c.thickness = std::sqrt(thick2);
        if (!std::isfinite(c.radius)) c.radius = 3e38f;  // never culled, never a stand-in
        out->push_back(c);
    }
}

VelLodView velLodViewOf(const vel_viewParams &view, int pixelWidth, int pixelHeight, float pointLimit)
{
    vel_viewParams v = velViewResolved(view);
    VelLodView l;
    l.eye = v.eye;
    l.forward = v.view;
    l.up = v.up;
    l.right = vel_vectorCrossProduct(v.view, v.up);
    l.nearClip = v.nearClip;
    l.farClip = v.farClip;
    l.tanY = (float)std::tan(v.fov * M_PI / 360.0);
    float aspect = pixelWidth > 0 && pixelHeight > 0 ? (float)pixelWidth / (float)pixelHeight : 1.0f;
    float fullHeight = (float)(pixelHeight > 0 ? pixelHeight : 1);
    // An off-screen tile shows part of a larger picture: sizes on the screen
    // are the whole picture's, and culling to its frustum keeps all the tile needs.
    const VelProjectionRegion &r = velProjectionRegion;
    if (r.pictureWidth > 0 && r.pictureHeight > 0 && r.width > 0 && r.height > 0) {
        aspect = (float)r.pictureWidth / (float)r.pictureHeight;
        fullHeight *= (float)r.pictureHeight / (float)r.height;
    }
    l.tanX = l.tanY * aspect;
    l.pixelsPerUnit = 0.5f * fullHeight / l.tanY;
    l.pointLimit = pointLimit;
    return l;
}

int velStandInFits(const VelMesh &mesh, float radiusPixels, float pointLimit)
{
    // The mesh's outline is a polygon of `around` sides on its true
    // outline: its sides fall short of it by radius * (1 - cos(pi / around)).
    // Below half a pixel nothing of the facets can show.
    int around = mesh.shape == VEL_CLASS_SPHERE ? std::min(mesh.around, 2 * mesh.rows) : mesh.around;
    if (around < 3 || !(radiusPixels >= 0)) return 0;
    if (radiusPixels * (1.0 - std::cos(M_PI / around)) >= VEL_FACET_PIXELS) return 0;
    return mesh.shape == VEL_CLASS_CYLINDER || 2 * radiusPixels + 1 <= pointLimit;
}

int velChunkDrawAs(const VelLodView &v, const VelChunk &c, const VelMesh &mesh)
{
    vel_vector d = vel_vectorSub(vel_vector{c.centre[0], c.centre[1], c.centre[2]}, v.eye);
    float z = vel_vectorDotProduct(d, v.forward), x = vel_vectorDotProduct(d, v.right),
          y = vel_vectorDotProduct(d, v.up), r = c.radius;
    // a sphere against the four sides, the near and the far plane
    if (z + r < v.nearClip || z - r > v.farClip) return VEL_DRAW_NONE;
    if (std::fabs(x) > z * v.tanX + r * std::sqrt(1 + v.tanX * v.tanX)) return VEL_DRAW_NONE;
    if (std::fabs(y) > z * v.tanY + r * std::sqrt(1 + v.tanY * v.tanY)) return VEL_DRAW_NONE;
    // Stand-ins only well in front of the eye: meshes are cut at the near
    // plane, a point or a quad would be lost whole.
    float nearest = z - r;
    if (!velStandInsOn || !(nearest > v.nearClip) || !(nearest > 4 * c.thickness)) return VEL_DRAW_MESH;
    return velStandInFits(mesh, c.thickness * v.pixelsPerUnit / nearest, v.pointLimit) ? VEL_DRAW_STAND_IN
                                                                                      : VEL_DRAW_MESH;
}
