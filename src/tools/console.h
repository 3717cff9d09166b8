// console.h - the companion programs' standard output switched away (to
// /dev/null, or to standard error) and back: the console text of a build
// that is not wanted, or text that belongs on standard error, never reaches
// the program's own output.
#ifndef MOLVANE_CONSOLE_H
#define MOLVANE_CONSOLE_H

struct ConsoleSwitch {
    int saved = -1;   // a copy of the real standard output, once switched away
};

// Opens /dev/null for writing; -1 when it cannot be opened.
int openNullDevice();
// Flushes standard output and points it at fd; the real one is kept
// (the first time) so that consoleBack can restore it. False when it
// could not be kept (standard output is switched all the same).
bool consoleAway(ConsoleSwitch &console, int fd);
// Flushes standard output and points it back at the real one.
void consoleBack(ConsoleSwitch &console);
// Closes the kept copy of the real standard output.
void consoleRelease(ConsoleSwitch &console);

#endif
