// view_core_test.cpp - the view's rules that need no display: line widths,
// bond colours, the lines the three line operations send (read from the
// library's call trace), the navigation arithmetic helpers, the first view
// and the atom information block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"
#include "view/view.h"
#include "viewtest.h"

namespace {

// Settings back to the defaults, an empty store, fake surface handles
// (entry i holds 1000 + i) and the eye at the origin.
class ViewCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetStore();
        atomCount = 0;
        resetRenderSettings();
        for (int i = 0; i < surfaceTableSize; i++)
            colourSurfaces[i] = 0;
        for (int i = firstElementColour; i <= lastElementColour; i++)
            colourSurfaces[i] = 1000 + i;
        for (int i = firstGeneratedColour; i < firstGeneratedColour + generatedColourCount; i++)
            colourSurfaces[i] = 1000 + i;
        viewParams = ViewParams{};
    }

    // The calls that `draw` makes, read from the trace.
    template <typename F> std::vector<TraceCall> traced(F draw)
    {
        vel_traceClear();
        vel_traceEnable(1);
        draw();
        vel_traceEnable(0);
        std::vector<TraceCall> calls = parseTrace(vel_traceText());
        vel_traceClear();
        return calls;
    }
};

//------------------------------------------------------------------------------
// Width rule
//------------------------------------------------------------------------------
// The width is ceil(40 / distance) capped at 10, and 1 with the rule off.
TEST_F(ViewCore, LineWidthFollowsDistanceToTheEye)
{
    viewParams.eye = vel_vectorSet(1.0f, 2.0f, 3.0f);
    const struct { float distance; int width; } cases[] = {
        {5.0f, 8}, {8.0f, 5}, {10.0f, 4}, {20.0f, 2}, {40.0f, 1}, {400.0f, 1},
        {4.0f, 10}, {1.0f, 10}, {4.5f, 9},
    };
    for (const auto &c : cases) {
        putAtom(1, 1.0f, 2.0f, 3.0f - c.distance, "C");
        EXPECT_EQ(lineWidthFor(1), c.width) << "distance " << c.distance;
    }
    changeLineWidthWithDistance = 0;
    putAtom(1, 1.0f, 2.0f, 3.0f - 5.0f, "C");
    EXPECT_EQ(lineWidthFor(1), 1);
}

// An atom exactly at the eye gets the widest line, not a division fault.
TEST_F(ViewCore, AtomAtTheEyeGetsWidestLine)
{
    viewParams.eye = vel_vectorSet(0.5f, -0.25f, 7.0f);
    putAtom(3, 0.5f, -0.25f, 7.0f, "O");
    EXPECT_EQ(lineWidthFor(3), 10);
}

//------------------------------------------------------------------------------
// Bond colours
//------------------------------------------------------------------------------
// Chain or residue colour over the CONECT highlight over the element colours.
TEST_F(ViewCore, BondColourPrecedence)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.5f, 0, 0, "O");
    atoms[1].chainIndex = 3;
    atoms[2].chainIndex = 7;
    atoms[1].residueClass = 65;   // a residue number: 65 mod 60 = 5
    atoms[2].residueClass = 2;
    int bond = putBond(1, 2, 1, 1);

    EXPECT_EQ(bondColour(bond, 0), 1005);
    EXPECT_EQ(bondColour(bond, 1), 1006);

    highlightPDBBonds = 1;
    EXPECT_EQ(bondColour(bond, 0), 1011);
    EXPECT_EQ(bondColour(bond, 1), 1011);
    bonds[bond].fromConect = 0;
    EXPECT_EQ(bondColour(bond, 1), 1006) << "only CONECT bonds are highlighted";
    bonds[bond].fromConect = 1;

    colourByChain = 1;
    EXPECT_EQ(bondColour(bond, 0), 1023);
    EXPECT_EQ(bondColour(bond, 1), 1023) << "the whole bond takes atomA's chain";
    colourByChain = 0;
    colourByResidue = 1;
    EXPECT_EQ(bondColour(bond, 0), 1025);
    EXPECT_EQ(bondColour(bond, 1), 1025) << "the whole bond takes atomA's residue";
}

