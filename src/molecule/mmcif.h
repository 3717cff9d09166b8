// mmcif.h - the PDBx/mmCIF reader: the first data block's _atom_site into
// the store, so that a structure comes out exactly as the PDB reader makes
// it from the PDB file of the same structure (indices, elements, chains and
// their numbering, residues, coordinates, centring, console text), ready for
// the same bond perception and build.
//
// Rules:
// - Only the first data block is read; later blocks are not looked at.
//   Columns may come in any order and any subset; a category written as
//   item-value pairs instead of a loop is one row.
// - The index is _atom_site.id, read as the PDB reader reads a serial
//   number. When pdbx_PDB_model_num changes from one row to the next, the
//   model offset becomes the last index, as at a PDB ENDMDL record, and ids
//   not above it are moved up by it: ids that restart with each model and
//   ids that run on through all models both keep the models apart. An index
//   of 120000 or more ends the atoms ("PDB file too big..."); a negative one
//   is dropped.
// - Author fields first (auth_atom_id, auth_comp_id, auth_asym_id,
//   auth_seq_id); the label field where the author value is missing (no
//   column, "?" or "."). Waters, for one, have no label_seq_id.
// - The element is type_symbol, which the file states, in upper case and
//   looked up in the element table: a C-alpha is carbon, a calcium ion
//   calcium and a hydrogen named HG21 hydrogen. Without a type_symbol the
//   PDB rule of the element table is applied to the atom name padded as the
//   PDB format pads it (four characters from column 13, shorter ones from
//   column 14).
// - Coordinates Cartn_x, Cartn_y, Cartn_z as "%f" reads them; a row without
//   all three is not stored, though its index still counts.
// - Chains: auth_asym_id (else label_asym_id), kept whole up to four
//   characters (atomNames); each distinct name has its own chainIndex, in
//   order of first appearance by index, as the PDB reader numbers chain
//   letters; chain holds the name's first character; no name means no
//   chain. chainList gets the first character of each name.
// - Residue names are kept whole up to five characters; residueName holds
//   names of up to three, longer ones are in atomNames, and residueClass
//   comes from the whole name, so a long name is never taken for a name of
//   the residue table. group_PDB (ATOM or HETATM) changes nothing: the PDB
//   reader treats both records alike.
// - The line "Protein %s" shows _struct_keywords.pdbx_keywords, the text of
//   the PDB HEADER record, as it stands; without it _struct.title.
// - _struct_conn links of type covale*, disulf and metalc between two atoms
//   of the first model (no symmetry operator but 1_555) are the file's
//   listed bonds, as CONECT records are: added in row order with fromConect
//   1 (highlighted by "Highlight PDB CONECT Bonds"), the first partner as
//   atomA, pdbx_value_order doub or trip raising the order. Partners are
//   found by chain, residue number, insertion code, atom name
//   (label_atom_id) and, where given, alternate location. The archive's
//   files list only the links between residues there, not the bonds inside
//   a ligand that PDB files add as CONECT records; perception finds those.
// - A file that cannot be read as CIF (a quote or text field left open, a
//   loop whose values do not fill its rows, a value without a tag, no data
//   block or no _atom_site) prints one line "\nERROR - invalid mmCIF
//   file... WHAT (line N)\n\n", one whose compressed data is damaged or
//   breaks off "\nERROR - damaged compressed file... WHAT\n\n" (PDB files
//   too); either keeps nothing: the store is empty and "0 atoms found"
//   follows.
#ifndef MOLVANE_MMCIF_H
#define MOLVANE_MMCIF_H

#include <cstdint>

#include "molecule/molecule.h"
#include "molecule/structureinput.h"

inline constexpr int maxChainNames = 4096;      // distinct chain names numbered; later ones share the last
inline constexpr int maxListedLinks = 16384;    // _struct_conn rows kept as listed bonds

// Reads the mmCIF content of input into the store; returns the last index.
int32_t readMmcifInput(StructureInput &input);
// Reads the PDB records of input into the store; returns the last index.
int32_t readPdbInput(StructureInput &input);
// Prints the error line of a compressed file that broke off.
void reportInputFailure(const StructureInput &input);
// Both readers: stores an atom's position and the values of its element
// symbol (present 1) and widens the bounding box minimum .. maximum by it.
void storeAtomPlace(AtomRecord &atom, const float xyz[3], const char symbol[4], float minimum[3], float maximum[3]);

#endif
