// The viewer's look: the skin library's colours and menu icons, with the module instance and the GUI
// font that every child control shares. A leaf: it includes nothing of ours, so every layer may read it.
#pragma once

#include <windows.h>

#include "common/colour_scheme.h"

// The name the program loads the skin by; the platform adds the library extension.
extern const char SkinLibraryName[];

// String ids of the two colours, each the decimal text of a COLORREF.
enum { SKIN_BACKGROUND_COLOUR = 1, SKIN_LIST_TEXT_COLOUR = 4 };

// Menu icons, in slot order: web address, server page, ascending, descending.
enum { MENU_BITMAP_WEB, MENU_BITMAP_SERVER, MENU_BITMAP_ASCENDING, MENU_BITMAP_DESCENDING, MENU_BITMAP_COUNT };

struct SkinColours {
    COLORREF background; // window background and Close button face
    COLORREF listText;   // text colour of the product list
};

struct Look {
    HINSTANCE instance;      // the module instance, for every child window and tool
    HFONT guiFont;           // the stock DEFAULT_GUI_FONT, never deleted
    SkinColours colours;     // from the skin, or the system's window colours without it
    ColourScheme scheme;     // what the window paints with: the skin's colours or the system's
    HBRUSH backgroundBrush;  // the scheme's background: class background and Close button face
    HBITMAP menuBitmaps[MENU_BITMAP_COUNT]; // null where the skin lacks one: drawn as no icon
    HMODULE skin;            // the skin library while the window is being built, else null
};

// The look of this run. Written only by the start-up and teardown steps below.
const Look& TheLook();

// Reads the two colour strings of an open skin library. A string the library lacks keeps the value
// already in colours; a longer text is cut to 9 characters and converted by the decimal rules.
void ReadSkinColours(HMODULE skin, SkinColours* colours);

// Opens the skin library by name and takes its colours (the system's window colours where it has
// none) and makes the background brush. The library stays open until CloseSkin, so that the window's
// creation reads its images and icons from the same load. Returns 1 when the library opened, else 0.
int OpenSkin(const char* library);
void CloseSkin();

// Chooses the scheme again from the skin's colours, the user's high-contrast setting and the
// system's colours as they are now, and remakes the background brush in it (the old one is deleted).
void ChooseLookColours();

void SetLookInstance(HINSTANCE instance);
void SetLookFont(HFONT font);

// Loads the four menu icons from the open skin; they outlive the library until DeleteMenuBitmaps.
void LoadMenuBitmaps();
void DeleteMenuBitmaps();

// Deletes the background brush, once the window that painted with it is going.
void DeleteBackgroundBrush();
