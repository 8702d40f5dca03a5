// The look of the run, read from the skin library once per start and released at teardown.
#include "common/look.h"

#include <stdlib.h>

const char SkinLibraryName[] = "Vn_Skin";

static Look look; // the run's look; see the setters below for who writes what

static const char* const MenuBitmapNames[MENU_BITMAP_COUNT] = { "EDITOR_Hi1", "EDITOR_Hi2", "Sort1", "Sort2" };

const Look& TheLook()
{
    return look;
}

// Reads one colour string. The 10-character buffer cuts longer texts to 9 characters; text that is
// not a number gives 0 (black), as the decimal conversion does.
static void ReadColour(HMODULE skin, UINT id, COLORREF* colour)
{
    char text[10] = "";
    if (LoadStringA(skin, id, text, sizeof text) > 0)
        *colour = (COLORREF)atoi(text);
}

void ReadSkinColours(HMODULE skin, SkinColours* colours)
{
    ReadColour(skin, SKIN_BACKGROUND_COLOUR, &colours->background);
    ReadColour(skin, SKIN_LIST_TEXT_COLOUR, &colours->listText);
}

int OpenSkin(const char* library)
{
    CloseSkin();
    look.colours = { GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT) };
    look.skin = LoadLibraryA(library);
    if (look.skin != nullptr)
        ReadSkinColours(look.skin, &look.colours);
    ChooseLookColours();
    return look.skin != nullptr;
}

static bool HighContrastOn()
{
    HIGHCONTRASTA setting = {};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void ChooseLookColours()
{
    SystemColours system = {
        GetSysColor(COLOR_WINDOW),  GetSysColor(COLOR_WINDOWTEXT),   GetSysColor(COLOR_BTNFACE),
        GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW),
        GetSysColor(COLOR_MENU),    GetSysColor(COLOR_MENUTEXT),
    };
    look.scheme = ChooseColourScheme(HighContrastOn(), look.colours.background, look.colours.listText, system);
    DeleteBackgroundBrush();
    look.backgroundBrush = CreateSolidBrush(look.scheme.background);
}

void CloseSkin()
{
    if (look.skin != nullptr)
        FreeLibrary(look.skin);
    look.skin = nullptr;
}

void SetLookInstance(HINSTANCE instance)
{
    look.instance = instance;
}

void SetLookFont(HFONT font)
{
    look.guiFont = font;
}

void LoadMenuBitmaps()
{
    if (look.skin == nullptr)
        return;
    for (int slot = 0; slot < MENU_BITMAP_COUNT; ++slot)
        look.menuBitmaps[slot] = LoadBitmapA(look.skin, MenuBitmapNames[slot]);
}

void DeleteMenuBitmaps()
{
    for (HBITMAP& bitmap : look.menuBitmaps) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        bitmap = nullptr;
    }
}

void DeleteBackgroundBrush()
{
    if (look.backgroundBrush != nullptr)
        DeleteObject(look.backgroundBrush);
    look.backgroundBrush = nullptr;
}
