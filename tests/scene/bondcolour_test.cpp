// bondcolour_test.cpp - the element-pair texture codes against the code
// table, and the 66 texture images against the palette colours they name.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace {

// The thirteen known symbols and an unknown one, in the table's order.
const char *const symbols[14] = {"C", "O", "H", "N", "S", "P", "FE", "CL", "BR", "ZN", "NA", "MG", "CA", "HG"};

// The code for (row element first, column element second), upper half; the
// lower half is its negation except for the 1 of equal colours.
const int codeTable[14][14] = {
    //  C   O   H   N   S   P  FE  CL  BR  ZN  NA  MG  CA  unknown
    {1, 5, 6, 7, 8, 9, 9, 10, 11, 11, 12, 13, 14, 15},         // C
    {0, 1, 16, 17, 18, 19, 19, 20, 21, 21, 22, 23, 24, 25},    // O
    {0, 0, 1, 26, 27, 28, 28, 29, 30, 30, 31, 32, 33, 34},     // H
    {0, 0, 0, 1, 35, 36, 36, 37, 38, 38, 39, 40, 41, 42},      // N
    {0, 0, 0, 0, 1, 43, 43, 44, 45, 45, 46, 47, 48, 49},       // S
    {0, 0, 0, 0, 0, 1, 1, 50, 51, 51, 52, 53, 54, 55},         // P
    {0, 0, 0, 0, 0, 0, 1, 50, 51, 51, 52, 53, 54, 55},         // FE
    {0, 0, 0, 0, 0, 0, 0, 1, 56, 56, 57, 59, 60, 61},          // CL
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 62, 64, 65, 66},            // BR
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 62, 64, 65, 66},            // ZN
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 68, 69, 70},             // NA
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 71, 72},              // MG
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 73},               // CA
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},                // unknown
};

int expectedCode(int first, int second)
{
    if (first <= second)
        return codeTable[first][second];
    int c = codeTable[second][first];
    return c == 1 ? 1 : -c;
}

void putAtom(int index, const char *element)
{
    std::memset(&atoms[index], 0, sizeof atoms[index]);
    std::snprintf(atoms[index].element, sizeof atoms[index].element, "%s", element);
    atoms[index].present = 1;
    atoms[index].paletteIndex = elementPaletteIndex(element);
}

class BondColour : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetStore();
        for (int i = 0; i < 14; i++)
            putAtom(i + 1, symbols[i]);
    }
};

// Every ordered pair of elements gives the table's code; swapping the atoms
// negates it unless the colours are equal.
TEST_F(BondColour, EveryPairMatchesTheTableBothWays)
{
    for (int i = 0; i < 14; i++) {
        for (int j = 0; j < 14; j++) {
            int code = bondTextureCode(i + 1, j + 1);
            EXPECT_EQ(code, expectedCode(i, j)) << symbols[i] << "-" << symbols[j];
            int swapped = bondTextureCode(j + 1, i + 1);
            EXPECT_EQ(swapped, code == 1 ? 1 : -code) << symbols[i] << "-" << symbols[j];
            EXPECT_NE(code, 0);
        }
    }
}

// Unknown symbols: other unknowns share pink, mixed case is unknown.
TEST_F(BondColour, UnknownElements)
{
    putAtom(20, "Fe");
    putAtom(21, "XX");
    putAtom(22, "");
    EXPECT_EQ(bondTextureCode(1, 20), 15);   // C first
    EXPECT_EQ(bondTextureCode(20, 1), -15);  // C second
    EXPECT_EQ(bondTextureCode(20, 21), 1);
    EXPECT_EQ(bondTextureCode(22, 14), 1);
    EXPECT_EQ(bondTextureCode(7, 20), 55);   // FE with an unknown
}

// The match helpers: the value in the named order, its negation reversed.
TEST_F(BondColour, MatchHelpers)
{
    EXPECT_EQ(matchElementPair(1, 2, "C", "O", 5), 5);
    EXPECT_EQ(matchElementPair(2, 1, "C", "O", 5), -5);
    EXPECT_EQ(matchElementPair(1, 4, "C", "O", 5), 0);
    EXPECT_EQ(matchElementPair(8, 7, "CL", "FE", 50), 50);
    EXPECT_EQ(matchUnknownElement(1, 14, "C", 15), 15);
    EXPECT_EQ(matchUnknownElement(14, 1, "C", 15), -15);
    EXPECT_EQ(matchUnknownElement(1, 2, "C", 15), 0);
    EXPECT_EQ(matchUnknownElement(14, 14, "C", 15), 0);
}

