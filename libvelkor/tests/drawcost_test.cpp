// drawcost_test.cpp - what a frame is spared, without a window: identical
// instances of a list drawn once, runs of instances out of view skipped, and
// the choice between a mesh and a stand-in by the size on the screen.
#include "internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A list keeps one of each set of identical instances, the first, in its
// place; what differs at all (surface, size, a hair of position, a mirror
// image) stays. The hostile case: 20000 cylinders that are 190 placements
// over and over, in no order.
TEST(Batches, ListsDrawIdenticalInstancesOnce)
{
    vel_surface m1 = vel_surfaceParamsNew(2, 0, 5, 0), m2 = vel_surfaceParamsNew(2, 0, 6, 0);
    vel_matrix at = vel_matrixSet(10, 20, 30, 1, 2, 3), mirror = at;
    mirror.m[0] = -mirror.m[0];
    static std::vector<vel_cylinderData> c;
    c = {
        {0.2f, 1.5f, 3, 0, m1, at, 0},                                  // kept
        {0.2f, 1.5f, 3, 0, m1, at, 1},                                  // the same but for the caller's word: dropped
        {0.2f, 1.5f, 3, 0, m2, at, 0},                                  // another surface
        {0.2f, 1.5f, 3, 0, m1, vel_matrixSet(10, 20, 30, 1, 2, 3.0001f), 0},  // a hair away
        {0.2f, 1.6f, 3, 0, m1, at, 0},                                  // longer
        {0.2f, 1.5f, 3, 0, m1, mirror, 0},                              // mirrored
        {0.2f, 1.5f, 3, 0, m1, at, 0},                                  // dropped
    };
    VelBatch b;
    for (auto &x : c) velBatchAddObject(&b, vel_objectNew(vel_class_cylinder, &x));
    std::vector<VelInstance> before = b.groups[0].instances;
    EXPECT_EQ(velBatchDropDuplicates(&b), 2u);
    ASSERT_EQ(b.groups.size(), 3u);  // m1, m2, m1 mirrored
    ASSERT_EQ(b.groups[0].count, 3u);
    EXPECT_EQ(b.groups[0].instances.size(), 3u);
    EXPECT_EQ(std::memcmp(&b.groups[0].instances[0], &before[0], sizeof(VelInstance)), 0);
    EXPECT_EQ(std::memcmp(&b.groups[0].instances[1], &before[2], sizeof(VelInstance)), 0);  // the hair away
    EXPECT_EQ(std::memcmp(&b.groups[0].instances[2], &before[3], sizeof(VelInstance)), 0);  // the longer
    EXPECT_EQ(b.groups[1].count + b.groups[2].count, 2u);

    const int placements = 190, objects = 20000;
    static std::vector<vel_cylinderData> many;
    many.clear();
    for (int i = 0; i < objects; i++) {
        int p = (int)((i * 7919u) % placements);
        many.push_back(vel_cylinderData{0.15f, 1.0f + 0.01f * p, 8, 0, m1, vel_matrixSet(3.0f * p, 0, 0, 0.5f * p, 0, 0), 0});
    }
    std::vector<vel_object> list;
    for (auto &x : many) list.push_back(vel_objectNew(vel_class_cylinder, &x));
    VelBatch hostile;
    velBatchAddObjects(&hostile, list.data(), list.size());
    EXPECT_EQ(velBatchDropDuplicates(&hostile), (size_t)(objects - placements));
    size_t kept = 0;
    for (const VelInstanceGroup &g : hostile.groups) kept += g.count;
    EXPECT_EQ(kept, (size_t)placements);
}

// A stand-in only where the mesh the records ask for would show no facets
// (its outline within half a pixel of the true one): a coarse mesh gives
// way to a stand-in later than a fine one, and a sphere needs a point as
// wide as itself.
TEST(Lod, StandInsOnlyWhereFacetsCannotShow)
{
    struct Case {
        bool sphere;
        int tessellation;
        float radiusPixels, pointLimit;
        int fits;
    } cases[] = {
        {true, 4, 6.4f, 255, 1},  {true, 4, 6.8f, 255, 0},   // Low sphere: 8 sides, 0.076 r short
        {true, 6, 14.5f, 255, 1}, {true, 6, 15.0f, 255, 0},  // Medium: 12 sides
        {true, 9, 32.5f, 255, 1}, {true, 9, 33.5f, 255, 0},  // High: 18 sides
        {true, 9, 32.5f, 60, 0},                             // wider than the driver's points
        {false, 3, 3.6f, 10, 1},  {false, 3, 3.9f, 255, 0},  // Low cylinder: 6 sides, 0.134 r short
        {false, 8, 25.5f, 10, 1}, {false, 8, 26.5f, 255, 0}, // High: 16 sides
    };
    for (const Case &c : cases) {
        const VelMesh &m = c.sphere ? velSphereMesh(velSphereSegments(c.tessellation), velSphereBands(c.tessellation), 0)
                                    : velCylinderMesh(velCylinderSides(c.tessellation), 0, 0);
        EXPECT_EQ(velStandInFits(m, c.radiusPixels, c.pointLimit), c.fits)
            << (c.sphere ? "sphere " : "cylinder ") << c.tessellation << " at " << c.radiusPixels << " pixels";
    }
}

