// The Close button (control 201): an owner-drawn push button in the window's own background colour,
// with a two-colour frame that swaps while it is pressed and "Close" centred in dark blue.
#pragma once

#include <windows.h>

#include "common/look.h"

enum {
    CLOSE_BUTTON_TEXT_LIMIT = 50, // characters read from the button, terminator included
    CLOSE_BUTTON_FORMAT = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP,
};

// The skin's edge and text colours are the look's (common/colour_scheme.h); under high contrast
// the system's button colours take their place.
const COLORREF ButtonDisabledTextColour = RGB(127, 127, 127);

// Creates the button as child 201 of window at no size (the first layout places it) and gives it
// the look's font. Returns the button, or null.
HWND CreateCloseButton(HWND window, const Look& look);

// WM_DRAWITEM: draws the Close button with face as its fill and the look's text colour; every other
// item is left alone.
void DrawCloseButton(const DRAWITEMSTRUCT* draw, HBRUSH face);

// Fills r with brush and draws the 2-pixel frame in the look's edge colours: light on the top and
// left and dark on the right and bottom, or the other way round when pressed.
void DrawButtonFrame(HDC dc, const RECT& r, HBRUSH brush, bool pressed);

// Draws button's window text (at most 49 characters) into r in colour, with the given DrawText format.
void DrawButtonText(HWND button, HDC dc, const RECT& r, COLORREF colour, UINT format);
