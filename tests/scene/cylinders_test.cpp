// cylinders_test.cpp - placement, radius, height and surface of the bond
// cylinders, their count and the full-table guard.
#include <cmath>
#include <string>

#include "scenetest.h"

namespace {

using Cylinders = SceneTest;

void expectNear(vel_vector v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool isFinite(const vel_matrix &m)
{
    for (float e : m.m)
        if (!std::isfinite(e))
            return false;
    return true;
}

// The library calls a build made while the trace was on.
std::string tracedBuild()
{
    vel_traceClear();
    vel_traceEnable(1);
    testing::internal::CaptureStdout();
    buildBondCylinders();
    std::string out = testing::internal::GetCapturedStdout();
    vel_traceEnable(0);
    EXPECT_EQ(out, "Generating bonds...\n");
    std::string trace = vel_traceText();
    vel_traceClear();
    return trace;
}

// C-O along X, atoms not drawn: full length, closed ends, centred at the
// midpoint, -Z turned onto +X, the carbon at the +Z end, texture 5.
TEST_F(Cylinders, CarbonOxygenAlongX)
{
    for (bool carbonFirst : {true, false}) {
        SetUp();
        putAtom(1, "C", 0.0f, 0.0f, 0.0f);
        putAtom(2, "O", 1.5f, 0.0f, 0.0f);
        carbonFirst ? putBond(1, 2, 1) : putBond(2, 1, 1);
        std::string trace = tracedBuild();
        ASSERT_EQ(bondCount, 1);
        EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 1);
        const CylinderRecord &c = cylinderRecords[1];
        EXPECT_FLOAT_EQ(c.height, 1.5f);
        EXPECT_EQ(c.radius, 0.15f);
        EXPECT_EQ(c.endCaps, 1);
        EXPECT_EQ(c.tessellation, 3);
        EXPECT_TRUE(isFinite(c.matrix));
        expectNear(vel_matrixXYZGet(c.matrix), 0.75f, 0.0f, 0.0f);
        expectNear(transformPoint(c.matrix, 0, 0, 0.75f), 0.0f, 0.0f, 0.0f);   // +Z end at the carbon
        expectNear(transformPoint(c.matrix, 0, 0, -0.75f), 1.5f, 0.0f, 0.0f);  // -Z end at the oxygen
        EXPECT_NE(trace.find("vel_surfaceParamsNew 4 0 5 5"), std::string::npos) << trace;
        EXPECT_NE(c.surface, 0);
        for (int i = 0; i < surfaceTableSize; i++)
            EXPECT_NE(c.surface, materialSurfaces[i] ? materialSurfaces[i] : -1);
        TearDown();
    }
    SetUp();
}

// With the small balls drawn the tube is 0.3 shorter and open.
TEST_F(Cylinders, ShorterAndOpenWithAtomBalls)
{
    putAtom(1, "O", 0.0f, 2.0f, 0.0f);
    putAtom(2, "C", 0.0f, 0.0f, 0.0f);
    putBond(1, 2, 1);
    drawAtoms = 1;
    buildBondCylinders();
    const CylinderRecord &c = cylinderRecords[1];
    EXPECT_FLOAT_EQ(c.height, 1.7f);
    EXPECT_EQ(c.endCaps, 0);
    expectNear(transformPoint(c.matrix, 0, 0, 1.0f), 0.0f, 0.0f, 0.0f);  // carbon at +Z
}

// Multiple bonds: thinner tubes, shifted along world Y, each counted.
TEST_F(Cylinders, DoubleAndTripleBonds)
{
    putAtom(1, "C", 0.0f, 0.0f, 0.0f);
    putAtom(2, "C", 1.5f, 0.0f, 0.0f);
    putAtom(3, "N", 1.5f, 0.0f, 3.0f);
    putAtom(4, "C", 0.0f, 0.0f, 5.0f);
    putBond(1, 2, 2);
    putBond(2, 3, 3);
    putBond(3, 4, 1);
    cylinderDetail = 8;
    buildBondCylinders();
    ASSERT_EQ(bondCount, 6);
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), 6);
    const float radii[7] = {0, 0.075f, 0.075f, 0.05f, 0.05f, 0.05f, 0.15f};
    for (int k = 1; k <= 6; k++) {
        EXPECT_EQ(cylinderRecords[k].radius, radii[k]) << k;
        EXPECT_EQ(cylinderRecords[k].tessellation, 8);
    }
    expectNear(vel_matrixXYZGet(cylinderRecords[1].matrix), 0.75f, 0.12f, 0.0f);
    expectNear(vel_matrixXYZGet(cylinderRecords[2].matrix), 0.75f, -0.12f, 0.0f);
    expectNear(vel_matrixXYZGet(cylinderRecords[3].matrix), 1.5f, 0.15f, 1.5f);
    expectNear(vel_matrixXYZGet(cylinderRecords[4].matrix), 1.5f, 0.0f, 1.5f);
    expectNear(vel_matrixXYZGet(cylinderRecords[5].matrix), 1.5f, -0.15f, 1.5f);

    // Without multiple bonds every bond is one full tube.
    vel_SMSDelete(sceneObjectList, 1);
    sceneObjectList = vel_SMSObjListNew();
    bondCount = 0;
    drawMultipleBonds = 0;
    buildBondCylinders();
    ASSERT_EQ(bondCount, 3);
    for (int k = 1; k <= 3; k++)
        EXPECT_EQ(cylinderRecords[k].radius, 0.15f);
    expectNear(vel_matrixXYZGet(cylinderRecords[1].matrix), 0.75f, 0.0f, 0.0f);
}

