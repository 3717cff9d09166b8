// perception_test.cpp - bond perception: the score cases, the window, the
// serving order, bond orders and mid-points, and exact agreement with the
// plain rule on every real file at every accuracy.
#include "testsupport.h"

#include "app/settings.h"
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {
struct Atom {
    int serial;
    const char *name;
    double x, y, z;
};

class Perception : public ::testing::Test {
protected:
    void SetUp() override { resetRenderSettings(); }
    void TearDown() override { resetRenderSettings(); }

    // Reads the atoms (and extra records), then perceives.
    std::string build(std::initializer_list<Atom> list, const std::string &extra = "")
    {
        std::string text;
        for (const Atom &atom : list)
            text += atomLine(atom.serial, atom.name, "LIG", 'A', 1, atom.x, atom.y, atom.z) + "\n";
        readText(text + extra);
        return captureStdout([] { perceiveBonds(); });
    }
};
}

TEST_F(Perception, CarbonPairByDistance)
{
    build({{1, " C  ", 0, 0, 0}, {2, " C  ", 1.54, 0, 0}});
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].atomA, 1);
    EXPECT_EQ(bonds[1].atomB, 2);
    EXPECT_EQ(bonds[1].fromConect, 0);
    build({{1, " C  ", 0, 0, 0}, {2, " C  ", 2.10, 0, 0}});
    EXPECT_EQ(nextBondIndex, 1);
}

// Two hydrogens at 0.74: 0.72 + 0.5 is above the limit.
TEST_F(Perception, HydrogenMoleculeNotBonded)
{
    build({{1, " H  ", 0, 0, 0}, {2, " H  ", 0.74, 0, 0}});
    EXPECT_EQ(nextBondIndex, 1);
}

// C=O: the oxygen is served first; phase 2 makes the bond double.
TEST_F(Perception, CarbonylBecomesDouble)
{
    build({{1, " C  ", 0, 0, 0}, {2, " O  ", 1.23, 0, 0}, {3, " C  ", -0.77, 1.3337, 0},
           {4, " C  ", -0.77, -1.3337, 0}});
    ASSERT_EQ(nextBondIndex, 4);
    EXPECT_EQ(bonds[1].atomA, 2);
    EXPECT_EQ(bonds[1].atomB, 1);
    EXPECT_EQ(bonds[1].order, 2);
    EXPECT_EQ(bonds[2].order, 1);
    EXPECT_EQ(atoms[1].totalBonds, 4);
    EXPECT_EQ(atoms[2].totalBonds, 2);
}

// Equal scores: the lowest index wins; a saturated partner is still taken
// at the cost of the penalty.
TEST_F(Perception, TiesAndSaturatedPartners)
{
    double r = 1.455;
    build({{1, " O  ", 0, 0, 0}, {2, " C  ", r, 0, 0}, {3, " C  ", -r / 2, r * 0.8660254, 0},
           {4, " C  ", -r / 2, -r * 0.8660254, 0}});
    ASSERT_EQ(nextBondIndex, 4);
    EXPECT_EQ(bonds[1].atomB, 2);
    EXPECT_EQ(bonds[2].atomB, 3);
    EXPECT_EQ(bonds[3].atomA, 4);
    EXPECT_EQ(bonds[3].atomB, 1);
    EXPECT_EQ(atoms[1].totalBonds, 3);
}

// A saturated partner is accepted only within 0.3 of the expected length.
TEST_F(Perception, SaturatedPartnerLimit)
{
    const std::string conect = "CONECT    2    3\n";
    build({{1, " C  ", 0, 0, 0}, {2, " H  ", 1.325 + 0.25, 0, 0}, {3, " C  ", 100, 0, 0}}, conect);
    EXPECT_EQ(nextBondIndex, 3);
    build({{1, " C  ", 0, 0, 0}, {2, " H  ", 1.325 + 0.35, 0, 0}, {3, " C  ", 100, 0, 0}}, conect);
    EXPECT_EQ(nextBondIndex, 2);
}

