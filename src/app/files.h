// files.h - file loading and the recent-files list: the open-file dialog,
// the current file, "recentpdb.txt" (the four files opened last, newest
// first) and the recent entries at the foot of the File menu.
#ifndef MOLVANE_FILES_H
#define MOLVANE_FILES_H

#include <cstdint>
#include <cstdio>

class QAction;

inline constexpr int pathBufferSize = 300;     // bytes of every path buffer
inline constexpr int maxPathLength = 298;      // a path and its newline fit one 300-byte line read
inline constexpr int recentFileCount = 4;      // entries of the recent list
inline constexpr const char *recentFileName = "recentpdb.txt";  // in the current directory
inline constexpr int recentListByteLimit = 4096; // bytes of "recentpdb.txt" read at most (the program writes at most 1196)
// The filters of the open-file dialog: "*.pdb" first (the default), then
// every structure file the readers take, plain or gzip-compressed.
inline constexpr const char *openFileFilters =
    "*.pdb;;Structure files (*.pdb *.ent *.cif *.mmcif *.pdb.gz *.ent.gz *.cif.gz *.mmcif.gz)";

extern const char *currentFile;                            // path of the current file; null until one is chosen
extern char chosenPath[pathBufferSize];                     // the path the dialog returned last
extern char recentPaths[recentFileCount][pathBufferSize];   // recent entry N at index N - 1, without newline
extern int32_t recentPathCount;                             // entries read into recentPaths
extern QAction *recentItems[recentFileCount];               // the recent entries of the File menu, or null
extern QAction *recentSeparator;                            // the separator below them, or null
extern QAction *exitItem;                                   // "Exit", or null before the first recent-files step

// Makes `file` the stream of the current file (pdbFile, build.h); the
// previous one is closed.
void replacePdbFile(FILE *file);
// The File menu label of a path: its last component (backslash before slash).
const char *recentFileLabel(const char *path);
// Reads up to four entries of a recent list from its first
// recentListByteLimit bytes (the rest is not there): newlines and CRs
// stripped, empty, duplicate and over-long lines skipped. Unusable lines
// are reported once per read when `report` is 1. Returns the number of
// entries.
int readRecentList(FILE *list, char entries[recentFileCount][pathBufferSize], int report);
// Puts `path` at the top of "recentpdb.txt" (unless already listed), keeping
// at most four entries.
void recordRecentFile(const char *path);
// Rebuilds the lower File menu from "recentpdb.txt": recent entries, the
// separator (when the file opens) and "Exit".
void updateRecentFiles();
// The one road from a path to a new scene, for the dialog and for reloads:
// opens path ("\nPDB File Found %s\n", or "\nNo PDB File Found %s\n" and
// nothing changes), makes it the stream of the read, and reads and builds
// the structure with a fresh view. When chosen is 1 the path first becomes
// chosenPath and currentFile and enters "recentpdb.txt". Returns 1 when the
// file opened.
int loadStructureFile(const char *path, int chosen);
// Opens currentFile again and builds it from scratch with a fresh view.
void reloadStructure();
// Opens a path chosen by the user and builds it with a fresh view; the path
// enters the recent list and the menu. The dialog's part of loadFile().
void loadChosenFile(const char *path);
// A file named outside the dialog (on the command line, dropped on the
// window): loaded by its absolute path as a choice in the dialog is.
void loadNamedFile(const char *path);

#endif
