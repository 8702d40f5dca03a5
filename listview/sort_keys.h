// Keys prepared once per sort pass, so that the many comparisons of one sort compare prepared keys
// instead of working each text out again: the locale's sort key of a text, or a price's value.
// The order stays lstrcmpiA's: the comparison settles equal keys with lstrcmpiA itself.
#pragma once

#include <windows.h>

#include "feed/product_list.h"
#include "listview/record_index.h"

struct PreparedKeys {
    RecordIndex index;       // record -> its place among the keys
    unsigned* keyStarts;     // text keys: place -> where its zero-terminated key starts in keyBytes
    unsigned char* keyBytes; // text keys: all of them, one after another
    double* prices;          // price keys: place -> ParsePrice of the record's price
    size_t bytes;            // all the memory held
};

// Prepares for every record of the product list the sort key of text(record), with case ignored, in
// the locale that lstrcmpiA compares in. False, with nothing held, when any key could not be had (no
// memory, a text the system refuses): the sort then compares as it would without keys.
bool PrepareTextKeys(const char* (*text)(const ProductRecord* record), PreparedKeys* keys);

// The same with ParsePrice of each record's price.
bool PreparePriceKeys(PreparedKeys* keys);

// A record's key, or null (false) when it has none.
const unsigned char* TextKeyOf(const PreparedKeys& keys, const ProductRecord* record);
bool PriceKeyOf(const PreparedKeys& keys, const ProductRecord* record, double* price);

// Compares two text keys byte by byte, as sort keys are made to be compared.
int CompareTextKeys(const unsigned char* a, const unsigned char* b);

void ReleaseKeys(PreparedKeys* keys);

// The most memory that prepared keys held at any one time since the program started.
size_t PeakPreparedKeyBytes();

// What makes a text's sort key, with LCMapStringA's arguments; tests replace it with one that
// disagrees with lstrcmpiA. Null restores LCMapStringA.
typedef int(WINAPI* SortKeyMaker)(LCID locale, DWORD flags, LPCSTR text, int length, LPSTR key, int capacity);
void SetSortKeyMaker(SortKeyMaker maker);

// Where the keys' memory comes from; tests replace it to see an allocation fail. Null restores malloc.
typedef void* (*KeyAllocator)(size_t size);
void SetKeyAllocator(KeyAllocator allocator);
