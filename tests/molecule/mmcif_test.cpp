// mmcif_test.cpp - PDBx/mmCIF and gzip input: one fragment per quirk of CIF
// writers, the bad files that must end in one error line, and the test
// data's PDB files written as mmCIF (and gzip) giving the PDB file's store.
#include "cifwriter.h"
#include "testsupport.h"

#include "app/settings.h"
#include "molecule/ciftokens.h"
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

// The _atom_site heading of the fragments, and one row of it.
static const char atomSiteLoop[] =
    "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
    "_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_seq_id\n"
    "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.auth_asym_id\n"
    "_atom_site.pdbx_PDB_model_num\n";

namespace {
struct Expected {
    int index;
    const char *element;
    const char *chainName;    // whole chain name as the block prints it ("" for none)
    const char *residue;      // residueName ("" where the name is long)
    int residueClass;
    float x;                  // after centring
};

struct Quirk {
    const char *name;
    std::string text;
    int atomCount;
    std::vector<Expected> atoms;
};

std::string chainNameOf(int i)
{
    if (atomNames[i].chain[0])
        return atomNames[i].chain;
    return atoms[i].chain == ' ' ? "" : std::string(1, atoms[i].chain);
}
}

// Each fragment read gives exactly its atoms.
TEST(MmcifSyntax, QuirksOfWritersGiveTheirAtoms)
{
    const std::string head = std::string("data_TEST\n") + atomSiteLoop;
    const Quirk quirks[] = {
        {"plain rows", head + "ATOM 1 N N MET A 1 1.0 0 0 A 1\nATOM 2 C CA MET A 1 3.0 0 0 A 1\n", 2,
         {{1, "N", "A", "MET", 6, -1.0f}, {2, "C", "A", "MET", 6, 1.0f}}},
        {"quotes inside quotes end only before a blank",
         head + "HETATM 1 C \"C1'\" 'A'B' A 1 0 0 0 A 1\nHETATM 2 O 'O\"x' \"it's\" A 1 2 0 0 A 1\n", 2,
         {{1, "C", "A", "A'B", 1, -1.0f}, {2, "O", "A", "", 1, 1.0f}}},
        {"text fields, ? and . (label chain and name rule where values are missing)",
         head + "ATOM 1 ? CA\n;GLY\n;\nB 1 0 0 0 ? 1\nATOM 2 . FE HEM . . 4 0 0 . 1\n", 2,
         {{1, "C", "B", "GLY", 0, -2.0f}, {2, "F", "", "HEM", 0, 2.0f}}},
        {"columns reordered, author columns missing, comments, tabs and CR LF",
         "# a comment\r\ndata_x\r\nloop_\r\n_atom_site.Cartn_z\r\n_atom_site.Cartn_y\r\n_atom_site.Cartn_x\r\n"
         "_atom_site.id # the index\r\n_atom_site.label_atom_id\r\n_atom_site.label_asym_id\r\n"
         "_atom_site.label_comp_id\r\n5\t6\t-7.5\t4\tO\tC\tHOH\r\n0 0 2.5 9 HG21 C HOH\r\n",
         9, {{4, "O", "C", "HOH", 30, -5.0f}, {9, "HG", "C", "HOH", 30, 5.0f}}},
        {"type_symbol decides: C-alpha, calcium and HG21 hydrogen, any case",
         head + "ATOM 1 C CA ALA A 1 0 0 0 A 1\nHETATM 2 CA CA CA B 2 1 0 0 B 1\nATOM 3 h HG21 THR A 3 2 0 0 A 1\n",
         3, {{1, "C", "A", "ALA", 1, -1.0f}, {2, "CA", "B", "CA", 2, 0.0f}, {3, "H", "A", "THR", 14, 1.0f}}},
        {"only the first data block",
         head + "ATOM 1 N N MET A 1 0 0 0 A 1\ndata_second\n" + atomSiteLoop + "ATOM 2 N N MET A 1 5 0 0 A 1\n", 1,
         {{1, "N", "A", "MET", 6, 0.0f}}},
        {"restarting ids keep models apart, as ENDMDL does",
         head + "ATOM 1 N N GLY A 1 0 0 0 A 1\nATOM 2 C CA GLY A 1 1 0 0 A 1\n"
                "ATOM 1 N N GLY A 1 2 0 0 A 2\nATOM 2 C CA GLY A 1 3 0 0 A 2\n", 4,
         {{3, "N", "A", "GLY", 0, 0.5f}, {4, "C", "A", "GLY", 0, 1.5f}}},
        {"long chain and residue names kept whole; the residue table sees the whole name",
         head + "HETATM 7 C C1 HOHXY AAAA 1 0 0 0 ABCD 1\nHETATM 8 C C2 A1LIG B 2 1 0 0 B2 1\n", 8,
         {{7, "C", "ABCD", "", 1, -0.5f}, {8, "C", "B2", "", 2, 0.5f}}},
        {"a comment longer than the reader's window stays a comment",
         head + "ATOM 1 N N MET A 1 0 0 0 A 1\n# " + std::string(cifWindowSize + 100, 'x') +
             " ATOM 2 N N MET A 1 9 0 0 A 1\nATOM 3 N N MET A 1 2 0 0 A 1\n",
         3, {{1, "N", "A", "MET", 6, -1.0f}, {3, "N", "A", "MET", 6, 1.0f}}},
        {"a row that takes an earlier row's index takes its names too",
         head + "HETATM 1 C C1 A1LIG ABCD 1 0 0 0 ABCD 1\nATOM 1 N N MET A 1 2 0 0 A 1\n", 1,
         {{1, "N", "A", "MET", 6, 1.0f}}},   // both rows widened the box, as in a PDB file
        {"one atom written as item-value pairs",
         "data_one\n_atom_site.id 3\n_atom_site.type_symbol ZN\n_atom_site.label_comp_id ZN\n"
         "_atom_site.Cartn_x 1\n_atom_site.Cartn_y 2\n_atom_site.Cartn_z 3\n", 3,
         {{3, "ZN", "", "ZN", 0, 0.0f}}},
    };
    for (const Quirk &q : quirks) {
        std::string out = readStructureText(q.text);
        EXPECT_EQ(atomCount, q.atomCount) << q.name << "\n" << out;
        EXPECT_EQ(loadErrors, 0) << q.name << "\n" << out;
        for (const Expected &e : q.atoms) {
            const AtomRecord &a = atoms[e.index];
            EXPECT_EQ(a.present, 1) << q.name << " atom " << e.index;
            EXPECT_STREQ(a.element, e.element) << q.name << " atom " << e.index;
            EXPECT_EQ(chainNameOf(e.index), e.chainName) << q.name << " atom " << e.index;
            EXPECT_STREQ(a.residueName, e.residue) << q.name << " atom " << e.index;
            EXPECT_EQ(a.residueClass, e.residueClass) << q.name << " atom " << e.index;
            EXPECT_FLOAT_EQ(a.x, e.x) << q.name << " atom " << e.index;
        }
    }
    // The long names of the last fragment but one: distinct chains, distinct colours.
    readStructureText(quirks[7].text);  // the long names
    EXPECT_STREQ(atomNames[7].residue, "HOHXY");
    EXPECT_STREQ(atomNames[8].residue, "A1LIG");
    EXPECT_NE(atoms[7].chainIndex, atoms[8].chainIndex);
}

