// High contrast on the window's pixels under Wine. Wine refuses to switch high contrast on, and
// colours set with SetSysColors reach only this process and those started afterwards: so a dark
// scheme is set before the viewer starts, and the text of its rows, menu and Close button must then
// reach 4.5 : 1 against its background (WCAG 2.1 AA); with the ordinary colours the window keeps
// the skin's; and a running window reads the colours again on the change messages. The tests change
// the colours of the whole session, so they run alone and give the colours back.
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "common/colour_scheme.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

// Light text on black, as the system's high-contrast black scheme has it.
const int SchemeItems[] = { COLOR_WINDOW,  COLOR_WINDOWTEXT, COLOR_HIGHLIGHT,    COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE,
                            COLOR_BTNTEXT, COLOR_MENU,       COLOR_MENUTEXT,     COLOR_BTNHIGHLIGHT,  COLOR_BTNSHADOW };
const COLORREF DarkScheme[] = { RGB(0, 0, 0),       RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0),
                                RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),      RGB(255, 255, 255),
                                RGB(255, 255, 255), RGB(128, 128, 128) };
const int SchemeSize = sizeof SchemeItems / sizeof SchemeItems[0];

// The dark scheme while it lives; then the session's own colours again.
struct DarkColours {
    COLORREF saved[SchemeSize];
    DarkColours()
    {
        for (int i = 0; i < SchemeSize; ++i)
            saved[i] = GetSysColor(SchemeItems[i]);
        SetSysColors(SchemeSize, SchemeItems, DarkScheme);
    }
    ~DarkColours() { SetSysColors(SchemeSize, SchemeItems, saved); }
};

// How text in an area stands out: the commonest colour is its background, and the pixels that reach
// the readable contrast against it are its ink.
struct Legibility {
    COLORREF background = CLR_INVALID;
    int ink = 0;
    double best = 1; // the highest ratio of any pixel against the background
};

Legibility Measure(const OffscreenCanvas& canvas, const RECT& area)
{
    std::map<COLORREF, int> counts;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            ++counts[canvas.At(x, y)];
    Legibility seen;
    int most = 0;
    for (const auto& count : counts)
        if (count.second > most) {
            most = count.second;
            seen.background = count.first;
        }
    for (const auto& count : counts) {
        double ratio = ContrastRatio(count.first, seen.background);
        if (ratio >= READABLE_CONTRAST)
            seen.ink += count.second;
        if (ratio > seen.best)
            seen.best = ratio;
    }
    return seen;
}

// How many pixels of the area have exactly that colour.
int Pixels(const OffscreenCanvas& canvas, const RECT& area, COLORREF colour)
{
    int found = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            found += canvas.At(x, y) == colour;
    return found;
}

