// scenetest.h - the shared pieces of the scene tests that run with the
// library initialised: a store filler, the settings fixture, and frames
// drawn and read back from the window.
#ifndef MOLVANE_SCENETEST_H
#define MOLVANE_SCENETEST_H

#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"

extern std::string paletteTrace;  // the library calls setUpPalette made

// Stores an atom of the given element at (x, y, z), as the reader would.
void putAtom(int index, const char *element, float x, float y, float z, int chainIndex = 32, int residueClass = 0);
// Adds bond a-b with the given order; returns its number.
int putBond(int a, int b, int order, int fromConect = 0);
// Transforms the local point (x, y, z) with a record's matrix.
vel_vector transformPoint(const vel_matrix &m, float x, float y, float z);
// Draws the current scene list for a few frames with the view looking from
// eye along -Z and returns the window's picture.
QImage drawScene(vel_vector eye, int frames = 4);
// Pixel position of a world point in the last drawn view, in image pixels.
void pixelOf(const QImage &image, vel_vector point, int *x, int *y);

// Empties the store and the scene, and puts every setting a build reads
// back to its start-up default; a fresh object list is in sceneObjectList.
class SceneTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
