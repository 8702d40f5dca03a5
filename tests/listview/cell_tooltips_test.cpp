// Cell tooltips under Wine: the real tooltip control of a real Products window, its two tools, the
// tip rules of each column worked out against the real list view's widths, the hot-tracking route
// from the window, and the tips really shown when the real pointer rests on the list or the button.
// Wine's list view sends no LVN_HOTTRACK of its own, so the tests deliver it as the list would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include <algorithm>

#include <functional>
#include <string>
#include <vector>

#include "app/products_window.h"
#include "common/control_ids.h"
#include "companions/category/category_lookup.h"
#include "companions/countries/money_lookup.h"
#include "feed/product_list.h"
#include "listview/cell_tooltips.h"
#include "listview/product_list_view.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

const char LongName[] = "Stainless steel kettle with a whistle and a folding handle for camping stoves, "
                        "open fires and gas rings";
const char LongAddress[] = "shop.example/items/stainless-steel-kettle-with-a-whistle-and-a-folding-handle-"
                           "for-camping-stoves";
// No blank and nothing else a line may break after (Wine's DrawText also breaks after '/' and '-').
const char LongWord[] = "Stainlesssteelkettlewithawhistleandafoldinghandleforcampingstovesandopenfires";
const char LongPrice[] = "1234567890123456789012345678901"; // the 31 characters a record keeps
const char AmpersandName[] = "Salt & pepper mill"; // as many names and categories ("Home & Garden") are

std::string CategoryName(int id)
{
    return func32_Get_FullName(func32_Get_IDToOrd(id));
}

