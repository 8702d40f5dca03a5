// Type to find in the product list: typed characters move the focus and the selection to the next
// row whose product name starts with them, in the sort's comparison (case ignored, the thread's
// locale). The list's own search would read the Status column, which has no text to find.
#pragma once

#include <windows.h>

// Takes the list's typed characters from here on, until the list is destroyed.
void StartTypeToFind(HWND list);

// One typed character (code page 1252) at its message time: moves to the row it finds, if any.
// Returns that row, or -1 when none matched and the focus stayed where it was.
int FindTypedRow(HWND list, char c, unsigned tick);
