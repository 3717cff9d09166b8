// core_test.cpp - libvelkor without a window: maths conventions, screen
// projection, ray picking, object lists, tessellation, the PPM reader, the
// batches that lines and objects become, display lists and the call trace.
#include "internal.h"

#include <gtest/gtest.h>

#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const float EPS = 1e-5f;

void expectVector(vel_vector v, float x, float y, float z, float eps = 1e-5f)
{
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

vel_viewParams lookingDownZ(float eyeZ)
{
    vel_viewParams v = {};
    v.eye = vel_vectorSet(0, 0, eyeZ);
    v.view = vel_vectorSet(0, 0, -1);
    v.up = vel_vectorSet(0, 1, 0);
    return v;
}

std::string writeTemp(const std::string &name, const std::string &bytes)
{
    std::string path = "/tmp/velkor_core_" + std::to_string(getpid()) + "_" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

//------------------------------------------------------------------------------
// Maths
//------------------------------------------------------------------------------
// The cylinder placement of a bond along +X: axis (0, -1, 0), 90 degrees
// must turn local -Z onto +X (and +Z onto -X).
TEST(Maths, QuaternionTurnsMinusZOntoPlusX)
{
    vel_matrix m = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorSet(0, -1, 0), 90));
    expectVector(velMatrixPoint(m, vel_vectorSet(0, 0, -1)), 1, 0, 0);
    expectVector(velMatrixPoint(m, vel_vectorSet(0, 0, 1)), -1, 0, 0);
    expectVector(velMatrixPoint(m, vel_vectorSet(0, 1, 0)), 0, 1, 0);
}

// q followed by its inverse (the opposite angle) is the identity; the
// matrix of a unit quaternion is orthonormal and column-major.
TEST(Maths, QuaternionInverseAndOrthonormal)
{
    vel_vector axis = vel_vectorNormalize(vel_vectorSet(1, 2, -3));
    vel_matrix a = vel_matrixQuaternionConvert(vel_quaternionSet(axis, 37));
    vel_matrix b = vel_matrixQuaternionConvert(vel_quaternionSet(axis, -37));
    vel_matrix id = velMatrixMultiply(a, b);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(id.m[i], (i % 5 == 0) ? 1.0f : 0.0f, EPS) << i;
    vel_vector c0{a.m[0], a.m[1], a.m[2]}, c1{a.m[4], a.m[5], a.m[6]};
    EXPECT_NEAR(vel_vectorMag(c0), 1, EPS);
    EXPECT_NEAR(vel_vectorDotProduct(c0, c1), 0, EPS);
    // the axis itself is left alone
    expectVector(velMatrixPoint(a, axis), axis.x, axis.y, axis.z);
    // right hand: +90 about +Z turns +X onto +Y
    vel_matrix z = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorSet(0, 0, 1), 90));
    expectVector(velMatrixPoint(z, vel_vectorSet(1, 0, 0)), 0, 1, 0);
}