std::string PriceTip(const char* price, int currency)
{
    return std::string(price) + " [" + func32_Get_MoneyNameL(currency) + "]";
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Moves the real pointer into the screen's top-left corner before the window opens: a window opened
// over the pointer takes the tip of the cell under it first, and on a fresh display the pointer rests
// in the middle, where the window opens. Under Wine only SetCursorPos moves the display's own pointer
// (SendInput moves Wine's idea of it, until the display next reports), and not to 0,0 exactly; Wine
// reads the pointer back from the display once the last move is a tenth of a second old.
void PointerToCorner()
{
    SetCursorPos(1, 1);
    PumpUntil([] { return false; }, 150);
    POINT at = { -1, -1 };
    GetCursorPos(&at);
    ASSERT_TRUE(at.x == 1 && at.y == 1) << "the pointer is at " << at.x << "," << at.y << ", not in the corner";
}

struct CellTooltips : ::testing::Test, ViewerWindow {
    HWND button = nullptr;
    HWND tip = nullptr;

    void SetUp() override
    {
        // The tips follow the real pointer: it rests in a corner, off the window, until a test moves it.
        ASSERT_NO_FATAL_FAILURE(PointerToCorner());
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.72^^#"));
        SetForegroundWindow(window);
        button = GetDlgItem(window, IDC_CLOSE_BUTTON);
        tip = CellTooltip();
        ASSERT_NE(nullptr, list);
        ASSERT_NE(nullptr, button);
        ASSERT_NE(nullptr, tip);
        AppendProduct(1, "Oak chair", 1110, "49.50", 840, "shop.example/oak", "item-1");
        AppendProduct(2, LongName, 1120, "1,299.00", 978, LongAddress, "item-2");
        AppendProduct(3, "Walnut desk", 2100, LongPrice, 999, "shop.example/walnut", "catalog/desks/item-3");
        AppendProduct(1, LongWord, 1110, "5.00", 826, "shop.example/kettle", "item-4");
        AppendProduct(1, AmpersandName, 1110, "12.00", 826, "shop.example/mill", "item-5");
        ASSERT_EQ(1, FillProductListView(list));
        PumpMessages();
    }

    void TearDown() override { CloseViewerWindow(); }

    // The tool of one control, as the tooltip control holds it; false when it has no such tool.
    bool Tool(HWND control, TOOLINFOA* tool, std::string* text)
    {
        static char buffer[1024];
        memset(buffer, 0, sizeof buffer); // a long text may come back without its terminator
        *tool = {};
        tool->cbSize = sizeof *tool;
        tool->hwnd = window;
        tool->uId = (UINT_PTR)control;
        tool->lpszText = buffer;
        if (!SendMessageA(tip, TTM_GETTOOLINFOA, 0, (LPARAM)tool))
            return false;
        // An empty text may come back as no text at all.
        *text = tool->lpszText != nullptr && !IS_INTRESOURCE(tool->lpszText) ? tool->lpszText : "";
        return true;
    }

    // The whole text of the list view's tool. The control hands out at most 80 characters through
    // the ANSI messages, so the text is read through TTM_GETTEXTW; the texts here are plain ASCII.
    std::string ListTip()
    {
        TOOLINFOA found;
        std::string shortText;
        EXPECT_TRUE(Tool(list, &found, &shortText)) << "the tooltip control has no tool for the list view";
        TOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = window;
        tool.uId = (UINT_PTR)list;
        wchar_t buffer[1024] = L"";
        tool.lpszText = buffer;
        SendMessageW(tip, TTM_GETTEXTW, sizeof buffer / sizeof buffer[0], (LPARAM)&tool);
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, buffer, -1, text, sizeof text, nullptr, nullptr);
        // What the ANSI message hands out is the start of the same text.
        EXPECT_EQ(std::string(text).substr(0, 80), shortText.substr(0, 80));
        return text;
    }

    int StringWidth(const std::string& text)
    {
        return (int)SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)text.c_str());
    }

    void SetColumnWidth(int column, int width)
    {
        SendMessageA(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
        ASSERT_EQ(width, (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    }

    // LVN_HOTTRACK as the list view sends it, to the Products window.
    LRESULT HotTrack(int item, int subitem, int from = IDC_PRODUCT_LIST)
    {
        NMLISTVIEW track = {};
        track.hdr.hwndFrom = list;
        track.hdr.idFrom = from;
        track.hdr.code = LVN_HOTTRACK;
        track.iItem = item;
        track.iSubItem = subitem;
        POINT at = CellCentre(item >= 0 ? item : 0, subitem > 0 ? subitem : 1);
        ScreenToClient(list, &at);
        track.ptAction = at;
        return SendMessageA(window, WM_NOTIFY, from, (LPARAM)&track);
    }

    POINT CellCentre(int item, int subitem)
    {
        RECT cell = {};
        cell.top = subitem;
        cell.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETSUBITEMRECT, item, (LPARAM)&cell);
        POINT at = { (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2 };
        ClientToScreen(list, &at);
        return at;
    }

    // A point of the window's own background, below the list and left of the button: no tool.
    POINT Elsewhere()
    {
        RECT r;
        GetWindowRect(button, &r);
        return POINT{ r.left - 80, (r.top + r.bottom) / 2 };
    }

    // Puts the pointer where no tool is and waits for any shown tip to go.
    void PointerAway()
    {
        MouseTo(Elsewhere());
        EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(tip); }, 5000)) << "the tip stayed up off its tool";
    }

    // The size of a text in the tip's font.
    SIZE TipTextExtent(const char* text)
    {
        HFONT font = (HFONT)SendMessageA(tip, WM_GETFONT, 0, 0);
        HDC dc = GetDC(tip);
        HGDIOBJ old = SelectObject(dc, font != nullptr ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
        SelectObject(dc, old);
        ReleaseDC(tip, dc);
        return extent;
    }

    // The width of what differs from the colour at (left, top) within the rectangle: the ink of a text.
    static int InkWidth(const OffscreenCanvas& canvas, int left, int top, int right, int bottom)
    {
        COLORREF background = canvas.At(left, top);
        int first = right, last = left - 1;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (canvas.At(x, y) != background) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return last - first + 1;
    }

    // The ink width of a text drawn as it is, no prefix taken, in the tip's font.
    int TextInkWidth(const char* text)
    {
        OffscreenCanvas canvas(600, 40, RGB(255, 255, 255));
        HFONT font = (HFONT)SendMessageA(tip, WM_GETFONT, 0, 0);
        HGDIOBJ old = SelectObject(canvas.Dc(), font != nullptr ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
        RECT area = { 10, 5, 590, 35 };
        DrawTextA(canvas.Dc(), text, -1, &area, DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(canvas.Dc(), old);
        return InkWidth(canvas, 0, 0, 600, 40);
    }

    // The tip shown now is control's tool, with text.
    void ExpectCurrentTool(HWND control, const char* text)
    {
        TOOLINFOA current = {};
        char buffer[256] = "";
        current.cbSize = sizeof current;
        current.lpszText = buffer;
        ASSERT_TRUE(SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, (LPARAM)&current));
        EXPECT_EQ((UINT_PTR)control, current.uId);
        EXPECT_STREQ(text, buffer);
    }

    // Rests the pointer on a point and waits for the tip window to show text there.
    bool RestAndWaitForTip(POINT at, const std::string& text)
    {
        MouseTo(at);
        return PumpUntil([&] { return IsWindowVisible(tip) && WindowText(tip) == text; }, 5000);
    }
};

// ---- The control and its tools

TEST_F(CellTooltips, IsATopmostAlwaysTipControlWithNarrowMarginsAndA150PixelWidth)
{
    char name[64] = "";
    GetClassNameA(tip, name, sizeof name);
    EXPECT_STREQ("tooltips_class32", name);
    EXPECT_TRUE(GetWindowLongA(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(tip, GWL_STYLE) & TTS_ALWAYSTIP);
    RECT margins = { -1, -1, -1, -1 };
    SendMessageA(tip, TTM_GETMARGIN, 0, (LPARAM)&margins);
    EXPECT_EQ(2, margins.left);
    EXPECT_EQ(1, margins.top);
    EXPECT_EQ(2, margins.right);
    EXPECT_EQ(1, margins.bottom);
    EXPECT_EQ(150, (int)SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0));
}

TEST_F(CellTooltips, HasTheCloseButtonsFixedTipAndTheListViewsEmptyOne)
{
    EXPECT_EQ(2, (int)SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));

    TOOLINFOA tool;
    std::string text;
    ASSERT_TRUE(Tool(button, &tool, &text)) << "no tool for the Close button";
    EXPECT_EQ("Cancel and Close.", text);
    EXPECT_EQ((UINT)(TTF_IDISHWND | TTF_SUBCLASS), tool.uFlags);
    EXPECT_EQ(window, tool.hwnd);
    EXPECT_EQ((UINT_PTR)button, tool.uId);
    EXPECT_STREQ("Cancel and Close.", CloseButtonTip);

    ASSERT_TRUE(Tool(list, &tool, &text)) << "no tool for the list view";
    EXPECT_EQ("", text);
    EXPECT_EQ("", ListTip());
    EXPECT_EQ((UINT)(TTF_IDISHWND | TTF_SUBCLASS), tool.uFlags);
    EXPECT_EQ(window, tool.hwnd);
    EXPECT_EQ((UINT_PTR)list, tool.uId);

    // The button's tip read the other way too.
    ASSERT_TRUE(Tool(button, &tool, &text));
    char buffer[256] = "";
    tool.lpszText = buffer;
    SendMessageA(tip, TTM_GETTEXTA, sizeof buffer, (LPARAM)&tool);
    EXPECT_STREQ("Cancel and Close.", buffer);
}

