// mmcifreader.cpp - the PDBx/mmCIF reader (rules in mmcif.h): the rows of
// _atom_site into the store, _struct_conn links as listed bonds, the title,
// then centring and chain numbering. Rows come from cifblock.cpp; all
// working tables are fixed and process-wide.
#include "molecule/mmcif.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "molecule/cifblock.h"
#include "molecule/molecule.h"

//------------------------------------------------------------------------------
// The columns read, as the dictionary names them
//------------------------------------------------------------------------------
namespace {
enum AtomColumn {
    atomId, typeSymbol, labelAtom, authAtom, labelAlt, labelComp, authComp, labelAsym, authAsym,
    labelSeq, authSeq, insCode, cartnX, cartnY, cartnZ, modelNum, atomColumnCount
};
const char *const atomColumnNames[atomColumnCount] = {
    "id", "type_symbol", "label_atom_id", "auth_atom_id", "label_alt_id", "label_comp_id", "auth_comp_id",
    "label_asym_id", "auth_asym_id", "label_seq_id", "auth_seq_id", "pdbx_PDB_ins_code",
    "Cartn_x", "Cartn_y", "Cartn_z", "pdbx_PDB_model_num",
};

// One partner of a link: the same seven columns for ptnr1 and ptnr2.
enum PartnerColumn { pLabelAsym, pAuthAsym, pLabelSeq, pAuthSeq, pLabelAtom, pAlt, pIns, pSymmetry, partnerColumnCount };
enum LinkColumn { connType = 0, valueOrder = 1, firstPartner = 2, linkColumnCount = 2 + 2 * partnerColumnCount };
const char *const linkColumnNames[linkColumnCount] = {
    "conn_type_id", "pdbx_value_order",
    "ptnr1_label_asym_id", "ptnr1_auth_asym_id", "ptnr1_label_seq_id", "ptnr1_auth_seq_id",
    "ptnr1_label_atom_id", "pdbx_ptnr1_label_alt_id", "pdbx_ptnr1_PDB_ins_code", "ptnr1_symmetry",
    "ptnr2_label_asym_id", "ptnr2_auth_asym_id", "ptnr2_label_seq_id", "ptnr2_auth_seq_id",
    "ptnr2_label_atom_id", "pdbx_ptnr2_label_alt_id", "pdbx_ptnr2_PDB_ins_code", "ptnr2_symmetry",
};

const char *const keywordsItem[] = {"pdbx_keywords"};
const char *const titleItem[] = {"title"};
enum Category { atomSite, structConn, structKeywords, structTitle, categoryCount };
const CifCategory categories[categoryCount] = {
    {"_atom_site", atomColumnNames, atomColumnCount},
    {"_struct_conn", linkColumnNames, linkColumnCount},
    {"_struct_keywords", keywordsItem, 1},
    {"_struct", titleItem, 1},
};
static_assert((int)atomColumnCount <= maxCifColumns && (int)linkColumnCount <= maxCifColumns,
              "every column read fits a row");

inline constexpr int linkKeySlots = 1 << 16;   // slots of the partner table (four per link)
inline constexpr int chainSlots = 1 << 13;     // slots of the chain name table (twice maxChainNames)

// A link of _struct_conn, its partners as keys.
struct Link {
    uint64_t key[2];     // partner keys (see atomKey); without an alternate location
                         // they match the atom of any, the first stored
    int order;           // 1 .. 3
};

struct PartnerSlot {
    uint64_t key;        // 0: empty
    int32_t atom;        // the first stored atom of the first model with this key, or 0
};

struct ReadState {
    int32_t lastIndex = 0;
    int32_t modelOffset = 0;
    char model[cifValueLength + 1] = {};     // the model number of the last row
    bool anyRow = false;
    float minimum[3] = {9999.9f, 9999.9f, 9999.9f};
    float maximum[3] = {-9999.9f, -9999.9f, -9999.9f};
    int32_t highestTouched = -1;
    bool atomTableFull = false;
    bool firstModel = true;                  // rows still belong to the first model
    char keywords[cifValueLength + 1] = {};
    char title[cifValueLength + 1] = {};
    bool seen[categoryCount] = {};           // the categories the block has
    int chainCount = 0;                      // entries of chainNames
    uint32_t lastChain = 0;                  // packed name of the last row's chain
    int lastChainId = -1;                    // its entry
    int linkCount = 0;
};
}

