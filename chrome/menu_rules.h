// Portable geometry of an owner-drawn popup menu item: its size for a measured text, and where the
// text and the icon frame go inside the item's rectangle.
#pragma once

enum {
    MENU_ICON_SIZE = 13,        // the icon's side, drawn from the bitmap's top-left corner
    MENU_ICON_OFFSET = 2,       // the icon's distance from the item's top-left corner
    MENU_ICON_COLUMN = 17,      // the filled text area starts this far right of the item's left
    MENU_TEXT_INDENT = 22,      // the text starts this far right of the item's left
    MENU_FRAME_SIZE = 16,       // the frame rectangle's width and height (17 pixels drawn)
};

struct MenuItemSize {
    int width, height;
};

// The size an item asks for when its text measures textWidth by textHeight.
MenuItemSize MenuItemSizeFor(int textWidth, int textHeight);

// The text's top edge in an item from top to bottom, for the measured text height; the division
// truncates toward zero.
int MenuTextTop(int itemTop, int itemBottom, int textHeight);