// ---- What each column's cell gives

// Product, Category, web address and server page: the whole text only when the column is narrower
// than the text plus 12 pixels.
TEST_F(CellTooltips, ClippableColumnsGiveTheirTextOnlyWhenNarrowerThanTheTextAndTwelvePixels)
{
    const struct {
        int column;
        int item;
        std::string text;
    } cases[] = {
        { 1, 0, "Oak chair" },
        { 1, 1, LongName },
        { 2, 0, CategoryName(1110) },
        { 2, 2, CategoryName(2100) },
        { 4, 0, "shop.example/oak" },
        { 4, 1, LongAddress },
        { 5, 2, "catalog/desks/item-3" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("column " + std::to_string(c.column) + " row " + std::to_string(c.item));
        int width = StringWidth(c.text);
        ASSERT_GT(width, 0);
        // Fits exactly: no tip. Then one pixel less: the whole text. The same cell both times, since a
        // cell without a tip is worked out afresh.
        SetColumnWidth(c.column, width + 12);
        UpdateCellTooltip(window, c.item, c.column);
        EXPECT_EQ("", ListTip());
        EXPECT_FALSE(LastHotCell().tipShown);
        SetColumnWidth(c.column, width + 11);
        UpdateCellTooltip(window, c.item, c.column);
        EXPECT_EQ(c.text, ListTip());
        HotCell hot = LastHotCell();
        EXPECT_EQ(c.item, hot.item);
        EXPECT_EQ(c.column, hot.subitem);
        EXPECT_TRUE(hot.tipShown);
        // A column far too narrow still gives the whole text, and a wide one none.
        UpdateCellTooltip(window, c.item == 0 ? 1 : 0, c.column);
        SetColumnWidth(c.column, 5);
        UpdateCellTooltip(window, c.item, c.column);
        EXPECT_EQ(c.text, ListTip());
        SetColumnWidth(c.column, width + 200);
        UpdateCellTooltip(window, c.item == 0 ? 1 : 0, 0);
        UpdateCellTooltip(window, c.item, c.column);
        EXPECT_EQ("", ListTip());
    }
}

TEST_F(CellTooltips, PriceAlwaysGivesThePriceAndTheMoneysLongName)
{
    const struct {
        int item;
        std::string text;
    } cases[] = {
        { 0, PriceTip("49.50", 840) },
        { 1, PriceTip("1,299.00", 978) },
        { 2, PriceTip(LongPrice, 999) }, // the longest price a record keeps and the longest name
    };
    ASSERT_NE(std::string(func32_Get_MoneyNameL(840)), func32_Get_MoneyName(840));
    for (int width : { 400, 56, 3 }) {
        SetColumnWidth(3, width);
        for (const auto& c : cases) {
            SCOPED_TRACE("width " + std::to_string(width) + " row " + std::to_string(c.item));
            UpdateCellTooltip(window, c.item, 0); // another cell first, so the price is worked out
            UpdateCellTooltip(window, c.item, 3);
            EXPECT_EQ(c.text, ListTip());
            EXPECT_TRUE(LastHotCell().tipShown);
        }
    }
}

TEST_F(CellTooltips, StatusAndCellsOutsideTheTableGiveNoTip)
{
    SetColumnWidth(0, 1); // however narrow
    const struct {
        int item, subitem;
    } cells[] = { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 0, 6 }, { 0, 7 }, { 0, -1 }, { 5, 1 }, { 99, 3 }, { -2, 1 } };
    for (const auto& cell : cells) {
        SCOPED_TRACE(std::to_string(cell.item) + "," + std::to_string(cell.subitem));
        // A shown tip first, so that an untouched text would show as a wrong one.
        UpdateCellTooltip(window, 1, 3);
        ASSERT_NE("", ListTip());
        UpdateCellTooltip(window, cell.item, cell.subitem);
        EXPECT_EQ("", ListTip());
        HotCell hot = LastHotCell();
        EXPECT_EQ(cell.item, hot.item);
        EXPECT_EQ(cell.subitem, hot.subitem);
        EXPECT_FALSE(hot.tipShown);
    }
}

