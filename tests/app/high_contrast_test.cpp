// High contrast on the window's pixels under Wine, which refuses to switch high contrast on and
// whose SetSysColors reaches only this process and those started afterwards: a dark scheme set
// before the viewer starts must give its rows, menu and Close button text of 4.5 : 1 (WCAG 2.1 AA);
// the ordinary colours keep the skin's; a running window reads the colours again on the change
// messages. The colours are the whole session's, so these tests run alone and give them back.
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "common/colour_scheme.h"
#include "feed/product_list.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

// Light text on black, as the system's high-contrast black scheme has it; the highlight is cyan.
const int Items[] = { COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE,
                      COLOR_BTNTEXT, COLOR_MENU, COLOR_MENUTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW };
const COLORREF Dark[] = { 0x000000, 0xFFFFFF, 0xFFEB1A, 0x000000, 0x000000,
                          0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x808080 };
enum { ITEM_COUNT = sizeof Items / sizeof Items[0] };

// The dark scheme while it lives; then the session's own colours again.
struct DarkColours {
    COLORREF saved[ITEM_COUNT];
    DarkColours()
    {
        for (int i = 0; i < ITEM_COUNT; ++i)
            saved[i] = GetSysColor(Items[i]);
        SetSysColors(ITEM_COUNT, Items, Dark);
    }
    ~DarkColours() { SetSysColors(ITEM_COUNT, Items, saved); }
};

// Text in an area: the commonest colour is the background, the pixels of readable contrast against
// it are ink, and how many have exactly one colour is counted too.
struct Legibility {
    COLORREF background = CLR_INVALID;
    int ink = 0, exactly = 0;
};

Legibility Measure(const OffscreenCanvas& canvas, const RECT& area, COLORREF counted = CLR_INVALID)
{
    std::map<COLORREF, int> counts;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            ++counts[canvas.At(x, y)];
    Legibility seen;
    for (const auto& count : counts)
        if (seen.background == CLR_INVALID || count.second > counts[seen.background])
            seen.background = count.first;
    for (const auto& count : counts)
        seen.ink += ContrastRatio(count.first, seen.background) >= READABLE_CONTRAST ? count.second : 0;
    seen.exactly = counts[counted];
    return seen;
}

RECT WindowRect(HWND window, int inset = 0)
{
    RECT r = {};
    GetWindowRect(window, &r);
    InflateRect(&r, -inset, -inset);
    return r;
}

