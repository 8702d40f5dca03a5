// The skin library is opened around each group of reads and closed right after, so another skin
// can be dropped in beside the program without it holding the file.
#include "app/skin.h"

#include <stdlib.h>

const char SkinLibraryName[] = "Vn_Skin";

// Reads one colour string. The 10-character buffer cuts longer texts to 9 characters; text that is
// not a number gives 0 (black), as the decimal conversion does.
static void ReadColour(HMODULE skin, UINT id, COLORREF* colour)
{
    char text[10] = "";
    if (LoadStringA(skin, id, text, sizeof text) > 0)
        *colour = (COLORREF)atoi(text);
}

int ReadSkinColours(const char* library, SkinColours* colours)
{
    HMODULE skin = LoadLibraryA(library);
    if (skin == nullptr)
        return 0;
    ReadColour(skin, SKIN_BACKGROUND_COLOUR, &colours->background);
    ReadColour(skin, SKIN_LIST_TEXT_COLOUR, &colours->listText);
    FreeLibrary(skin);
    return 1;
}

HBITMAP MenuBitmaps[MENU_BITMAP_COUNT];

static const char* const MenuBitmapNames[MENU_BITMAP_COUNT] = { "EDITOR_Hi1", "EDITOR_Hi2", "Sort1", "Sort2" };

void LoadMenuBitmaps()
{
    HMODULE skin = LoadLibraryA(SkinLibraryName);
    if (skin == nullptr)
        return;
    for (int slot = 0; slot < MENU_BITMAP_COUNT; ++slot)
        MenuBitmaps[slot] = LoadBitmapA(skin, MenuBitmapNames[slot]);
    FreeLibrary(skin);
}

void DeleteMenuBitmaps()
{
    for (HBITMAP& bitmap : MenuBitmaps) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        bitmap = nullptr;
    }
}