// ---- Working a cell out again

// Counts the tip texts set on the tooltip control from construction on, and keeps the last.
struct UpdateCount {
    int updates = 0;
    std::string lastText;
    MessageSpy spy;

    explicit UpdateCount(HWND tip)
        : spy(tip, [this](UINT message, WPARAM, LPARAM lParam) {
              if (message == TTM_UPDATETIPTEXTA) {
                  ++updates;
                  const TOOLINFOA* tool = (const TOOLINFOA*)lParam;
                  lastText = tool->lpszText != nullptr && !IS_INTRESOURCE(tool->lpszText) ? tool->lpszText : "";
              }
          })
    {
    }
};

TEST_F(CellTooltips, AShownTipsCellIsNotWorkedOutAgain)
{
    UpdateCount seen(tip);
    SetColumnWidth(1, StringWidth(LongName) / 2);
    UpdateCellTooltip(window, 1, 1);
    ASSERT_EQ(1, seen.updates);
    EXPECT_EQ(LongName, seen.lastText);
    HotCell first = LastHotCell();
    ASSERT_TRUE(first.tipShown);

    // The pointer stays in the cell: nothing is sent and nothing changes.
    for (int i = 0; i < 3; ++i)
        UpdateCellTooltip(window, 1, 1);
    EXPECT_EQ(1, seen.updates);
    HotCell still = LastHotCell();
    EXPECT_EQ(first.item, still.item);
    EXPECT_EQ(first.subitem, still.subitem);
    EXPECT_TRUE(still.tipShown);
    EXPECT_EQ(LongName, ListTip());

    // Another row of the same column, or another column of the same row, is worked out.
    SetColumnWidth(1, 600);
    UpdateCellTooltip(window, 0, 1);
    EXPECT_EQ(2, seen.updates);
    EXPECT_EQ("", seen.lastText) << "the widened column fits";
    UpdateCellTooltip(window, 0, 3);
    EXPECT_EQ(3, seen.updates);
    EXPECT_EQ(PriceTip("49.50", 840), seen.lastText);
    UpdateCellTooltip(window, 1, 3);
    EXPECT_EQ(4, seen.updates);
    EXPECT_EQ(PriceTip("1,299.00", 978), seen.lastText);
    // The Price tip is shown, so staying there sends nothing either.
    UpdateCellTooltip(window, 1, 3);
    EXPECT_EQ(4, seen.updates);
}