// A run is skipped when its bounds lie out of view (behind the eye, beside
// the view, beyond the far plane), drawn as meshes near the eye or when its
// objects are large on the screen, and as stand-ins otherwise.
TEST(Lod, RunsCulledAndSizedByTheirBounds)
{
    vel_viewParams down = {};  // from (0, 0, 100) down -Z
    down.eye = vel_vectorSet(0, 0, 100);
    down.view = vel_vectorSet(0, 0, -1);
    down.up = vel_vectorSet(0, 1, 0);
    VelLodView view = velLodViewOf(down, 800, 600, 255);
    EXPECT_NEAR(view.pixelsPerUnit, 300 / std::tan(22.5 * M_PI / 180), 0.01);
    const VelMesh &low = velSphereMesh(velSphereSegments(4), velSphereBands(4), 0);
    struct Case {
        float x, y, z, radius, thickness;
        int drawAs;
    } cases[] = {
        {0, 0, 0, 2, 0.3f, VEL_DRAW_STAND_IN},      // objects 2 pixels in radius, 98 away
        {0, 0, 150, 2, 0.3f, VEL_DRAW_NONE},        // behind the eye
        {60, 0, 0, 2, 0.3f, VEL_DRAW_NONE},         // right of the view (it ends at 55)
        {56, 0, 0, 2, 0.3f, VEL_DRAW_STAND_IN},     // reaching into it
        {0, -45, 0, 2, 0.3f, VEL_DRAW_NONE},        // below (it ends at 41)
        {0, 0, -20000, 2, 0.3f, VEL_DRAW_NONE},     // beyond the far plane
        {0, 0, 98.5f, 2, 0.3f, VEL_DRAW_MESH},      // across the near plane
        {0, 0, 0, 2, 1.5f, VEL_DRAW_MESH},          // 11 pixels in radius: facets show
        {0, 0, 60, 2, 0.3f, VEL_DRAW_STAND_IN},     // nearer, still small
        {0, 0, 85, 2, 0.3f, VEL_DRAW_MESH},         // near enough for facets
    };
    for (const Case &c : cases) {
        VelChunk chunk{{c.x, c.y, c.z}, c.radius, c.thickness, 0, 1};
        EXPECT_EQ(velChunkDrawAs(view, chunk, low), c.drawAs) << c.x << " " << c.y << " " << c.z;
    }
    velStandInsOn = 0;
    VelChunk small{{0, 0, 0}, 2, 0.3f, 0, 1};
    EXPECT_EQ(velChunkDrawAs(view, small, low), VEL_DRAW_MESH);
    velStandInsOn = 1;

    // a run's bounds hold its objects whole: cylinders reach half their
    // height along their axis; runs are VEL_CHUNK long
    std::vector<VelInstance> tubes(VEL_CHUNK + 10);
    for (size_t i = 0; i < tubes.size(); i++) {
        VelInstance &t = tubes[i];
        std::memset(&t, 0, sizeof t);
        t.axis[0][1] = t.axis[1][2] = 0.2f;  // radius 0.2 across
        t.axis[2][0] = 8;                    // 8 long, along x
        t.origin[0] = 0;
        t.origin[1] = (float)i;
    }
    std::vector<VelChunk> runs;
    velChunkBounds(tubes.data(), (uint32_t)tubes.size(), VEL_CLASS_CYLINDER, &runs);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].first, VEL_CHUNK);
    EXPECT_EQ(runs[1].count, 10u);
    EXPECT_FLOAT_EQ(runs[0].thickness, 0.2f);
    for (const VelChunk &r : runs)
        for (uint32_t i = r.first; i < r.first + r.count; i++)
            for (float end : {-4.0f, 4.0f}) {
                float dx = end - r.centre[0], dy = tubes[i].origin[1] - r.centre[1], dz = -r.centre[2];
                EXPECT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), r.radius);
            }
}

} // namespace