//------------------------------------------------------------------------------
// Fixed working tables of a read
//------------------------------------------------------------------------------
static ReadState state;                                  // the read under way
static Link links[maxListedLinks];                       // the links kept
static PartnerSlot partnerSlots[linkKeySlots];           // link partners by key
static uint64_t atomKeys[maxAtoms][2];                   // first-model atoms: key without and with alt
static struct { uint32_t name; int32_t id; } chainSlotTable[chainSlots];   // chain names by packed name, id + 1
static int32_t chainPosition[maxChainNames + 1];         // chain id -> position by index, -1 before

//------------------------------------------------------------------------------
// Small helpers
//------------------------------------------------------------------------------
static inline uint64_t mix(uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    return x ^ (x >> 33);
}

// Up to eight bytes of text, from byte `from` on, as one number (the first
// in the lowest byte).
static inline uint64_t packed(const char *text, int length, int from)
{
    uint64_t word = 0;
    for (int k = from; k < length && k < from + 8; k++)
        word |= (uint64_t)(unsigned char)text[k] << (8 * (k - from));
    return word;
}

// The key of an atom for finding link partners: chain (at most four
// characters), residue number, insertion code and atom name. An alternate
// location is mixed in after (withAlternate). Never 0.
static uint64_t atomKey(const char *chain, int chainLength, int32_t sequence, const char *ins, int insLength,
                        const char *name, int nameLength)
{
    uint64_t hash = mix(packed(chain, chainLength, 0) ^ (uint64_t)(uint32_t)sequence << 32);
    hash = mix(hash ^ packed(ins, insLength, 0) ^ (uint64_t)nameLength << 56);
    for (int from = 0; from < nameLength; from += 8)
        hash = mix(hash ^ packed(name, nameLength, from));
    return hash != 0 ? hash : 1;
}

static uint64_t withAlternate(uint64_t key, const char *alt, int altLength)
{
    uint64_t hash = mix(key ^ packed(alt, altLength, 0) ^ 0x5a);
    return hash != 0 ? hash : 1;
}

// The author column where its value is there, else the label column.
static inline int either(const CifRow &row, int author, int label) { return row.present[author] ? author : label; }

// A chain name's first longChainLength bytes as one number.
static uint32_t packChain(const char *name, int length)
{
    return (uint32_t)packed(name, length < longChainLength ? length : longChainLength, 0);
}

// The id of a chain name in order of first appearance in the file.
static int chainIdOf(uint32_t packed)
{
    if (packed == state.lastChain && state.lastChainId >= 0)
        return state.lastChainId;
    uint32_t slot = (packed * 2654435761u) & (chainSlots - 1);
    while (chainSlotTable[slot].id != 0 && chainSlotTable[slot].name != packed)
        slot = (slot + 1) & (chainSlots - 1);
    if (chainSlotTable[slot].id == 0) {
        if (state.chainCount >= maxChainNames)
            return maxChainNames;   // beyond the table: these chains share one colour
        chainSlotTable[slot].name = packed;
        chainSlotTable[slot].id = ++state.chainCount;
    }
    state.lastChain = packed;
    state.lastChainId = chainSlotTable[slot].id - 1;
    return state.lastChainId;
}

