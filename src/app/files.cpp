// files.cpp - loading a structure through the open-file dialog or a recent
// entry, the current file and its stream, and "recentpdb.txt" with the
// recent entries of the File menu that it feeds.
#include "files.h"

#include <cstring>

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include "app/build.h"
#include "app/gui.h"
#include "app/menus.h"
#include "app/viewstate.h"
#include "molecule/molecule.h"

const char *currentFile = nullptr;
char chosenPath[pathBufferSize] = {};
char recentPaths[recentFileCount][pathBufferSize] = {};
int32_t recentPathCount = 0;
QAction *recentItems[recentFileCount] = {};
QAction *recentSeparator = nullptr;
QAction *exitItem = nullptr;

//------------------------------------------------------------------------------
// The current file
//------------------------------------------------------------------------------
void replacePdbFile(FILE *file)
{
    // The reader is done with the previous stream; closing it keeps a long
    // session from running out of file handles.
    if (pdbFile != nullptr && pdbFile != file)
        fclose(pdbFile);
    pdbFile = file;
}

//------------------------------------------------------------------------------
// The recent list
//------------------------------------------------------------------------------
const char *recentFileLabel(const char *path)
{
    const char *cut = strrchr(path, '\\');
    if (cut == nullptr)
        cut = strrchr(path, '/');
    if (cut == nullptr || cut[1] == '\0')    // no separator, or nothing after the last one
        return path;
    return cut + 1;
}

int readRecentList(FILE *list, char entries[recentFileCount][pathBufferSize], int report)
{
    // One bounded read: a list the program wrote is far shorter, and a
    // foreign file of any size costs no more than this.
    char text[recentListByteLimit + 1];
    size_t length = fread(text, 1, sizeof text, list);
    int unusable = 0;
    if (length > (size_t)recentListByteLimit) {
        // The rest of the file is not read: its first line, cut here, is
        // dropped unless it is already too long to be a path.
        length = recentListByteLimit;
        size_t cut = length;
        while (cut > 0 && text[cut - 1] != '\n')
            --cut;
        unusable = length - cut > (size_t)maxPathLength + 1;
        length = cut;
    }
    int count = 0;
    size_t at = 0;
    while (at < length && count < recentFileCount) {
        const char *line = text + at;
        const char *newline = (const char *)memchr(line, '\n', length - at);
        size_t lineLength = newline != nullptr ? (size_t)(newline - line) : length - at;
        at += lineLength + 1;
        if (lineLength > 0 && line[lineLength - 1] == '\r')
            --lineLength;
        if (lineLength > (size_t)maxPathLength || memchr(line, '\0', lineLength) != nullptr) {
            unusable = 1;
            continue;
        }
        if (lineLength == 0)
            continue;
        int duplicate = 0;
        for (int i = 0; i < count; ++i)
            duplicate |= strncmp(entries[i], line, lineLength) == 0 && entries[i][lineLength] == '\0';
        if (duplicate)
            continue;
        memcpy(entries[count], line, lineLength);
        entries[count++][lineLength] = '\0';
    }
    if (unusable && report)
        printf("\nERROR - unusable line in %s skipped\n\n", recentFileName);
    return count;
}

void recordRecentFile(const char *path)
{
    // A newline in the path would split its line in two.
    if (strchr(path, '\n') != nullptr || strchr(path, '\r') != nullptr)
        return;
    char old[recentFileCount][pathBufferSize];
    int oldCount = 0;
    FILE *list = openUserFile(recentFileName, "r", nullptr);
    if (list != nullptr) {
        oldCount = readRecentList(list, old, 0);
        fclose(list);
    }
    // A new file renamed over the list: a crash never leaves half a list,
    // and a link at its name is replaced, never written through.
    FileReplacement replacement;
    list = beginFileReplacement(recentFileName, &replacement, nullptr);
    if (list == nullptr)
        return;
    int duplicate = 0;
    for (int i = 0; i < oldCount; ++i)
        duplicate |= strcmp(old[i], path) == 0;
    if (!duplicate) {
        fprintf(list, "%s\n", path);
        if (oldCount == recentFileCount)
            oldCount = recentFileCount - 1;
    }
    for (int i = 0; i < oldCount; ++i)
        fprintf(list, "%s\n", old[i]);
    finishFileReplacement(&replacement, nullptr);
}