// A pure translation copies the coordinates bit for bit (the picking of
// the program compares them exactly).
TEST(Maths, MatrixSetTranslationIsExact)
{
    float x = 12.345678f, y = -0.1f, z = 1e-7f;
    vel_matrix m = vel_matrixSet(0, 0, 0, x, y, z);
    vel_vector t = vel_matrixXYZGet(m);
    EXPECT_EQ(t.x, x);
    EXPECT_EQ(t.y, y);
    EXPECT_EQ(t.z, z);
    for (int i = 0; i < 12; i++) EXPECT_EQ(m.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    EXPECT_EQ(m.m[15], 1.0f);
    // rotation X, then Y, then Z
    vel_matrix r = vel_matrixSet(90, 90, 0, 1, 2, 3);
    expectVector(velMatrixPoint(r, vel_vectorSet(0, 1, 0)), 1 + 1, 2, 3, 1e-5f);  // Y -> Z (about X) -> X (about Y), then moved
    vel_matrix s = vel_matrixXYZSet(r, vel_vectorSet(7, 8, 9));
    expectVector(vel_matrixXYZGet(s), 7, 8, 9);
}

TEST(Maths, VectorOperations)
{
    vel_vector a = vel_vectorSet(1, 2, 3), b = vel_vectorSet(-2, 0.5f, 4);
    expectVector(vel_vectorAdd(a, b), -1, 2.5f, 7);
    expectVector(vel_vectorSub(a, b), 3, 1.5f, -1);
    expectVector(vel_vectorScalar(a, -2), -2, -4, -6);
    EXPECT_NEAR(vel_vectorDotProduct(a, b), 11, EPS);
    expectVector(vel_vectorCrossProduct(vel_vectorSet(1, 0, 0), vel_vectorSet(0, 1, 0)), 0, 0, 1);
    EXPECT_NEAR(vel_vectorMag(vel_vectorSet(3, 4, 12)), 13, EPS);
    expectVector(vel_vectorNormalize(vel_vectorSet(0, 0, 0)), 0, 0, 0);
    expectVector(vel_vectorNormalize(vel_vectorSet(0, 3, 4)), 0, 0.6f, 0.8f);
}

//------------------------------------------------------------------------------
// Screen projection
//------------------------------------------------------------------------------
TEST(ScreenProjection, KnownPoints)
{
    velWindow.width = 400;
    velWindow.height = 200;
    velWindow.view = lookingDownZ(10);
    // centre of the view
    vel_vector c = vel_vectorScrnPos(vel_vectorSet(0, 0, 0));
    EXPECT_NEAR(c.x, 0, EPS);
    EXPECT_NEAR(c.y, 0, EPS);
    EXPECT_GT(c.z, 0);
    EXPECT_LT(c.z, 1);
    // on the top edge: tan(22.5 degrees) * distance above the axis
    float top = 10 * std::tan(22.5f * (float)M_PI / 180);
    EXPECT_NEAR(vel_vectorScrnPos(vel_vectorSet(0, top, 0)).y, 1, 1e-4f);
    // on the right edge: twice as far for a 2:1 window
    EXPECT_NEAR(vel_vectorScrnPos(vel_vectorSet(2 * top, 0, 0)).x, 1, 1e-4f);
    EXPECT_NEAR(vel_vectorScrnPos(vel_vectorSet(-2 * top, 0, 0)).x, -1, 1e-4f);
    // depth: 0 at the near plane (1 in front of the eye), 1 at the far plane, growing
    EXPECT_NEAR(vel_vectorScrnPos(vel_vectorSet(0, 0, 9)).z, 0, 1e-4f);
    EXPECT_NEAR(vel_vectorScrnPos(vel_vectorSet(0, 0, 10 - 10000)).z, 1, 1e-3f);
    EXPECT_LT(vel_vectorScrnPos(vel_vectorSet(0, 0, 5)).z, vel_vectorScrnPos(vel_vectorSet(0, 0, -5)).z);
    // behind the eye: outside 0..1
    float behind = vel_vectorScrnPos(vel_vectorSet(0, 0, 12)).z;
    EXPECT_TRUE(behind < 0 || behind > 1);
}

//------------------------------------------------------------------------------
// Navigation primitives
//------------------------------------------------------------------------------
TEST(Navigation, TurnsOrbitThePivotAndMovesScale)
{
    vel_viewParams v = lookingDownZ(10);
    // a quarter turn about up: the eye goes round the origin, still looking at it
    vel_navigateRotUp(&v, 2.0f, 0.0f, (float)M_PI / 4);
    expectVector(v.eye, 10, 0, 0, 1e-4f);
    expectVector(vel_vectorNormalize(v.view), -1, 0, 0, 1e-5f);
    expectVector(v.up, 0, 1, 0, 1e-5f);
    // turns about the right direction carry the up vector along
    vel_viewParams w = lookingDownZ(10);
    vel_navigateRotRight(&w, 1.0f, 0.0f, (float)M_PI / 2);
    expectVector(w.eye, 0, -10, 0, 1e-4f);
    expectVector(w.view, 0, 1, 0, 1e-5f);
    expectVector(w.up, 0, 0, 1, 1e-5f);
    // about a pivot off the origin
    vel_viewParams p = lookingDownZ(10);
    p.pivot = vel_vectorSet(0, 0, 5);
    vel_navigateRotUp(&p, 1.0f, 0.0f, (float)M_PI);
    expectVector(p.eye, 0, 0, 0, 1e-4f);
    // moves: amount x linear scale along view, right and up
    vel_viewParams m = lookingDownZ(10);
    vel_navigateForwards(&m, 2.0f, 1.5f, 99.0f);
    expectVector(m.eye, 0, 0, 7);
    vel_navigateRight(&m, -0.06f, 10.0f, 0.0f);
    expectVector(m.eye, -0.6f, 0, 7);
    vel_navigateUp(&m, 0.5f, 2.0f, 0.0f);
    expectVector(m.eye, -0.6f, 1, 7);
}

// A long spin: a million turns about up at the program's spin steps keep the
// eye's distance from the pivot, view and up unit and orthogonal, and the
// pivot straight ahead; so do a million turns about the right direction.
TEST(Navigation, MillionTurnsKeepDistanceAndFrame)
{
    struct Spin {
        float step;
        int aboutRight;
    };
    for (Spin spin : {Spin{0.0010526f, 0}, Spin{0.0060262f, 0}, Spin{0.0557620f, 0}, Spin{0.0060262f, 1}}) {
        SCOPED_TRACE(testing::Message() << "step " << spin.step << (spin.aboutRight ? " about right" : " about up"));
        vel_viewParams v = {};
        v.pivot = vel_vectorSet(3.25f, -1.5f, 0.75f);
        v.eye = vel_vectorAdd(v.pivot, vel_vectorSet(41.0f, 17.5f, 58.25f));
        v.view = vel_vectorSub(v.pivot, v.eye);  // not unit: the turns make it so
        v.up = vel_vectorSet(0.0f, 1.0f, 0.0f);  // not orthogonal to the view either
        double start = vel_vectorMag(vel_vectorSub(v.eye, v.pivot));
        for (int i = 0; i < 1000000; i++) {
            if (spin.aboutRight)
                vel_navigateRotRight(&v, 1.0f, 0.0f, spin.step);
            else
                vel_navigateRotUp(&v, 1.0f, 0.0f, spin.step);
        }
        double distance = vel_vectorMag(vel_vectorSub(v.eye, v.pivot));
        EXPECT_LT(std::fabs(distance - start) / start, 1e-4) << distance << " from " << start;
        EXPECT_NEAR(vel_vectorMag(v.view), 1.0f, 1e-6f);
        EXPECT_NEAR(vel_vectorMag(v.up), 1.0f, 1e-6f);
        EXPECT_NEAR(vel_vectorDotProduct(v.view, v.up), 0.0f, 1e-6f);
        vel_vector ahead = vel_vectorNormalize(vel_vectorSub(v.pivot, v.eye));
        EXPECT_NEAR(vel_vectorMag(vel_vectorSub(ahead, v.view)), 0.0f, 1e-3f) << "pivot no longer ahead";
    }
}

//------------------------------------------------------------------------------
// Picking
//------------------------------------------------------------------------------
TEST(Picking, RaySphere)
{
    vel_vector o = vel_vectorSet(0, 0, 10), d = vel_vectorSet(0, 0, -1);
    EXPECT_NEAR(velRaySphere(o, d, vel_vectorSet(0, 0, 0), 1), 9, EPS);
    EXPECT_LT(velRaySphere(o, d, vel_vectorSet(2, 0, 0), 1), 0);
    EXPECT_LT(velRaySphere(o, vel_vectorSet(0, 0, 1), vel_vectorSet(0, 0, 0), 1), 0);  // behind
    EXPECT_NEAR(velRaySphere(vel_vectorSet(0, 0, 0), d, vel_vectorSet(0, 0, 0), 1), 1, EPS);  // from inside
}

// Overlapping spheres along the line of sight: the nearest one wins; only
// lists drawn in the last frame count, and a deleted list is never touched.
TEST(Picking, NearestSphereOfTheListsDrawn)
{
    velWindow.width = 200;
    velWindow.height = 200;
    velWindow.view = lookingDownZ(20);
    static vel_sphereData far{1.5f, 4, 4, 0, vel_matrixSet(0, 0, 0, 0, 0, -2), 0};
    static vel_sphereData nearS{1.0f, 4, 4, 0, vel_matrixSet(0, 0, 0, 0.3f, 0, 3), 0};
    static vel_sphereData aside{1.0f, 4, 4, 0, vel_matrixSet(0, 0, 0, 5, 0, 0), 0};
    vel_objList a = vel_SMSObjListNew();
    vel_objList b = vel_SMSObjListNew();
    vel_object oFar = vel_objectNew(vel_class_sphere, &far);
    vel_object oNear = vel_objectNew(vel_class_sphere, &nearS);
    vel_SMSObjectAdd(a, oFar);
    vel_SMSObjectAdd(a, vel_objectNew(vel_class_sphere, &aside));
    vel_SMSObjectAdd(b, oNear);
    EXPECT_EQ(velPickSphere(100, 100), nullptr);  // nothing drawn yet
    vel_frameBegin();
    vel_SMSDisplayUnCulled(vel_win_current, a);
    vel_SMSDisplayUnCulled(vel_win_current, b);
    vel_frameEnd();
    EXPECT_EQ(velPickSphere(100, 100), oNear);
    EXPECT_EQ(velPickSphere(0, 0), nullptr);
    vel_SMSDelete(b, 1);
    EXPECT_EQ(velPickSphere(100, 100), oFar);
    // a list recorded into a display list counts when the list is replayed
    vel_frameBegin();
    vel_gfxListNew(7, 2);
    vel_SMSDisplayUnCulled(vel_win_current, a);
    vel_gfxListEnd();
    vel_frameEnd();
    vel_frameBegin();
    vel_gfxListExec(7);
    vel_frameEnd();
    EXPECT_EQ(velPickSphere(100, 100), oFar);
    vel_frameBegin();  // a frame without the list
    vel_frameEnd();
    EXPECT_EQ(velPickSphere(100, 100), nullptr);
    vel_SMSDelete(a, 1);
    vel_gfxListsDelete(7, 1);
}

//------------------------------------------------------------------------------
// Objects and lists
//------------------------------------------------------------------------------
TEST(Objects, ListsHoldObjectsInOrderAndRecycleThem)
{
    static vel_sphereData s[3] = {};
    static vel_cylinderData c = {};
    vel_objList list = vel_SMSObjListNew();
    EXPECT_EQ(vel_SMSObjectCount(list), 0);
    vel_object first = vel_objectNew(vel_class_sphere, &s[0]);
    vel_SMSObjectAdd(list, first);
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_cylinder, &c));
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &s[2]));
    EXPECT_EQ(vel_SMSObjectCount(list), 3);
    EXPECT_EQ(vel_objectDataGet(first), &s[0]);
    EXPECT_EQ(vel_objectDataGet(list->objects[1]), &c);
    EXPECT_EQ(vel_objectNew(99, &s[1]), nullptr);
    vel_SMSDelete(list, 1);
    // freed objects are reused: no growth for a rebuild of the same size
    vel_object again = vel_objectNew(vel_class_sphere, &s[1]);
    EXPECT_EQ(vel_objectDataGet(again), &s[1]);
    vel_SMSDelete(nullptr, 1);  // harmless
}