// Keys outside the sixty generated colours stay on them: a blank chain (32),
// a chain index of 75, a negative residue number.
TEST_F(ViewCore, ChainAndResidueKeysStayInsideGeneratedColours)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.5f, 0, 0, "C");
    int bond = putBond(1, 2, 1);
    colourByChain = 1;
    const int chains[] = {32, 75, 1000000, -1};
    for (int key : chains) {
        atoms[1].chainIndex = key;
        vel_surface s = bondColour(bond, 0);
        EXPECT_GE(s, 1020) << "chain " << key;
        EXPECT_LE(s, 1079) << "chain " << key;
    }
    atoms[1].chainIndex = 32;
    EXPECT_EQ(bondColour(bond, 0), 1052);
    colourByChain = 0;
    colourByResidue = 1;
    const int residues[] = {-7, -60, -2147483647 - 1, 2147483647};
    for (int key : residues) {
        atoms[1].residueClass = key;
        vel_surface s = bondColour(bond, 0);
        EXPECT_GE(s, 1020) << "residue " << key;
        EXPECT_LE(s, 1079) << "residue " << key;
    }
}

//------------------------------------------------------------------------------
// Lines sent by the three operations
//------------------------------------------------------------------------------
// A double bond is two lines 0.24 apart in world y, none on the axis; a
// triple bond three lines at 0, +0.15 and -0.15; single bonds one line.
TEST_F(ViewCore, MultipleBondsAreParallelLinesAlongWorldY)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.3f, 0, 1.0f, "C");
    putAtom(3, 3.0f, 1.0f, 0, "N");
    putAtom(4, 3.0f, 2.0f, 0, "H");
    putBond(1, 2, 2);
    putBond(2, 3, 3);
    putBond(3, 4, 1);
    drawAtomsAsLines = 0;
    std::vector<TraceLine> lines = tracedLines(traced(drawMultipleBondLines));
    ASSERT_EQ(lines.size(), 6u);
    for (const TraceLine &line : lines)
        ASSERT_EQ(line.vertices.size(), 3u);

    // double: +0.12 then -0.12, x and z untouched, mid-point in between
    EXPECT_NEAR(lines[0].vertices[0][1], 0.12, 1e-6);
    EXPECT_NEAR(lines[1].vertices[0][1], -0.12, 1e-6);
    EXPECT_NEAR(lines[0].vertices[0][1] - lines[1].vertices[0][1], 0.24, 1e-6);
    EXPECT_NEAR(lines[0].vertices[2][0], 1.3, 1e-6);
    EXPECT_NEAR(lines[0].vertices[2][2], 1.0, 1e-6);
    EXPECT_NEAR(lines[0].vertices[1][0], 0.65, 1e-6);
    EXPECT_NEAR(lines[1].vertices[2][1], -0.12, 1e-6);

    // triple: 0, +0.15, -0.15 about the bond (y 0 .. 1)
    EXPECT_NEAR(lines[2].vertices[0][1], 0.0, 1e-6);
    EXPECT_NEAR(lines[3].vertices[0][1], 0.15, 1e-6);
    EXPECT_NEAR(lines[4].vertices[0][1], -0.15, 1e-6);
    EXPECT_NEAR(lines[4].vertices[2][1], 0.85, 1e-6);
    EXPECT_NEAR(lines[3].vertices[0][1] - lines[4].vertices[0][1], 0.3, 1e-6);

    // single
    EXPECT_NEAR(lines[5].vertices[0][1], 1.0, 1e-6);
    EXPECT_NEAR(lines[5].vertices[2][1], 2.0, 1e-6);

    // drawBondLines draws every bond as one line on its axis
    lines = tracedLines(traced(drawBondLines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NEAR(lines[0].vertices[0][1], 0.0, 1e-6);
}

// The halves of a line take atomA's and atomB's colour, switched at the
// mid-point; the width is atomA's and set before the line.
TEST_F(ViewCore, BondLineHalvesAndWidth)
{
    viewParams.eye = vel_vectorSet(0, 0, 5.0f);
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 0, 0, -35.0f, "O");
    putBond(1, 2, 1);
    drawAtomsAsLines = 0;
    std::vector<TraceLine> lines = tracedLines(traced(drawBondLines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].width, 8);
    ASSERT_EQ(lines[0].surfaces.size(), 3u);
    EXPECT_EQ(lines[0].surfaces[0], 1005);
    EXPECT_EQ(lines[0].surfaces[1], 1005);
    EXPECT_EQ(lines[0].surfaces[2], 1006);
}

// A bond that names an empty record (a CONECT serial no atom line filled,
// or serial 0) draws no line; the bonds around it still do.
TEST_F(ViewCore, NoLineToAnEmptyRecord)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.5f, 0, 0, "C");
    putBond(1, 2, 1);
    putBond(2, 7, 1);
    putBond(0, 2, 1);
    putBond(2, 1, 1);
    drawAtomsAsLines = 0;
    EXPECT_EQ(tracedLines(traced(drawBondLines)).size(), 2u);
    EXPECT_EQ(tracedLines(traced(drawMultipleBondLines)).size(), 2u);
}

