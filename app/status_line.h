// The status line: one line of text in the strip left of the Close button, saying how many products
// the list shows and, when that is not the whole feed, why. A plain static control, owner-drawn in
// the window's colours, so that a screen reader reads its text as any static's.
#pragma once

#include <windows.h>

#include "common/look.h"
#include "feed/fetch_end.h"

enum { IDC_STATUS_LINE = 202 }; // the status line's control id

// The colours the status line is drawn in: the window's face and the text on it, the skin's or, in
// high contrast, the system's (the look's colour scheme).
SkinColours StatusLineColours();

// Creates the status line in window, saying what the list shows after a fetch that ended so; the
// window's layout places it. Returns the control, or null.
HWND CreateStatusLine(HWND window, const Look& look, int shown, FetchEnd end);

// Draws text on one line in rect of dc: the status line's colours, its font, cut with an ellipsis.
void PaintStatusLine(HDC dc, const RECT& rect, HFONT font, const char* text);

// WM_DRAWITEM of the status line; items of other controls are left alone.
void DrawStatusLine(const DRAWITEMSTRUCT* draw);
