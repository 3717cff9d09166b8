// cifwriter.h - a PDB file written as PDBx/mmCIF, for the tests and the
// benchmark: every ATOM and HETATM line becomes an _atom_site row carrying
// what the PDB reader takes from it, the CONECT bonds it makes become
// _struct_conn links and the HEADER text _struct_keywords, so that both
// files must give the same store. Also gzip compression in memory.
#ifndef MOLVANE_CIFWRITER_H
#define MOLVANE_CIFWRITER_H

#include <string>

struct CifWriting {
    bool runningIds = false;    // ids run on through the models (as the archive writes them),
                                // else each model's serials as the PDB file has them
    bool labelFields = true;    // label_* columns beside the author ones (with other chain and
                                // residue numbers, so author values must win)
    bool authorFields = true;   // auth_* columns (without them the label ones carry the values)
    bool typeSymbol = true;     // type_symbol (the element the PDB name rule gives)
    bool reversed = false;      // columns in the reverse order
};

// The mmCIF text of a PDB text.
std::string pdbToMmcif(const std::string &pdb, const CifWriting &how = CifWriting());
// text as one gzip member.
std::string gzipText(const std::string &text);

#endif
