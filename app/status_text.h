// The status line's wording: how many products the list shows and, when that is not the server's
// whole reply or no reply came, why. Portable, so that every wording is checked natively.
#pragma once

#include <stddef.h>

#include "feed/fetch_end.h"

// What the status line reports, and the limits its reasons name.
struct StatusFacts {
    long long shown;    // rows in the list
    FetchEnd end;       // how the fetch ended
    const char* server; // the server address used
    int connectMs, silenceMs, deadlineMs;
    long long maxBytes; // the reply's size limit
    long long productCap;
};

enum { STATUS_TEXT_CAPACITY = 192 };

// "1,234 products", "No products", then "; " and the reason where there is one. Returns the
// number of characters stored.
size_t FormatStatusText(char* text, size_t capacity, const StatusFacts& facts);