// Bonds along +Z and -Z, two atoms at one point, and a spread of
// directions: a finite rotation that turns local -Z onto the bond.
TEST_F(Cylinders, RotationTurnsMinusZOntoTheBond)
{
    const float ends[][3] = {{0, 0, 2}, {0, 0, -2}, {0, 0, 0}, {1e-8f, 0, 1}, {1e-8f, 0, -1}, {1, 2, 3},
                             {-1, 0.5f, -0.2f}, {0, -1, 0}, {0.3f, 0.3f, -0.9f}, {-2, -2, 0.001f}};
    int n = (int)(sizeof ends / sizeof ends[0]);
    putAtom(1, "C", 0.5f, -1.0f, 2.0f);
    for (int i = 0; i < n; i++) {
        putAtom(2 + i, "C", 0.5f + ends[i][0], -1.0f + ends[i][1], 2.0f + ends[i][2]);
        putBond(1, 2 + i, 1);
    }
    buildBondCylinders();
    ASSERT_EQ(bondCount, n);
    for (int i = 0; i < n; i++) {
        const CylinderRecord &c = cylinderRecords[i + 1];
        ASSERT_TRUE(isFinite(c.matrix)) << i;
        vel_vector d = vel_vectorSet(ends[i][0], ends[i][1], ends[i][2]);
        float length = vel_vectorMag(d);
        EXPECT_NEAR(c.height, length, 1e-5f);
        vel_vector centre = vel_matrixXYZGet(c.matrix);
        vel_vector minusZ = vel_vectorSub(transformPoint(c.matrix, 0, 0, -1), centre);
        EXPECT_NEAR(vel_vectorMag(minusZ), 1.0f, 1e-5f) << i;
        if (length > 0.0f) {
            vel_vector n = vel_vectorNormalize(d);
            expectNear(minusZ, n.x, n.y, n.z, 1e-4f);
        }
        expectNear(centre, 0.5f + 0.5f * ends[i][0], -1.0f + 0.5f * ends[i][1], 2.0f + 0.5f * ends[i][2]);
    }
}

// The four surface rules in order: chain or residue, CONECT highlight,
// shared element colour, two-colour texture.
TEST_F(Cylinders, SurfacePrecedence)
{
    putAtom(1, "C", 0, 0, 0, 32, 5);
    putAtom(2, "C", 1.5f, 0, 0, 75, 65);
    putAtom(3, "P", 0, 2, 0, 0, -1);
    putAtom(4, "FE", 1.5f, 2, 0);
    putAtom(5, "BR", 0, 4, 0);
    putAtom(6, "ZN", 1.5f, 4, 0);
    putAtom(7, "O", 0, 6, 0);
    putBond(1, 2, 1);     // C-C
    putBond(3, 4, 1);     // P-FE
    putBond(5, 6, 1);     // BR-ZN
    putBond(1, 7, 1, 1);  // C-O from CONECT
    putBond(2, 7, 1);     // C-O

    buildBondCylinders();
    EXPECT_EQ(cylinderRecords[1].surface, materialSurfaces[5]);
    EXPECT_EQ(cylinderRecords[2].surface, materialSurfaces[10]);
    EXPECT_EQ(cylinderRecords[3].surface, materialSurfaces[12]);
    vel_surface plainConect = cylinderRecords[4].surface;
    EXPECT_NE(plainConect, materialSurfaces[11]);

    highlightPDBBonds = 1;
    bondCount = 0;
    buildBondCylinders();
    EXPECT_EQ(cylinderRecords[4].surface, materialSurfaces[11]);
    EXPECT_NE(cylinderRecords[5].surface, materialSurfaces[11]);

    // Chain colouring beats the highlight; the start atom's chain decides,
    // and chain indices past 59 wrap onto the generated colours.
    colourByChain = 1;
    bondCount = 0;
    buildBondCylinders();
    EXPECT_EQ(cylinderRecords[1].surface, materialSurfaces[52]);
    EXPECT_EQ(cylinderRecords[4].surface, materialSurfaces[52]);  // start atom C, chain 32
    EXPECT_EQ(cylinderRecords[5].surface, materialSurfaces[35]);  // chain 75
    EXPECT_EQ(cylinderRecords[2].surface, materialSurfaces[20]);

    colourByChain = 0;
    colourByResidue = 1;
    drawAtoms = 1;
    bondCount = 0;
    buildBondCylinders();
    EXPECT_EQ(cylinderRecords[1].surface, materialSurfaces[25]);  // residue 5
    EXPECT_EQ(cylinderRecords[5].surface, materialSurfaces[25]);  // residue 65
    EXPECT_EQ(cylinderRecords[2].surface, materialSurfaces[79]);  // residue -1
    EXPECT_FLOAT_EQ(cylinderRecords[1].height, 1.5f);  // residue colours draw no balls
}

