// Cell tooltips: the whole text of a clipped cell under the pointer, the Price cell always with the
// money's long name, and the Close button's fixed tip; a hand cursor over rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common/look.h"

enum {
    TIP_FIT_MARGIN = 12,   // a text fits its column when the column is at least this much wider
    PRICE_TIP_CAPACITY = 200,
    TIP_MAX_WIDTH = 150,   // longer tips are broken at blanks onto further lines
};

extern const char CloseButtonTip[]; // "Cancel and Close."

// Creates the tooltip control and its two tools, the Close button's and the list view's (both found
// by control id in window). Without the control there are no tips; a tool that cannot be added ends
// the additions. Returns the tooltip control, or null.
HWND CreateCellTooltips(HWND window, const Look& look);

// Teardown while the process goes on: the control has no owner, so it would outlive the window.
void DestroyCellTooltips();

// LVN_HOTTRACK: the arrow over no row, else the hand and the tip of the cell under the pointer.
LRESULT OnHotTrack(HWND window, const NMLISTVIEW* track);

// WM_SETCURSOR of the window for a pointer move over the list: the cell under the pointer, by the list
// view's own hit test, goes where hot-tracking goes, so that tips follow the pointer also where the
// list view reports no hot-tracking. Learnt from the parent's message, not by subclassing the list.
// Returns true: the cursor is set.
bool FollowPointerOverList(HWND window, HWND list);

// Works out the list view tool's text for a cell and hands it to the tooltip control. A cell whose
// tip is shown is not worked out again while the pointer stays in it.
void UpdateCellTooltip(HWND window, int item, int subitem);

// The tooltip control, and the cell and outcome of the latest update: for the tests.
HWND CellTooltip();
struct HotCell {
    int item, subitem;
    bool tipShown;
};
HotCell LastHotCell();
