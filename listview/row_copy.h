// Ctrl+C and Ctrl+A of the product list: the selected rows go to the clipboard as a table that pastes
// into a spreadsheet, and every row can be selected at once.
#pragma once

#include <windows.h>

#include "listview/table_text.h"

// Adds the column titles and then each selected row, in the order shown, every cell in full as
// text (the Status cell as its status name). Returns the number of rows added.
int SelectedRowsAsTable(HWND list, TableText* table);

// Puts the selected rows on the clipboard, owned by owner, as CF_UNICODETEXT (from code page 1252)
// and CF_TEXT. With nothing selected the clipboard is left alone. True when the rows went on it.
bool CopySelectedRows(HWND list, HWND owner);

// Selects every row; the focus stays on its row.
void SelectAllRows(HWND list);