// Chains "AB" and "AC" share a first letter but are two chains; "A" is a third.
TEST(MmcifSyntax, ChainsAreTheirWholeNames)
{
    std::string text = std::string("data_c\n") + atomSiteLoop + "ATOM 1 C C GLY x 1 0 0 0 AB 1\n"
                       "ATOM 2 C C GLY x 1 1 0 0 AC 1\nATOM 3 C C GLY x 1 2 0 0 A 1\nATOM 4 C C GLY x 1 3 0 0 AB 1\n";
    readStructureText(text);
    EXPECT_EQ(atoms[1].chainIndex, 0);
    EXPECT_EQ(atoms[2].chainIndex, 1);
    EXPECT_EQ(atoms[3].chainIndex, 2);
    EXPECT_EQ(atoms[4].chainIndex, 0);
    EXPECT_EQ(atomNames[3].chain[0], '\0');
}

// The atom table's limit ends the atoms as in a PDB file: what came before
// stays, and "too big" is said once.
TEST(MmcifSyntax, AtomTableLimitAsInPdb)
{
    std::string out = readStructureText(std::string("data_big\n") + atomSiteLoop +
                                        "ATOM 119999 C C GLY A 1 0 0 0 A 1\nATOM 120000 C C GLY A 1 1 0 0 A 1\n"
                                        "ATOM 3 C C GLY A 1 2 0 0 A 1\n");
    EXPECT_EQ(atomCount, maxAtoms - 1);
    EXPECT_EQ(atoms[maxAtoms - 1].present, 1);
    EXPECT_EQ(atoms[3].present, 0);
    EXPECT_EQ(loadErrors, 1);
    EXPECT_NE(out.find("\nERROR - PDB file too big... Structure incomplete\n\n119999 atoms found"), std::string::npos)
        << out;
}

