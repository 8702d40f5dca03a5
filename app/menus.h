// The viewer's popup menus, built from their item tables with the owner-drawn items and shown where
// the user clicked.
#pragma once

#include <windows.h>

// The sort menu under the header of the latest clicked column: " Ascending" and " Descending".
void ShowSortMenu(HWND window);

// Where the sort menu's top-left corner goes, in screen coordinates, for a header item's rectangle
// (header client coordinates): 5 pixels in from the header's left and below its bottom, as the list
// view sits 5 pixels into the window, and one more each way.
POINT SortMenuPoint(HWND window, const RECT& headerItem);
