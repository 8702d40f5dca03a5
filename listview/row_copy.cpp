// The selected rows as a tab-separated table on the clipboard, and selecting every row.
#include "listview/row_copy.h"

#include <commctrl.h>
#include <string.h>

#include "listview/product_list_view.h"

// The longest cell: a stored text of up to 254 characters, or a price with a library's money name.
enum { COPY_CELL_CAPACITY = 512 };

// The feed's texts are in this code page whatever the system's own is.
enum { FEED_CODE_PAGE = 1252 };

static void AppendTitles(TableText* table)
{
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column)
        AppendCell(table, ProductColumnAt(column).title, column == 0);
    EndRow(table);
}

static void AppendRow(TableText* table, const ProductRecord* record)
{
    char buffer[COPY_CELL_CAPACITY];
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column) {
        buffer[0] = '\0';
        const char* text = ProductColumnAt(column).copyText(record, buffer, sizeof buffer);
        AppendCell(table, text != nullptr ? text : "", column == 0);
    }
    EndRow(table);
}

int SelectedRowsAsTable(HWND list, TableText* table)
{
    AppendTitles(table);
    int rows = 0;
    for (int row = -1; (row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) >= 0;) {
        const ProductRecord* record = GetItemRecord(list, row);
        if (record == nullptr)
            continue;
        AppendRow(table, record);
        ++rows;
    }
    return rows;
}

// Movable global memory holding size bytes copied from bytes, as the clipboard takes it; null if none.
static HGLOBAL GlobalCopy(const void* bytes, size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr)
        return nullptr;
    void* target = GlobalLock(memory);
    if (target != nullptr) {
        memcpy(target, bytes, size);
        GlobalUnlock(memory);
        return memory;
    }
    GlobalFree(memory);
    return nullptr;
}

// The text, terminator included, in UTF-16 in movable global memory; null if it could not be made.
static HGLOBAL GlobalWideCopy(const char* text, size_t length)
{
    int count = MultiByteToWideChar(FEED_CODE_PAGE, 0, text, (int)(length + 1), nullptr, 0);
    if (count <= 0)
        return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)count * sizeof(WCHAR));
    if (memory == nullptr)
        return nullptr;
    WCHAR* target = (WCHAR*)GlobalLock(memory);
    if (target != nullptr && MultiByteToWideChar(FEED_CODE_PAGE, 0, text, (int)(length + 1), target, count) == count) {
        GlobalUnlock(memory);
        return memory;
    }
    if (target != nullptr)
        GlobalUnlock(memory);
    GlobalFree(memory);
    return nullptr;
}

// Hands both forms to the clipboard, which owns what it accepts; true when it took both.
static bool SetClipboardTexts(HWND owner, HGLOBAL wide, HGLOBAL ansi)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    bool tookWide = SetClipboardData(CF_UNICODETEXT, wide) != nullptr;
    bool tookAnsi = SetClipboardData(CF_TEXT, ansi) != nullptr;
    CloseClipboard();
    if (!tookWide)
        GlobalFree(wide);
    if (!tookAnsi)
        GlobalFree(ansi);
    return tookWide && tookAnsi;
}

bool CopySelectedRows(HWND list, HWND owner)
{
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return false;
    TableText table = {};
    bool copied = false;
    if (SelectedRowsAsTable(list, &table) > 0 && !table.failed) {
        HGLOBAL wide = GlobalWideCopy(table.bytes, table.length);
        HGLOBAL ansi = GlobalCopy(table.bytes, table.length + 1);
        if (wide != nullptr && ansi != nullptr) {
            copied = SetClipboardTexts(owner, wide, ansi);
        } else {
            if (wide != nullptr)
                GlobalFree(wide);
            if (ansi != nullptr)
                GlobalFree(ansi);
        }
    }
    FreeTableText(&table);
    return copied;
}

void SelectAllRows(HWND list)
{
    LVITEMA all = {};
    all.stateMask = LVIS_SELECTED;
    all.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&all);
}