// The objects are made only once every record is filled, one per record.
TEST_F(Cylinders, ObjectsAfterAllRecords)
{
    putAtom(1, "C", 0, 0, 0);
    putAtom(2, "O", 1.2f, 0, 0);
    putAtom(3, "N", 0, 1.4f, 0);
    putBond(1, 2, 2);
    putBond(1, 3, 1);
    putBond(2, 3, 1);
    std::string trace = tracedBuild();
    size_t lastSurface = trace.rfind("vel_surfaceParamsNew");
    size_t firstObject = trace.find("vel_objectNew");
    ASSERT_NE(lastSurface, std::string::npos);
    ASSERT_NE(firstObject, std::string::npos);
    EXPECT_LT(lastSurface, firstObject);
    size_t objects = 0;
    for (size_t at = trace.find("vel_objectNew"); at != std::string::npos; at = trace.find("vel_objectNew", at + 1))
        objects++;
    EXPECT_EQ(objects, 4u);
    EXPECT_EQ(bondCount, 4);
}

// A CONECT bond shorter than the balls keeps its negative height.
TEST_F(Cylinders, ShortConectBondWithBalls)
{
    putAtom(1, "C", 0, 0, 0);
    putAtom(2, "C", 0.2f, 0, 0);
    putBond(1, 2, 1, 1);
    drawAtoms = 1;
    buildBondCylinders();
    EXPECT_NEAR(cylinderRecords[1].height, -0.1f, 1e-6f);
    EXPECT_TRUE(isFinite(cylinderRecords[1].matrix));
}

// A CONECT record with a blank serial makes a bond from record 0 in
// mid-table: the bonds after it still get cylinders; bonds to empty
// records get none.
TEST_F(Cylinders, BondsPastAStrayRecordZeroBond)
{
    putAtom(1, "C", 0, 0, 0);
    putAtom(2, "C", 1.5f, 0, 0);
    putAtom(3, "C", 3.0f, 0, 0);
    putBond(1, 2, 1);
    putBond(0, 2, 1, 1);   // serial 0, no atom there
    putBond(2, 7, 1, 1);   // serial 7, no atom line filled it
    putBond(2, 3, 1);
    testing::internal::CaptureStdout();
    buildBondCylinders();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(bondCount, 2);
    expectNear(vel_matrixXYZGet(cylinderRecords[2].matrix), 2.25f, 0.0f, 0.0f);
}

// More cylinders than records: whole bonds up to the last free record, one
// message, the objects of what was built, bondCount = cylinders made.
TEST_F(Cylinders, FullTableStopsWithOneMessage)
{
    const int atomsUsed = 50002;
    for (int i = 1; i <= atomsUsed; i++)
        putAtom(i, i % 2 ? "C" : "N", (float)(i % 100), (float)(i / 100), 0.0f);
    for (int i = 1; i < atomsUsed; i++)
        putBond(i, i + 1, 3);
    testing::internal::CaptureStdout();
    buildBondCylinders();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Generating bonds...\n\nERROR - too many bonds to draw... Structure incomplete\n\n");
    EXPECT_EQ(bondCount, (maxCylinders - 1) / 3 * 3);
    EXPECT_EQ(vel_SMSObjectCount(sceneObjectList), bondCount);
}

}  // namespace
