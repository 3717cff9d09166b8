// cifwriter.cpp - PDB text written as mmCIF with the values the PDB reader
// takes from each line, and gzip in memory.
#include "cifwriter.h"

#include "testsupport.h"

#include "molecule/molecule.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>
#include <zlib.h>

namespace {
struct Atom {
    std::string group, name, alt, residue, chain, ins, x, y, z, symbol;
    int id, serial, sequence, model;
};

std::string field(const std::string &line, int first, int last)
{
    if ((int)line.size() < first)
        return "";
    return line.substr((size_t)first - 1, (size_t)(last - first + 1));
}

std::string trimmed(const std::string &text)
{
    size_t a = text.find_first_not_of(" \t\r\n"), b = text.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : text.substr(a, b - a + 1);
}

// A value as CIF writes it: bare where it can be, else in quotes.
std::string value(const std::string &text)
{
    if (text.empty())
        return "''";
    bool plain = text.find_first_of(" \t'\"") == std::string::npos && std::strchr("_#$;[]'\"", text[0]) == nullptr &&
                 text != "." && text != "?" && text.compare(0, 5, "data_") != 0 && text.compare(0, 5, "loop_") != 0;
    if (plain)
        return text;
    return text.find('\'') == std::string::npos ? "'" + text + "'" : "\"" + text + "\"";
}

// A coordinate as "%.3f" where that reads back as the same float.
std::string coordinate(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", (double)v);
    float back[3] = {0, 0, 0};
    scanCoordinates(text, back);
    if (back[0] != v)
        std::snprintf(text, sizeof text, "%.9g", (double)v);
    return text;
}

void writeLoop(std::ostringstream &out, const char *category, const std::vector<std::string> &tags,
               const std::vector<std::vector<std::string>> &rows, bool reversed)
{
    std::vector<size_t> order;
    for (size_t k = 0; k < tags.size(); k++)
        order.push_back(reversed ? tags.size() - 1 - k : k);
    out << "loop_\n";
    for (size_t k : order)
        out << category << "." << tags[k] << "\n";
    for (const auto &row : rows) {
        for (size_t k = 0; k < order.size(); k++)
            out << (k ? " " : "") << row[order[k]];
        out << "\n";
    }
    out << "#\n";
}
}