//------------------------------------------------------------------------------
// Tessellation
//------------------------------------------------------------------------------
TEST(Tessellation, CountsAndClamps)
{
    EXPECT_EQ(velSphereSegments(4), 8);
    EXPECT_EQ(velSphereSegments(1), 3);
    EXPECT_EQ(velSphereBands(4), 4);
    EXPECT_EQ(velSphereBands(0), 2);
    EXPECT_EQ(velCylinderSides(3), 6);
    EXPECT_EQ(velCylinderSides(-5), 3);
    const VelMesh &s = velSphereMesh(8, 4, 0);
    EXPECT_EQ(s.indices.size() / 3, 8u * (2 * 4 - 2));
    EXPECT_EQ(s.vertices.size(), 8u * 3 + 2);
    const VelMesh &st = velSphereMesh(8, 4, 1);
    EXPECT_EQ(st.indices.size(), s.indices.size());
    EXPECT_EQ(st.vertices.size(), 9u * 5);
    EXPECT_EQ(velCylinderMesh(6, 0, 0).indices.size() / 3, 12u);
    EXPECT_EQ(velCylinderMesh(6, 1, 0).indices.size() / 3, 12u + 2 * 4);
}

// Every triangle faces outwards: its winding normal agrees with the
// vertex normals (so culling never turns a shape inside out).
TEST(Tessellation, TrianglesFaceOutwards)
{
    for (const VelMesh *m : {&velSphereMesh(8, 4, 0), &velSphereMesh(18, 9, 1), &velCylinderMesh(6, 1, 0),
                             &velCylinderMesh(16, 1, 1)}) {
        for (size_t i = 0; i < m->indices.size(); i += 3) {
            const VelMeshVertex &a = m->vertices[m->indices[i]], &b = m->vertices[m->indices[i + 1]],
                                &c = m->vertices[m->indices[i + 2]];
            vel_vector ab{b.p[0] - a.p[0], b.p[1] - a.p[1], b.p[2] - a.p[2]};
            vel_vector ac{c.p[0] - a.p[0], c.p[1] - a.p[1], c.p[2] - a.p[2]};
            vel_vector n = vel_vectorCrossProduct(ab, ac);
            vel_vector vn{a.n[0] + b.n[0] + c.n[0], a.n[1] + b.n[1] + c.n[1], a.n[2] + b.n[2] + c.n[2]};
            ASSERT_GT(vel_vectorDotProduct(n, vn), 0) << "triangle " << i / 3;
        }
    }
}