// The codes of distinct colours are exactly the 66 texture indices 5 .. 73
// without 58, 63 and 67, each pair of colours having its own.
TEST(TextureIndices, SixtySixDistinctIndices)
{
    std::vector<int> seen(100, 0);
    for (int a = firstElementColour; a <= lastElementColour; a++)
        for (int b = a + 1; b <= lastElementColour; b++)
            seen[colourPairCode(a, b)]++;
    int count = 0;
    for (int t = 0; t < 100; t++) {
        bool used = t >= 5 && t <= 73 && t != 58 && t != 63 && t != 67;
        EXPECT_EQ(seen[t], used ? 1 : 0) << "texture " << t;
        count += seen[t];
    }
    EXPECT_EQ(count, twoColourTextureCount);
}

// Keys outside 0 .. 59 wrap onto the sixty generated colours.
TEST(GeneratedColourEntry, WrapsEveryKey)
{
    EXPECT_EQ(generatedColourEntry(0), 20);
    EXPECT_EQ(generatedColourEntry(32), 52);
    EXPECT_EQ(generatedColourEntry(59), 79);
    EXPECT_EQ(generatedColourEntry(60), 20);
    EXPECT_EQ(generatedColourEntry(65), 25);
    EXPECT_EQ(generatedColourEntry(-1), 79);
    EXPECT_EQ(generatedColourEntry(-60), 20);
    for (int key : {INT_MIN, INT_MIN + 1, INT_MAX, -12345, 99999}) {
        EXPECT_GE(generatedColourEntry(key), 20) << key;
        EXPECT_LE(generatedColourEntry(key), 79) << key;
    }
}

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
};

bool readPpm(const std::string &path, Image &image)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char magic[3] = {};
    int maxValue = 0;
    bool ok = std::fscanf(f, "%2s %d %d %d", magic, &image.width, &image.height, &maxValue) == 4 &&
              std::strcmp(magic, "P6") == 0 && maxValue == 255 && image.width > 0 && image.height > 1 &&
              std::fgetc(f) != EOF;
    if (ok) {
        image.pixels.resize((size_t)image.width * image.height * 3);
        ok = std::fread(image.pixels.data(), 1, image.pixels.size(), f) == image.pixels.size();
    }
    std::fclose(f);
    return ok;
}

// Every pixel of the row is the colour c, to within one step of 255.
bool pixelIs(const Image &image, int row, const PaletteColour &c)
{
    const float components[3] = {c.red, c.green, c.blue};
    for (int x = 0; x < image.width; x++) {
        const unsigned char *p = &image.pixels[((size_t)row * image.width + x) * 3];
        for (int k = 0; k < 3; k++)
            if (std::abs(p[k] - (int)(components[k] * 255.0f + 0.5f)) > 1)
                return false;
    }
    return true;
}

// Every pair's texture exists under its registered name, is a binary PPM,
// and shows its first colour on the top half and its second on the bottom.
TEST(TextureImages, EveryPairHasItsTwoColoursOnTheRightHalves)
{
    std::filesystem::current_path(MOLVANE_SOURCE_ROOT);
    int files = 0;
    for (auto &entry : std::filesystem::directory_iterator("Textures"))
        files += entry.path().extension() == ".ppm" ? 1 : 0;
    EXPECT_EQ(files, twoColourTextureCount);

    for (int a = firstElementColour; a <= lastElementColour; a++) {
        for (int b = a + 1; b <= lastElementColour; b++) {
            char path[64];
            textureFileName(a, b, path, (int)sizeof path);
            Image image;
            ASSERT_TRUE(readPpm(path, image)) << path;
            const PaletteColour &top = elementColours[a - 5], &bottom = elementColours[b - 5];
            for (int row = 0; row < image.height; row++) {
                bool upper = row < image.height / 2;
                EXPECT_TRUE(pixelIs(image, row, upper ? top : bottom)) << path << " row " << row;
            }
        }
    }
    char path[64];
    textureFileName(5, 6, path, (int)sizeof path);
    EXPECT_STREQ(path, "Textures/lightgreyred.ppm");
    textureFileName(15, 16, path, (int)sizeof path);
    EXPECT_STREQ(path, "Textures/darkgreypink.ppm");
}

}  // namespace
