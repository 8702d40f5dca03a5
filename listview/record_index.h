// A table from product records to small numbers: each record's place among the keys a sort pass
// prepared, found again from the record's address alone, which is all a comparison is given.
// Portable; open addressing, so that it costs a few bytes a row and no allocation per row.
#pragma once

#include <stddef.h>

struct RecordIndex {
    const void** records; // one slot each, null when free; the count of slots is a power of two
    unsigned* places;     // the number stored with the record of the same slot
    size_t mask;          // slots - 1
    size_t room;          // records that may still be added
};

// Makes room for count records. False when no memory could be had; the index is then empty.
bool MakeRecordIndex(RecordIndex* index, size_t count);

// Stores place for record (not null); a record stored again gets the new place. False, with nothing
// stored, when the index already holds as many records as it was made for.
bool AddRecord(RecordIndex* index, const void* record, unsigned place);

// The place stored for record, or false when it has none.
bool FindRecord(const RecordIndex& index, const void* record, unsigned* place);

// The bytes the index holds.
size_t RecordIndexBytes(const RecordIndex& index);

void FreeRecordIndex(RecordIndex* index);