// The cylinder texture: t = 0 at the -Z end, 1 at the +Z end.
TEST(Tessellation, CylinderTextureRunsFromMinusZToPlusZ)
{
    const VelMesh &m = velCylinderMesh(6, 1, 1);
    for (const VelMeshVertex &v : m.vertices) EXPECT_EQ(v.t[1], v.p[2] > 0 ? 1.0f : 0.0f);
}

//------------------------------------------------------------------------------
// PPM images
//------------------------------------------------------------------------------
TEST(Ppm, BinaryAndTextWithComments)
{
    std::string p6 = std::string("P6\n# two by two\n2 2\n255\n") + std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff\x10\x20\x30", 12);
    int w, h;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(velPpmRead(writeTemp("a.ppm", p6).c_str(), &w, &h, &rgb, &error)) << error;
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(rgb[0], 255);  // first row of the file is the top row
    EXPECT_EQ(rgb[4], 255);
    EXPECT_EQ(rgb[11], 0x30);
    std::string p3 = "P3\n2 1 # width height\n15\n15 0 0   0 # comment in the pixels\n 15 15\n";
    ASSERT_TRUE(velPpmParse((const uint8_t *)p3.data(), p3.size(), &w, &h, &rgb, &error)) << error;
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[4], 255);
    EXPECT_EQ(rgb[5], 255);
}

