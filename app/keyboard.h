// The Products window without a mouse: Escape closes it as the Close button does, Ctrl+1 to Ctrl+6
// open a column's sort menu under its header, Ctrl+C copies the selected rows and Ctrl+A selects them
// all, and Enter, the menu key and Shift+F10 open the focused row's link menu under the row.
// A right click on a row opens its link menu as a left click does.
#pragma once

#include <windows.h>
#include <commctrl.h>

// LVN_KEYDOWN of the product list. Returns 0: the list view goes on with the key as usual.
LRESULT OnListKeyDown(HWND window, const NMLVKEYDOWN* key);

// NM_RETURN of the product list: the focused row's link menu.
LRESULT OnListReturn(HWND window, const NMHDR* header);

// WM_CONTEXTMENU, with the screen point the message carries: (-1, -1) from the keyboard, which
// opens the focused row's link menu, else the pointer's, which opens the link menu of the row under
// it beside the pointer. Returns false for a window other than the list, left to the system.
bool OnContextMenu(HWND window, HWND target, int x, int y);