// Removes one item of the lower File menu and forgets its handle.
static void removeFileItem(QAction *&item)
{
    if (item == nullptr)
        return;
    fileMenu->removeAction(item);
    delete item;
    item = nullptr;
}

void updateRecentFiles()
{
    static void (GUI::*const commands[recentFileCount])() = {
        &GUI::loadRecentFile1, &GUI::loadRecentFile2, &GUI::loadRecentFile3, &GUI::loadRecentFile4,
    };
    for (QAction *&item : recentItems)
        removeFileItem(item);
    removeFileItem(exitItem);
    removeFileItem(recentSeparator);

    FILE *list = openUserFile(recentFileName, "r", nullptr);
    if (list != nullptr) {
        recentPathCount = readRecentList(list, recentPaths, 1);
        fclose(list);
        for (int n = 0; n < recentPathCount; ++n) {
            // "&" would otherwise mark a keyboard mnemonic and vanish.
            QString label = QFile::decodeName(recentFileLabel(recentPaths[n]));
            label.replace(QLatin1Char('&'), QLatin1String("&&"));
            recentItems[n] = addCommand(fileMenu, "", commands[n], false);
            recentItems[n]->setText(label);
        }
        recentSeparator = fileMenu->addSeparator();
    } else {
        recentPathCount = 0;
    }
    exitItem = addCommand(fileMenu, "Exit", &GUI::close, false);
}

//------------------------------------------------------------------------------
// Loading
//------------------------------------------------------------------------------
int loadStructureFile(const char *path, int chosen)
{
    FILE *file = openUserFile(path, "r", nullptr);
    if (file == nullptr) {
        printf("\nNo PDB File Found %s\n", printableText(path).c_str());
        return 0;
    }
    replacePdbFile(file);
    printf("\nPDB File Found %s\n", printableText(path).c_str());
    if (chosen) {
        memmove(chosenPath, path, strlen(path) + 1);
        currentFile = chosenPath;
        recordRecentFile(chosenPath);
    }
    rebuildScene(1);
    return 1;
}

void reloadStructure()
{
    if (currentFile == nullptr)
        return;
    loadStructureFile(currentFile, 0);
}

void loadChosenFile(const char *path)
{
    if (strlen(path) > (size_t)maxPathLength) {
        printf("\nERROR - path too long: %s\n\n", printableText(path).c_str());
        return;
    }
    if (loadStructureFile(path, 1))
        updateRecentFiles();
}

void loadNamedFile(const char *path)
{
    // The dialog gives absolute paths; the recent list keeps them so.
    QByteArray absolute = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absoluteFilePath());
    loadChosenFile(absolute.constData());
}

void GUI::loadFile()
{
    QString chosen = QFileDialog::getOpenFileName(mainBox, QString(), QString(), QLatin1String(openFileFilters),
                                                  nullptr, QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty())
        return;
    // The file system's own encoding, so that fopen finds every name the
    // dialog can show.
    QByteArray path = QFile::encodeName(chosen);
    loadChosenFile(path.constData());
}

// Recent entry n (1 .. 4) becomes the current file and is read again; the
// list and the menu stay as they are.
static void loadRecentFile(int n)
{
    if (n > recentPathCount)
        return;
    currentFile = recentPaths[n - 1];
    reloadStructure();
}

void GUI::loadRecentFile1() { loadRecentFile(1); }
void GUI::loadRecentFile2() { loadRecentFile(2); }
void GUI::loadRecentFile3() { loadRecentFile(3); }
void GUI::loadRecentFile4() { loadRecentFile(4); }
