// optionvalues.h - the values of molvane-render's options read from their
// text: a size, a number, a colour. Each returns false for text that is
// not wholly such a value, and then leaves its outputs alone.
#ifndef MOLVANE_OPTIONVALUES_H
#define MOLVANE_OPTIONVALUES_H

bool parseSize(const char *text, int limit, int *width, int *height);   // "WxH", each 1 .. limit
bool parseFloat(const char *text, float *value);                        // finite as a float (1e39 is not)
bool parseWhole(const char *text, int low, int high, int *value);       // a whole number low .. high
bool parseColour(const char *text, float rgb[3]);                       // black, white or #rrggbb

#endif