// A disulfide 200 indices apart is inside the window of Best only.
TEST_F(Perception, WindowDecidesDistantPairs)
{
    for (int accuracy : {bondAccuracyGood, bondAccuracyBetter, bondAccuracyBest}) {
        bondAccuracy = accuracy;
        build({{1, " SG ", 0, 0, 0}, {201, " SG ", 2.04, 0, 0}});
        EXPECT_EQ(nextBondIndex, accuracy == bondAccuracyBest ? 2 : 1) << accuracy;
    }
}

// A CONECT partner is not taken again, and phase 2 leaves CONECT bonds alone.
TEST_F(Perception, ConectPartnerNotTakenAgain)
{
    build({{1, " C  ", 0, 0, 0}, {2, " C  ", 1.54, 0, 0}}, "CONECT    1    2\n");
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].order, 1);
    EXPECT_EQ(atoms[1].totalBonds, 1);
}

// An unknown element bonds like a divalent atom with radius 1.4.
TEST_F(Perception, UnknownElementBonds)
{
    build({{1, " X  ", 0, 0, 0}, {2, " C  ", 1.475, 0, 0}, {3, " C  ", -1.475, 0, 0}, {4, " C  ", 0, 1.475, 0}});
    EXPECT_EQ(nextBondIndex, 4);   // X takes two, C4 then takes the saturated X
    EXPECT_EQ(bonds[1].atomA, 1);
    EXPECT_EQ(bonds[3].atomA, 4);
}

// Phase 2 raises to at most 3; phase 3 sets the mid-points.
TEST_F(Perception, TripleBondAndMidpoints)
{
    build({{1, " C  ", 0, 0, 0}, {2, " C  ", 1.2, 0.4, -0.2}});
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].order, 3);
    EXPECT_EQ(atoms[1].totalBonds, 3);
    float mx = (atoms[1].x + atoms[2].x) / 2;
    EXPECT_EQ(bonds[1].midpoint[0], mx);
    EXPECT_NEAR(bonds[1].midpoint[1], 0.0f, 1e-6);
}

TEST_F(Perception, EmptyStructure)
{
    EXPECT_EQ(build({}), "");
    EXPECT_EQ(nextBondIndex, 1);
}

// The fast perception gives exactly the plain rule's bonds, orders and lists.
TEST_F(Perception, MatchesPlainRuleOnRealFiles)
{
    for (const char *name : {"1hpv.pdb", "1tii.pdb", "1ubq.pdb", "2jo4.pdb", "4jsv.pdb", "bpti.pdb"}) {
        std::string text = dataFile(name);
        ASSERT_FALSE(text.empty()) << name;
        for (int accuracy : {bondAccuracyGood, bondAccuracyBetter, bondAccuracyBest}) {
            bondAccuracy = accuracy;
            readText(text);
            captureStdout([] { plainPerceiveBonds(); });
            std::vector<BondRecord> plainBonds(bonds, bonds + nextBondIndex);
            std::vector<AtomRecord> plainAtoms(atoms, atoms + atomCount + 1);
            readText(text);
            captureStdout([] { perceiveBonds(); });
            ASSERT_EQ((size_t)nextBondIndex, plainBonds.size()) << name << " " << accuracy;
            EXPECT_EQ(std::memcmp(bonds, plainBonds.data(), plainBonds.size() * sizeof(BondRecord)), 0)
                << name << " " << accuracy;
            EXPECT_EQ(std::memcmp(atoms, plainAtoms.data(), plainAtoms.size() * sizeof(AtomRecord)), 0)
                << name << " " << accuracy;
            // The lists hold each partner once per unit of order.
            for (int k = 1; k < nextBondIndex; k++) {
                int a = bonds[k].atomA, b = bonds[k].atomB, listed = 0;
                for (int e = 0; e < atoms[a].totalBonds; e++)
                    listed += atoms[a].bondedTo[e] == b;
                ASSERT_GE(listed, 1) << name << " bond " << k;
                ASSERT_LE(bonds[k].order, 3);
            }
        }
    }
}
