// render_test.cpp - what the library draws from the records: an oxygen ball
// is red, a C-O tube is grey at the carbon and red at the oxygen, a tube of
// negative height draws nothing, and a real protein fills the view.
#include <cstdio>
#include <string>

#include "scenetest.h"

namespace {

using Render = SceneTest;

bool isRed(QRgb p)
{
    return qRed(p) > 90 && qRed(p) > 2 * qGreen(p) + 30 && qRed(p) > 2 * qBlue(p) + 30;
}

bool isGrey(QRgb p)
{
    return qRed(p) > 50 && std::abs(qRed(p) - qGreen(p)) < 25 && std::abs(qGreen(p) - qBlue(p)) < 25;
}

QRgb pixelAt(const QImage &image, vel_vector point)
{
    int x = 0, y = 0;
    pixelOf(image, point, &x, &y);
    return image.pixel(x, y);
}

std::string describe(QRgb p)
{
    return std::to_string(qRed(p)) + "," + std::to_string(qGreen(p)) + "," + std::to_string(qBlue(p));
}

TEST_F(Render, OxygenBallIsRed)
{
    putAtom(1, "O", 0, 0, 0);
    drawAtoms = 1;
    drawSpaceFilled = 1;
    sphereDetail = 9;
    buildAtomSpheres();
    QImage image = drawScene(vel_vectorSet(0, 0, 10));
    QRgb centre = pixelAt(image, vel_vectorSet(0, 0, 0));
    EXPECT_TRUE(isRed(centre)) << describe(centre);
    QRgb outside = pixelAt(image, vel_vectorSet(2.5f, 2.5f, 0));
    EXPECT_LT(qRed(outside) + qGreen(outside) + qBlue(outside), 30) << describe(outside);
}

// The carbon's half is grey and the oxygen's red, whichever atom the bond
// lists first.
TEST_F(Render, CarbonOxygenTubeShowsEachAtomsColour)
{
    for (bool carbonFirst : {true, false}) {
        SetUp();
        putAtom(1, "C", -3, 0, 0);
        putAtom(2, "O", 3, 0, 0);
        carbonFirst ? putBond(1, 2, 1) : putBond(2, 1, 1);
        cylinderDetail = 8;
        buildBondCylinders();
        QImage image = drawScene(vel_vectorSet(0, 0, 8));
        if (carbonFirst)
            image.save(MOLVANE_TEST_OUTPUT "/scene_carbon_oxygen.png");
        QRgb carbonEnd = pixelAt(image, vel_vectorSet(-1.5f, 0, 0));
        QRgb oxygenEnd = pixelAt(image, vel_vectorSet(1.5f, 0, 0));
        EXPECT_TRUE(isGrey(carbonEnd)) << describe(carbonEnd);
        EXPECT_TRUE(isRed(oxygenEnd)) << describe(oxygenEnd);
        TearDown();
    }
    SetUp();
}

// A CONECT bond shorter than the balls has a negative height: no tube, and
// in particular none turned inside out.
TEST_F(Render, NegativeHeightDrawsNothing)
{
    putAtom(1, "C", 0, 0, 0);
    putAtom(2, "C", 0.2f, 0, 0);
    putBond(1, 2, 1, 1);
    drawAtoms = 1;
    buildBondCylinders();
    ASSERT_LT(cylinderRecords[1].height, 0.0f);
    QImage image = drawScene(vel_vectorSet(0, 0, 3));
    int lit = 0;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            lit += qRed(image.pixel(x, y)) + qGreen(image.pixel(x, y)) + qBlue(image.pixel(x, y)) > 30 ? 1 : 0;
    EXPECT_EQ(lit, 0);
}

// Ubiquitin as balls and sticks: the picture is saved beside the tests for
// a look, and it shows red oxygen balls among grey carbon.
TEST_F(Render, UbiquitinBallsAndSticks)
{
    FILE *pdb = std::fopen(MOLVANE_TEST_DATA "/1ubq.pdb", "r");
    ASSERT_NE(pdb, nullptr);
    testing::internal::CaptureStdout();
    atomCount = readStructureFile(pdb);
    perceiveBonds();
    std::fclose(pdb);
    drawAtoms = 1;
    buildBondCylinders();
    buildAtomSpheres();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(bondCount, 500);
    QImage image = drawScene(vel_vectorSet(0, 0, 45));
    image.save(MOLVANE_TEST_OUTPUT "/scene_1ubq.png");
    int red = 0, grey = 0;
    for (int y = 0; y < image.height(); y++) {
        for (int x = 0; x < image.width(); x++) {
            red += isRed(image.pixel(x, y)) ? 1 : 0;
            grey += isGrey(image.pixel(x, y)) ? 1 : 0;
        }
    }
    EXPECT_GT(red, 200);
    EXPECT_GT(grey, 1000);
}

}  // namespace
