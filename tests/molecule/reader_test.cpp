// reader_test.cpp - the PDB reader: column rules, number reading, models,
// CONECT records, limits, centring, chains, residues, messages and hostile
// input. Each fragment is named after the quirk it carries.
#include "testsupport.h"

#include "tools/sha256.h"
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

static std::string lines(std::initializer_list<std::string> all)
{
    std::string text;
    for (const std::string &line : all)
        text += line + "\n";
    return text;
}

static std::string carbon(int serial, double x, double y = 0, double z = 0, char chain = 'A')
{
    return atomLine(serial, " C  ", "GLY", chain, 1, x, y, z);
}

//------------------------------------------------------------------------------
// Column rules
//------------------------------------------------------------------------------
// HEADER prints columns 11 to 50 with inner and trailing blanks kept.
TEST(ReaderColumns, HeaderPrintsColumns11To50)
{
    const std::string HEADER_80 =
        "HEADER    HYDROLASE (ACID PROTEINASE)             18-NOV-94   1HPV      1HPV   2\n";
    EXPECT_EQ(readText(HEADER_80), "Protein HYDROLASE (ACID PROTEINASE)             \n"
                                   "\nERROR - invalid PDB file...\n\n0 atoms found");
    // A short HEADER stops at the end of the line, without its line break
    // (a CR of a CR LF file included).
    EXPECT_EQ(readText("HEADER    SHORT TITLE\r\n").substr(0, 21), "Protein SHORT TITLE\n\n");
    EXPECT_EQ(readText("HEADER\n").substr(0, 9), "Protein \n");
}

// Text from a file reaches the console with its control characters shown
// as '?': a HEADER cannot retitle or clear the terminal. Other text, UTF-8
// or Latin-1, prints as it stands.
TEST(ReaderColumns, ControlCharactersPrintAsQuestionMarks)
{
    EXPECT_EQ(readText("HEADER    \x1b]0;PWNED\x07\x1b[2J tail\n").substr(0, 29), "Protein ?]0;PWNED??[2J tail\n\n");
    const struct {
        std::string in, out;
    } cases[] = {
        {"HYDROLASE (ACID PROTEINASE)  ", "HYDROLASE (ACID PROTEINASE)  "},
        {"tab\there\x7f", "tab?here?"},
        {std::string("nul\0in", 6), "nul?in"},
        {"\xc3\x85ngstr\xc3\xb6m \xe2\x80\x94", "\xc3\x85ngstr\xc3\xb6m \xe2\x80\x94"},   // UTF-8 stays
        {"csi \xc2\x9b" "2J", "csi ?2J"},                                                    // U+009B in UTF-8
        {"latin \xc5 and \x9b" "2J", "latin \xc5 and ?2J"},                                // not UTF-8: C1 bytes
        {"cut \xe2\x80", "cut \xe2?"},                                                       // not UTF-8: 0x80 is C1
    };
    for (const auto &c : cases)
        EXPECT_EQ(printableText(c.in.data(), (int)c.in.size()), c.out) << c.in;
    EXPECT_EQ(printableText("\x1b" "c"), "?c");
}

// Record names start in column 1 and are compared exactly.
TEST(ReaderColumns, RecordNamesExactFromColumnOne)
{
    int32_t last = -1;
    readText(" " + carbon(1, 0) + "\n" + "atom  " + carbon(2, 0).substr(6) + "\n" + "ATOMS " +
                 carbon(3, 0).substr(6) + "\n",
             &last);
    EXPECT_EQ(last, 0);
    readText("HETATM" + carbon(4, 0).substr(6) + "\n", &last);
    EXPECT_EQ(last, 4);
    EXPECT_EQ(atoms[4].present, 1);
}