TEST(Ppm, BadFilesAreRefused)
{
    int w, h;
    std::vector<uint8_t> rgb;
    std::string error;
    const char *bad[] = {"", "P5\n1 1\n255\n\x01", "P6\n2 2\n255\n\x01\x02\x03", "P6\n2 2\n65535\n",
                         "P3\n1 1\n255\n1 2\n", "P6\n-1 2\n255\n", "P6\n99999999999 1\n255\n", "P3 1 1 0 0 0 0"};
    for (const char *b : bad) {
        std::string s(b);
        EXPECT_FALSE(velPpmParse((const uint8_t *)s.data(), s.size(), &w, &h, &rgb, &error)) << s;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(velPpmRead("/nonexistent/velkor.ppm", &w, &h, &rgb, &error));
}

// A header is believed only as far as the file bears it out: the pixels it
// promises must be there before anything is allocated, no more is read than
// they take, and no side is over 4096.
TEST(Ppm, HeadersCostNoMoreThanTheFileHolds)
{
    std::string sparse = writeTemp("sparse.ppm", std::string("P6 8 64 255\n") + std::string(8 * 64 * 3, '\x40'));
    ASSERT_EQ(truncate(sparse.c_str(), (off_t)3 << 30), 0);   // 3 GiB, nearly all of it a hole
    const struct {
        std::string name, text, error;
    } cases[] = {
        {"lying.ppm", "P6 16384 16384 255\n" + std::string(100, 'x'), "PPM image larger than 4096 x 4096"},
        {"short.ppm", "P6 4096 4096 255\n" + std::string(100, 'x'), "PPM pixel data truncated"},
        {"shorttext.ppm", "P3 4096 4096 255\n1 2 3\n", "PPM pixel data truncated or malformed"},
        // the maxval 255 cut at 64 KiB into 25 and 5
        {"comments.ppm", "P3\n#" + std::string(65524, 'c') + "\n8 64 255\n" + std::string(8 * 64 * 3 * 2, ' '),
         "PPM header longer than 64 KiB"},
        {"sparse.ppm", "", ""},
    };
    for (const auto &c : cases) {
        std::string path = c.text.empty() ? sparse : writeTemp(c.name.c_str(), c.text);
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        std::string error;
        EXPECT_EQ(velPpmRead(path.c_str(), &w, &h, &rgb, &error), c.error.empty() ? 1 : 0) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_LE(rgb.capacity(), (size_t)8 * 64 * 3) << c.name << ": allocated before checking";
    }
    std::remove(sparse.c_str());
}

// A missing texture prints one message naming the file, even when quiet,
// when the run of registrations ends; its surface falls back to the plain
// material. A found texture is textured.
TEST(Palette, MissingTextureFallsBackToMaterial)
{
    int quiet = vel_opt_output;
    vel_opt_output = 0;
    testing::internal::CaptureStdout();
    vel_paletteTextureSet(vel_palette_default, 40, "/nonexistent/Textures/nothere.ppm");
    std::string during = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    vel_surface s = vel_surfaceParamsNew(4, 0, 9, 40);
    std::string out = testing::internal::GetCapturedStdout();
    vel_opt_output = quiet;
    EXPECT_EQ(during, "");
    EXPECT_EQ(out, "velkor: texture \"/nonexistent/Textures/nothere.ppm\" not found; its surfaces draw untextured\n");
    EXPECT_EQ(velSurfaceState(s), 2u | (9u << 8));
    std::string good = std::string("P6 1 1 255\n") + std::string("\x00\x00\xff", 3);
    vel_paletteTextureSet(vel_palette_default, 41, writeTemp("good.ppm", good).c_str());
    EXPECT_EQ(velSurfaceState(vel_surfaceParamsNew(4, 0, 9, 41)), 4u | (9u << 8) | (41u << 16));
    EXPECT_EQ(velSurfaceState(0), 2u);  // no surface: the default material
    // a file that is there but broken takes the same road, named with its reason
    testing::internal::CaptureStdout();
    vel_paletteTextureSet(vel_palette_default, 41, writeTemp("bad.ppm", "P6 2 2 255\n\x01").c_str());
    vel_surface bad = vel_surfaceParamsNew(4, 0, 9, 41);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("bad.ppm\" not usable (PPM pixel data truncated); its surfaces draw untextured\n"),
              std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(velSurfaceState(bad), 2u | (9u << 8));
}

// A texture named relative to the working directory is found in the data
// folders from any other working directory; textures found nowhere are
// reported together in one line that names every folder searched.
TEST(Palette, TexturesFromAnyFolder)
{
    std::string root = "/tmp/velkor_core_" + std::to_string(getpid()) + "_data";
    std::string elsewhere = root + "_elsewhere";
    std::filesystem::create_directories(root + "/Textures");
    std::filesystem::create_directories(elsewhere);
    std::string blue = std::string("P6 1 1 255\n") + std::string("\x00\x00\xff", 3);
    FILE *f = std::fopen((root + "/Textures/lightgreyblue.ppm").c_str(), "wb");
    std::fwrite(blue.data(), 1, blue.size(), f);
    std::fclose(f);
    std::filesystem::path saved = std::filesystem::current_path();
    std::vector<std::string> folders = velDataFolders();
    velDataFolders() = {"/nonexistent/velkor", root};
    std::filesystem::current_path(elsewhere);

    int output = vel_opt_output;
    vel_opt_output = 1;
    testing::internal::CaptureStdout();
    vel_paletteTextureSet(vel_palette_default, 42, "Textures/lightgreyblue.ppm");
    vel_surface found = vel_surfaceParamsNew(4, 0, 9, 42);
    std::string chatter = testing::internal::GetCapturedStdout();
    vel_opt_output = output;
    EXPECT_EQ(chatter, "velkor: texture 42 loaded from " + root + "/Textures/lightgreyblue.ppm (1 x 1)\n");
    EXPECT_EQ(velSurfaceState(found), 4u | (9u << 8) | (42u << 16));
    EXPECT_EQ(velTextures[42].rgb[2], 255);

    testing::internal::CaptureStdout();
    for (int i = 43; i <= 45; i++) {
        std::string name = "Textures/none" + std::to_string(i) + ".ppm";
        vel_paletteTextureSet(vel_palette_default, i, name.c_str());
    }
    std::string during = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    vel_surface missing = vel_surfaceParamsNew(4, 0, 9, 44);
    vel_surfaceParamsNew(4, 0, 9, 45);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(during, "");
    EXPECT_EQ(out, "velkor: 3 textures not found (the first \"Textures/none43.ppm\"), looked in the working "
                   "directory " + elsewhere + ", /nonexistent/velkor, " + root + "; their surfaces draw untextured\n");
    EXPECT_EQ(velSurfaceState(missing), 2u | (9u << 8));

    std::filesystem::current_path(saved);
    velDataFolders() = folders;
    std::filesystem::remove_all(root);
    std::filesystem::remove_all(elsewhere);
}

// The build's folder list: ':'-separated, relative folders under the
// program's folder, normalised, each once.
TEST(Palette, DataFolderList)
{
    EXPECT_EQ(velDataFolderList("", "/opt/x/bin"), std::vector<std::string>{});
    EXPECT_EQ(velDataFolderList("/usr/share/app:../share/app:/src/tree/::/usr/share/app/", "/usr/bin"),
              (std::vector<std::string>{"/usr/share/app", "/src/tree"}));
    EXPECT_EQ(velDataFolderList("../share/app:/a", "/opt/x/bin"), (std::vector<std::string>{"/opt/x/share/app", "/a"}));
    EXPECT_EQ(velDataFolderList("../share/app:/a", ""), std::vector<std::string>{"/a"});
}

// Identical parameters give the one handle made for them; any difference in
// mode, colour, material or texture gives another.
TEST(Palette, SurfacesAreSharedByTheirParameters)
{
    vel_surface textured = vel_surfaceParamsNew(4, 0, 5, 17);
    int count = vel_surfaceCount();
    for (int i = 0; i < 1000; i++) ASSERT_EQ(vel_surfaceParamsNew(4, 0, 5, 17), textured);
    EXPECT_EQ(vel_surfaceCount(), count);
    vel_surface others[] = {vel_surfaceParamsNew(4, 0, 5, 18), vel_surfaceParamsNew(4, 0, 6, 17),
                            vel_surfaceParamsNew(4, 1, 5, 17), vel_surfaceParamsNew(2, 0, 5, 17)};
    for (vel_surface s : others) EXPECT_NE(s, textured);
    EXPECT_EQ(vel_surfaceCount(), count + 4);
    EXPECT_EQ(vel_surfaceParamsNew(2, 0, 5, 17), others[3]);
    // out-of-range indices are taken as 0, and then share that handle
    EXPECT_EQ(vel_surfaceParamsNew(1, -3, 0, 0), vel_surfaceParamsNew(1, 0, 0, 0));
    // the named modes are the numbers: either spelling gives the same surface
    EXPECT_EQ(vel_surfaceParamsNew(vel_surface_textured, 0, 5, 17), textured);
    EXPECT_EQ(vel_surfaceParamsNew(vel_surface_material, 0, 5, 17), others[3]);
    EXPECT_EQ(vel_surfaceParamsNew(vel_surface_flat, 0, 0, 0), vel_surfaceParamsNew(1, 0, 0, 0));
    EXPECT_EQ(vel_surfaceCount(), count + 5);
}

//------------------------------------------------------------------------------
// Lines and batches
//------------------------------------------------------------------------------
// Each segment takes the colour and width in force at its end vertex; the
// surface may change between two vertices of one line.
TEST(Lines, ColourAndWidthPerSegment)
{
    vel_paletteColourSet(vel_palette_default, 30, 1, 0, 0, 1);
    vel_paletteColourSet(vel_palette_default, 31, 0, 1, 0, 1);
    vel_colour blue{0, 0, 1, 1}, black{0, 0, 0, 1};
    vel_paletteMaterialSet(vel_palette_default, 32, blue, blue, blue, black, 30);
    vel_surface red = vel_surfaceParamsNew(1, 30, 0, 0), green = vel_surfaceParamsNew(1, 31, 0, 0);
    vel_surface material = vel_surfaceParamsNew(2, 0, 32, 0);
    vel_frameBegin();
    vel_gfxLineWidthSet(3);
    vel_surfaceParamsUse(red);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(0, 0, 0));
    vel_gfxVertex(vel_vectorSet(1, 0, 0));
    vel_surfaceParamsUse(green);
    vel_gfxVertex(vel_vectorSet(2, 0, 0));
    vel_gfxLineWidthSet(8);
    vel_surfaceParamsUse(material);
    vel_gfxVertex(vel_vectorSet(3, 0, 0));
    vel_gfxLineEnd();
    vel_gfxVertex(vel_vectorSet(9, 9, 9));  // outside a line: ignored
    const VelBatch &b = velFrames.current.immediate;
    ASSERT_EQ(b.lines.size(), 2u);
    const VelLineGroup &w3 = b.lines[0].width == 3 ? b.lines[0] : b.lines[1];
    const VelLineGroup &w8 = b.lines[0].width == 8 ? b.lines[0] : b.lines[1];
    ASSERT_EQ(w3.vertexCount, 4u);
    ASSERT_EQ(w8.vertexCount, 2u);
    EXPECT_EQ(w3.vertices[0].c[0], 255);  // 0 -> 1 red
    EXPECT_EQ(w3.vertices[1].p[0], 1.0f);
    EXPECT_EQ(w3.vertices[2].c[1], 255);  // 1 -> 2 green
    EXPECT_EQ(w3.vertices[2].c[0], 0);
    EXPECT_EQ(w8.vertices[0].c[2], 255);  // 2 -> 3 in the material's diffuse blue
    EXPECT_EQ(w8.vertices[0].p[0], 2.0f);
    vel_frameEnd();
    // widths are clamped to 1..10
    vel_gfxLineWidthSet(0.2f);
    EXPECT_EQ(velFrames.lineWidth, 1.0f);
    vel_gfxLineWidthSet(40);
    EXPECT_EQ(velFrames.lineWidth, 10.0f);
}

