// locale_test.cpp - console numbers in the user's locale: the atom block
// keeps its "." under a decimal-comma locale while Qt follows the user.
// The suite also runs as "app_test_german" with LC_ALL=de_DE.UTF-8.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QLocale>
#include <gtest/gtest.h>

#include "app/files.h"
#include "apptest.h"
#include "molecule/molecule.h"
#include "view/view.h"

// The locale the test was started in, when the environment names one.
static const char *requestedLocale()
{
    const char *all = std::getenv("LC_ALL");
    return all != nullptr && all[0] != '\0' ? all : nullptr;
}

TEST(Locale, ConsoleNumbersKeepThePoint)
{
    const char *requested = requestedLocale();
    if (requested != nullptr && std::strcmp(requested, "C") != 0 && std::strcmp(requested, "POSIX") != 0) {
        // The locale must really be installed, or this test proves nothing.
        const char *ctype = std::setlocale(LC_CTYPE, nullptr);
        ASSERT_NE(ctype, nullptr);
        EXPECT_STREQ(ctype, requested) << "locale " << requested << " is not installed (localedef)";
        // Qt's widgets still follow the user.
        if (std::strncmp(requested, "de_DE", 5) == 0) {
            EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
        }
    }
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");

    resetSettings();
    {
        ConsoleCapture console;
        loadChosenFile(dataFile("1ubq.pdb").c_str());
        runUntilReady();
    }
    ASSERT_EQ(structureLoaded, 1);
    ConsoleCapture console;
    printAtomInfo(1);                     // the nitrogen of MET 1
    EXPECT_EQ(console.text(),
              "\nAtom Number:     1\nChemical Name:   Nitrogen (N)\nVDW Radius:      1.36 Ang\n"
              "Atomic Weight:   7\nChain:           A\nResidue:         MET\n"
              "Atom Valence:    3\nTotal Bonds:     2\nBonded to Atoms: 2(C) 2(C) \n");
}