// A cross is three separate 0.6-long lines along x, y and z.
TEST_F(ViewCore, CrossHasThreeAxisLines)
{
    putAtom(5, 1.0f, 2.0f, 3.0f, "N");
    std::vector<TraceLine> lines = tracedLines(traced(drawAtomCrosses));
    ASSERT_EQ(lines.size(), 3u);
    for (int axis = 0; axis < 3; axis++) {
        ASSERT_EQ(lines[axis].vertices.size(), 2u);
        const double centre[3] = {1.0, 2.0, 3.0};
        for (int k = 0; k < 3; k++) {
            double expectStart = centre[k] - (k == axis ? 0.3 : 0.0);
            double expectEnd = centre[k] + (k == axis ? 0.3 : 0.0);
            EXPECT_NEAR(lines[axis].vertices[0][k], expectStart, 1e-6);
            EXPECT_NEAR(lines[axis].vertices[1][k], expectEnd, 1e-6);
        }
        EXPECT_EQ(lines[axis].surfaces[0], 1008);
    }
}

// Unbonded atoms get crosses from the bond operations unless spheres are
// on, they are hidden, or colouring is by chain or residue.
TEST_F(ViewCore, UnbondedCrossesOnlyInPlainLineMode)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.5f, 0, 0, "C");
    putAtom(3, 9.0f, 0, 0, "O");
    atoms[4].present = 0;       // listed but removed: no cross
    putBond(1, 2, 1);
    unbondedAtoms[1] = 3;
    unbondedAtoms[2] = 4;
    unbondedCount = 2;
    auto bondOnly = [] { drawBondLines(); };
    EXPECT_EQ(tracedLines(traced(bondOnly)).size(), 1u + 3u);
    EXPECT_EQ(tracedLines(traced(drawMultipleBondLines)).size(), 1u + 3u);
    int *flags[] = {&hideUnbondedAtoms, &drawAtoms, &colourByChain, &colourByResidue};
    for (int *flag : flags) {
        *flag = 1;
        EXPECT_EQ(tracedLines(traced(bondOnly)).size(), 1u);
        *flag = 0;
    }
    // an overflowed list (4000) is read up to entry 3999 only
    unbondedCount = maxUnbonded;
    EXPECT_EQ(tracedLines(traced(bondOnly)).size(), 1u + 3u);
}

// With no atoms and no bonds nothing at all is sent.
TEST_F(ViewCore, EmptyStructureSendsNoLineCall)
{
    std::vector<TraceCall> calls = traced([] {
        drawBondLines();
        drawMultipleBondLines();
        drawAtomCrosses();
    });
    EXPECT_EQ(countNamed(calls, "vel_gfxLineBegin"), 0);
    EXPECT_EQ(countNamed(calls, "vel_gfxLineWidthSet"), 0);
    EXPECT_EQ(countNamed(calls, "vel_surfaceParamsUse"), 0);
}

// Which line operations the line pass runs under which settings: a double
// bond tells drawMultipleBondLines (two lines) from drawBondLines (one), the
// crosses add three two-point lines per atom.
TEST_F(ViewCore, LinePassRunsCallsBySettings)
{
    putAtom(1, 0, 0, 0, "C");
    putAtom(2, 1.3f, 0, 0, "C");
    putBond(1, 2, 2);
    structureLoaded = 1;
    struct Case {
        int bondsAsLines, multiple, spaceFilled, crosses, chain, residue, loaded;
        size_t bondLines, crossLines;
    };
    const Case cases[] = {
        {1, 1, 0, 1, 0, 0, 1, 2, 6},   // defaults: multiple bond lines and crosses
        {1, 0, 0, 1, 0, 0, 1, 1, 6},   // single lines only
        {0, 1, 0, 1, 0, 0, 1, 0, 6},   // no bond lines
        {1, 1, 1, 1, 0, 0, 1, 0, 6},   // space filled: no bond lines at all
        {1, 0, 1, 0, 0, 0, 1, 0, 0},
        {1, 1, 0, 1, 1, 0, 1, 2, 0},   // chain colours: no crosses
        {1, 1, 0, 1, 0, 1, 1, 2, 0},   // residue colours: no crosses
        {1, 1, 0, 0, 0, 0, 1, 2, 0},
        {1, 1, 0, 1, 0, 0, 0, 0, 6},   // nothing loaded: no bond lines
    };
    for (const Case &c : cases) {
        drawBondsAsLines = c.bondsAsLines;
        drawMultipleBonds = c.multiple;
        drawSpaceFilled = c.spaceFilled;
        drawAtomsAsLines = c.crosses;
        colourByChain = c.chain;
        colourByResidue = c.residue;
        structureLoaded = c.loaded;
        std::vector<TraceLine> lines = tracedLines(traced(drawLinePass));
        size_t bondLines = 0, crossLines = 0;
        for (const TraceLine &line : lines)
            (line.vertices.size() == 3 ? bondLines : crossLines)++;
        EXPECT_EQ(bondLines, c.bondLines) << "case " << (&c - cases);
        EXPECT_EQ(crossLines, c.crossLines) << "case " << (&c - cases);
    }
    structureLoaded = 0;
}

