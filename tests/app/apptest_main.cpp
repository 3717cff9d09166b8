// apptest_main.cpp - starts the program in this process once, in a scratch
// directory with the textures, then runs the application tests.
#include "apptest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

#include "app/gui.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"
#include "view/view.h"

namespace fs = std::filesystem;

static std::string scratch;

const std::string &scratchDir() { return scratch; }

std::string dataFile(const char *name) { return std::string(MOLVANE_TEST_DATA) + "/" + name; }

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string writeCarbonGrid(const std::string &path, int count)
{
    FILE *out = fopen(path.c_str(), "w");
    for (int i = 0; i < count; ++i) {
        // Rows of 100 atoms 1.54 apart; rows 4 apart, so each row is a chain.
        float x = (float)(i % 100) * 1.54f, y = (float)((i / 100) % 50) * 4.0f, z = (float)(i / 5000) * 4.0f;
        fprintf(out, "ATOM  %5d  C   ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n",
                i + 1, (i / 10) % 10000, x, y, z);
    }
    fprintf(out, "END\n");
    fclose(out);
    return path;
}

ConsoleCapture::ConsoleCapture()
{
    fflush(stdout);
    char name[] = "/tmp/molvane-console.XXXXXX";
    int fd = mkstemp(name);
    path = name;
    saved = dup(1);
    dup2(fd, 1);
    close(fd);
}

std::string ConsoleCapture::text()
{
    if (!done) {
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        collected = readFile(path);
        unlink(path.c_str());
        done = true;
    }
    return collected;
}

ConsoleCapture::~ConsoleCapture() { text(); }

void runUntilReady(int limit)
{
    for (int i = 0; i < limit; ++i) {
        runFrame(sceneObjectList);
        if (displayListDirty == 0)
            break;
    }
    runFrame(sceneObjectList);
}

std::vector<std::string> menuLabels(QMenu *menu)
{
    std::vector<std::string> labels;
    for (QAction *item : menu->actions())
        labels.push_back(item->isSeparator() ? "-" : item->text().toStdString());
    return labels;
}

void resetSettings()
{
    resetRenderSettings();
    setItemChecked(drawAtomsIn3DItem, 0);
    setItemChecked(drawAtomsAsCrossesItem, 1);
    setItemChecked(drawSpaceFilledItem, 0);
    setItemChecked(drawBondsIn3DItem, 0);
    setItemChecked(drawBondsAsLinesItem, 1);
    setItemChecked(drawMultipleBondsItem, 1);
    setItemChecked(highlightPDBBondsItem, 0);
    setItemChecked(colourByChainItem, 0);
    setItemChecked(colourByResidueItem, 0);
    setItemChecked(drawUnbondedAtomsItem, 1);
    setItemChecked(changeLineWidthItem, 1);
    setItemChecked(detailLowItem, 1);
    setItemChecked(detailMediumItem, 0);
    setItemChecked(detailHighItem, 0);
    setItemChecked(bondAccuracyGoodItem, 1);
    setItemChecked(bondAccuracyBetterItem, 0);
    setItemChecked(bondAccuracyBestItem, 0);
    setItemChecked(spinItem, 0);
    setItemChecked(moveMoleculeItem, 0);
    setItemChecked(speedSlowItem, 0);
    setItemChecked(speedMediumItem, 1);
    setItemChecked(speedFastItem, 0);
    setItemChecked(autoselectBestItem, 1);
    setItemChecked(disableHighQualityItem, 1);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    char pattern[] = "/tmp/molvane-apptest.XXXXXX";
    scratch = mkdtemp(pattern);
    fs::create_symlink(fs::path(MOLVANE_SOURCE_ROOT) / "Textures", fs::path(scratch) / "Textures");
    if (chdir(scratch.c_str()) != 0)
        return 2;
    static int qtArgc = 1;
    static char name[] = "app_test";
    static char *qtArgv[] = {name, nullptr};
    vel_surfaceFormatDefaultSet();  // as the viewer's main does
    startUp(qtArgc, qtArgv);
    runFrame(sceneObjectList);
    int result = RUN_ALL_TESTS();
    fs::remove_all(scratch);
    // The window and the library stay up until the process ends.
    fflush(stdout);
    _exit(result);
}
