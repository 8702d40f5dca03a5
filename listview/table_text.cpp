// Tab-separated rows for the clipboard, grown as they are added.
#include "listview/table_text.h"

#include <stdlib.h>

// Room for count more characters and the terminator; false (and failed set) when none could be had.
static bool Reserve(TableText* table, size_t count)
{
    if (table->failed)
        return false;
    size_t needed = table->length + count + 1;
    if (needed <= table->capacity)
        return true;
    size_t capacity = table->capacity < 256 ? 256 : table->capacity;
    while (capacity < needed)
        capacity *= 2;
    char* grown = (char*)realloc(table->bytes, capacity);
    if (grown == nullptr) {
        table->failed = true;
        return false;
    }
    table->bytes = grown;
    table->capacity = capacity;
    return true;
}

static void Append(TableText* table, const char* text, size_t count)
{
    if (!Reserve(table, count))
        return;
    for (size_t i = 0; i < count; ++i) {
        char c = text[i];
        table->bytes[table->length++] = (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    table->bytes[table->length] = '\0';
}

void AppendCell(TableText* table, const char* cell, bool startsRow)
{
    if (!startsRow && Reserve(table, 1)) {
        table->bytes[table->length++] = '\t';
        table->bytes[table->length] = '\0';
    }
    size_t count = 0;
    while (cell[count] != '\0')
        ++count;
    Append(table, cell, count);
}

void EndRow(TableText* table)
{
    if (!Reserve(table, 2))
        return;
    table->bytes[table->length++] = '\r';
    table->bytes[table->length++] = '\n';
    table->bytes[table->length] = '\0';
}

void FreeTableText(TableText* table)
{
    free(table->bytes);
    *table = TableText{};
}
