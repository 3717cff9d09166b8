// ciftokens.cpp - the CIF tokenizer: one window of fixed size slides over
// the input; a token is kept whole in it, so a value may be as long as the
// window. Quotes end only before a blank; text fields run from a line
// starting with ';' to the next such line.
#include "molecule/ciftokens.h"

#include <climits>
#include <cstring>
#include <initializer_list>
#include <strings.h>

// The bytes being tokenized, a blank after them, and room for copying a
// short value whole in one move (cifCopySlack).
static char window[cifWindowSize + 1 + cifCopySlack];

// The blanks of CIF: space, tab, line feed and carriage return.
static constexpr struct BlankTable {
    bool blank[256] = {};
    constexpr BlankTable()
    {
        for (unsigned char c : {' ', '\t', '\n', '\r'})
            blank[c] = true;
    }
} blanks;
static inline bool isBlank(char c) { return blanks.blank[(unsigned char)c]; }

void startCifTokens(CifTokenizer &t, StructureInput &input)
{
    t = CifTokenizer();
    t.input = &input;
    window[0] = '\n';
}

// Makes more bytes available after `filled`, keeping those from `keep` on
// (moved to the front). Returns false at the end of the input, or with
// t.error set when the token from keep fills the whole window.
static bool refill(CifTokenizer &t, size_t &keep)
{
    if (t.ended)
        return false;
    if (keep > 0) {
        std::memmove(window, window + keep, t.filled - keep);
        t.filled -= keep;
        t.position -= keep;
        keep = 0;
        window[t.filled] = '\n';
    }
    if (t.filled == cifWindowSize) {
        t.error = "a value longer than 1 MiB";
        return false;
    }
    size_t got = readStructureInput(*t.input, window + t.filled, cifWindowSize - t.filled);
    if (got == 0) {
        t.ended = true;
        return false;
    }
    t.filled += got;
    window[t.filled] = '\n';   // ends every scan for a blank
    return true;
}

// refill for a token begun at `start` and read up to `at`: both move with
// the bytes of the window.
static bool refillAround(CifTokenizer &t, size_t &start, size_t &at)
{
    size_t keep = start, offset = at - start;
    bool more = refill(t, keep);
    start = keep;
    at = start + offset;
    return more;
}

// The value of a text field or quotes: the bytes from `begin` to `end`;
// reading goes on at `next`.
static CifToken delimitedValue(CifTokenizer &t, size_t begin, size_t end, size_t next)
{
    t.text = window + begin;
    t.length = end - begin;
    t.quoted = true;
    t.position = next;
    t.lineStart = false;
    return CifToken::value;
}

// A text field: from the ';' at `start` (first on its line) to the next line
// starting with ';'. Its value is the text between, without the line break
// before the closing ';'.
static CifToken textField(CifTokenizer &t, size_t start)
{
    size_t at = start + 1;
    for (;;) {
        if (at == t.filled) {
            if (!refillAround(t, start, at)) {
                if (t.error == nullptr)
                    t.error = "a text field (';') not closed";
                return CifToken::error;
            }
            continue;
        }
        const char *newline = (const char *)std::memchr(window + at, '\n', t.filled - at);
        if (newline == nullptr) {
            at = t.filled;
            continue;
        }
        size_t lineEnd = (size_t)(newline - window);
        if (lineEnd + 1 == t.filled) {
            // The character after the line break decides: read it first.
            at = lineEnd;
            if (!refillAround(t, start, at)) {
                if (t.error == nullptr)
                    t.error = "a text field (';') not closed";
                return CifToken::error;
            }
            continue;
        }
        if (t.line < INT_MAX)   // counted as far as an int goes
            t.line++;
        if (window[lineEnd + 1] == ';') {
            size_t end = lineEnd;
            if (end > start + 1 && window[end - 1] == '\r')
                end--;
            return delimitedValue(t, start + 1, end, lineEnd + 2);
        }
        at = lineEnd + 1;
    }
}

// A value in quotes from `start`: it ends at the same quote followed by a
// blank or the end of the input, and never spans lines.
static CifToken quotedValue(CifTokenizer &t, size_t start)
{
    char quote = window[start];
    size_t at = start + 1;
    for (;;) {
        if (at + 1 >= t.filled && !t.ended) {
            // The quote and the byte after it must both be in the window.
            if (!refillAround(t, start, at) && t.error != nullptr)
                return CifToken::error;
            continue;
        }
        if (at >= t.filled || window[at] == '\n' || window[at] == '\r') {
            t.error = quote == '\'' ? "a quote (') not closed on its line" : "a quote (\") not closed on its line";
            return CifToken::error;
        }
        if (window[at] == quote && (at + 1 == t.filled || isBlank(window[at + 1]))) {
            return delimitedValue(t, start + 1, at, at + 1);
        }
        at++;
    }
}

CifToken nextCifToken(CifTokenizer &t)
{
    if (t.error != nullptr)
        return CifToken::error;
    // Blanks and comments. The line feed after the window stops every scan.
    for (;;) {
        char c = window[t.position];
        if (t.inComment && c != '\n') {
            // A comment runs to its line's end, across refills of the window.
            const char *newline = (const char *)std::memchr(window + t.position, '\n', t.filled - t.position);
            t.inComment = newline == nullptr;
            t.position = newline != nullptr ? (size_t)(newline - window) : t.filled;
        } else if (c == ' ' || c == '\t') {
            t.lineStart = false;
            t.position++;
        } else if (c == '\n') {
            if (t.position == t.filled) {
                size_t keep = t.position;
                if (!refill(t, keep))
                    return t.error != nullptr ? CifToken::error : CifToken::end;
                continue;
            }
            if (t.line < INT_MAX)
                t.line++;
            t.lineStart = true;
            t.inComment = false;
            t.position++;
        } else if (c == '\r') {
            t.lineStart = false;
            t.position++;
        } else if (c == '#') {
            t.inComment = true;
            t.position++;
        } else {
            break;
        }
    }
    size_t start = t.position;
    t.tokenLine = t.line;
    t.quoted = false;
    char first = window[start];
    if (first == ';' && t.lineStart)
        return textField(t, start);
    t.lineStart = false;
    if (first == '\'' || first == '"')
        return quotedValue(t, start);

    // A bare word, up to the next blank.
    size_t at = start;
    for (;;) {
        while (!isBlank(window[at]))   // the blank after the window stops it
            at++;
        if (at < t.filled || t.ended)
            break;
        if (!refillAround(t, start, at)) {
            if (t.error != nullptr)
                return CifToken::error;
            break;
        }
    }
    t.text = window + start;
    t.length = at - start;
    t.position = at;
    if (first == '_')
        return CifToken::tag;
    // Reserved words start with d, l, s or g and have five letters or more.
    char lower = (char)(first | 0x20);
    if (t.length < 5 || (lower != 'd' && lower != 'l' && lower != 's' && lower != 'g'))
        return CifToken::value;
    if (strncasecmp(t.text, "data_", 5) == 0)
        return CifToken::data;
    if (t.length == 5 && strncasecmp(t.text, "loop_", 5) == 0)
        return CifToken::loop;
    if (strncasecmp(t.text, "save_", 5) == 0 || (t.length == 7 && strncasecmp(t.text, "global_", 7) == 0) ||
        (t.length == 5 && strncasecmp(t.text, "stop_", 5) == 0))
        return CifToken::other;
    return CifToken::value;
}
