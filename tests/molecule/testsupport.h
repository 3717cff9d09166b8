// testsupport.h - helpers of the molecule tests: PDB fragments read from
// memory, console text captured from stdout, and atom lines written in the
// columns of the format.
#ifndef MOLVANE_TESTSUPPORT_H
#define MOLVANE_TESTSUPPORT_H

#include <cstdint>
#include <cstdio>
#include <string>

// Runs body with stdout sent to a temporary file and returns what it printed.
template <typename Body> std::string captureStdout(Body body);

std::string beginCapture(int &saved, FILE *&file);
std::string endCapture(int saved, FILE *file);

template <typename Body> std::string captureStdout(Body body)
{
    int saved;
    FILE *file;
    beginCapture(saved, file);
    body();
    return endCapture(saved, file);
}

// Reads text (any bytes) with readStructureFile, as the programs read a
// file; returns the console text.
std::string readText(const std::string &text, int32_t *result = nullptr);
// Reads text with readStructure (read, perception, unbonded step).
std::string readStructureText(const std::string &text, int *forced = nullptr);
// An ATOM line in the columns of the format (80 columns, no line break).
std::string atomLine(int serial, const char *name, const char *residue, char chain, int sequence,
                     double x, double y, double z, const char *record = "ATOM  ");
// The contents of a file of the test data folder.
std::string dataFile(const char *name);
// The plain bond perception, step by step as the rules state it.
void plainPerceiveBonds();

#endif
