// spheres_test.cpp - the sphere records the builder fills and the objects
// it lists.
#include <cstring>

#include "scenetest.h"

namespace {

using Spheres = SceneTest;

bool isPureTranslation(const vel_matrix &m, float x, float y, float z)
{
    static const float identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    float t[3] = {x, y, z};
    return std::memcmp(m.m, identity, sizeof identity) == 0 && std::memcmp(&m.m[12], t, sizeof t) == 0 &&
           m.m[15] == 1.0f;
}

// Small balls: radius 0.3 for every element, the element's material, the
// tessellation of the detail setting, and the atom's coordinates bit for bit.
TEST_F(Spheres, SmallBallsAtTheAtoms)
{
    putAtom(1, "C", 1.2345678f, -7.0000001f, 3.3333333f);
    putAtom(2, "O", -0.1f, 1e-7f, 123.456f);
    putAtom(5, "HG", 0.0f, -0.0f, 42.0f);
    drawAtoms = 1;
    sphereDetail = 9;
    std::memset(&sphereRecords[3], 0x5a, sizeof sphereRecords[3]);
    testing::internal::CaptureStdout();
    buildAtomSpheres();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Generating atoms...\n");

    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 3);
    for (int i : {1, 2, 5}) {
        const SphereRecord &r = sphereRecords[i];
        EXPECT_EQ(r.radius, 0.3f);
        EXPECT_EQ(r.tessellation1, 9);
        EXPECT_EQ(r.tessellation2, 9);
        EXPECT_EQ(r.surface, materialSurfaces[atoms[i].paletteIndex]);
        EXPECT_TRUE(isPureTranslation(r.matrix, atoms[i].x, atoms[i].y, atoms[i].z)) << "atom " << i;
        vel_vector back = vel_matrixXYZGet(r.matrix);
        EXPECT_TRUE(back.x == atoms[i].x && back.y == atoms[i].y && back.z == atoms[i].z);
    }
    EXPECT_EQ(sphereRecords[2].surface, materialSurfaces[6]);
    EXPECT_EQ(sphereRecords[5].surface, materialSurfaces[16]);
    // A gap in the serial numbers is left alone.
    const unsigned char *gap = reinterpret_cast<const unsigned char *>(&sphereRecords[3]);
    EXPECT_EQ(gap[0], 0x5a);
    EXPECT_EQ(gap[sizeof(SphereRecord) - 1], 0x5a);
}

// Space filling wins over small balls and takes the element radii.
TEST_F(Spheres, SpaceFillingRadii)
{
    putAtom(1, "C", 0, 0, 0);
    putAtom(2, "H", 1, 0, 0);
    putAtom(3, "XX", 2, 0, 0);
    putAtom(4, "N", 3, 0, 0);
    atoms[4].present = 0;  // an unbonded atom the build removed
    drawAtoms = 1;
    drawSpaceFilled = 1;
    buildAtomSpheres();
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 3);
    EXPECT_EQ(sphereRecords[1].radius, 1.55f);
    EXPECT_EQ(sphereRecords[2].radius, 1.1f);
    EXPECT_EQ(sphereRecords[3].radius, 1.4f);
    EXPECT_EQ(sphereRecords[3].tessellation1, 4);
}

// Two atoms at one point give two spheres there.
TEST_F(Spheres, TwoAtomsAtOnePoint)
{
    putAtom(7, "C", 1.5f, 2.5f, 3.5f);
    putAtom(8, "O", 1.5f, 2.5f, 3.5f);
    drawAtoms = 1;
    buildAtomSpheres();
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 2);
    EXPECT_EQ(std::memcmp(&sphereRecords[7].matrix, &sphereRecords[8].matrix, sizeof(vel_matrix)), 0);
}

}  // namespace
