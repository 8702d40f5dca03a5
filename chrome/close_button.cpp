// The owner-drawn Close button.
#include "chrome/close_button.h"

#include "common/control_ids.h"

HWND CreateCloseButton(HWND window, const Look& look)
{
    HWND button = CreateWindowExA(0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 0, 0, window,
                                  (HMENU)(INT_PTR)IDC_CLOSE_BUTTON, look.instance, nullptr);
    SendMessageA(GetDlgItem(window, IDC_CLOSE_BUTTON), WM_SETFONT, (WPARAM)look.guiFont, 1);
    return button;
}

// One 2-pixel solid line from start through corner to end.
static void DrawEdge2(HDC dc, COLORREF colour, POINT start, POINT corner, POINT end)
{
    HPEN pen = CreatePen(PS_SOLID, 2, colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, start.x, start.y, nullptr);
    LineTo(dc, corner.x, corner.y);
    LineTo(dc, end.x, end.y);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void DrawButtonFrame(HDC dc, const RECT& r, HBRUSH brush, bool pressed)
{
    const ColourScheme& scheme = TheLook().scheme;
    COLORREF topLeft = pressed ? scheme.buttonDark : scheme.buttonLight;
    COLORREF bottomRight = pressed ? scheme.buttonLight : scheme.buttonDark;
    FillRect(dc, &r, brush);
    DrawEdge2(dc, topLeft, POINT{ r.right - 1, r.top }, POINT{ r.left, r.top }, POINT{ r.left, r.bottom });
    DrawEdge2(dc, bottomRight, POINT{ r.right, r.top }, POINT{ r.right, r.bottom }, POINT{ r.left + 1, r.bottom });
}

void DrawButtonText(HWND button, HDC dc, const RECT& r, COLORREF colour, UINT format)
{
    char text[CLOSE_BUTTON_TEXT_LIMIT] = "";
    GetWindowTextA(button, text, sizeof text);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, colour);
    RECT area = r;
    DrawTextA(dc, text, -1, &area, format);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void DrawCloseButton(const DRAWITEMSTRUCT* draw, HBRUSH face)
{
    if (draw->CtlType != ODT_BUTTON || draw->CtlID != IDC_CLOSE_BUTTON)
        return;
    // Every request redraws the whole button; the text stays in place while pressed.
    bool pressed = (draw->itemState & ODS_SELECTED) != 0;
    COLORREF colour = (draw->itemState & ODS_DISABLED) ? ButtonDisabledTextColour : TheLook().scheme.buttonText;
    DrawButtonFrame(draw->hDC, draw->rcItem, face, pressed);
    DrawButtonText(draw->hwndItem, draw->hDC, draw->rcItem, colour, CLOSE_BUTTON_FORMAT);
}