// A bad file ends in one error line, and nothing of it stays in the store.
TEST(MmcifSyntax, BadFilesEndInOneErrorLine)
{
    const std::string good = std::string("data_b\n") + atomSiteLoop + "ATOM 1 N N MET A 1 1 0 0 A 1\n";
    const std::string gzipped = gzipText(good);
    const struct {
        const char *name;
        std::string text;
        const char *message;
    } bad[] = {
        {"no _atom_site", "data_x\n_struct.title 'nothing here'\n", "invalid mmCIF file... no _atom_site\n"},
        {"no data block", "# only a comment\n", nullptr},
        {"row not filled", good + "ATOM 2 N N MET\n", "the values of a loop do not fill its rows (line 2)"},
        {"cut inside a quote", good + "_struct.title 'cut", "a quote (') not closed on its line (line 16)"},
        {"cut inside a text field", good + "_struct.title\n;no end\n", "a text field (';') not closed (line 17)"},
        {"a value without a tag", "data_s\n_struct.title x y\n", "a value without a tag (line 2)"},
        {"loop_ without tags", good + "loop_\n1 2\n", "loop_ without tags (line 16)"},
        {"gzip cut short", gzipped.substr(0, gzipped.size() / 2), "damaged compressed file... compressed data cut short"},
        {"gzip of junk", std::string("\x1f\x8b\x08\x00junkjunkjunkjunk", 20), "damaged compressed file..."},
        {"binary junk", std::string("\x7f" "ELF\x00\x01\x02 data_ \xff\xfe", 16), "invalid PDB file..."},
    };
    for (const auto &b : bad) {
        readStructureText(good);
        ASSERT_EQ(atomCount, 1);
        std::string out = readStructureText(b.text);
        EXPECT_EQ(atomCount, 0) << b.name;
        EXPECT_EQ(nextBondIndex, 1) << b.name;
        EXPECT_EQ(atoms[1].present, 0) << b.name;
        EXPECT_EQ(loadErrors, 1) << b.name << "\n" << out;
        size_t first = out.find("\nERROR - ");
        EXPECT_NE(first, std::string::npos) << b.name << "\n" << out;
        EXPECT_EQ(out.find("\nERROR - ", first + 1), std::string::npos) << b.name << ": one line only\n" << out;
        if (b.message) {
            EXPECT_NE(out.find(b.message), std::string::npos) << b.name << "\n" << out;
        }
        EXPECT_NE(out.find("0 atoms found (0 unbonded)\n"), std::string::npos) << b.name << "\n" << out;
    }
}

