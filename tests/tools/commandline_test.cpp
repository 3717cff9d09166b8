// commandline_test.cpp - readCommandLine against a small table: which words
// are operands, which options take values (and from where), what each fault
// names, and where the walk stops. Each case records the calls the walk
// makes, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/commandline.h"

namespace {
std::string calls;   // "flag;", "value=V;", "operand=W;", "fault K T;" in order

int takeFlag(const char *value)
{
    calls += value ? "flag with a value;" : "flag;";
    return 0;
}

int takeValue(const char *value)
{
    calls += "value=" + std::string(value) + ";";
    return std::string(value) == "bad" ? 2 : 0;
}

int takeHelp(const char *)
{
    calls += "help;";
    return -1;
}

int takeOperand(const char *word)
{
    calls += "operand=" + std::string(word) + ";";
    return 0;
}

int takeFault(CommandLineFault fault, const char *text)
{
    static const char *const names[] = {"unknown", "missing", "not taken"};
    calls += "fault " + std::string(names[fault]) + " " + text + ";";
    return 2;
}

const CommandOption options[] = {
    {"--flag", false, takeFlag}, {"--value", true, takeValue}, {"-v", true, takeValue}, {"--help", false, takeHelp},
};

int walk(bool lenient, std::vector<std::string> words)
{
    CommandLine line = {options, 4, lenient, lenient, takeOperand, takeFault};
    words.insert(words.begin(), "program");
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    calls.clear();
    return readCommandLine(line, (int)argv.size(), argv.data());
}
}  // namespace

TEST(CommandLine, WalksTheTableInOrder)
{
    struct Case {
        bool lenient;   // "--name=value" and "--" understood (molvane-render), or not (molvane-inspect)
        std::vector<std::string> words;
        int status;
        const char *calls;
    } cases[] = {
        {true, {}, 0, ""},
        {true, {"a", "-", "", "--flag", "b"}, 0, "operand=a;operand=-;operand=;flag;operand=b;"},
        {true, {"--value", "3", "-v", "--flag"}, 0, "value=3;value=--flag;"},
        {true, {"--value=3", "--value=", "--value=a=b"}, 0, "value=3;value=;value=a=b;"},
        {true, {"--", "--flag", "-v"}, 0, "operand=--flag;operand=-v;"},
        // The first status that is not 0 ends the walk.
        {true, {"--value", "bad", "--flag"}, 2, "value=bad;"},
        {true, {"--help", "--flag"}, -1, "help;"},
        // Faults: an unknown option takes a value first; a flag refuses one.
        {true, {"--value"}, 2, "fault missing --value;"},
        {true, {"--nope"}, 2, "fault missing --nope;"},
        {true, {"--nope", "x", "--flag"}, 2, "fault unknown --nope;"},
        {true, {"--nope=1"}, 2, "fault unknown --nope=1;"},
        {true, {"--flag=1"}, 2, "fault not taken --flag;"},
        {true, {"-v=1"}, 2, "fault missing -v=1;"},
        // Strict: "--name=value" is one unknown word, "--" an unknown option.
        {false, {"--value=3", "x"}, 2, "fault unknown --value=3;"},
        {false, {"--flag=1", "x"}, 2, "fault unknown --flag=1;"},
        {false, {"--", "a"}, 2, "fault unknown --;"},
        {false, {"a", "--flag", "--value", "1"}, 0, "operand=a;flag;value=1;"},
    };
    for (const Case &c : cases) {
        std::string shown;
        for (const std::string &word : c.words)
            shown += "[" + word + "]";
        EXPECT_EQ(walk(c.lenient, c.words), c.status) << shown;
        EXPECT_EQ(calls, c.calls) << shown;
    }
}

TEST(CommandLine, PicksNames)
{
    EXPECT_EQ(pickName("better", accuracyNames, 3), 1);
    EXPECT_EQ(pickName("best", accuracyNames, 3), 2);
    EXPECT_EQ(pickName("Best", accuracyNames, 3), -1);
    EXPECT_EQ(pickName("", accuracyNames, 3), -1);
}
