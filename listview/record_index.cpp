// The record index: linear probing over a table kept at most two thirds full.
#include "listview/record_index.h"

#include <stdint.h>
#include <stdlib.h>

// The first slot to look at for a record: its address, mixed so that records allocated one after
// another spread over the whole table.
static size_t FirstSlot(const void* record, size_t mask)
{
    uint64_t address = (uint64_t)(uintptr_t)record;
    uint32_t h = (uint32_t)(address >> 3) ^ (uint32_t)(address >> 35);
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return h & mask;
}

bool MakeRecordIndex(RecordIndex* index, size_t count)
{
    *index = RecordIndex{};
    size_t slots = 16;
    while (slots < count + count / 2 + 1) {
        if (slots > ((size_t)-1 / sizeof(const void*)) / 4)
            return false; // a count no table of addresses can hold
        slots *= 2;
    }
    index->records = (const void**)calloc(slots, sizeof(const void*));
    index->places = (unsigned*)malloc(slots * sizeof(unsigned));
    if (index->records == nullptr || index->places == nullptr) {
        FreeRecordIndex(index);
        return false;
    }
    index->mask = slots - 1;
    index->room = count;
    return true;
}

bool AddRecord(RecordIndex* index, const void* record, unsigned place)
{
    if (index->records == nullptr)
        return false;
    size_t slot = FirstSlot(record, index->mask);
    while (index->records[slot] != nullptr && index->records[slot] != record)
        slot = (slot + 1) & index->mask;
    if (index->records[slot] == nullptr) {
        if (index->room == 0)
            return false;
        --index->room;
    }
    index->records[slot] = record;
    index->places[slot] = place;
    return true;
}

bool FindRecord(const RecordIndex& index, const void* record, unsigned* place)
{
    if (index.records == nullptr)
        return false;
    for (size_t slot = FirstSlot(record, index.mask);; slot = (slot + 1) & index.mask) {
        if (index.records[slot] == record) {
            *place = index.places[slot];
            return true;
        }
        if (index.records[slot] == nullptr)
            return false; // the table always keeps a free slot, so every search ends
    }
}

size_t RecordIndexBytes(const RecordIndex& index)
{
    return index.records == nullptr ? 0 : (index.mask + 1) * (sizeof(const void*) + sizeof(unsigned));
}

void FreeRecordIndex(RecordIndex* index)
{
    free(index->records);
    free(index->places);
    *index = RecordIndex{};
}
