// apptest.h - helpers of the application tests: the program started in this
// process (window, library, palette, menus) in a scratch working directory,
// console capture, frames until the scene is recorded, and small PDB files.
#ifndef MOLVANE_APPTEST_H
#define MOLVANE_APPTEST_H

#include <string>
#include <vector>

class QMenu;

// The scratch working directory (holds Textures and recentpdb.txt).
const std::string &scratchDir();
// A file of the test data folder.
std::string dataFile(const char *name);
// Writes `text` to `path` (bytes as given).
void writeFile(const std::string &path, const std::string &text);
std::string readFile(const std::string &path);
// A PDB file of `count` carbon atoms in rows of bonded chains.
std::string writeCarbonGrid(const std::string &path, int count);

// Collects everything written to standard output while it lives.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    std::string text();     // stops the capture, returns the text
private:
    int saved = -1;
    std::string path;
    bool done = false;
    std::string collected;
};

// Runs frames until the display list is recorded (at most `limit` frames).
void runUntilReady(int limit = 200);
// Labels of a menu's items top to bottom, "-" for a separator.
std::vector<std::string> menuLabels(QMenu *menu);
// Puts every setting, mark and view back to a fresh start's values.
void resetSettings();

#endif
