// Owner-drawn popup menu items: the item data and its four slots, measuring, drawing and the 3-D
// frame, and building a menu from a table of items. Both of the viewer's popups are made here.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "chrome/menu_rules.h"

// An item's name for screen readers: its text in UTF-16, cut to this many characters with the
// terminator (the longest text an item shows is an address of 255 characters).
enum { MENU_ITEM_NAME_CAPACITY = 256 };

// The data of one owner-drawn item. It starts with the accessibility record, where screen readers
// look for the name of an owner-drawn item; BuildPopupMenu fills it. Neither text nor bitmap is
// owned: the text must outlive the menu, and the bitmap is one of the look's menu icons (null: no
// icon).
struct MenuItemData {
    MSAAMENUINFO accessible; // signature MSAA_MENU_SIG, pointing at name
    const char* text;
    HBITMAP bitmap;
    WCHAR name[MENU_ITEM_NAME_CAPACITY];
};

// Slots 0 and 1 belong to the sort menu, 2 and 3 to the link menu. Each item's data is the address
// of its slot; a menu lives only while it is shown, so no slot serves two live items.
enum { MENU_SLOT_COUNT = 4 };
extern MenuItemData MenuItemSlots[MENU_SLOT_COUNT];

// The height of the last measured item text, which centres every item's text when it is drawn.
// A menu builder sets it to 0 before it creates its popup.
extern int MenuTextHeight;

enum FrameStyle { FrameSunken = 0, FrameRaised = 1, FrameFlat = 2 };

// WM_MEASUREITEM of the owner window: sizes menu items from their text in the default GUI font.
// Items of other controls pass untouched.
void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);

// WM_DRAWITEM of the owner window: draws menu items; returns at once for items of other controls.
// The first call, whatever its item, reads the two highlight colours, kept until ForgetMenuColours.
void DrawMenuItem(HWND window, const DRAWITEMSTRUCT* draw);

// Draws one item's text, icon (when entire is set) and frame into dc within item. Under the system's
// colours (high contrast) an unselected item is drawn in the menu colours, else in the DC's own.
void PaintMenuItem(HDC dc, const RECT& item, const MenuItemData& data, bool selected, bool entire);

// Has the system colours read again at the next drawing, after the user changed them.
void ForgetMenuColours();

// A one-pixel frame around r: the first colour of the style on the top and left edges, the second
// on the bottom and right ones, each line leaving out its end point.
void DrawFrame3D(HDC dc, const RECT& r, int style);

// One item of a menu table: the slot it fills, its text and icon, and the command it sends.
struct PopupItem {
    int slot;
    const char* text;
    HBITMAP bitmap;
    UINT command;
};

// Sets MenuTextHeight to 0, creates a popup and inserts the items at positions 0, 1, ... as
// owner-drawn items, each filling its slot first, its accessible name included. Returns the menu, or null (and no menu left
// behind) when the popup or an item could not be made.
HMENU BuildPopupMenu(const PopupItem* items, int count);

// Shows menu at the screen point with its left edge at x and top at y, owned by owner, until it
// closes; the choice arrives as WM_COMMAND. Then destroys the menu.
void TrackAndDestroyMenu(HMENU menu, HWND owner, int x, int y);
