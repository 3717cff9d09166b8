// tessellate.cpp - unit sphere and cylinder meshes for every detail level,
// made once and cached. Triangles wind counter-clockwise seen from outside.
#include "internal.h"

#include <cmath>
#include <map>
#include <memory>

int velSphereSegments(int t1) { return t1 < 2 ? 3 : (t1 > 128 ? 256 : t1 * 2); }
int velSphereBands(int t2) { return t2 < 2 ? 2 : (t2 > 128 ? 128 : t2); }
int velCylinderSides(int t) { return t < 2 ? 3 : (t > 512 ? 1024 : t * 2); }

std::vector<VelMesh *> velMeshTable;

namespace {

std::map<long, std::unique_ptr<VelMesh>> sphereCache;    // by segments, bands, textured
std::map<long, std::unique_ptr<VelMesh>> cylinderCache;  // by sides, caps, textured

VelMeshVertex vertex(float x, float y, float z, float nx, float ny, float nz, float s, float t)
{
    return VelMeshVertex{{x, y, z}, {nx, ny, nz}, {s, t}};
}

void triangle(VelMesh *m, int a, int b, int c)
{
    m->indices.push_back((uint16_t)a);
    m->indices.push_back((uint16_t)b);
    m->indices.push_back((uint16_t)c);
}

// Rings from the south pole (z = -1, t = 0) to the north pole (z = +1, t = 1).
std::unique_ptr<VelMesh> makeSphere(int segments, int bands, int textured)
{
    auto m = std::make_unique<VelMesh>();
    const double pi = M_PI;
    if (textured) {
        int row = segments + 1;
        for (int j = 0; j <= bands; j++) {
            double theta = pi * j / bands;
            float z = (float)-std::cos(theta), r = (float)std::sin(theta);
            if (j == 0 || j == bands) r = 0;
            for (int i = 0; i <= segments; i++) {
                double phi = 2 * pi * i / segments;
                float x = r * (float)std::cos(phi), y = r * (float)std::sin(phi);
                m->vertices.push_back(vertex(x, y, z, x, y, z, (float)i / segments, (float)j / bands));
            }
        }
        for (int j = 0; j < bands; j++)
            for (int i = 0; i < segments; i++) {
                int a = j * row + i, b = a + 1, c = b + row, d = a + row;
                if (j != 0) triangle(m.get(), a, b, c);
                if (j != bands - 1) triangle(m.get(), a, c, d);
            }
        return m;
    }
    // shared poles: vertex 0 south, then rings 1 .. bands-1, last vertex north
    m->vertices.push_back(vertex(0, 0, -1, 0, 0, -1, 0.5f, 0));
    for (int j = 1; j < bands; j++) {
        double theta = pi * j / bands;
        float z = (float)-std::cos(theta), r = (float)std::sin(theta);
        for (int i = 0; i < segments; i++) {
            double phi = 2 * pi * i / segments;
            float x = r * (float)std::cos(phi), y = r * (float)std::sin(phi);
            m->vertices.push_back(vertex(x, y, z, x, y, z, (float)i / segments, (float)j / bands));
        }
    }
    int north = (int)m->vertices.size();
    m->vertices.push_back(vertex(0, 0, 1, 0, 0, 1, 0.5f, 1));
    auto ring = [segments](int j, int i) { return 1 + (j - 1) * segments + (i % segments); };
    for (int i = 0; i < segments; i++) {
        triangle(m.get(), 0, ring(1, i + 1), ring(1, i));
        triangle(m.get(), ring(bands - 1, i), ring(bands - 1, i + 1), north);
        for (int j = 1; j < bands - 1; j++) {
            int a = ring(j, i), b = ring(j, i + 1), c = ring(j + 1, i + 1), d = ring(j + 1, i);
            triangle(m.get(), a, b, c);
            triangle(m.get(), a, c, d);
        }
    }
    return m;
}

// Side from z = -0.5 (t = 0) to z = +0.5 (t = 1); caps as fans.
std::unique_ptr<VelMesh> makeCylinder(int sides, int caps, int textured)
{
    auto m = std::make_unique<VelMesh>();
    const double pi = M_PI;
    int around = textured ? sides + 1 : sides;
    for (int k = 0; k < 2; k++) {
        float z = k == 0 ? -0.5f : 0.5f;
        for (int i = 0; i < around; i++) {
            double phi = 2 * pi * i / sides;
            float x = (float)std::cos(phi), y = (float)std::sin(phi);
            m->vertices.push_back(vertex(x, y, z, x, y, 0, (float)i / sides, (float)k));
        }
    }
    for (int i = 0; i < sides; i++) {
        int a = i, b = textured ? i + 1 : (i + 1) % sides, c = b + around, d = a + around;
        triangle(m.get(), a, b, c);
        triangle(m.get(), a, c, d);
    }
    if (caps) {
        for (int k = 0; k < 2; k++) {
            float z = k == 0 ? -0.5f : 0.5f, nz = k == 0 ? -1.0f : 1.0f;
            int first = (int)m->vertices.size();
            for (int i = 0; i < sides; i++) {
                double phi = 2 * pi * i / sides;
                float x = (float)std::cos(phi), y = (float)std::sin(phi);
                m->vertices.push_back(vertex(x, y, z, 0, 0, nz, (float)i / sides, (float)k));
            }
            for (int i = 1; i + 1 < sides; i++) {
                if (k == 1) triangle(m.get(), first, first + i, first + i + 1);
                else triangle(m.get(), first, first + i + 1, first + i);
            }
        }
    }
    return m;
}

} // namespace

const VelMesh &velSphereMesh(int segments, int bands, int textured)
{
    long key = ((long)segments << 20) | ((long)bands << 1) | (textured ? 1 : 0);
    auto &slot = sphereCache[key];
    if (!slot) {
        slot = makeSphere(segments, bands, textured);
        slot->shape = VEL_CLASS_SPHERE;
        slot->around = segments;
        slot->rows = bands;
        slot->textured = textured != 0;
        slot->id = (int)velMeshTable.size();
        velMeshTable.push_back(slot.get());
    }
    return *slot;
}

const VelMesh &velCylinderMesh(int sides, int caps, int textured)
{
    long key = ((long)sides << 2) | (caps ? 2 : 0) | (textured ? 1 : 0);
    auto &slot = cylinderCache[key];
    if (!slot) {
        slot = makeCylinder(sides, caps, textured);
        slot->shape = VEL_CLASS_CYLINDER;
        slot->around = sides;
        slot->rows = 1;
        slot->caps = caps != 0;
        slot->textured = textured != 0;
        slot->id = (int)velMeshTable.size();
        velMeshTable.push_back(slot.get());
    }
    return *slot;
}
