// cifblock.cpp - the walk through the first data block of a CIF file: loops
// and item-value pairs become rows of the categories asked for; everything
// else is passed over, a syntax error ends the walk.
#include "molecule/cifblock.h"

#include <cstring>
#include <strings.h>

inline constexpr int maxLoopColumns = 256;   // columns of a loop mapped; later ones are passed over

static CifRow row;   // the row being gathered

namespace {
struct Walk {
    const CifCategory *categories;
    int count;
    void (*onRow)(int category, const CifRow &row);
    bool *seen;
};
}

// The category (index, or -1) of a tag and the row column of its item (-1
// when that item is not read).
static int categoryOf(const Walk &walk, const char *tag, size_t length, int *column)
{
    *column = -1;
    const char *dot = (const char *)std::memchr(tag, '.', length);
    if (dot == nullptr)
        return -1;
    size_t nameLength = (size_t)(dot - tag), itemLength = length - nameLength - 1;
    for (int k = 0; k < walk.count; k++) {
        const CifCategory &category = walk.categories[k];
        if (std::strlen(category.name) != nameLength || strncasecmp(tag, category.name, nameLength) != 0)
            continue;
        for (int item = 0; item < category.itemCount; item++)
            if (std::strlen(category.items[item]) == itemLength &&
                strncasecmp(dot + 1, category.items[item], itemLength) == 0)
                *column = item;
        walk.seen[k] = true;
        return k;
    }
    return -1;
}

static void clearRow() { std::memset(row.present, 0, sizeof row.present); }

static void setValue(int column, const CifTokenizer &t)
{
    if (isCifNull(t))
        return;
    size_t n = t.length < (size_t)cifValueLength ? t.length : (size_t)cifValueLength;
    if (n < (size_t)cifCopySlack)
        std::memcpy(row.value[column], t.text, cifCopySlack);   // one move; the window has the room
    else
        std::memcpy(row.value[column], t.text, n);
    row.value[column][n] = '\0';
    row.length[column] = (int)n;
    row.present[column] = true;
}

// Reads a loop from the token after loop_. Returns the token after it.
static CifToken readLoop(const Walk &walk, CifTokenizer &t, CifFailure &failure)
{
    static int columnOf[maxLoopColumns];
    int loopLine = t.tokenLine;
    int columns = 0;
    int category = -1;
    CifToken token;
    while ((token = nextCifToken(t)) == CifToken::tag) {
        int column;
        int c = categoryOf(walk, t.text, t.length, &column);
        if (columns == 0)
            category = c;
        if (columns < maxLoopColumns)
            columnOf[columns] = c == category ? column : -1;
        columns++;
    }
    if (columns == 0) {
        if (token != CifToken::error)
            failure = {"loop_ without tags", loopLine};
        return token;
    }
    clearRow();
    int at = 0;
    for (; token == CifToken::value; token = nextCifToken(t)) {
        int column = at < maxLoopColumns ? columnOf[at] : -1;
        if (column >= 0)
            setValue(column, t);
        if (++at == columns) {
            if (category >= 0)
                walk.onRow(category, row);
            clearRow();
            at = 0;
        }
    }
    if (at != 0 && token != CifToken::error)
        failure = {"the values of a loop do not fill its rows", loopLine};
    return token;
}

bool readFirstCifBlock(CifTokenizer &t, const CifCategory *categories, int count,
                       void (*onRow)(int category, const CifRow &row), bool *seen, CifFailure &failure)
{
    const Walk walk{categories, count, onRow, seen};
    CifToken token = nextCifToken(t);
    while (token != CifToken::data && token != CifToken::end && token != CifToken::error)
        token = nextCifToken(t);
    if (token == CifToken::end) {
        failure = {"no data block", 0};
        return false;
    }
    int pairs = -1;   // the category whose item-value pairs are being gathered
    if (token == CifToken::data)
        token = nextCifToken(t);
    for (;;) {
        if (token != CifToken::tag && pairs >= 0) {
            onRow(pairs, row);
            pairs = -1;
        }
        if (token == CifToken::end || token == CifToken::data)
            return true;   // the end of the first block
        if (token == CifToken::error) {
            failure = {t.error, t.tokenLine};
            return false;
        }
        if (token == CifToken::loop) {
            token = readLoop(walk, t, failure);
            if (failure.what != nullptr)
                return false;
            continue;
        }
        if (token == CifToken::value) {
            failure = {"a value without a tag", t.tokenLine};
            return false;
        }
        if (token == CifToken::other) {
            token = nextCifToken(t);
            continue;
        }
        // An item and its value; the pairs of one category make one row.
        int column;
        int tagLine = t.tokenLine;
        int category = categoryOf(walk, t.text, t.length, &column);
        if (category != pairs && pairs >= 0) {
            onRow(pairs, row);
            pairs = -1;
        }
        if (category >= 0 && pairs < 0) {
            clearRow();
            pairs = category;
        }
        token = nextCifToken(t);
        if (token != CifToken::value) {
            failure = {token == CifToken::error ? t.error : "a tag without a value",
                       token == CifToken::error ? t.tokenLine : tagLine};
            return false;
        }
        if (column >= 0)
            setValue(column, t);
        token = nextCifToken(t);
    }
}
