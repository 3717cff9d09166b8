// commandline.h - the companion programs' command lines read by a table of
// options: each option's spelling, whether a value follows it, and the
// function that takes it. Words that are not options are operands.
#ifndef MOLVANE_COMMANDLINE_H
#define MOLVANE_COMMANDLINE_H

struct CommandOption {
    const char *name;                   // "--size", "-o": each spelling has its own row
    bool takesValue;                    // a value follows: the next word (or "--name=value" where allowed)
    int (*take)(const char *value);     // 0 when taken, else the exit status (its message printed); value null for a flag
};

enum CommandLineFault {
    unknownOption,    // the word (a value was taken for it all the same)
    missingValue,     // the option's name: the command line ends after it
    valueNotTaken,    // the option's name: a flag given "--name=value"
};

struct CommandLine {
    const CommandOption *options;       // the table
    int optionCount;                    // its rows
    bool inlineValues;                  // "--name=value" gives name its value
    bool optionsEnd;                    // "--" ends the options: every later word is an operand
    int (*operand)(const char *word);   // a word that is not an option (also "-"): 0, or the exit status
    int (*fault)(CommandLineFault fault, const char *text);   // prints the message; returns the exit status
};

// Walks argv[1 .. argc - 1] in order; returns 0 when every word was taken,
// else the first status that is not 0.
int readCommandLine(const CommandLine &line, int argc, char **argv);
// The index of value in names[0 .. count - 1], or -1.
int pickName(const char *value, const char *const *names, int count);

// The bond accuracies by their command-line names, good, better and best.
inline constexpr const char *accuracyNames[] = {"good", "better", "best"};

#endif