//------------------------------------------------------------------------------
// Navigation helpers and the first view
//------------------------------------------------------------------------------
// zoomStep is atomCount^0.4 x 0.003; navigationStep is
// ln(atomCount) x 10^(speed - 4) x 0.08 + 0.0005: for 1000 atoms 0.0010526
// at Slow, 0.0060262 at Medium, 0.0557620 at Fast, and 0.0005 for one atom
// at any speed. Both stay finite without atoms.
TEST_F(ViewCore, NavigationStepsForAtomCount)
{
    EXPECT_NEAR(zoomStepFor(1000), 0.0475468, 5e-8);
    EXPECT_NEAR(zoomStepFor(1), 0.003, 1e-9);
    EXPECT_EQ(zoomStepFor(0), 0.0f);
    EXPECT_EQ(zoomStepFor(-5), 0.0f);
    EXPECT_NEAR(navigationStepFor(1000, 1), 0.0010526, 5e-8);
    EXPECT_NEAR(navigationStepFor(1000, 2), 0.0060262, 5e-8);
    EXPECT_NEAR(navigationStepFor(1000, 3), 0.0557620, 5e-8);
    for (int speed = 1; speed <= 3; speed++)
        EXPECT_NEAR(navigationStepFor(1, speed), 0.0005, 1e-10) << speed;
    EXPECT_TRUE(std::isfinite(navigationStepFor(0, 3)));
}

// The first view: eye at the summed half-extents + 2 on z, looking down -z,
// y up; no other field of the view is touched.
TEST_F(ViewCore, InitialViewFromHalfExtents)
{
    halfExtents[0] = 10.0f;
    halfExtents[1] = 8.0f;
    halfExtents[2] = 6.0f;
    viewParams.fov = 30.0f;
    viewParams.pivot = vel_vectorSet(1, 2, 3);
    viewParams.eye = vel_vectorSet(5, 5, 5);
    setInitialView();
    EXPECT_EQ(eyeDistance, 26.0f);
    EXPECT_EQ(viewParams.eye.x, 0.0f);
    EXPECT_EQ(viewParams.eye.y, 0.0f);
    EXPECT_EQ(viewParams.eye.z, 26.0f);
    EXPECT_EQ(viewParams.view.z, -1.0f);
    EXPECT_EQ(viewParams.view.x, 0.0f);
    EXPECT_EQ(viewParams.up.y, 1.0f);
    EXPECT_EQ(viewParams.up.z, 0.0f);
    EXPECT_EQ(viewParams.fov, 30.0f);
    EXPECT_EQ(viewParams.pivot.y, 2.0f);
}

