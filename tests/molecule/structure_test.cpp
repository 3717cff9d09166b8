// structure_test.cpp - the read step of the build: console text byte for
// byte, unbonded counting and removal, the large-molecule switch, and the
// bond digest with its hash.
#include "testsupport.h"

#include "app/settings.h"
#include "app/structureread.h"
#include "molecule/molecule.h"
#include "tools/sha256.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
class ReadStep : public ::testing::Test {
protected:
    void SetUp() override { resetRenderSettings(); }
    void TearDown() override { resetRenderSettings(); }
};

std::string row(int serial, const char *name, double x, double y = 0)
{
    return atomLine(serial, name, "ALA", 'A', 1, x, y, 0) + "\n";
}
}

// The console text of a read, from the title to the unbonded count.
TEST_F(ReadStep, MessagesByteForByte)
{
    std::string text = "HEADER    TEST MOLECULE\n" + row(1, " C  ", 0) + row(2, " C  ", 1.54) + row(3, " O  ", 20);
    int forced = -1;
    EXPECT_EQ(readStructureText(text, &forced), "Protein TEST MOLECULE\n3 atoms found (1 unbonded)\n");
    EXPECT_EQ(forced, 0);
    EXPECT_EQ(unbondedCount, 1);
    EXPECT_EQ(unbondedAtoms[1], 3);
    EXPECT_EQ(unbondedAtoms[0], 0);
    EXPECT_EQ(atomCount, 3);
}

// With colour by chain the unbonded atoms are removed instead of counted.
TEST_F(ReadStep, RemovalWhenHiddenOrColouredByChain)
{
    std::string text = row(1, " C  ", 0) + row(2, " C  ", 1.54) + row(4, " O  ", 20);
    colourByChain = 1;
    EXPECT_EQ(readStructureText(text), "4 atoms found (0 unbonded)\n");
    EXPECT_EQ(atoms[4].present, 0);
    EXPECT_EQ(atoms[4].atomicWeight, 0);
    EXPECT_EQ(atoms[4].x, 0.0f);
    EXPECT_EQ(atoms[3].present, 0);
    EXPECT_EQ(atoms[1].present, 1);
    colourByChain = 0;
    hideUnbondedAtoms = 1;
    readStructureText(text);
    EXPECT_EQ(atoms[4].present, 0);
    EXPECT_EQ(unbondedCount, 0);
}

// The list keeps 3999 atoms; the 4000th ends the walk and the error follows.
TEST_F(ReadStep, TooManyUnbondedAtoms)
{
    std::string text;
    for (int i = 1; i <= 4100; i++)
        text += row(i, " O  ", (i % 100) * 4.0, (i / 100) * 4.0);
    std::string out = readStructureText(text);
    EXPECT_EQ(out, "4100 atoms found (4000 unbonded)\n\nERROR - too many unbonded atoms found\n\n");
    EXPECT_EQ(unbondedCount, 4000);
    EXPECT_EQ(unbondedAtoms[3999], 3999);
}

// Above 30000 atoms the light settings are forced; at 30000 they are not.
TEST_F(ReadStep, LargeMoleculeSwitch)
{
    int forced = -1;
    std::string out = readStructureText(row(1, " C  ", 0) + row(2, " C  ", 1.54) + row(30000, " C  ", 50), &forced);
    EXPECT_EQ(forced, 0);
    EXPECT_EQ(drawAtomsAsLines, 1);
    out = readStructureText(row(1, " C  ", 0) + row(2, " C  ", 1.54) + row(30001, " C  ", 50), &forced);
    EXPECT_EQ(out, "30001 atoms found (1 unbonded)\nChanging initial settings...\n");
    EXPECT_EQ(forced, 1);
    EXPECT_EQ(drawAtomsAsLines, 0);
    EXPECT_EQ(hideUnbondedAtoms, 1);
    EXPECT_EQ(drawMultipleBonds, 0);
    EXPECT_EQ(changeLineWidthWithDistance, 0);
    EXPECT_EQ(drawBondsAsLines, 1);
    // The unbonded atom of this read was counted under the old setting.
    EXPECT_EQ(atoms[30001].present, 1);
    // Settings already light: nothing more to change.
    out = readStructureText(row(1, " C  ", 0) + row(30001, " C  ", 50), &forced);
    EXPECT_EQ(forced, 0);
    EXPECT_EQ(out, "30001 atoms found (0 unbonded)\n");
    changeInitialSettings = 0;
    hideUnbondedAtoms = 0;
    readStructureText(row(30001, " C  ", 50), &forced);
    EXPECT_EQ(forced, 0);
}

// Known vectors of SHA-256, across the block boundary too.
TEST(Digest, Sha256KnownVectors)
{
    auto hex = [](const std::string &text) {
        Sha256 hash;
        sha256Start(hash);
        sha256Add(hash, text.data(), text.size());
        char out[65];
        sha256Finish(hash, out);
        return std::string(out);
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// The bond digest hashes one text line per bond.
TEST(Digest, BondTableLines)
{
    readText("CONECT    1    2    2\nCONECT    3    4\n");
    char digest[65];
    bondTableDigest(digest);
    Sha256 hash;
    sha256Start(hash);
    const char lines[] = "1 2 2 1\n3 4 1 1\n";
    sha256Add(hash, lines, std::strlen(lines));
    char expected[65];
    sha256Finish(hash, expected);
    EXPECT_STREQ(digest, expected);
}
