// viewtest.h - shared helpers of the view tests: a hand-made structure in
// the store and a reader for the library's call trace.
#ifndef MOLVANE_VIEWTEST_H
#define MOLVANE_VIEWTEST_H

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/molecule.h"

// Residue class of a name in residueNames, -1 when not there.
inline int residueClassOf(const char *name)
{
    for (int k = 0; k < residueNameCount; k++)
        if (std::strcmp(residueNames[k], name) == 0)
            return k;
    return -1;
}

// Stores atom `index` with its element values, in chain A, residue ALA.
inline void putAtom(int index, float x, float y, float z, const char *element)
{
    AtomRecord &a = atoms[index];
    a.x = x;
    a.y = y;
    a.z = z;
    std::strncpy(a.element, element, sizeof a.element - 1);
    a.present = 1;
    a.paletteIndex = elementPaletteIndex(element);
    a.vdwRadius = elementRadius(element);
    a.atomicWeight = elementAtomicWeight(element);
    a.valence = elementValence(element);
    a.chain = 'A';
    a.chainIndex = 0;
    std::strcpy(a.residueName, "ALA");
    a.residueClass = residueClassOf("ALA");
    if (index > atomCount)
        atomCount = index;
}

// Adds a bond of the given order between two stored atoms, mid-point set.
inline int putBond(int a, int b, int order, int fromConect = 0)
{
    int bond = nextBondIndex;
    addBond(a, b, fromConect);
    for (int k = 1; k < order; k++) {
        // further units of order list the partners again
        atoms[a].bondedTo[atoms[a].totalBonds++] = b;
        atoms[b].bondedTo[atoms[b].totalBonds++] = a;
    }
    bonds[bond].order = order;
    bonds[bond].midpoint[0] = (atoms[a].x + atoms[b].x) / 2;
    bonds[bond].midpoint[1] = (atoms[a].y + atoms[b].y) / 2;
    bonds[bond].midpoint[2] = (atoms[a].z + atoms[b].z) / 2;
    return bond;
}

// One line of the call trace: the call's name and the numbers after it.
struct TraceCall {
    std::string name;
    std::vector<double> numbers;
    std::string text;
};

// Splits a trace into calls; words that are not numbers are kept only in text.
inline std::vector<TraceCall> parseTrace(const char *trace)
{
    std::vector<TraceCall> calls;
    std::istringstream lines(trace ? trace : "");
    std::string line;
    while (std::getline(lines, line)) {
        TraceCall call;
        call.text = line;
        std::istringstream words(line);
        words >> call.name;
        std::string word;
        while (words >> word) {
            char *end = nullptr;
            double value = std::strtod(word.c_str(), &end);
            if (end != word.c_str() && *end == '\0')
                call.numbers.push_back(value);
        }
        calls.push_back(call);
    }
    return calls;
}

// The calls of a trace whose name is `name`.
inline std::vector<TraceCall> callsNamed(const std::vector<TraceCall> &calls, const std::string &name)
{
    std::vector<TraceCall> found;
    for (const TraceCall &call : calls)
        if (call.name == name)
            found.push_back(call);
    return found;
}

// Number of calls whose name is `name`.
inline int countNamed(const std::vector<TraceCall> &calls, const std::string &name)
{
    return (int)callsNamed(calls, name).size();
}

// A polyline of the trace: its vertices and the surface in force at each.
struct TraceLine {
    std::vector<std::vector<double>> vertices;
    std::vector<double> surfaces;
    double width = -1;
};

// Collects the polylines between vel_gfxLineBegin and vel_gfxLineEnd.
inline std::vector<TraceLine> tracedLines(const std::vector<TraceCall> &calls)
{
    std::vector<TraceLine> lines;
    double surface = -1, width = -1;
    bool open = false;
    for (const TraceCall &call : calls) {
        if (call.name == "vel_surfaceParamsUse" && !call.numbers.empty())
            surface = call.numbers.back();
        else if (call.name == "vel_gfxLineWidthSet" && !call.numbers.empty())
            width = call.numbers.back();
        else if (call.name == "vel_gfxLineBegin") {
            lines.push_back(TraceLine());
            lines.back().width = width;
            open = true;
        } else if (call.name == "vel_gfxLineEnd")
            open = false;
        else if (call.name == "vel_gfxVertex" && open && call.numbers.size() >= 3) {
            std::vector<double> v(call.numbers.end() - 3, call.numbers.end());
            lines.back().vertices.push_back(v);
            lines.back().surfaces.push_back(surface);
        }
    }
    return lines;
}

#endif