// Lines are read in pieces of 66 characters: the rest of a long line is a
// line of its own, matched by its own first six characters.
TEST(ReaderColumns, LongLinesSplitInto66CharacterPieces)
{
    std::string filler(66, 'x');
    std::string piece = carbon(7, 1.0).substr(0, 60);
    int32_t last = -1;
    readText(filler + filler + piece + "\n", &last);
    EXPECT_EQ(last, 7);
    EXPECT_EQ(atoms[7].present, 1);
    // An ATOM line of exactly 66 characters leaves an empty piece behind.
    readText(carbon(3, 1.0).substr(0, 66) + "\n" + carbon(4, 2.0) + "\n", &last);
    EXPECT_EQ(last, 4);
    EXPECT_EQ(atoms[3].present, 1);
}

//------------------------------------------------------------------------------
// Integers and coordinates as the C library reads them
//------------------------------------------------------------------------------
TEST(ReaderNumbers, SerialIsFirstWordFromColumn7)
{
    int32_t last = -1;
    // A blank serial field: the atom name is the first word and reads as 0.
    std::string line = carbon(1, 1.0);
    line.replace(6, 5, "     ");
    readText(line + "\n", &last);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(atoms[0].present, 1);
    // Sign and digits, stopped by anything else.
    line = carbon(1, 1.0);
    line.replace(6, 5, "  +5x");
    readText(line + "\n", &last);
    EXPECT_EQ(last, 5);
    // Residue sequence number from columns 23 to 30 only.
    line = atomLine(1, " C  ", "XYZ", 'A', 0, 1, 2, 3);
    line.replace(22, 8, "  -412ab");
    readText(line + "\n");
    EXPECT_EQ(atoms[1].residueClass, -412);
}

// Coordinates run together when the next starts with a minus sign.
TEST(ReaderNumbers, RunTogetherNegativeCoordinates)
{
    std::string line = carbon(1, 0);
    line.replace(30, 24, "-100.123-200.456-300.789");
    readText(line + "\n");
    ASSERT_EQ(atoms[1].present, 1);
    // Single atom: centred to 0, the half extents are 0.
    EXPECT_EQ(halfExtents[0], 0.0f);
    float xyz[3] = {9999.9f, 9999.9f, 9999.9f};
    scanCoordinates("-100.123-200.456-300.789", xyz);
    EXPECT_EQ(xyz[0], -100.123f);
    EXPECT_EQ(xyz[1], -200.456f);
    EXPECT_EQ(xyz[2], -300.789f);
}

// The quick coordinate reader gives exactly what sscanf gives, odd shapes
// included (exponents, hex, inf, nan, lone signs, too many digits).
TEST(ReaderNumbers, CoordinateReaderMatchesSscanf)
{
    const char *shapes[] = {"  12.345 -0.001   7.000", "1.5-2.5-3.5", "1e3 2 3", "1e 2 3",
                            "0x1p3 1 2", "-inf 1 2", "nan 1 2", "- 5 1 2", "1.2.3 4 5",
                            "16777217 1 2", "0.00000000001 1 2", "+1.5 +2 -0", ".5 1 2",
                            "1 2", "", "   ", "9999.9 1 2", "123456789012345678 1 2", "1,5 2 3",
                            "-0.000 0 0\n", "3.\t4.\r5.", "1.99999999999999999999999"};
    for (const char *text : shapes) {
        float mine[3] = {9999.9f, 9999.9f, 9999.9f};
        float library[3] = {9999.9f, 9999.9f, 9999.9f};
        scanCoordinates(text, mine);
        std::sscanf(text, "%f %f %f", &library[0], &library[1], &library[2]);
        EXPECT_EQ(std::memcmp(mine, library, sizeof mine), 0) << "text: \"" << text << "\"";
    }
    std::mt19937 random(12345);
    const char alphabet[] = "0123456789.- -e+";
    for (int round = 0; round < 200000; round++) {
        char text[26];
        int length = (int)(random() % 26);
        for (int k = 0; k < length; k++) {
            int pick = (int)(random() % 40);
            text[k] = pick < 16 ? alphabet[pick] : (char)('0' + pick % 10);
        }
        text[length] = '\0';
        if (round % 2) {   // the usual shape, random values
            std::snprintf(text, sizeof text, "%8.*f%8.3f%8.3f", (int)(random() % 7),
                          ((int)(random() % 2000000) - 1000000) / 997.0,
                          ((int)(random() % 2000000) - 1000000) / 1000.0, (random() % 99999) / 10.0);
        }
        float mine[3] = {9999.9f, 9999.9f, 9999.9f};
        float library[3] = {9999.9f, 9999.9f, 9999.9f};
        scanCoordinates(text, mine);
        std::sscanf(text, "%f %f %f", &library[0], &library[1], &library[2]);
        ASSERT_EQ(std::memcmp(mine, library, sizeof mine), 0) << "text: \"" << text << "\"";
    }
}