// Objects become instances of their unit mesh in the group of their
// surface's state; a cylinder of height 0 or less draws nothing.
TEST(Batches, ObjectsGroupedByState)
{
    static vel_sphereData s[2];
    static vel_cylinderData c[3];
    vel_surface m1 = vel_surfaceParamsNew(2, 0, 5, 0), m2 = vel_surfaceParamsNew(2, 0, 6, 0);
    s[0] = vel_sphereData{1, 4, 4, m1, vel_matrixSet(0, 0, 0, 1, 2, 3), 0};
    s[1] = vel_sphereData{2, 4, 4, m1, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    c[0] = vel_cylinderData{0.5f, 2, 3, 0, m2, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    c[1] = vel_cylinderData{0.5f, 0, 3, 1, m2, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    c[2] = vel_cylinderData{0.5f, -1, 3, 1, m2, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    VelBatch b;
    for (auto &x : s) velBatchAddObject(&b, vel_objectNew(vel_class_sphere, &x));
    for (auto &x : c) velBatchAddObject(&b, vel_objectNew(vel_class_cylinder, &x));
    ASSERT_EQ(b.groups.size(), 2u);
    EXPECT_EQ(b.groups[0].count, 2u);
    EXPECT_EQ(velMeshTable[b.groups[0].mesh]->indices.size(), 48u * 3);
    EXPECT_EQ(b.groups[1].count, 1u);  // one open tube only
    EXPECT_EQ(velMeshTable[b.groups[1].mesh]->indices.size(), 12u * 3);
    // placement: the first sphere's north pole is at (1, 2, 4); the second
    // sphere's axes carry its radius 2, the tube's its height along z
    const VelInstance &first = b.groups[0].instances[0];
    const VelMeshVertex &pole = velMeshTable[b.groups[0].mesh]->vertices[25];
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(first.axis[0][k] * pole.p[0] + first.axis[1][k] * pole.p[1] + first.axis[2][k] * pole.p[2] +
                        first.origin[k],
                    (k == 2 ? 4.0f : k + 1.0f), EPS);
    EXPECT_EQ(b.groups[0].instances[1].axis[1][1], 2.0f);
    EXPECT_EQ(b.groups[1].instances[0].axis[2][2], 2.0f);
    EXPECT_EQ(b.groups[1].instances[0].axis[0][0], 0.5f);
}

// Recording is a copy of the placements: every object costs one instance
// of at most 128 bytes whatever its detail, and objects of one detail and
// surface share one unit mesh; a mirroring placement gets a group of its
// own (its triangles wind the other way).
TEST(Batches, ObjectsCostOneSmallInstanceEach)
{
    std::vector<vel_sphereData> s(3000, vel_sphereData{0.3f, 4, 4, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0});
    s[7].tessellation1 = s[7].tessellation2 = 64;  // High detail costs the same
    vel_matrix mirror = vel_matrixSet(0, 0, 0, 0, 0, 0);
    mirror.m[0] = -1;
    s[9].matrix = mirror;
    VelBatch b;
    for (auto &x : s) velBatchAddObject(&b, vel_objectNew(vel_class_sphere, &x));
    ASSERT_EQ(b.groups.size(), 3u);
    EXPECT_EQ(b.groups[0].count, 2998u);
    EXPECT_EQ(b.groups[2].mirrored, 1);
    EXPECT_LE(velBatchBytes(&b), 3000u * 128);
    EXPECT_EQ(velBatchBytes(&b), 3000u * sizeof(VelInstance));
    EXPECT_LE(velMeshTable[b.groups[1].mesh]->vertices.size(), 65535u);  // 16-bit indices suffice
}

// A whole list is counted first and copied once: the groups, their order
// and every instance are those of adding its objects one by one, with
// objects that draw nothing, mirrored placements and groups already in the
// batch among them.
TEST(Batches, WholeListEqualsObjectByObject)
{
    const int n = 9000;
    static std::vector<vel_sphereData> s(n);
    static std::vector<vel_cylinderData> c(n);
    vel_surface m1 = vel_surfaceParamsNew(2, 0, 5, 0), m2 = vel_surfaceParamsNew(2, 0, 6, 0);
    std::vector<vel_object> objects;
    for (int i = 0; i < n; i++) {
        vel_matrix at = vel_matrixSet(0.1f * i, 0, 0, (float)i, 1, 2);
        if (i % 97 == 0) at.m[0] = -at.m[0];  // mirrors
        s[i] = vel_sphereData{i % 501 == 0 ? 0.0f : 0.3f, 4 + 4 * (i % 3 == 0), 4, i % 2 ? m1 : m2, at, 0};
        c[i] = vel_cylinderData{0.2f, i % 333 == 0 ? -1.0f : 1.5f, 3, i % 5 == 0, i % 7 ? m1 : m2, at, 0};
        objects.push_back(vel_objectNew(vel_class_sphere, &s[i]));
        objects.push_back(vel_objectNew(vel_class_cylinder, &c[i]));
    }
    VelBatch one, whole;
    velBatchAddObject(&one, objects[5]);  // a group that exists before the list
    velBatchAddObject(&whole, objects[5]);
    for (vel_object o : objects) velBatchAddObject(&one, o);
    velBatchAddObjects(&whole, objects.data(), objects.size());
    ASSERT_GT(one.groups.size(), 6u);
    ASSERT_EQ(whole.groups.size(), one.groups.size());
    for (size_t g = 0; g < one.groups.size(); g++) {
        const VelInstanceGroup &a = one.groups[g], &b = whole.groups[g];
        EXPECT_EQ(b.key, a.key);
        EXPECT_EQ(b.mesh, a.mesh);
        EXPECT_EQ(b.mirrored, a.mirrored);
        ASSERT_EQ(b.count, a.count);
        ASSERT_EQ(b.instances.size(), a.instances.size());
        EXPECT_EQ(std::memcmp(b.instances.data(), a.instances.data(), a.instances.size() * sizeof(VelInstance)), 0);
        EXPECT_EQ(b.instances.capacity(), b.instances.size()) << "allocated once at its final size";
    }
    EXPECT_TRUE(velBatchSame(one, whole));
}

// The idle test compares a frame's own geometry with the last one's.
TEST(Batches, SameGeometryComparedByBytes)
{
    static vel_sphereData s{1, 4, 4, 0, vel_matrixSet(0, 0, 0, 1, 2, 3), 0};
    vel_object o = vel_objectNew(vel_class_sphere, &s);
    const uint8_t red[4] = {255, 0, 0, 255};
    VelBatch a, b;
    for (VelBatch *x : {&a, &b}) {
        velBatchAddObject(x, o);
        velBatchAddSegment(x, 2, vel_vectorSet(0, 0, 0), vel_vectorSet(1, 0, 0), red);
    }
    EXPECT_TRUE(velBatchSame(a, b));
    velBatchReset(&b);  // an emptied batch keeps empty groups: still differs
    EXPECT_FALSE(velBatchSame(a, b));
    velBatchAddObject(&b, o);
    velBatchAddSegment(&b, 2, vel_vectorSet(0, 0, 0), vel_vectorSet(1, 0, 0.001f), red);
    EXPECT_FALSE(velBatchSame(a, b));
    velBatchReset(&a);
    velBatchReset(&b);
    EXPECT_TRUE(velBatchSame(a, b));
}

//------------------------------------------------------------------------------
// Display lists and the trace
//------------------------------------------------------------------------------
// Mode 2 records and draws in the same frame; replays draw the list; an id
// never recorded draws nothing; deleted lists are gone.
TEST(DisplayLists, RecordReplayDelete)
{
    vel_frameBegin();
    vel_gfxListExec(12);
    vel_gfxListNew(12, 2);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(0, 0, 0));
    vel_gfxVertex(vel_vectorSet(1, 1, 1));
    vel_gfxLineEnd();
    vel_gfxListEnd();
    EXPECT_EQ(velFrames.current.immediate.lines.size(), 0u);  // into the list, not the frame
    ASSERT_EQ(velFrames.current.lists.size(), 2u);
    EXPECT_EQ(velFrames.current.lists[1], 12);
    ASSERT_NE(velFrames.displayLists[12], nullptr);
    EXPECT_EQ(velFrames.displayLists[12]->lines[0].vertexCount, 2u);
    vel_frameEnd();
    vel_gfxListsDelete(12, 1);
    EXPECT_EQ(velFrames.displayLists[12], nullptr);
    // a list that replays another
    vel_gfxListNew(13, 1);
    vel_gfxListExec(14);
    vel_gfxListEnd();
    EXPECT_EQ(velFrames.displayLists[13]->calls.size(), 1u);
    vel_gfxListsDelete(13, 2);
}

TEST(Trace, RecordsCallsInOrder)
{
    vel_traceClear();
    vel_traceEnable(1);
    vel_gfxLineWidthSet(8);
    vel_surfaceParamsUse(12);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(0.5f, 1, 2));
    vel_gfxLineEnd();
    vel_gfxListNew(1, 2);
    vel_gfxListEnd();
    vel_traceEnable(0);
    vel_gfxListsDelete(1, 1);  // not recorded
    EXPECT_STREQ(vel_traceText(), "vel_gfxLineWidthSet 8\nvel_surfaceParamsUse 12\nvel_gfxLineBegin\n"
                                  "vel_gfxVertex 0.5 1 2\nvel_gfxLineEnd\nvel_gfxListNew 1 2\nvel_gfxListEnd\n");
    vel_traceClear();
    EXPECT_STREQ(vel_traceText(), "");
}

} // namespace

namespace {

// A cylinder along X (local Z turned onto +X), 4 long, radius 1: the ray
// down the Z axis hits its side at distance 9; beyond its end nothing; the
// caps count only when closed.
TEST(Picking, RayCylinder)
{
    vel_matrix m = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorSet(0, 1, 0), 90));
    vel_vector down = vel_vectorSet(0, 0, -1);
    EXPECT_NEAR(velRayCylinder(vel_vectorSet(0, 0, 10), down, m, 1, 4, 1), 9, 1e-4f);
    EXPECT_NEAR(velRayCylinder(vel_vectorSet(1.9f, 0, 10), down, m, 1, 4, 1), 9, 1e-4f);
    EXPECT_LT(velRayCylinder(vel_vectorSet(2.1f, 0, 10), down, m, 1, 4, 1), 0);
    vel_vector along = vel_vectorSet(-1, 0, 0);
    EXPECT_NEAR(velRayCylinder(vel_vectorSet(10, 0.5f, 0), along, m, 1, 4, 1), 8, 1e-4f);  // the +Z cap
    EXPECT_LT(velRayCylinder(vel_vectorSet(10, 0.5f, 0), along, m, 1, 4, 0), 0);  // down an open tube
    m = vel_matrixXYZSet(m, vel_vectorSet(0, 5, 0));
    EXPECT_NEAR(velRayCylinder(vel_vectorSet(0, 5, 10), down, m, 1, 4, 1), 9, 1e-4f);
    EXPECT_LT(velRayCylinder(vel_vectorSet(0, 0, 10), down, m, 1, 4, 1), 0);
}

} // namespace