std::string pdbToMmcif(const std::string &pdb, const CifWriting &how)
{
    std::vector<Atom> atomsRead;
    std::map<int, size_t> byIndex;   // atom index as the PDB reader computes it -> atom
    std::string keywords;
    int lastIndex = 0, modelOffset = 0, model = 1;
    std::istringstream lines(pdb);
    std::string whole;
    while (std::getline(lines, whole)) {
        std::string line = whole.substr(0, pdbPieceLength);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string record = trimmed(field(line, 1, 6));
        if (record == "HEADER" && keywords.empty()) {
            keywords = field(line, 11, 50);   // trailing blanks kept, as the PDB reader prints them
        } else if (record == "ENDMDL") {
            modelOffset = lastIndex;
            model++;
        } else if (record == "ATOM" || record == "HETATM") {
            Atom a;
            a.group = record;
            a.serial = readInteger(line.size() > 6 ? line.c_str() + 6 : "");
            int index = a.serial <= modelOffset ? a.serial + modelOffset : a.serial;
            if (index >= maxAtoms)
                break;
            if (index >= 0)
                lastIndex = index;
            a.id = how.runningIds ? index : a.serial;
            std::string columns = field(line, 13, 14) + "  ";
            char symbol[4];
            elementFromAtomName(columns.c_str(), symbol);
            a.symbol = symbol;
            a.name = trimmed(field(line, 13, 16));
            a.alt = trimmed(field(line, 17, 17));
            std::istringstream word(field(line, 18, 20));
            word >> a.residue;
            a.chain = trimmed(field(line, 22, 22));
            a.sequence = readInteger(field(line, 23, 30).c_str());
            a.ins = trimmed(field(line, 27, 27));
            float xyz[3] = {9999.9f, 9999.9f, 9999.9f};
            scanCoordinates(field(line, 31, 55).c_str(), xyz);
            bool stored = true;
            for (float v : xyz)
                stored = stored && v < 9999.9f && !std::isinf(v);
            a.x = stored ? coordinate(xyz[0]) : "?";
            a.y = stored ? coordinate(xyz[1]) : "?";
            a.z = stored ? coordinate(xyz[2]) : "?";
            a.model = model;
            atomsRead.push_back(a);
            if (index >= 0 && stored && !byIndex.count(index))
                byIndex[index] = atomsRead.size() - 1;
        }
    }

    std::ostringstream out;
    out << "data_MOLVANE\n#\n";
    if (!keywords.empty())
        out << "_struct_keywords.entry_id MOLVANE\n_struct_keywords.pdbx_keywords " << value(keywords) << "\n#\n";

    // The label values differ from the author ones where the archive's do.
    auto labelChain = [&](const Atom &a) {
        return a.chain.empty() ? std::string(".") : value(how.authorFields ? "L" + a.chain : a.chain);
    };
    auto labelSequence = [&](const Atom &a) { return std::to_string(how.authorFields ? a.sequence + 1000 : a.sequence); };
    std::vector<std::string> tags = {"group_PDB", "id"};
    if (how.typeSymbol)
        tags.push_back("type_symbol");
    if (how.labelFields)
        for (const char *t : {"label_atom_id", "label_alt_id", "label_comp_id", "label_asym_id", "label_seq_id"})
            tags.push_back(t);
    for (const char *t : {"pdbx_PDB_ins_code", "Cartn_x", "Cartn_y", "Cartn_z", "occupancy"})
        tags.push_back(t);
    if (how.authorFields)
        for (const char *t : {"auth_seq_id", "auth_comp_id", "auth_asym_id", "auth_atom_id"})
            tags.push_back(t);
    tags.push_back("pdbx_PDB_model_num");
    std::vector<std::vector<std::string>> rows;
    for (const Atom &a : atomsRead) {
        std::vector<std::string> r = {a.group, std::to_string(a.id)};
        if (how.typeSymbol)
            r.push_back(value(a.symbol));
        if (how.labelFields) {
            r.push_back(value(a.name));
            r.push_back(a.alt.empty() ? "." : value(a.alt));
            r.push_back(value(a.residue));
            r.push_back(labelChain(a));
            r.push_back(labelSequence(a));
        }
        r.push_back(a.ins.empty() ? "?" : value(a.ins));
        r.push_back(a.x);
        r.push_back(a.y);
        r.push_back(a.z);
        r.push_back("1.00");
        if (how.authorFields) {
            r.push_back(std::to_string(a.sequence));
            r.push_back(value(a.residue));
            r.push_back(a.chain.empty() ? "?" : value(a.chain));
            r.push_back(value(a.name));
        }
        r.push_back(std::to_string(a.model));
        rows.push_back(r);
    }

    // The CONECT bonds as the PDB reader makes them, in its order.
    FILE *file = fmemopen(const_cast<char *>(pdb.data()), pdb.size(), "r");
    captureStdout([&] { readStructureFile(file); });
    std::fclose(file);
    std::vector<std::vector<std::string>> links;
    for (int k = 1; k < nextBondIndex; k++) {
        if (bonds[k].fromConect != 1 || !byIndex.count(bonds[k].atomA) || !byIndex.count(bonds[k].atomB))
            continue;
        static const char *const orders[] = {"sing", "sing", "doub", "trip"};
        std::vector<std::string> r = {"link" + std::to_string(k), "covale", orders[bonds[k].order & 3]};
        for (int partner : {bonds[k].atomA, bonds[k].atomB}) {
            const Atom &a = atomsRead[byIndex[partner]];
            r.push_back(labelChain(a));
            r.push_back(a.chain.empty() ? "?" : value(a.chain));
            r.push_back(labelSequence(a));
            r.push_back(std::to_string(a.sequence));
            r.push_back(value(a.name));
            r.push_back(a.alt.empty() ? "?" : value(a.alt));
            r.push_back(a.ins.empty() ? "?" : value(a.ins));
            r.push_back("1_555");
        }
        links.push_back(r);
    }
    if (!links.empty()) {
        std::vector<std::string> linkTags = {"id", "conn_type_id", "pdbx_value_order"};
        for (const char *p : {"1", "2"})
            for (std::string t : {"ptnr%_label_asym_id", "ptnr%_auth_asym_id", "ptnr%_label_seq_id",
                                  "ptnr%_auth_seq_id", "ptnr%_label_atom_id", "pdbx_ptnr%_label_alt_id",
                                  "pdbx_ptnr%_PDB_ins_code", "ptnr%_symmetry"})
                linkTags.push_back(t.replace(t.find('%'), 1, p));
        writeLoop(out, "_struct_conn", linkTags, links, how.reversed);
    }
    writeLoop(out, "_atom_site", tags, rows, how.reversed);
    return out.str();
}

std::string gzipText(const std::string &text)
{
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, (uLong)text.size()) + 32, '\0');
    zs.next_in = (Bytef *)text.data();
    zs.avail_in = (uInt)text.size();
    zs.next_out = (Bytef *)&out[0];
    zs.avail_out = (uInt)out.size();
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}