// The whole screen as it is now: the viewer paints in its own process, and a menu is its own window.
struct Screen : OffscreenCanvas {
    Screen() : OffscreenCanvas(WindowRect(GetDesktopWindow()).right, WindowRect(GetDesktopWindow()).bottom, 0)
    {
        HDC screen = GetDC(nullptr);
        BitBlt(Dc(), 0, 0, Width(), Height(), screen, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
};

struct HighContrast : ::testing::Test {
    std::string folder = MakeScratchFolder("contrast");
    LoopbackServer server;
    RunningViewer viewer;
    HWND list = nullptr;

    // The viewer with four rows, topmost in the screen's corner, once its face shows.
    void StartAndShow(COLORREF face)
    {
        ASSERT_TRUE(CopyRuntimeInto(folder));
        ServerScript feed;
        feed.chunks.push_back("Contrast\n:1^Oak chair^1110^249.00^840^shop.example/oak^oak^^^^#\n"
                              ":2^Linen cover^1120^89.00^978^^linen^^^^#\n:5^Wide table^1120^410.00^840^^t^^^^#\n"
                              ":6^Bare stool^1110^35.00^840^^stool^^^^#\n");
        ASSERT_TRUE(StartServer(&server, "127.0.0.94", feed));
        ASSERT_TRUE(StartViewer(folder, "127.0.0.94^acct^key#", &viewer));
        list = GetDlgItem(viewer.window, 105);
        SetWindowPos(viewer.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
        POINT inside = { 2, 2 };
        ClientToScreen(viewer.window, &inside);
        for (int waited = 0; waited < 3000 && Screen().At(inside.x, inside.y) != face; waited += 100)
            Sleep(100);
        Sleep(300); // the list and the button paint after the window's face
        ASSERT_EQ(face, Screen().At(inside.x, inside.y));
    }

    // The rows below the first (which holds the focus frame), right of the Status badges.
    RECT Rows()
    {
        RECT rows = WindowRect(list, 3);
        rows.top = WindowRect((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0)).bottom + 20;
        rows.left += 80;
        return rows;
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
    ASSERT_NO_FATAL_FAILURE(StartAndShow(0x000000));
    Screen shown;
    Legibility rows = Measure(shown, Rows());
    EXPECT_EQ(0x000000u, rows.background);
    EXPECT_GT(rows.ink, 40) << "the rows' text is not readable";
    EXPECT_GT(Measure(shown, WindowRect(GetDlgItem(viewer.window, 201), 3)).ink, 10) << "nor the Close button's";

    // Enter opens the focused row's link menu; Home selects its first item, the second stays as it is.
    SetForegroundWindow(viewer.window);
    PressKey(VK_RETURN);
    HWND menu = WaitForPopup(5000);
    ASSERT_NE(nullptr, menu) << "no link menu opened";
    PressKey(VK_HOME);
    Sleep(300);
    RECT first = WindowRect(menu, 3), second = first;
    first.left = second.left = first.left + 22; // the texts, right of the icons
    first.bottom = second.top = (first.top + first.bottom) / 2;
    Screen withMenu;
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitForNoPopup(5000));
    Legibility selected = Measure(withMenu, first), unselected = Measure(withMenu, second);
    EXPECT_EQ(0xFFEB1Au, selected.background);
    EXPECT_GT(selected.ink, 10) << "the selected item's text is not readable";
    EXPECT_EQ(0x000000u, unselected.background);
    EXPECT_GT(unselected.ink, 10) << "the other item's text is not readable";
}

// The design's colours at its places: the skin's face around the list and on the Close button, the
// skin's text in the rows on the system's white, and the button's dark blue text in its white and
// grey frame.
TEST_F(HighContrast, WithTheOrdinaryColoursTheWindowKeepsTheSkinsColours)
{
    HMODULE skin = LoadLibraryA((RuntimeDirectory() + "Vn_Skin.dll").c_str());
    char face[10] = "", text[10] = "";
    LoadStringA(skin, 1, face, sizeof face);
    LoadStringA(skin, 4, text, sizeof text);
    FreeLibrary(skin);
    ASSERT_NO_FATAL_FAILURE(StartAndShow((COLORREF)atoi(face)));
    Screen shown;
    Legibility rows = Measure(shown, Rows(), (COLORREF)atoi(text));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), rows.background);
    EXPECT_GT(rows.exactly, 40) << "no row text in the skin's colour";
    RECT button = WindowRect(GetDlgItem(viewer.window, 201));
    Legibility close = Measure(shown, WindowRect(GetDlgItem(viewer.window, 201), 3), ButtonTextColour);
    EXPECT_EQ((COLORREF)atoi(face), close.background);
    EXPECT_GT(close.exactly, 10);
    EXPECT_EQ(ButtonLightEdge, shown.At(button.left, button.top));
    EXPECT_EQ(ButtonDarkEdge, shown.At(button.right - 1, button.bottom - 1));
}

// A window of this process, which SetSysColors reaches at once.
struct RunningWindow : ::testing::Test, ViewerWindow {
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.95^^#")); }
    void TearDown() override { CloseViewerWindow(); }
    COLORREF ListText() { return (COLORREF)SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0); }
    COLORREF Face()
    {
        LOGBRUSH brush = {};
        GetObjectA((HBRUSH)GetClassLongPtrA(window, GCLP_HBRBACKGROUND), sizeof brush, &brush);
        return brush.lbColor;
    }
};

// WM_SYSCOLORCHANGE has the window choose its colours again, and so has WM_SETTINGCHANGE for high
// contrast, but not for another setting. The test skin has dark red text on white.
TEST_F(RunningWindow, ReadsTheColoursAgainOnTheChangeMessages)
{
    ASSERT_EQ(RGB(192, 0, 0), ListText());
    {
        DarkColours dark;
        SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(0xFFFFFFu, ListText());
        EXPECT_EQ(0x000000u, (COLORREF)SendMessageA(list, LVM_GETBKCOLOR, 0, 0));
        EXPECT_EQ(0x000000u, Face());
    }
    SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(RGB(192, 0, 0), ListText());
    EXPECT_EQ(0xFFFFFFu, Face());

    SendMessageA(list, LVM_SETTEXTCOLOR, 0, RGB(0, 200, 0));
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(RGB(0, 200, 0), ListText()) << "another setting had the colours read again";
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_EQ(RGB(192, 0, 0), ListText());
}

} // namespace