// An atom line without coordinates is not stored, but its index counts.
TEST(ReaderNumbers, MissingCoordinatesLeaveAGap)
{
    std::string noCoordinates = carbon(2, 0).substr(0, 40);
    std::string tooFar = carbon(3, 9999.9);
    int32_t last = -1;
    readText(lines({carbon(1, 0), noCoordinates, tooFar, carbon(4, 1.0), carbon(5, 2.0)}).substr(
                 0, std::string::npos),
             &last);
    EXPECT_EQ(last, 5);
    EXPECT_EQ(atoms[2].present, 0);
    EXPECT_EQ(atoms[3].present, 0);
    // The last line read sets the count even when it is not stored.
    readText(lines({carbon(1, 0), carbon(9, 0).substr(0, 30)}), &last);
    EXPECT_EQ(last, 9);
}

//------------------------------------------------------------------------------
// Models
//------------------------------------------------------------------------------
TEST(ReaderModels, SecondModelFollowsTheFirst)
{
    std::string text;
    for (int model = 0; model < 2; model++) {
        for (int serial = 1; serial <= 10; serial++)
            text += carbon(serial, serial * 1.5 + model * 100) + "\n";
        text += "ENDMDL\n";
    }
    text += "CONECT    1    2\n";
    int32_t last = -1;
    readText(text, &last);
    EXPECT_EQ(last, 20);
    for (int i = 1; i <= 20; i++)
        EXPECT_EQ(atoms[i].present, 1) << i;
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].atomA, 1);
    EXPECT_EQ(bonds[1].atomB, 2);
}

TEST(ReaderModels, SecondModelWithOwnNumbersKeepsThem)
{
    std::string text;
    for (int serial = 1; serial <= 20; serial++) {
        text += carbon(serial, serial) + "\n";
        if (serial == 10)
            text += "ENDMDL\n";
    }
    int32_t last = -1;
    readText(text, &last);
    EXPECT_EQ(last, 20);
    EXPECT_EQ(atoms[21].present, 0);
}

//------------------------------------------------------------------------------
// CONECT records and the sign rule
//------------------------------------------------------------------------------
// Partner listed twice by the lower-numbered atom: one double bond; the
// higher-numbered atom's record listing it twice adds nothing.
TEST(ReaderConect, DoubleBondFromTheLowerAtom)
{
    readText(lines({carbon(1, 0), carbon(2, 1.3), "CONECT    1    2    2", "CONECT    2    1    1"}));
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].order, 2);
    EXPECT_EQ(bonds[1].fromConect, 1);
    EXPECT_EQ(atoms[1].totalBonds, 2);
    EXPECT_EQ(atoms[2].totalBonds, 2);
    EXPECT_EQ(atoms[1].bondedTo[0], 2);
    EXPECT_EQ(atoms[1].bondedTo[1], 2);
    EXPECT_EQ(isBondedTo(1, 2), 1);
    EXPECT_EQ(isBondedTo(2, 1), -1);
    EXPECT_EQ(isBondedTo(1, 3), 0);
}

// Made by the higher atom's record first, raised by the lower atom's repeat.
TEST(ReaderConect, RaiseFindsABondMadeTheOtherWayRound)
{
    readText(lines({"CONECT    5    3", "CONECT    3    5"}));
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].atomA, 5);
    EXPECT_EQ(bonds[1].order, 2);
}