//------------------------------------------------------------------------------
// The test data as mmCIF and gzip: the PDB file's store, exactly
//------------------------------------------------------------------------------
namespace {
struct Snapshot {
    std::string console;
    int32_t atomCount, nextBondIndex;
    std::vector<AtomRecord> atoms;
    std::vector<BondRecord> bonds;
    std::string chains;
};

Snapshot snapshot(const std::string &text)
{
    Snapshot s;
    s.console = readStructureText(text);
    s.atomCount = atomCount;
    s.nextBondIndex = nextBondIndex;
    s.atoms.assign(atoms, atoms + atomCount + 1);
    s.bonds.assign(bonds, bonds + nextBondIndex);
    s.chains.assign(chainList, (size_t)chainListLength);
    return s;
}

void expectSame(const Snapshot &pdb, const Snapshot &other, const std::string &what)
{
    ASSERT_EQ(pdb.console, other.console) << what;
    ASSERT_EQ(pdb.atomCount, other.atomCount) << what;
    ASSERT_EQ(pdb.nextBondIndex, other.nextBondIndex) << what;
    EXPECT_EQ(pdb.chains, other.chains) << what;
    int differing = 0;
    for (int i = 0; i <= pdb.atomCount && differing < 5; i++) {
        const AtomRecord &a = pdb.atoms[i], &b = other.atoms[i];
        bool same = a.present == b.present && a.x == b.x && a.y == b.y && a.z == b.z &&
                    std::strcmp(a.element, b.element) == 0 && a.chain == b.chain && a.chainIndex == b.chainIndex &&
                    std::strcmp(a.residueName, b.residueName) == 0 && a.residueClass == b.residueClass &&
                    a.totalBonds == b.totalBonds && std::memcmp(a.bondedTo, b.bondedTo, sizeof a.bondedTo) == 0 &&
                    a.valence == b.valence && a.atomicWeight == b.atomicWeight;
        EXPECT_TRUE(same) << what << ": atom " << i << " (" << a.element << "/" << b.element << ")";
        differing += !same;
    }
    for (int k = 1; k < pdb.nextBondIndex && differing < 10; k++) {
        const BondRecord &a = pdb.bonds[k], &b = other.bonds[k];
        bool same = a.atomA == b.atomA && a.atomB == b.atomB && a.order == b.order && a.fromConect == b.fromConect;
        EXPECT_TRUE(same) << what << ": bond " << k << " " << a.atomA << "-" << a.atomB << " vs " << b.atomA << "-"
                          << b.atomB;
        differing += !same;
    }
}
}

TEST(MmcifData, TestFilesGiveThePdbStore)
{
    bondAccuracy = bondAccuracyGood;
    hideUnbondedAtoms = 0;
    colourByChain = colourByResidue = 0;
    const struct {
        const char *name;
        CifWriting how;
    } variants[] = {
        {"author and label fields", {}},
        {"running ids, columns reversed", {true, true, true, true, true}},
        {"label fields only", {false, true, false, true, false}},
    };
    for (const char *file : {"1hpv.pdb", "1tii.pdb", "1ubq.pdb", "2jo4.pdb", "4jsv.pdb", "bpti.pdb"}) {
        std::string pdb = dataFile(file);
        Snapshot plain = snapshot(pdb);
        for (const auto &v : variants) {
            std::string cif = pdbToMmcif(pdb, v.how);
            expectSame(plain, snapshot(cif), std::string(file) + " as mmCIF, " + v.name);
        }
        expectSame(plain, snapshot(gzipText(pdbToMmcif(pdb))), std::string(file) + " as .cif.gz");
        expectSame(plain, snapshot(gzipText(pdb)), std::string(file) + " as .pdb.gz");
        size_t half = pdb.size() / 2;   // two gzip members one after the other are one file
        expectSame(plain, snapshot(gzipText(pdb.substr(0, half)) + gzipText(pdb.substr(half))),
                   std::string(file) + " as two gzip members");
    }
}
