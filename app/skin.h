// Reading the skin resource library, which supplies the program's colours and bitmaps.
#pragma once

#include <windows.h>

// The name the program loads the skin by; the platform adds the library extension.
extern const char SkinLibraryName[];

// String ids of the two colours, each the decimal text of a COLORREF.
enum { SKIN_BACKGROUND_COLOUR = 1, SKIN_LIST_TEXT_COLOUR = 4 };

struct SkinColours {
    COLORREF background; // window background and Close button fill
    COLORREF listText;   // text colour of the product list
};

// Opens library, reads the two colour strings and closes it again. A colour whose string the library
// lacks keeps the value already in colours. Returns 1 when the library could be opened, else 0.
int ReadSkinColours(const char* library, SkinColours* colours);

// Menu icons, in slot order: web address, server page, ascending, descending. Slots that could not
// be loaded stay null and are drawn as no icon.
enum { MENU_BITMAP_WEB, MENU_BITMAP_SERVER, MENU_BITMAP_ASCENDING, MENU_BITMAP_DESCENDING, MENU_BITMAP_COUNT };
extern HBITMAP MenuBitmaps[MENU_BITMAP_COUNT];

// Loads the four menu icons from the skin; they outlive the library and are kept until teardown.
void LoadMenuBitmaps();

// Deletes the menu icons and clears their slots.
void DeleteMenuBitmaps();