// Partner fields end at the first blank field (lines padded to 80 columns),
// at a word with a letter and at a word without a digit.
TEST(ReaderConect, PartnerWalkEnds)
{
    std::string padded = "CONECT    1    2    3";
    padded.resize(80, ' ');
    readText(padded + "      4\n");
    EXPECT_EQ(nextBondIndex, 3);
    readText("CONECT    1    2   3a    4\n");
    EXPECT_EQ(nextBondIndex, 2);
    readText("CONECT    1    2    -    4\n");
    EXPECT_EQ(nextBondIndex, 2);
    // Fields are five columns wide, even with no blank between them.
    readText("CONECT    11234512346\n");
    ASSERT_EQ(nextBondIndex, 3);
    EXPECT_EQ(bonds[1].atomB, 12345);
    EXPECT_EQ(bonds[2].atomB, 12346);
    // At most eleven fields fit in 66 columns.
    std::string eleven = "CONECT    1";
    for (int p = 2; p <= 14; p++) {
        char field[16];
        std::snprintf(field, sizeof field, "%5d", p);
        eleven += field;
    }
    readText(eleven + "\n");
    EXPECT_EQ(nextBondIndex, 12);
}

// CONECT serials are not shifted by the model offset.
TEST(ReaderConect, SerialsAreUsedAsTheyStand)
{
    readText(lines({carbon(1, 0), "ENDMDL", carbon(1, 5), "CONECT    1    2"}));
    EXPECT_EQ(bonds[1].atomA, 1);
    EXPECT_EQ(bonds[1].atomB, 2);
}

// Mended: a partner listed four or more times stops at a triple bond.
TEST(ReaderConect, OrderStopsAtThree)
{
    readText("CONECT    1    2    2    2    2    2    2\n");
    ASSERT_EQ(nextBondIndex, 2);
    EXPECT_EQ(bonds[1].order, 3);
    EXPECT_EQ(atoms[1].totalBonds, 3);
    EXPECT_EQ(atoms[2].totalBonds, 3);
}

// Mended: serials and partners outside the atom table, and the atom itself,
// are ignored; nothing is written outside the tables.
TEST(ReaderConect, OutOfTableSerialsIgnored)
{
    readText(lines({"CONECT   -1    2", "CONECT-9999    2", "CONECT    1   -2    3",
                    "CONECT    6    6    7"}));
    ASSERT_EQ(nextBondIndex, 3);
    EXPECT_EQ(bonds[1].atomA, 1);
    EXPECT_EQ(bonds[1].atomB, 3);
    EXPECT_EQ(bonds[2].atomA, 6);
    EXPECT_EQ(bonds[2].atomB, 7);
    EXPECT_EQ(atoms[6].totalBonds, 1);
}

// Mended: a sixth partner of a full list skips only that append; the bond
// record is made and the partner lists the full atom.
TEST(ReaderConect, SixthPartnerOfAFullList)
{
    readText("CONECT    1    2    3    4    5    6    7\n");
    EXPECT_EQ(nextBondIndex, 7);
    EXPECT_EQ(atoms[1].totalBonds, 5);
    EXPECT_EQ(atoms[7].totalBonds, 1);
    EXPECT_EQ(atoms[7].bondedTo[0], 1);
    EXPECT_EQ(bonds[6].atomB, 7);
    // Raising a bond whose lower atom is full: the order rises, the other
    // side still lists it.
    readText(lines({"CONECT    1    2    3    4    5    9", "CONECT    1    9    9"}));
    EXPECT_EQ(atoms[1].totalBonds, 5);
    EXPECT_EQ(nextBondIndex, 6);
    EXPECT_EQ(bonds[5].order, 3);
    EXPECT_EQ(atoms[9].totalBonds, 3);
    readText(lines({"CONECT    1    2    3    4    5    5"}));
    EXPECT_EQ(bonds[4].order, 2);
    EXPECT_EQ(atoms[1].totalBonds, 5);
    EXPECT_EQ(atoms[5].totalBonds, 2);
}

