// The viewer's popup menus, built from their item tables with the owner-drawn items and shown where
// the user clicked.
#pragma once

#include <windows.h>

#include "feed/product_list.h"

// The sort menu under the header of the latest clicked column: " Ascending" and " Descending".
void ShowSortMenu(HWND window);

// Where the sort menu's top-left corner goes, in screen coordinates, for a header item's rectangle
// (header client coordinates): 5 pixels in from the header's left and below its bottom, as the list
// view sits 5 pixels into the window, and one more each way.
POINT SortMenuPoint(HWND window, const RECT& headerItem);

// The link menu of a record at a click point in the list view's client coordinates: its web
// address and its server page, whichever it has; none when it has neither.
void ShowLinkMenu(HWND window, const ProductRecord* record, int x, int y);

// Where the link menu's top-left corner goes, in screen coordinates: 8 pixels right of and below the
// click, taken as a point of the window's client area, so 1 pixel off the clicked point.
POINT LinkMenuPoint(HWND window, int x, int y);

// The link menu of a row asked for from the keyboard, owned by window, placed at the row: its left
// edge at the row's Product cell and its top just under the row. None for a row without addresses.
void ShowRowLinkMenu(HWND window, HWND list, int row);
