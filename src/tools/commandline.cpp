// commandline.cpp - the walk over a command line by its table of options.
#include "tools/commandline.h"

#include <cstring>
#include <string>

int pickName(const char *value, const char *const *names, int count)
{
    for (int k = 0; k < count; k++)
        if (std::strcmp(value, names[k]) == 0)
            return k;
    return -1;
}

static const CommandOption *findOption(const CommandLine &line, const std::string &name)
{
    for (int k = 0; k < line.optionCount; k++)
        if (name == line.options[k].name)
            return &line.options[k];
    return nullptr;
}

int readCommandLine(const CommandLine &line, int argc, char **argv)
{
    bool optionsEnded = false;
    for (int k = 1; k < argc; k++) {
        const char *word = argv[k];
        if (optionsEnded || word[0] != '-' || word[1] == '\0') {
            if (int status = line.operand(word))
                return status;
            continue;
        }
        if (line.optionsEnd && std::strcmp(word, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        std::string name = word;
        const char *value = nullptr;
        const char *equals = std::strchr(word, '=');
        if (line.inlineValues && std::strncmp(word, "--", 2) == 0 && equals) {
            name.assign(word, (size_t)(equals - word));
            value = equals + 1;
        }
        const CommandOption *option = findOption(line, name);
        if (option && !option->takesValue) {
            if (value)
                return line.fault(valueNotTaken, name.c_str());
            if (int status = option->take(nullptr))
                return status;
            continue;
        }
        // An unknown option is taken to have a value, as a known one has.
        if (!value) {
            if (k + 1 >= argc)
                return line.fault(missingValue, name.c_str());
            value = argv[++k];
        }
        if (!option)
            return line.fault(unknownOption, word);
        if (int status = option->take(value))
            return status;
    }
    return 0;
}
