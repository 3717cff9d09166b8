// ciftokens.h - the tokens of a CIF file (the syntax of PDBx/mmCIF) read
// from a StructureInput through one fixed window: tags, values (bare,
// quoted or text fields), loop_ and block headings, with comments, blanks,
// tabs and CR LF line ends passed over. For the mmCIF reader.
#ifndef MOLVANE_CIFTOKENS_H
#define MOLVANE_CIFTOKENS_H

#include <cstddef>

#include "molecule/structureinput.h"

inline constexpr int cifWindowSize = 1 << 20;   // bytes of the window; a longer value is refused
inline constexpr int cifCopySlack = 16;         // bytes after a token that may always be read

enum class CifToken {
    end,       // the end of the file
    error,     // a syntax error; CifTokenizer::error says which
    tag,       // _category.item
    value,     // a bare, quoted or text-field value
    loop,      // loop_
    data,      // data_NAME: a new data block
    other,     // save_, global_, stop_: headings mmCIF does not use
};

struct CifTokenizer {
    StructureInput *input = nullptr;
    size_t position = 0;          // next unread byte of the window
    size_t filled = 0;            // bytes in the window
    bool ended = false;           // the input has no more bytes
    bool lineStart = true;        // position is at the start of a line
    bool inComment = false;       // position is inside a comment (it went on past the window)
    int line = 1;                 // line of position, from 1
    // The last token: its text stays valid until the next call.
    const char *text = nullptr;
    size_t length = 0;
    bool quoted = false;          // a quoted value or a text field (never a null)
    int tokenLine = 0;            // line on which it starts
    const char *error = nullptr;  // what is wrong, after CifToken::error
};

// Starts the tokens of input at its first byte.
void startCifTokens(CifTokenizer &tokens, StructureInput &input);
// The next token.
CifToken nextCifToken(CifTokenizer &tokens);
// A bare "." (not applicable) or "?" (unknown): a value that is not there.
inline bool isCifNull(const CifTokenizer &t)
{
    return !t.quoted && t.length == 1 && (t.text[0] == '.' || t.text[0] == '?');
}

#endif
