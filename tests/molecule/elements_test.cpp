// elements_test.cpp - the element rules: symbols from atom names and the
// values of known and unknown elements.
#include "molecule/molecule.h"

#include <gtest/gtest.h>

#include <string>

static std::string symbolOf(const char *atomName)
{
    char symbol[4];
    elementFromAtomName(atomName, symbol);
    return symbol;
}

// The window of columns 13 and 14, with the digit rule for hydrogens.
TEST(Elements, SymbolFromAtomName)
{
    EXPECT_EQ(symbolOf(" CA "), "C");
    EXPECT_EQ(symbolOf("CA  "), "CA");
    EXPECT_EQ(symbolOf("1HG2"), "H");
    EXPECT_EQ(symbolOf("HG21"), "HG");
    EXPECT_EQ(symbolOf("C10 "), "1");
    EXPECT_EQ(symbolOf("FE  "), "FE");
    EXPECT_EQ(symbolOf("H   "), "H");
    EXPECT_EQ(symbolOf("    "), "");
    EXPECT_EQ(symbolOf("12  "), "2");
}

TEST(Elements, KnownValues)
{
    EXPECT_STREQ(elementName("C"), "Carbon");
    EXPECT_STREQ(elementName("S"), "Sulphur");
    EXPECT_STREQ(elementName("P"), "Phosphorous");
    EXPECT_EQ(elementValence("FE"), -4);
    EXPECT_EQ(elementValence("H"), -1);
    EXPECT_EQ(elementAtomicWeight("BR"), 35);
    EXPECT_EQ(elementPaletteIndex("ZN"), 12);
    EXPECT_EQ(elementPaletteIndex("FE"), 10);
    EXPECT_FLOAT_EQ(elementRadius("NA"), 2.27f);
    EXPECT_EQ(elementAtomicWeight("CA"), 20);
    EXPECT_FALSE(isUnknownElement("CL"));
}

// Everything else, the empty symbol and other case included, is "Unknown".
TEST(Elements, UnknownValues)
{
    for (const char *symbol : {"", "HG", "1", "Cl", "c", "CAX", "X"}) {
        EXPECT_TRUE(isUnknownElement(symbol)) << symbol;
        EXPECT_STREQ(elementName(symbol), "Unknown");
        EXPECT_EQ(elementPaletteIndex(symbol), 16);
        EXPECT_FLOAT_EQ(elementRadius(symbol), 1.4f);
        EXPECT_EQ(elementValence(symbol), 2);
        EXPECT_EQ(elementAtomicWeight(symbol), 8);
    }
}

TEST(Elements, TextTests)
{
    EXPECT_TRUE(containsDigit("ab3"));
    EXPECT_FALSE(containsDigit("-+ "));
    EXPECT_TRUE(containsLetter("12e4"));
    EXPECT_FALSE(containsLetter("12-4\xE9"));
}
