// Preparing sort keys: one pass over the product list, every key in one block, found again through
// the record index.
#include "listview/sort_keys.h"

#include <stdlib.h>
#include <string.h>

#include "listview/price.h"

static size_t peakBytes; // the most that prepared keys held at once
static KeyAllocator allocateKeys = malloc;
static SortKeyMaker makeSortKey = LCMapStringA;

static size_t CountRecords()
{
    size_t count = 0;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
        ++count;
    return count;
}

static void NoteBytes(PreparedKeys* keys, size_t bytes)
{
    keys->bytes = bytes;
    if (bytes > peakBytes)
        peakBytes = bytes;
}

// Grows the key block to hold at least need more bytes past used; false when no memory could be had.
static bool GrowKeyBytes(PreparedKeys* keys, size_t used, size_t* capacity, size_t need)
{
    size_t grown = *capacity + *capacity / 2;
    if (grown < used + need)
        grown = used + need;
    unsigned char* bytes = (unsigned char*)allocateKeys(grown);
    if (bytes == nullptr)
        return false;
    memcpy(bytes, keys->keyBytes, used);
    free(keys->keyBytes);
    keys->keyBytes = bytes;
    *capacity = grown;
    return true;
}

bool PrepareTextKeys(const char* (*text)(const ProductRecord* record), PreparedKeys* keys)
{
    *keys = PreparedKeys{};
    size_t count = CountRecords();
    // A sort key takes about two bytes a character and a few more: the block rarely has to grow.
    size_t capacity = 16;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
        capacity += 2 * strlen(text(record)) + 8;
    keys->keyStarts = (unsigned*)allocateKeys((count > 0 ? count : 1) * sizeof(unsigned));
    keys->keyBytes = (unsigned char*)allocateKeys(capacity);
    if (keys->keyStarts == nullptr || keys->keyBytes == nullptr || !MakeRecordIndex(&keys->index, count)) {
        ReleaseKeys(keys);
        return false;
    }
    // lstrcmpiA compares in the thread's locale with case ignored; the keys are made the same way.
    LCID locale = GetThreadLocale();
    size_t used = 0;
    unsigned place = 0;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next, ++place) {
        int made = 0;
        for (;;) {
            size_t room = capacity - used;
            made = makeSortKey(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text(record), -1, (char*)keys->keyBytes + used,
                                room > 0x7fffffff ? 0x7fffffff : (int)room);
            if (made > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                break;
            if (!GrowKeyBytes(keys, used, &capacity, 1024)) {
                made = 0;
                break;
            }
        }
        if (made <= 0 || used + (size_t)made > 0xffffffffu || !AddRecord(&keys->index, record, place)) {
            ReleaseKeys(keys);
            return false;
        }
        keys->keyStarts[place] = (unsigned)used;
        used += (size_t)made;
    }
    NoteBytes(keys, capacity + count * sizeof(unsigned) + RecordIndexBytes(keys->index));
    return true;
}

bool PreparePriceKeys(PreparedKeys* keys)
{
    *keys = PreparedKeys{};
    size_t count = CountRecords();
    keys->prices = (double*)allocateKeys((count > 0 ? count : 1) * sizeof(double));
    if (keys->prices == nullptr || !MakeRecordIndex(&keys->index, count)) {
        ReleaseKeys(keys);
        return false;
    }
    unsigned place = 0;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next, ++place) {
        if (!AddRecord(&keys->index, record, place)) {
            ReleaseKeys(keys);
            return false;
        }
        keys->prices[place] = ParsePrice(record->price);
    }
    NoteBytes(keys, count * sizeof(double) + RecordIndexBytes(keys->index));
    return true;
}

const unsigned char* TextKeyOf(const PreparedKeys& keys, const ProductRecord* record)
{
    unsigned place = 0;
    if (keys.keyBytes == nullptr || !FindRecord(keys.index, record, &place))
        return nullptr;
    return keys.keyBytes + keys.keyStarts[place];
}

bool PriceKeyOf(const PreparedKeys& keys, const ProductRecord* record, double* price)
{
    unsigned place = 0;
    if (keys.prices == nullptr || !FindRecord(keys.index, record, &place))
        return false;
    *price = keys.prices[place];
    return true;
}

int CompareTextKeys(const unsigned char* a, const unsigned char* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return (int)*a - (int)*b;
}

void ReleaseKeys(PreparedKeys* keys)
{
    FreeRecordIndex(&keys->index);
    free(keys->keyStarts);
    free(keys->keyBytes);
    free(keys->prices);
    *keys = PreparedKeys{};
}

size_t PeakPreparedKeyBytes()
{
    return peakBytes;
}

void SetSortKeyMaker(SortKeyMaker maker)
{
    makeSortKey = maker != nullptr ? maker : LCMapStringA;
}

void SetKeyAllocator(KeyAllocator allocator)
{
    allocateKeys = allocator != nullptr ? allocator : malloc;
}