//------------------------------------------------------------------------------
// Limits
//------------------------------------------------------------------------------
TEST(ReaderLimits, AtomTableEndsBefore120000)
{
    std::string text;
    text.reserve(120002u * 81);
    for (int serial = 1; serial <= 99999; serial++)
        text += carbon(serial, (serial % 100) * 0.1) + "\n";
    text += "ENDMDL\n";
    for (int serial = 1; serial <= 20001; serial++)   // indices 100000 .. 120000
        text += carbon(serial, 0) + "\n";
    text += carbon(20002, 0) + "\n";
    int32_t last = -1;
    std::string out = readText(text, &last);
    EXPECT_EQ(last, 119999);
    EXPECT_EQ(out, "\nERROR - PDB file too big... Structure incomplete\n\n119999 atoms found");
    EXPECT_EQ(atoms[119999].present, 1);
    // Huge serials saturate instead of wrapping: they end the read too.
    out = readText(lines({carbon(1, 0), "ATOM  99999999999  C   GLY A   1       1.000   0.000   0.000"}), &last);
    EXPECT_EQ(last, 1);
    EXPECT_NE(out.find("Structure incomplete"), std::string::npos);
}

// The bond table fills from CONECT records: the read stops after that line,
// and reader and perception each report it.
TEST(ReaderLimits, BondTableFullFromConect)
{
    std::string text;
    int made = 0;
    for (int a = 1; made < maxBonds + 20; a++) {
        std::string line = "CONECT";
        char field[16];
        std::snprintf(field, sizeof field, "%5d", a);
        line += field;
        for (int k = 1; k <= 11; k++) {
            std::snprintf(field, sizeof field, "%5d", 20000 + (a * 11 + k) % 79999);
            line += field;
            made++;
        }
        text += line + "\n";
    }
    text += carbon(1, 0) + "\n";   // after the stop: never read
    int32_t last = -1;
    std::string out = readText(text, &last);
    EXPECT_EQ(nextBondIndex, maxBonds);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(out, "\nERROR - invalid PDB file...\n\n"
                   "\nERROR - PDB file too big... Structure incomplete\n\n0 atoms found");
    for (int i = 0; i < maxAtoms; i++)
        ASSERT_LE(atoms[i].totalBonds, maxPartners);
    out = captureStdout([] { perceiveBonds(); });
    EXPECT_EQ(out, "\nERROR - PDB file too big... Structure incomplete\n\n");
}

//------------------------------------------------------------------------------
// Centring, reset, chains, residues
//------------------------------------------------------------------------------
TEST(ReaderLayout, CentresEveryRecordUpToTheLastIndex)
{
    readText(lines({carbon(1, 10, 20, 30), carbon(4, 14, 28, 36)}));
    EXPECT_FLOAT_EQ(halfExtents[0], 2.0f);
    EXPECT_FLOAT_EQ(halfExtents[1], 4.0f);
    EXPECT_FLOAT_EQ(halfExtents[2], 3.0f);
    EXPECT_FLOAT_EQ(atoms[1].x, -2.0f);
    EXPECT_FLOAT_EQ(atoms[4].z, 3.0f);
    // Empty records in range move too; record 0 and records past the end do not.
    EXPECT_FLOAT_EQ(atoms[2].x, -12.0f);
    EXPECT_EQ(atoms[5].x, 0.0f);
    EXPECT_EQ(atoms[0].x, 0.0f);
}

TEST(ReaderLayout, NoAtomsIsInvalid)
{
    int32_t last = -1;
    EXPECT_EQ(readText("REMARK nothing here\n", &last), "\nERROR - invalid PDB file...\n\n0 atoms found");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(halfExtents[0], -9999.9f);
    EXPECT_EQ(halfExtents[2], -9999.9f);
}

