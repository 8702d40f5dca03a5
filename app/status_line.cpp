// The status line under the list.
#include "app/status_line.h"

#include "app/status_text.h"
#include "feed/feed_fetch.h"

SkinColours StatusLineColours()
{
    const ColourScheme& scheme = TheLook().scheme;
    return { scheme.background, scheme.text };
}

HWND CreateStatusLine(HWND window, const Look& look, int shown, FetchEnd end)
{
    const FetchLimits& limits = CurrentFetchLimits();
    StatusFacts facts = { shown, end, ServerAddress, limits.connectMs, limits.silenceMs, limits.deadlineMs,
                          limits.maxBytes, (long long)ProductCap() };
    char text[STATUS_TEXT_CAPACITY];
    FormatStatusText(text, sizeof text, facts);
    HWND line = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0, window,
                                (HMENU)(INT_PTR)IDC_STATUS_LINE, look.instance, nullptr);
    if (line != nullptr)
        SendMessageA(line, WM_SETFONT, (WPARAM)look.guiFont, 0);
    return line;
}

void PaintStatusLine(HDC dc, const RECT& rect, HFONT font, const char* text)
{
    SkinColours colours = StatusLineColours();
    HBRUSH background = CreateSolidBrush(colours.background);
    FillRect(dc, &rect, background);
    HGDIOBJ oldFont = SelectObject(dc, font != nullptr ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, colours.listText);
    RECT area = rect;
    DrawTextA(dc, text, -1, &area, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    DeleteObject(background);
}

void DrawStatusLine(const DRAWITEMSTRUCT* draw)
{
    if (draw->CtlType != ODT_STATIC || draw->CtlID != IDC_STATUS_LINE)
        return;
    char text[STATUS_TEXT_CAPACITY] = "";
    GetWindowTextA(draw->hwndItem, text, sizeof text);
    PaintStatusLine(draw->hDC, draw->rcItem, (HFONT)SendMessageA(draw->hwndItem, WM_GETFONT, 0, 0), text);
}
