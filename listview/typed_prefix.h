// Type to find: characters typed within a short pause build a prefix; a pause starts a new one. The
// same character typed again and again walks the rows that start with it, as list views do.
#pragma once

#include <stddef.h>

enum {
    TYPED_PREFIX_CAPACITY = 64, // characters kept, terminator included; later ones are dropped
    TYPING_PAUSE_MS = 1000,     // a longer gap between two characters starts a new prefix
};

struct TypedPrefix {
    char text[TYPED_PREFIX_CAPACITY];
    size_t length;
    unsigned lastTick; // message time of the latest character
};

// What to look for after a character: rows whose name starts with the length characters of text
// (case ignored). A new prefix, or one character repeated, starts at the row after the focused one
// so that it walks the matches; a longer prefix starts at the focused row, which may still match.
struct TypedSearch {
    const char* text;
    size_t length;
    bool afterFocus;
};

// Takes one typed character at its message time in milliseconds (wrapping as tick counts do).
TypedSearch TypeCharacter(TypedPrefix* typed, char c, unsigned tick);

// The first row from start on, wrapping around at count, for which matches holds; -1 when none does.
int FindRowFrom(int count, int start, bool (*matches)(int row, const void* context), const void* context);
