// Owner-drawn popup menus: every item is an icon in a 17-pixel column and a text beside it, the
// selected one in the system's highlight colours with a raised frame round its icon.
#include "chrome/popup_menu.h"

#include <cstddef>

#include "common/look.h"

MenuItemData MenuItemSlots[MENU_SLOT_COUNT];
int MenuTextHeight;

// The system colours the menus use, read once on first use and again after ForgetMenuColours.
struct HighlightColours {
    bool read;
    COLORREF text, background;
};
struct FrameColours {
    bool read;
    COLORREF light, shadow, menu;
};
static HighlightColours highlight;
static FrameColours frame;

// The item description of the platform's older headers, which ends before hbmpItem: later members
// are not sent. 44 bytes on 32-bit Windows, more on 64-bit, where pointers are wider.
const UINT MENUITEMINFO_CLASSIC_SIZE = (UINT)offsetof(MENUITEMINFOA, hbmpItem);

void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure)
{
    if (measure->CtlType != ODT_MENU)
        return;
    const MenuItemData* data = (const MenuItemData*)measure->itemData;
    HDC dc = GetDC(window);
    LOGFONTA description;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE text = {};
    GetTextExtentPoint32A(dc, data->text, lstrlenA(data->text), &text);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    DeleteObject(font);
    MenuItemSize size = MenuItemSizeFor(text.cx, text.cy);
    measure->itemWidth = (UINT)size.width;
    measure->itemHeight = (UINT)size.height;
    MenuTextHeight = text.cy;
}

void DrawFrame3D(HDC dc, const RECT& r, int style)
{
    if (!frame.read) {
        frame = { true, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_MENU) };
    }
    COLORREF first = frame.menu, second = frame.menu;
    if (style == FrameSunken) {
        first = frame.shadow;
        second = frame.light;
    } else if (style == FrameRaised) {
        first = frame.light;
        second = frame.shadow;
    }

    HPEN pen = CreatePen(PS_SOLID, 1, first);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, r.right - 1, r.top, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.left, r.bottom);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    pen = CreatePen(PS_SOLID, 1, second);
    oldPen = SelectObject(dc, pen);
    MoveToEx(dc, r.right, r.top, nullptr);
    LineTo(dc, r.right, r.bottom);
    LineTo(dc, r.left - 1, r.bottom);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

// The icon's top-left 13 by 13 pixels, silver transparent.
static void DrawMenuIcon(HDC dc, const RECT& item, HBITMAP bitmap)
{
    if (bitmap == nullptr)
        return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(source, bitmap);
    TransparentBlt(dc, item.left + MENU_ICON_OFFSET, item.top + MENU_ICON_OFFSET, MENU_ICON_SIZE, MENU_ICON_SIZE,
                   source, 0, 0, MENU_ICON_SIZE, MENU_ICON_SIZE, RGB(192, 192, 192));
    SelectObject(source, oldBitmap);
    DeleteDC(source);
}

void PaintMenuItem(HDC dc, const RECT& item, const MenuItemData& data, bool selected, bool entire)
{
    COLORREF oldText = 0, oldBackground = 0;
    const ColourScheme& scheme = TheLook().scheme;
    bool coloured = selected || scheme.system;
    if (coloured) {
        oldText = SetTextColor(dc, selected ? highlight.text : scheme.menuText);
        oldBackground = SetBkColor(dc, selected ? highlight.background : scheme.menu);
    }
    // The text area is filled; the icon column is left to the icon and the frame.
    RECT text = item;
    text.left += MENU_ICON_COLUMN;
    int y = MenuTextTop(item.top, item.bottom, MenuTextHeight);
    ExtTextOutA(dc, item.left + MENU_TEXT_INDENT, y, ETO_OPAQUE, &text, data.text, (UINT)lstrlenA(data.text),
                nullptr);
    // A change of selection alone keeps the icon of the first full drawing.
    if (entire)
        DrawMenuIcon(dc, item, data.bitmap);
    RECT box = { item.left, item.top, item.left + MENU_FRAME_SIZE, item.top + MENU_FRAME_SIZE };
    DrawFrame3D(dc, box, selected ? FrameRaised : FrameFlat); // a flat frame paints a raised one out
    if (coloured) {
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBackground);
    }
}

void ForgetMenuColours()
{
    highlight.read = false;
    frame.read = false;
}

void DrawMenuItem(HWND, const DRAWITEMSTRUCT* draw)
{
    if (!highlight.read)
        highlight = { true, GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT) };
    if (draw->CtlType != ODT_MENU)
        return;
    const MenuItemData* data = (const MenuItemData*)draw->itemData;
    PaintMenuItem(draw->hDC, draw->rcItem, *data, (draw->itemState & ODS_SELECTED) != 0,
                  draw->itemAction == ODA_DRAWENTIRE);
}

// The item's name for screen readers: its text in the ANSI code page turned into UTF-16.
static void NameMenuItem(MenuItemData* item)
{
    int length = lstrlenA(item->text);
    if (length > MENU_ITEM_NAME_CAPACITY - 1)
        length = MENU_ITEM_NAME_CAPACITY - 1;
    int converted = MultiByteToWideChar(CP_ACP, 0, item->text, length, item->name, MENU_ITEM_NAME_CAPACITY - 1);
    item->name[converted] = L'\0';
    item->accessible.dwMSAASignature = (DWORD)MSAA_MENU_SIG;
    item->accessible.cchWText = (DWORD)converted;
    item->accessible.pszWText = item->name;
}

HMENU BuildPopupMenu(const PopupItem* items, int count)
{
    MenuTextHeight = 0;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    for (int position = 0; position < count; ++position) {
        MenuItemData* slot = &MenuItemSlots[items[position].slot];
        slot->text = items[position].text;
        slot->bitmap = items[position].bitmap;
        NameMenuItem(slot);
        MENUITEMINFOA info = {};
        info.cbSize = MENUITEMINFO_CLASSIC_SIZE;
        info.fMask = MIIM_ID | MIIM_TYPE | MIIM_DATA;
        info.fType = MFT_OWNERDRAW;
        info.wID = items[position].command;
        info.dwItemData = (ULONG_PTR)slot;
        if (!InsertMenuItemA(menu, (UINT)position, TRUE, &info)) {
            DestroyMenu(menu);
            return nullptr;
        }
    }
    return menu;
}

void TrackAndDestroyMenu(HMENU menu, HWND owner, int x, int y)
{
    TrackPopupMenu(menu, 0, x, y, 0, owner, nullptr);
    DestroyMenu(menu);
}