// The heap is grown ahead once and marked for huge pages: a block of
// megabytes taken after that lies in memory the kernel fills 2 MiB at a
// time, and the heap goes on serving and taking back memory as before.
TEST(Memory, HeapAheadOnHugePages)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not use the heap";
#endif
    if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "no transparent huge pages in this kernel";
    vel_heapPrepare();
    vel_heapPrepare();  // once only
    const size_t size = 8u << 20;
    char *block = (char *)std::malloc(size);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, size);
    uintptr_t middle = (uintptr_t)block + size / 2;
    std::ifstream maps("/proc/self/smaps");
    std::string line, flags;
    bool inside = false;
    while (std::getline(maps, line)) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &from, &to) == 2)  // a mapping's first line
            inside = middle >= from && middle < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            flags = line;
    }
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
    std::free(block);
    void *again = std::malloc(size);
    EXPECT_NE(again, nullptr);
    std::free(again);
}

// The library makes no process-wide setting by itself: Qt's default surface
// format stays Qt's until the program asks for the library's.
TEST(ProcessWide, SurfaceFormatOnlyWhenAsked)
{
    const QSurfaceFormat before = QSurfaceFormat::defaultFormat();
    EXPECT_EQ(before, QSurfaceFormat());
    vel_surfaceFormatDefaultSet();
    const QSurfaceFormat asked = QSurfaceFormat::defaultFormat();
    EXPECT_EQ(asked.version(), qMakePair(3, 3));
    EXPECT_EQ(asked.profile(), QSurfaceFormat::CoreProfile);
    EXPECT_GT(asked.depthBufferSize(), 0);
    QSurfaceFormat::setDefaultFormat(before);
}