// Copies a title value (the first one) into dst, the line breaks and tabs of
// a text field turned into blanks.
static void keepTitle(char *dst, const CifRow &row)
{
    if (dst[0] != '\0' || !row.present[0])
        return;
    for (int k = 0; k <= row.length[0]; k++) {
        char c = row.value[0][k];
        dst[k] = (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
}

//------------------------------------------------------------------------------
// One atom
//------------------------------------------------------------------------------
static void storeAtomRow(const CifRow &row)
{
    if (state.atomTableFull)
        return;
    // A new model number: the model offset moves on, as at ENDMDL.
    const char *model = cifValue(row, modelNum);
    if (state.anyRow && std::strcmp(model, state.model) != 0) {
        state.modelOffset = state.lastIndex;
        state.firstModel = false;
    }
    std::memcpy(state.model, model, (size_t)cifLength(row, modelNum) + 1);
    state.anyRow = true;

    int32_t index = readInteger(cifValue(row, atomId));
    if (index <= state.modelOffset)
        index += state.modelOffset;
    if (index >= maxAtoms) {
        state.atomTableFull = true;
        return;
    }
    if (index < 0)
        return;
    state.lastIndex = index;

    int name = either(row, authAtom, labelAtom);
    char symbol[4];
    if (row.present[typeSymbol]) {
        int n = 0;
        for (; n < 3 && n < row.length[typeSymbol]; n++) {
            char c = row.value[typeSymbol][n];
            symbol[n] = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
        }
        symbol[n] = '\0';
    } else {
        // Columns 13 and 14 of the name as the PDB format places it.
        const char *text = cifValue(row, name);
        char columns[2];
        if (cifLength(row, name) >= 4) {
            columns[0] = text[0];
            columns[1] = text[1];
        } else {
            columns[0] = ' ';
            columns[1] = text[0] != '\0' ? text[0] : ' ';
        }
        elementFromAtomName(columns, symbol);
    }

    int chainColumn = either(row, authAsym, labelAsym);
    int residueColumn = either(row, authComp, labelComp);
    int32_t sequence = readInteger(cifValue(row, either(row, authSeq, labelSeq)));
    float xyz[3] = {9999.9f, 9999.9f, 9999.9f};
    const int coordinates[3] = {cartnX, cartnY, cartnZ};
    for (int axis = 0; axis < 3; axis++) {
        if (row.present[coordinates[axis]]) {
            // One value read as "%f" reads it; scanCoordinates fills three.
            float read[3] = {9999.9f, 9999.9f, 9999.9f};
            scanCoordinates(row.value[coordinates[axis]], read);
            xyz[axis] = read[0];
        }
        if (!(xyz[axis] < 9999.9f) || std::isinf(xyz[axis]))
            return;   // bad coordinates: skipped, the index still counts
    }

    AtomRecord &atom = atoms[index];
    storeAtomPlace(atom, xyz, symbol, state.minimum, state.maximum);

    int chainLength = cifLength(row, chainColumn);
    if (chainLength > longChainLength)
        chainLength = longChainLength;
    const char *chain = cifValue(row, chainColumn);
    if (chainLength == 0) {
        atom.chain = ' ';
        atom.chainIndex = ' ';
    } else {
        atom.chain = chain[0];
        atom.chainIndex = -1 - chainIdOf(packChain(chain, chainLength));   // numbered at the end
    }
    int residueLength = cifLength(row, residueColumn);
    const char *residue = cifValue(row, residueColumn);
    char shortName[4] = {};
    if (residueLength <= 3)
        std::memcpy(shortName, residue, (size_t)residueLength);
    std::memcpy(atom.residueName, shortName, sizeof atom.residueName);
    atom.residueClass = residueLength <= 3 ? residueClassOf(shortName, sequence) : sequence;
    // Always set: a row that takes the index of an earlier one replaces its names too.
    setAtomNames(index, chain, chainLength, residue, residueLength);

    atomKeys[index][0] = atomKeys[index][1] = 0;
    if (state.firstModel) {
        int keyName = either(row, labelAtom, authAtom);
        atomKeys[index][0] = atomKey(chain, chainLength, sequence, cifValue(row, insCode), cifLength(row, insCode),
                                     cifValue(row, keyName), cifLength(row, keyName));
        atomKeys[index][1] = withAlternate(atomKeys[index][0], cifValue(row, labelAlt), cifLength(row, labelAlt));
    }
    if (index > state.highestTouched)
        state.highestTouched = index;
}

//------------------------------------------------------------------------------
// One link
//------------------------------------------------------------------------------
static void keepLinkRow(const CifRow &row)
{
    if (state.linkCount >= maxListedLinks)
        return;
    if (row.present[connType]) {
        const char *type = row.value[connType];
        if (strncasecmp(type, "covale", 6) != 0 && strcasecmp(type, "disulf") != 0 && strcasecmp(type, "metalc") != 0)
            return;
    }
    Link &link = links[state.linkCount];
    for (int p = 0; p < 2; p++) {
        int base = firstPartner + p * partnerColumnCount;
        if (row.present[base + pSymmetry] && std::strcmp(row.value[base + pSymmetry], "1_555") != 0)
            return;   // a partner in a neighbouring copy of the structure
        int chain = either(row, base + pAuthAsym, base + pLabelAsym);
        int sequence = either(row, base + pAuthSeq, base + pLabelSeq);
        int chainLength = cifLength(row, chain) < longChainLength ? cifLength(row, chain) : longChainLength;
        link.key[p] = atomKey(cifValue(row, chain), chainLength, readInteger(cifValue(row, sequence)), cifValue(row, base + pIns),
                              cifLength(row, base + pIns), cifValue(row, base + pLabelAtom), cifLength(row, base + pLabelAtom));
        if (row.present[base + pAlt])
            link.key[p] = withAlternate(link.key[p], row.value[base + pAlt], row.length[base + pAlt]);
    }
    const char *order = cifValue(row, valueOrder);
    link.order = strcasecmp(order, "doub") == 0 ? 2 : strcasecmp(order, "trip") == 0 ? 3 : 1;
    state.linkCount++;
}

static PartnerSlot &partnerSlot(uint64_t key)
{
    uint32_t slot = (uint32_t)(key >> 32 ^ key) & (linkKeySlots - 1);
    while (partnerSlots[slot].key != 0 && partnerSlots[slot].key != key)
        slot = (slot + 1) & (linkKeySlots - 1);
    return partnerSlots[slot];
}

// The links as listed bonds, as the PDB reader adds CONECT bonds. Returns
// false when the bond table filled.
static bool addLinks()
{
    if (state.linkCount == 0)
        return true;
    std::memset(partnerSlots, 0, sizeof partnerSlots);
    for (int k = 0; k < state.linkCount; k++)
        for (int p = 0; p < 2; p++)
            partnerSlot(links[k].key[p]).key = links[k].key[p];
    // Each partner key finds the first stored atom of the first model.
    for (int32_t i = 0; i <= state.lastIndex; i++) {
        if (atoms[i].present != 1 || atomKeys[i][0] == 0)
            continue;
        for (int withAlt = 0; withAlt < 2; withAlt++) {
            PartnerSlot &slot = partnerSlot(atomKeys[i][withAlt]);
            if (slot.key != 0 && slot.atom == 0)
                slot.atom = i;
        }
    }
    for (int k = 0; k < state.linkCount; k++) {
        int32_t a = partnerSlot(links[k].key[0]).atom, b = partnerSlot(links[k].key[1]).atom;
        if (a == 0 || b == 0 || a == b || isBondedTo(a, b) != 0)
            continue;
        if (!addBond(a, b, 1))
            return false;
        int bond = nextBondIndex - 1;
        for (int n = 1; n < links[k].order; n++) {
            bonds[bond].order++;
            appendPartners(bond);
        }
    }
    return true;
}

//------------------------------------------------------------------------------
// Rows
//------------------------------------------------------------------------------
static void takeRow(int category, const CifRow &row)
{
    if (category == atomSite)
        storeAtomRow(row);
    else if (category == structConn)
        keepLinkRow(row);
    else if (category == structKeywords)
        keepTitle(state.keywords, row);
    else
        keepTitle(state.title, row);
}

static void printFailure(const CifFailure &failure)
{
    if (failure.line > 0)
        reportLoadError("\nERROR - invalid mmCIF file... %s (line %d)\n\n", failure.what, failure.line);
    else
        reportLoadError("\nERROR - invalid mmCIF file... %s\n\n", failure.what);
}

//------------------------------------------------------------------------------
// The reader
//------------------------------------------------------------------------------
int32_t readMmcifInput(StructureInput &input)
{
    resetStore();
    state = ReadState();
    std::memset(chainSlotTable, 0, sizeof chainSlotTable);
    static CifTokenizer tokens;
    startCifTokens(tokens, input);
    CifFailure failure;
    bool read = readFirstCifBlock(tokens, categories, categoryCount, takeRow, state.seen, failure);
    if (read && !state.seen[atomSite]) {
        read = false;
        failure = {"no _atom_site", 0};
    }
    markAtomsUsed((state.lastIndex > state.highestTouched ? state.lastIndex : state.highestTouched) + 1);
    bool linksAdded = read && input.failure == nullptr && addLinks();
    if (!read || input.failure != nullptr) {
        // Nothing half-read stays: the store is emptied and one line says why.
        resetStore();
        if (input.failure != nullptr)
            reportInputFailure(input);
        else
            printFailure(failure);
        state.lastIndex = 0;
        state.atomTableFull = false;
        for (int axis = 0; axis < 3; axis++) {
            state.minimum[axis] = 9999.9f;
            state.maximum[axis] = -9999.9f;
        }
    } else {
        if (state.keywords[0] != '\0')
            std::printf("Protein %s\n", printableText(state.keywords).c_str());
        else if (state.title[0] != '\0')
            std::printf("Protein %s\n", printableText(state.title).c_str());
        if (state.lastIndex == 0)
            reportLoadError("\nERROR - invalid PDB file...\n\n");
        if (state.atomTableFull)
            reportLoadError("\nERROR - PDB file too big... Structure incomplete\n\n");
        if (!linksAdded || nextBondIndex >= maxBonds)
            reportLoadError("\nERROR - PDB file too big... Structure incomplete\n\n");
    }
    int32_t last = state.lastIndex;

    for (int axis = 0; axis < 3; axis++)
        halfExtents[axis] = (state.maximum[axis] - state.minimum[axis]) / 2;
    float shift[3];
    for (int axis = 0; axis < 3; axis++)
        shift[axis] = halfExtents[axis] + state.minimum[axis];

    // Centre 1 .. last and number the chains by first appearance in index
    // order, as the PDB reader does; a name's first character goes to chainList.
    for (int k = 0; k <= maxChainNames; k++)
        chainPosition[k] = -1;
    chainListLength = 0;
    int32_t positions = 0;
    for (int32_t i = 1; i <= last; i++) {
        AtomRecord &atom = atoms[i];
        atom.x -= shift[0];
        atom.y -= shift[1];
        atom.z -= shift[2];
        if (atom.present != 1 || atom.chainIndex >= 0)
            continue;
        int id = -1 - atom.chainIndex;
        if (chainPosition[id] < 0) {
            chainPosition[id] = positions++;
            if (chainListLength < 255)
                chainList[chainListLength++] = atom.chain;
        }
        atom.chainIndex = chainPosition[id];
    }
    // Record 0 is not centred and adds no chain, but is numbered.
    if (atoms[0].present == 1 && atoms[0].chainIndex < 0) {
        int32_t at = chainPosition[-1 - atoms[0].chainIndex];
        atoms[0].chainIndex = at >= 0 ? at : (signed char)atoms[0].chain;
    }
    chainList[chainListLength] = '\0';
    std::printf("%d atoms found", last);
    return last;
}