// The sphere callback acts on a press only, and reports every atom at the
// sphere's exact position in index order.
TEST_F(ViewCore, SphereCallbackReportsEveryAtomThere)
{
    putAtom(2, 1.0f, 2.0f, 3.0f, "C");
    putAtom(3, 1.0f, 2.0f, 3.00001f, "C");
    putAtom(9, 1.0f, 2.0f, 3.0f, "O");
    SphereRecord record = {};
    record.matrix = vel_matrixSet(0, 0, 0, 1.0f, 2.0f, 3.0f);
    vel_object sphere = vel_objectNew(vel_class_sphere, &record);
    vel_mouseEvent release = {1, 1, 0, 0};
    vel_mouseEvent press = {1, 0, 0, 0};
    testing::internal::CaptureStdout();
    EXPECT_EQ(pickSphereCallback(sphere, &release), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(pickSphereCallback(sphere, &press), 1);
    std::string out = testing::internal::GetCapturedStdout();
    size_t two = out.find("Atom Number:     2\n");
    size_t nine = out.find("Atom Number:     9\n");
    EXPECT_NE(two, std::string::npos) << out;
    EXPECT_NE(nine, std::string::npos) << out;
    EXPECT_LT(two, nine);
    EXPECT_EQ(out.find("Atom Number:     3\n"), std::string::npos) << "not exactly there";
}

//------------------------------------------------------------------------------
// Atom information block
//------------------------------------------------------------------------------
std::string printed(int atom)
{
    testing::internal::CaptureStdout();
    printAtomInfo(atom);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Element symbols and chains from a file print with their control
// characters as '?'.
TEST_F(ViewCore, InfoBlockShowsControlCharactersAsQuestionMarks)
{
    putAtom(4, 0, 0, 0, "\x1b[");
    putAtom(5, 1.4f, 0, 0, "C");
    putBond(5, 4, 1);
    atoms[4].chain = '\x07';
    std::string out = printed(5) + printed(4);
    EXPECT_NE(out.find("Bonded to Atoms: 4(?[) \n"), std::string::npos) << out;
    EXPECT_NE(out.find("Chemical Name:   Unknown (?[)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Chain:           ?\n"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
}

// The block of a double-bonded carbon, byte for byte.
TEST_F(ViewCore, InfoBlockMatchesExample)
{
    putAtom(11, -1.0f, 0, 0, "N");
    putAtom(12, 0, 0, 0, "C");
    putAtom(13, 1.3f, 0, 0, "C");
    putAtom(15, 0, 1.5f, 0, "C");
    putBond(12, 11, 1);
    putBond(12, 13, 2);
    putBond(12, 15, 1);
    atoms[12].vdwRadius = 1.55f;
    atoms[12].atomicWeight = 6;
    atoms[12].valence = 4;
    EXPECT_EQ(printed(12),
              "\nAtom Number:     12\n"
              "Chemical Name:   Carbon (C)\n"
              "VDW Radius:      1.55 Ang\n"
              "Atomic Weight:   6\n"
              "Chain:           A\n"
              "Residue:         ALA\n"
              "Atom Valence:    4\n"
              "Total Bonds:     4\n"
              "Bonded to Atoms: 11(N) 13(C) 13(C) 15(C) \n");
}

// No chain and no partners print "None"; water prints its name, a residue
// outside the table its number; hydrogen's valence keeps its sign.
TEST_F(ViewCore, InfoBlockNoneNamesAndNumbers)
{
    putAtom(7, 0, 0, 0, "H");
    atoms[7].chain = ' ';
    std::strcpy(atoms[7].residueName, "HOH");
    atoms[7].residueClass = 30;
    std::string text = printed(7);
    EXPECT_NE(text.find("Chain:           None\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Residue:         HOH\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Atom Valence:    -1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Bonded to Atoms: None\n"), std::string::npos) << text;

    std::strcpy(atoms[7].residueName, "XYZ");
    atoms[7].residueClass = 412;
    EXPECT_NE(printed(7).find("Residue:         412\n"), std::string::npos);
    std::strcpy(atoms[7].residueName, "hoh");
    atoms[7].residueClass = 77;
    EXPECT_NE(printed(7).find("Residue:         77\n"), std::string::npos) << "case-sensitive";
    // a name that fills all four bytes is never read past
    std::memcpy(atoms[7].residueName, "GLYX", 4);
    atoms[7].residueClass = 9;
    EXPECT_NE(printed(7).find("Residue:         9\n"), std::string::npos);
}

// Names longer than the record holds (mmCIF) print whole, the residue's
// even where its first three letters are a name of the table.
TEST_F(ViewCore, InfoBlockPrintsLongNamesWhole)
{
    putAtom(7, 0, 0, 0, "C");
    setAtomNames(7, "ABCD", 4, "HOHXY", 5);
    atoms[7].residueClass = 12;
    std::string text = printed(7);
    EXPECT_NE(text.find("Chain:           ABCD\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Residue:         HOHXY\n"), std::string::npos) << text;
}

// A corrupt bond total never prints more than the five stored partners.
TEST_F(ViewCore, InfoBlockPartnersClampedToList)
{
    putAtom(1, 0, 0, 0, "C");
    for (int k = 0; k < maxPartners; k++)
        atoms[1].bondedTo[k] = 2;
    putAtom(2, 1, 0, 0, "S");
    atoms[1].totalBonds = 9;
    std::string text = printed(1);
    EXPECT_NE(text.find("Total Bonds:     9\n"), std::string::npos);
    EXPECT_NE(text.find("Bonded to Atoms: 2(S) 2(S) 2(S) 2(S) 2(S) \n"), std::string::npos) << text;
}

} // namespace
