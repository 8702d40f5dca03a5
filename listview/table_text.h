// Rows of the list as tab-separated text, the form spreadsheets paste as a table: cells split by
// tabs, every row ended by CR LF.
#pragma once

#include <stddef.h>

// A growing text; start it zeroed. bytes is zero-terminated once anything was added.
struct TableText {
    char* bytes;
    size_t length;   // characters before the terminator
    size_t capacity; // bytes allocated
    bool failed;     // an allocation failed: the text is incomplete and must not be used
};

// Adds one cell, with a tab before it unless it starts its row. Tabs and line breaks inside the cell
// become blanks, so that it stays one cell of one row.
void AppendCell(TableText* table, const char* cell, bool startsRow);

// Ends the row with CR LF.
void EndRow(TableText* table);

// Frees the text and leaves the table empty.
void FreeTableText(TableText* table);