TEST_F(CellTooltips, ACellWithoutATipIsWorkedOutAgainEachTime)
{
    UpdateCount seen(tip);
    for (int i = 1; i <= 3; ++i) {
        UpdateCellTooltip(window, 0, 0);
        EXPECT_EQ(i, seen.updates);
        EXPECT_EQ("", seen.lastText);
    }
    // A Product cell that fits gives no tip; once its column narrows, the same cell gives one.
    SetColumnWidth(1, 400);
    UpdateCellTooltip(window, 0, 1);
    UpdateCellTooltip(window, 0, 1);
    EXPECT_EQ(5, seen.updates);
    EXPECT_FALSE(LastHotCell().tipShown);
    SetColumnWidth(1, 20);
    UpdateCellTooltip(window, 0, 1);
    EXPECT_EQ(6, seen.updates);
    EXPECT_EQ("Oak chair", seen.lastText);
    EXPECT_EQ("Oak chair", ListTip());
    EXPECT_TRUE(LastHotCell().tipShown);
}

// ---- Hot-tracking through the window

TEST_F(CellTooltips, HotTrackingARowSetsTheHandAndTheCellsTip)
{
    SetColumnWidth(1, 20);
    HCURSOR hand = LoadCursorA(nullptr, (LPCSTR)IDC_HAND);
    ASSERT_NE(nullptr, hand);
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_CROSS));
    EXPECT_EQ(0, HotTrack(1, 1));
    EXPECT_EQ(hand, GetCursor());
    EXPECT_EQ(LongName, ListTip());
    EXPECT_EQ(1, LastHotCell().item);
    EXPECT_EQ(1, LastHotCell().subitem);

    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_CROSS));
    EXPECT_EQ(0, HotTrack(2, 3));
    EXPECT_EQ(hand, GetCursor());
    EXPECT_EQ(PriceTip(LongPrice, 999), ListTip());

    // Over a row's Status cell the hand still shows, with no tip.
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_CROSS));
    EXPECT_EQ(0, HotTrack(0, 0));
    EXPECT_EQ(hand, GetCursor());
    EXPECT_EQ("", ListTip());
}