// A second, smaller file leaves nothing of the first behind.
TEST(ReaderLayout, ResetBetweenFiles)
{
    std::string big, small;
    for (int i = 1; i <= 1000; i++)
        big += carbon(i, i * 1.5) + "\n";
    big += "CONECT  999 1000\n";
    for (int i = 1; i <= 500; i++)
        small += carbon(i, i * 1.5) + "\n";
    readText(big);
    perceiveBonds();
    int32_t last = -1;
    readText(small, &last);
    EXPECT_EQ(last, 500);
    EXPECT_EQ(nextBondIndex, 1);
    EXPECT_EQ(bonds[1].atomA, 0);
    for (int i = 501; i <= 1000; i++) {
        ASSERT_EQ(atoms[i].present, 0);
        ASSERT_EQ(atoms[i].totalBonds, 0);
    }
    EXPECT_EQ(atoms[1].totalBonds, 0);
}

TEST(ReaderLayout, ChainNumbering)
{
    readText(lines({carbon(1, 0, 0, 0, 'B'), carbon(2, 1, 0, 0, 'A'), carbon(3, 2, 0, 0, 'B'),
                    carbon(4, 3, 0, 0, ' '), carbon(5, 4, 0, 0, '\xE9')}));
    EXPECT_EQ(atoms[1].chainIndex, 0);
    EXPECT_EQ(atoms[2].chainIndex, 1);
    EXPECT_EQ(atoms[3].chainIndex, 0);
    EXPECT_EQ(atoms[4].chainIndex, 32);
    EXPECT_EQ(atoms[5].chainIndex, 2);
    EXPECT_EQ(atoms[1].chain, 'B');
    EXPECT_EQ(std::string(chainList), "BA\xE9");
    EXPECT_EQ(chainListLength, 3);
}

// Identifiers whose codes equal list positions are renumbered once only.
TEST(ReaderLayout, ChainCodesThatLookLikePositions)
{
    readText(lines({carbon(1, 0, 0, 0, 'Z'), carbon(2, 1, 0, 0, 'Y'), carbon(3, 2, 0, 0, '\x01')}));
    EXPECT_EQ(atoms[1].chainIndex, 0);
    EXPECT_EQ(atoms[2].chainIndex, 1);
    EXPECT_EQ(atoms[3].chainIndex, 2);
}

TEST(ReaderLayout, ResidueClasses)
{
    readText(lines({atomLine(1, " O  ", "HOH", 'A', 5, 0, 0, 0), atomLine(2, " C  ", "LIG", 'A', 412, 1, 0, 0),
                    atomLine(3, " C  ", "gly", 'A', 7, 2, 0, 0), atomLine(4, " N  ", "GLY", 'A', 7, 3, 0, 0)}));
    EXPECT_EQ(atoms[1].residueClass, 30);
    EXPECT_EQ(atoms[2].residueClass, 412);
    EXPECT_EQ(atoms[3].residueClass, 7);
    EXPECT_EQ(atoms[4].residueClass, 0);
    EXPECT_STREQ(atoms[2].residueName, "LIG");
}

//------------------------------------------------------------------------------
// Mended faults and hostile input
//------------------------------------------------------------------------------
// Mended: a negative serial is not stored and does not move the last index,
// so the atoms before it still count.
TEST(ReaderHostile, NegativeSerialDropped)
{
    int32_t last = -1;
    readText(lines({carbon(1, 0), carbon(2, 1.5), carbon(-3, 3.0)}), &last);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(atoms[2].present, 1);
}

// Mended: a coordinate of minus infinity (an overflowing exponent) is bad.
TEST(ReaderHostile, InfiniteCoordinateSkipped)
{
    std::string line = carbon(2, 0);
    line.replace(30, 8, "  -1e999");
    int32_t last = -1;
    readText(lines({carbon(1, 1.0), line}), &last);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(atoms[2].present, 0);
    EXPECT_TRUE(std::isfinite(halfExtents[0]));
}