// The screen as it is now, the whole of it: the viewer paints in its own process, and the menu is a
// window of its own.
struct Screen {
    RECT rect;
    OffscreenCanvas canvas;
    Screen() : rect(WindowRect(GetDesktopWindow())), canvas(rect.right, rect.bottom, RGB(1, 2, 3))
    {
        HDC screen = GetDC(nullptr);
        BitBlt(canvas.Dc(), 0, 0, rect.right, rect.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
    static RECT WindowRect(HWND window)
    {
        RECT r = {};
        GetWindowRect(window, &r);
        return r;
    }
};

RECT Inset(RECT r, int by)
{
    InflateRect(&r, -by, -by);
    return r;
}

// The rows below the first (which holds the focus frame), right of the Status badges.
RECT RowsArea(HWND window)
{
    HWND list = GetDlgItem(window, 105);
    RECT rows = Screen::WindowRect(list);
    rows.top = Screen::WindowRect((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0)).bottom + 20;
    rows.left += 80;
    return Inset(rows, 3);
}

struct HighContrast : ::testing::Test {
    std::string folder;
    LoopbackServer server;
    RunningViewer viewer;

    void SetUp() override
    {
        folder = MakeScratchFolder("contrast");
        ASSERT_TRUE(CopyRuntimeInto(folder));
        ServerScript feed;
        feed.chunks.push_back("Contrast\n"
                              ":1^Oak chair^1110^249.00^840^shop.example/oak^oak-chair^^^^#\n"
                              ":2^Linen cover^1120^89.00^978^shop.example/linen^linen^^^^#\n"
                              ":5^Wide table^1120^410.00^840^shop.example/table^table^^^^#\n"
                              ":6^Bare stool^1110^35.00^840^^stool^^^^#\n");
        ASSERT_TRUE(StartServer(&server, "127.0.0.94", feed));
    }

    // Starts the viewer, topmost in the screen's top-left corner, and waits until its face shows.
    void StartAndShow(COLORREF face)
    {
        ASSERT_TRUE(StartViewer(folder, "127.0.0.94^acct^key#", &viewer));
        SetWindowPos(viewer.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
        POINT inside = { 2, 2 };
        ClientToScreen(viewer.window, &inside);
        for (int waited = 0; waited < 3000 && Screen().canvas.At(inside.x, inside.y) != face; waited += 100)
            Sleep(100);
        Sleep(300); // the list and the button paint after the window's face
        ASSERT_EQ(face, Screen().canvas.At(inside.x, inside.y));
    }

    void TearDown() override
    {
        if (viewer.process.hProcess != nullptr)
            CloseViewer(&viewer);
        StopServer(&server);
        RemoveFolder(folder);
    }
};

TEST_F(HighContrast, ADarkSchemeBeforeTheStartMakesTheRowsMenuAndCloseButtonReadable)
{
    DarkColours dark;
    ASSERT_NO_FATAL_FAILURE(StartAndShow(RGB(0, 0, 0)));
    Screen shown;
    Legibility rows = Measure(shown.canvas, RowsArea(viewer.window));
    EXPECT_EQ(RGB(0, 0, 0), rows.background);
    EXPECT_GT(rows.ink, 40) << "the rows' text is not readable on the window colour";
    Legibility close = Measure(shown.canvas, Inset(Screen::WindowRect(GetDlgItem(viewer.window, 201)), 3));
    EXPECT_GT(close.ink, 10) << "the Close button's text is not readable on its face";

    // Enter opens the focused first row's link menu; Home selects its first item, the second stays.
    SetForegroundWindow(viewer.window);
    PressKey(VK_RETURN);
    HWND menu = WaitForPopup(5000);
    ASSERT_NE(nullptr, menu) << "no link menu opened";
    PressKey(VK_HOME);
    Sleep(300);
    RECT items = Inset(Screen::WindowRect(menu), 3);
    items.left += 22; // the text, right of the icon column
    RECT first = items, second = items;
    first.bottom = second.top = (items.top + items.bottom) / 2;
    Screen withMenu;
    Legibility selected = Measure(withMenu.canvas, first), unselected = Measure(withMenu.canvas, second);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitForNoPopup(5000));
    EXPECT_EQ(RGB(26, 235, 255), selected.background);
    EXPECT_GT(selected.ink, 10) << "the selected item's text is not readable";
    EXPECT_EQ(RGB(0, 0, 0), unselected.background);
    EXPECT_GT(unselected.ink, 10) << "the unselected item's text is not readable";
    printf("contrast: rows %.2f, Close %.2f, menu item %.2f selected, %.2f not\n", rows.best, close.best,
           selected.best, unselected.best);
}

// The skin's colours at the design's places: its face around the list and on the Close button, its
// text colour in the rows on the system's white, and the button's white and grey frame and dark blue
// text.
TEST_F(HighContrast, WithTheOrdinaryColoursTheWindowKeepsTheSkinsColours)
{
    HMODULE skin = LoadLibraryA((folder + "Vn_Skin.dll").c_str());
    char background[10] = "", text[10] = "";
    LoadStringA(skin, 1, background, sizeof background);
    LoadStringA(skin, 4, text, sizeof text);
    FreeLibrary(skin);
    const COLORREF face = (COLORREF)atoi(background), listText = (COLORREF)atoi(text);
    ASSERT_NO_FATAL_FAILURE(StartAndShow(face));
    Screen shown;
    RECT rows = RowsArea(viewer.window);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), Measure(shown.canvas, rows).background);
    EXPECT_GT(Pixels(shown.canvas, rows, listText), 40) << "no row text in the skin's colour";
    RECT button = Screen::WindowRect(GetDlgItem(viewer.window, 201));
    EXPECT_EQ(face, Measure(shown.canvas, Inset(button, 3)).background);
    EXPECT_GT(Pixels(shown.canvas, Inset(button, 3), ButtonTextColour), 10);
    EXPECT_EQ(ButtonLightEdge, shown.canvas.At(button.left, button.top));
    EXPECT_EQ(ButtonDarkEdge, shown.canvas.At(button.right - 1, button.bottom - 1));
}

// A window of this process, which SetSysColors reaches at once: WM_SYSCOLORCHANGE has it choose
// again, and so does WM_SETTINGCHANGE for high contrast, but no other setting.
struct RunningWindow : ::testing::Test, ViewerWindow {
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.95^^#"));
        AppendProduct(1, "Oak chair", 1110, "249.00", 840, "shop.example/oak", "oak-chair");
        AppendProduct(2, "Linen cover", 1120, "89.00", 978, "shop.example/linen", "linen");
        ASSERT_EQ(1, FillProductListView(list));
    }
    void TearDown() override { CloseViewerWindow(); }

    COLORREF ListText() { return (COLORREF)SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0); }

    COLORREF ClassBackground()
    {
        LOGBRUSH brush = {};
        GetObjectA((HBRUSH)GetClassLongPtrA(window, GCLP_HBRBACKGROUND), sizeof brush, &brush);
        return brush.lbColor;
    }
};

TEST_F(RunningWindow, ReadsTheColoursAgainOnTheChangeMessages)
{
    const COLORREF skinText = RGB(192, 0, 0), skinFace = RGB(255, 255, 255);
    ASSERT_EQ(skinText, ListText());
    {
        DarkColours dark;
        SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(RGB(255, 255, 255), ListText());
        EXPECT_EQ(RGB(0, 0, 0), ClassBackground());
        RECT client = {};
        GetClientRect(list, &client);
        OffscreenCanvas rows(client.right, client.bottom, RGB(1, 2, 3));
        SendMessageA(list, WM_PRINTCLIENT, (WPARAM)rows.Dc(), PRF_ERASEBKGND | PRF_CLIENT);
        client.left = 80;
        Legibility seen = Measure(rows, client);
        EXPECT_EQ(RGB(0, 0, 0), seen.background);
        EXPECT_GT(seen.ink, 40);
    }
    SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(skinText, ListText());
    EXPECT_EQ(skinFace, ClassBackground());

    SendMessageA(list, LVM_SETTEXTCOLOR, 0, RGB(0, 200, 0));
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(RGB(0, 200, 0), ListText()) << "another setting had the colours read again";
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_EQ(skinText, ListText());
}

} // namespace