TEST_F(CellTooltips, HotTrackingNoRowSetsTheArrowAndLeavesTheTip)
{
    SetColumnWidth(1, 20);
    HotTrack(1, 1);
    ASSERT_EQ(LongName, ListTip());
    HotCell before = LastHotCell();
    int updates = 0;
    MessageSpy spy(tip, [&](UINT message, WPARAM, LPARAM) { updates += message == TTM_UPDATETIPTEXTA; });
    HCURSOR arrow = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    for (int item : { -1, -2, -100 }) {
        SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_CROSS));
        EXPECT_EQ(0, HotTrack(item, 1));
        EXPECT_EQ(arrow, GetCursor()) << item;
    }
    EXPECT_EQ(0, updates);
    EXPECT_EQ(LongName, ListTip());
    EXPECT_EQ(before.item, LastHotCell().item);
    EXPECT_EQ(before.subitem, LastHotCell().subitem);
    EXPECT_TRUE(LastHotCell().tipShown);
}

TEST_F(CellTooltips, OnlyTheListViewsHotTrackingReachesTheTips)
{
    SetColumnWidth(1, 20);
    int updates = 0;
    MessageSpy spy(tip, [&](UINT message, WPARAM, LPARAM) { updates += message == TTM_UPDATETIPTEXTA; });
    HotTrack(1, 1, 106);
    HotTrack(1, 1, IDC_CLOSE_BUTTON);
    EXPECT_EQ(0, updates);
    EXPECT_EQ("", ListTip());
    HotTrack(1, 1);
    EXPECT_EQ(1, updates);
    EXPECT_EQ(LongName, ListTip());
}

// ---- Tips really shown under the real pointer

TEST_F(CellTooltips, RestingThePointerOnTheCloseButtonShowsItsTip)
{
    PointerAway();
    RECT r;
    GetWindowRect(button, &r);
    POINT centre = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    ASSERT_TRUE(RestAndWaitForTip(centre, "Cancel and Close."))
        << "shown " << IsWindowVisible(tip) << " with \"" << WindowText(tip) << "\"";
    ASSERT_NO_FATAL_FAILURE(ExpectCurrentTool(button, "Cancel and Close."));
    PointerAway();
}

TEST_F(CellTooltips, TheRealPointerOnAClippedCellShowsTheHotCellsText)
{
    SetColumnWidth(1, 40);
    PointerAway();
    HotTrack(0, 1);
    ASSERT_EQ("Oak chair", ListTip());
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(0, 1), "Oak chair"))
        << "shown " << IsWindowVisible(tip) << " with \"" << WindowText(tip) << "\"";
    ASSERT_NO_FATAL_FAILURE(ExpectCurrentTool(list, "Oak chair"));
    PointerAway();

    // A cell without a tip (the Status column's) shows nothing when the pointer comes back.
    HotTrack(0, 0);
    POINT status = CellCentre(0, 1); // subitem 0's bounds are the whole row's: step left from Product
    status.x -= SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0) / 2 + SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) / 2;
    MouseTo(status);
    PumpUntil([] { return false; }, 1500);
    EXPECT_FALSE(IsWindowVisible(tip)) << "shown with \"" << WindowText(tip) << "\"";
}

// Without any hot-tracking notification, as under Wine: the window learns the cell from the pointer's
// own moves over the list. Where the list view also reports hot-tracking (Windows), the two meet in
// the same-cell short cut, so a shown tip is worked out once per cell.
TEST_F(CellTooltips, TheRealPointerAloneShowsAClippedNameAndAPricesLongMoneyName)
{
    SetColumnWidth(1, 40);
    PointerAway();
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(1, 1), LongName))
        << "shown " << IsWindowVisible(tip) << " with \"" << WindowText(tip) << "\"";
    EXPECT_EQ(LoadCursorA(nullptr, (LPCSTR)IDC_HAND), GetCursor());
    EXPECT_EQ(1, LastHotCell().item);
    EXPECT_EQ(1, LastHotCell().subitem);

    int updates = 0;
    MessageSpy spy(tip, [&](UINT message, WPARAM, LPARAM) { updates += message == TTM_UPDATETIPTEXTA; });
    POINT inside = CellCentre(1, 1);
    for (int step = 1; step <= 3; ++step) {
        MouseTo(POINT{ inside.x + step, inside.y });
        HotTrack(1, 1);
        PumpUntil([] { return false; }, 100);
    }
    EXPECT_EQ(0, updates) << "the cell's shown tip was worked out again";

    PointerAway();
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(0, 3), PriceTip("49.50", 840)))
        << "shown " << IsWindowVisible(tip) << " with \"" << WindowText(tip) << "\"";
    PointerAway();
}