// Any bytes read without harm: binary, NUL bytes, CR LF, blank lines, an
// empty stream, very long lines, lone record names.
TEST(ReaderHostile, ArbitraryBytes)
{
    int32_t last = -1;
    EXPECT_EQ(readText("", &last), "\nERROR - invalid PDB file...\n\n0 atoms found");
    readText("\n\n\n   \n", &last);
    EXPECT_EQ(last, 0);
    std::string withNul = carbon(1, 1.0) + "\n" + carbon(2, 2.0);
    withNul[80 + 1 + 20] = '\0';   // atom 2 ends in column 20: no coordinates
    readText(withNul + "\n", &last);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(atoms[2].present, 0);
    readText(carbon(1, 1.0) + "\r\n" + carbon(2, 2.0) + "\r\n", &last);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(atoms[2].present, 1);
    for (const char *name : {"ATOM", "ATOM\n", "HETATM", "CONECT", "CONECT\n", "ENDMDL", "HEADER", "CONECT    1\n"})
        readText(name, &last);
    std::mt19937 random(7);
    for (int round = 0; round < 300; round++) {
        std::string junk;
        int length = (int)(random() % 3000);
        for (int k = 0; k < length; k++) {
            int pick = (int)(random() % 8);
            junk += pick == 0 ? std::string("ATOM  ") : pick == 1 ? std::string("CONECT") : pick == 2 ? std::string("\n")
                                                                   : std::string(1, (char)(random() % 256));
        }
        readText(junk, &last);
        EXPECT_GE(last, 0);
        EXPECT_LT(last, maxAtoms);
        perceiveBonds();
    }
    // Found by the fuzzer: a coordinate of 50 digits overflowed the quick
    // reader's digit sum.
    const std::string FUZZ_LONG_DIGITS =
        "HETATM    2  O   HOH B   1       1.99999999999999999999999999999999999999999999999999900   0.000   0.000\r\n";
    readText(FUZZ_LONG_DIGITS, &last);
    EXPECT_EQ(last, 2);
    EXPECT_FLOAT_EQ(atoms[2].x, 0.0f);
    std::string longLine(100000, '9');
    readText("CONECT" + longLine + "\n" + "HEADER" + longLine + "\n", &last);
    EXPECT_EQ(nextBondIndex, 1);
}

// The stream is cut exactly as fgets with a 67-byte buffer cuts it, across
// the reader's block boundaries too: the same text re-cut by fgets, each
// piece on a line of its own, reads to the same store.
TEST(ReaderHostile, PiecesMatchFgetsAcrossBlocks)
{
    std::mt19937 random(99);
    std::string text;
    int serial = 1;
    while (text.size() < 300000) {
        int pick = (int)(random() % 6);
        if (pick < 3) {
            text += std::string(random() % 3 == 0 ? random() % 140 : 0, 'x');   // shifts ATOM past column 1
            text += carbon(serial, (serial % 50) * 1.4, (serial % 7) * 1.1) + "\n";
            serial++;
        } else if (pick == 3) {
            char line[64];
            std::snprintf(line, sizeof line, "CONECT%5d%5d%5d\n", (int)(random() % serial), (int)(random() % serial),
                          (int)(random() % serial));
            text += line;
        } else {
            text += std::string(random() % 300, (char)('a' + random() % 26));
            if (random() % 4 == 0)
                text += '\0';
            text += "\n";
        }
    }
    int32_t last = -1;
    readText(text, &last);
    char digest[65];
    bondTableDigest(digest);
    std::string first(digest);
    int32_t firstLast = last;
    int32_t firstNext = nextBondIndex;

    std::string recut;
    FILE *stream = fmemopen(&text[0], text.size(), "r");
    char piece[pdbPieceLength + 1];
    std::memset(piece, 0, sizeof piece);
    while (std::fgets(piece, sizeof piece, stream)) {
        size_t n = std::strlen(piece);
        recut.append(piece, n);
        if (n == 0 || piece[n - 1] != '\n')
            recut += "\n";
    }
    std::fclose(stream);
    readText(recut, &last);
    bondTableDigest(digest);
    EXPECT_EQ(last, firstLast);
    EXPECT_EQ(nextBondIndex, firstNext);
    EXPECT_EQ(std::string(digest), first);
    EXPECT_GT(firstNext, 100);
}