// The tip's size beside its text's: what a one-line tip adds around its text (margins, the
// control's own padding and border) is the allowance a broken tip may add to 150 pixels.
TEST_F(CellTooltips, ALongTipBreaksAtBlanksWithin150PixelsAndOneWithoutBlanksStaysOneLine)
{
    SIZE shortExtent = TipTextExtent("Oak chair"), wordExtent = TipTextExtent(LongWord);
    int textHeight = shortExtent.cy;
    ASSERT_GT(wordExtent.cx, 200) << "the long text must be far wider than a tip may be";

    // One line: a short clipped name.
    SetColumnWidth(1, 30);
    PointerAway();
    HotTrack(0, 1);
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(0, 1), "Oak chair"));
    RECT one;
    GetWindowRect(tip, &one);
    int allowance = (one.right - one.left) - shortExtent.cx;
    int lineHeight = one.bottom - one.top;
    EXPECT_GT(allowance, 0);
    EXPECT_LT(allowance, 40);
    PointerAway();

    // With blanks: broken onto lines no wider than 150 pixels.
    HotTrack(1, 1);
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(1, 1), LongName));
    RECT broken;
    GetWindowRect(tip, &broken);
    EXPECT_LE(broken.right - broken.left, 150 + allowance);
    EXPECT_GE(broken.bottom - broken.top, lineHeight + 2 * textHeight) << "at least three lines";
    PointerAway();

    // Without blanks: one line, as wide as it needs.
    HotTrack(3, 1);
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(3, 1), LongWord));
    RECT unbroken;
    GetWindowRect(tip, &unbroken);
    EXPECT_EQ(lineHeight, unbroken.bottom - unbroken.top);
    EXPECT_EQ(wordExtent.cx + allowance, unbroken.right - unbroken.left);
    PointerAway();
}

// The list shows "Salt & pepper mill" as it is; its tip must too, not take the '&' for the
// underline prefix of a menu accelerator (the tip would then read "Salt _pepper mill").
TEST_F(CellTooltips, AnAmpersandInATipIsShownAsItIs)
{
    SIZE plain = TipTextExtent("Oak chair");
    SIZE whole = TipTextExtent(AmpersandName), stripped = TipTextExtent("Salt  pepper mill");
    ASSERT_GE(whole.cx - stripped.cx, 4) << "the '&' must be wide enough to tell";

    SetColumnWidth(1, 30);
    PointerAway();
    HotTrack(0, 1);
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(0, 1), "Oak chair"));
    RECT one;
    GetWindowRect(tip, &one);
    int allowance = (one.right - one.left) - plain.cx;
    PointerAway();

    HotTrack(4, 1);
    ASSERT_EQ(AmpersandName, ListTip());
    ASSERT_TRUE(RestAndWaitForTip(CellCentre(4, 1), AmpersandName));
    RECT shown;
    GetWindowRect(tip, &shown);
    EXPECT_EQ(whole.cx + allowance, shown.right - shown.left)
        << "laid out as " << stripped.cx + allowance << " wide text would be: the '&' was taken for a prefix";

    // What is drawn: the ink of the whole text, '&' included, wider than the ink of the text without it.
    int width = shown.right - shown.left, height = shown.bottom - shown.top;
    OffscreenCanvas canvas(width, height, RGB(0, 255, 0));
    SendMessageA(tip, WM_PRINTCLIENT, (WPARAM)canvas.Dc(), PRF_CLIENT);
    int drawn = InkWidth(canvas, 2, 2, width - 4, height - 4);
    ASSERT_GT(drawn, 0) << "no text drawn";
    int inkWhole = TextInkWidth(AmpersandName), inkStripped = TextInkWidth("Salt  pepper mill");
    ASSERT_GT(inkWhole, inkStripped);
    EXPECT_EQ(inkWhole, drawn) << "drawn as the text without its '&' (" << inkStripped << " wide) would be";
    PointerAway();
}

} // namespace
