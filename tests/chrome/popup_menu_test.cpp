// Owner-drawn popup menu items under Wine: measured in a real window, drawn with real GDI into a
// memory DC whose pixels are read back, the 3-D frame, real menus built and shown, and every GDI
// object made while measuring and drawing deleted again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "chrome/menu_rules.h"
#include "chrome/popup_menu.h"
#include "gdi_count.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

const COLORREF Silver = RGB(192, 192, 192);
const COLORREF Fill = RGB(23, 171, 87);      // the canvas before anything is drawn
const COLORREF DcText = RGB(120, 30, 140);   // the DC's own colours when an item is drawn
const COLORREF DcBack = RGB(250, 230, 90);
const COLORREF Unused = RGB(0, 160, 0);      // the test icon outside its top-left 13 by 13

// An item's data as a menu would hold it: its text and icon; the screen readers' part stays empty.
MenuItemData Item(const char* text, HBITMAP bitmap)
{
    MenuItemData data = {};
    data.text = text;
    data.bitmap = bitmap;
    return data;
}

DRAWITEMSTRUCT ItemDraw(HDC dc, const RECT& rect, const MenuItemData* data, UINT state, UINT action,
                        UINT type = ODT_MENU)
{
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = type;
    draw.itemID = 4711;
    draw.itemAction = action;
    draw.itemState = state;
    draw.hDC = dc;
    draw.rcItem = rect;
    draw.itemData = (ULONG_PTR)data;
    return draw;
}

// DrawMenuItem with a draw record made on the spot.
void Draw(HWND window, const DRAWITEMSTRUCT& draw)
{
    DrawMenuItem(window, &draw);
}

// The test icon: 16 by 16, of which only the top-left 13 by 13 may show. Every pixel there has its
// own colour, so a shifted or mirrored copy shows, and a diagonal pattern of them is silver.
class TestIcon {
public:
    TestIcon()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 16;
        info.bmiHeader.biHeight = -16;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap_ == nullptr)
            return;
        DWORD* pixels = (DWORD*)bits;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                COLORREF c = At(x, y);
                pixels[y * 16 + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        }
        GdiFlush();
    }
    ~TestIcon()
    {
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
    }
    TestIcon(const TestIcon&) = delete;
    TestIcon& operator=(const TestIcon&) = delete;

    HBITMAP Bitmap() const { return bitmap_; }

    static COLORREF At(int x, int y)
    {
        if (x >= 13 || y >= 13)
            return Unused;
        if ((x + y) % 4 == 0)
            return Silver;
        return RGB(16 * x + 8, 16 * y + 8, 77);
    }

private:
    HBITMAP bitmap_;
};

// What a draw must leave as it found it in the DC.
struct DcState {
    COLORREF text, back;
    int backMode;
    HGDIOBJ font, pen, brush, bitmap;
};

DcState StateOf(HDC dc)
{
    return DcState{ GetTextColor(dc),
                    GetBkColor(dc),
                    GetBkMode(dc),
                    GetCurrentObject(dc, OBJ_FONT),
                    GetCurrentObject(dc, OBJ_PEN),
                    GetCurrentObject(dc, OBJ_BRUSH),
                    GetCurrentObject(dc, OBJ_BITMAP) };
}

void ExpectSameState(const DcState& before, const DcState& after)
{
    EXPECT_EQ(before.text, after.text) << "text colour";
    EXPECT_EQ(before.back, after.back) << "background colour";
    EXPECT_EQ(before.backMode, after.backMode) << "background mode";
    EXPECT_EQ(before.font, after.font) << "selected font";
    EXPECT_EQ(before.pen, after.pen) << "selected pen";
    EXPECT_EQ(before.brush, after.brush) << "selected brush";
    EXPECT_EQ(before.bitmap, after.bitmap) << "selected bitmap";
}

// A canvas set up as a menu's DC would be: the menu font, and the DC's own colours.
void PrepareMenuDc(HDC dc)
{
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, DcText);
    SetBkColor(dc, DcBack);
}

std::string Hex(COLORREF c)
{
    char text[16];
    wsprintfA(text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// Collects pixel mismatches and reports the first few with their count.
class PixelCheck {
public:
    explicit PixelCheck(const char* what) : what_(what) {}
    void Expect(const OffscreenCanvas& canvas, int x, int y, COLORREF expected)
    {
        COLORREF actual = canvas.At(x, y);
        ++checked_;
        if (actual == expected)
            return;
        if (++wrong_ <= 8)
            detail_ << " (" << x << "," << y << ") is " << Hex(actual) << " not " << Hex(expected) << ";";
    }
    ~PixelCheck()
    {
        EXPECT_GT(checked_, 0) << what_;
        EXPECT_EQ(0, wrong_) << what_ << ": " << wrong_ << " of " << checked_ << " pixels wrong:" << detail_.str();
    }

private:
    const char* what_;
    int checked_ = 0, wrong_ = 0;
    std::ostringstream detail_;
};

// The colour a one-pixel frame around r puts at (x, y): first on the top row from left to right - 1
// and the left column from top to bottom - 1, second on the right column from top to bottom - 1 and
// the bottom row from left to right. CLR_INVALID off the frame.
COLORREF FrameColourAt(const RECT& r, int x, int y, COLORREF first, COLORREF second)
{
    if ((y == r.top && x >= r.left && x < r.right) || (x == r.left && y >= r.top && y < r.bottom))
        return first;
    if ((x == r.right && y >= r.top && y < r.bottom) || (y == r.bottom && x >= r.left && x <= r.right))
        return second;
    return CLR_INVALID;
}

// GetSysColor as this whole program sees it: the menus' colours come from a palette of its own, all
// different (Wine's theme makes the menu colour and the button highlight both white, which would
// hide a flat frame drawn in the wrong one). Requests are counted, and a test can change what some
// indices answer, as a user changing the system's colours would.
struct SysColourWatch {
    static const int INDICES = 64;
    int requests[INDICES] = {};
    bool changed[INDICES] = {};
    ImportPatch* patch = nullptr;

    static COLORREF Changed(int index) { return RGB(7 + index, 101, 211); }
    void Forget()
    {
        for (int& count : requests)
            count = 0;
    }
};
SysColourWatch sysColours;

DWORD WINAPI WatchGetSysColor(int index)
{
    if (index >= 0 && index < SysColourWatch::INDICES) {
        ++sysColours.requests[index];
        if (sysColours.changed[index])
            return SysColourWatch::Changed(index);
    }
    switch (index) {
    case COLOR_HIGHLIGHT:
        return RGB(10, 36, 106);
    case COLOR_HIGHLIGHTTEXT:
        return RGB(250, 250, 240);
    case COLOR_BTNHIGHLIGHT:
        return RGB(255, 255, 255);
    case COLOR_BTNSHADOW:
        return RGB(128, 128, 128);
    case COLOR_MENU:
        return RGB(212, 208, 200);
    }
    return sysColours.patch->Original<decltype(&GetSysColor)>()(index);
}

// Puts the palette in place before the first test, so that the colours the menus read once are
// always the palette's.
class PaletteEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        patch_.reset(new ImportPatch("user32.dll", "GetSysColor", (void*)&WatchGetSysColor));
        ASSERT_TRUE(patch_->Patched()) << "GetSysColor is not imported through this program's table";
        sysColours.patch = patch_.get();
    }
    void TearDown() override
    {
        patch_.reset();
        sysColours.patch = nullptr;
    }

private:
    std::unique_ptr<ImportPatch> patch_;
};
::testing::Environment* const palette = ::testing::AddGlobalTestEnvironment(new PaletteEnvironment);

// The system colours the menus draw with, as this program has them.
struct SystemColours {
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    COLORREF highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    COLORREF menu = GetSysColor(COLOR_MENU);
};

// The top-level window that owns the menus: it measures and draws their items as the viewer's does.
const char OwnerClass[] = "PopupMenuTestOwner";

struct OwnerLog {
    std::vector<MEASUREITEMSTRUCT> measured; // as answered
    std::vector<DRAWITEMSTRUCT> drawn;
    std::vector<UINT> commands;
    volatile LONG selectedDraws = 0;
};
OwnerLog ownerLog;

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MEASUREITEM: {
        MEASUREITEMSTRUCT* measure = (MEASUREITEMSTRUCT*)lParam;
        MeasureMenuItem(window, measure);
        ownerLog.measured.push_back(*measure);
        return TRUE;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* draw = (const DRAWITEMSTRUCT*)lParam;
        DrawMenuItem(window, draw);
        ownerLog.drawn.push_back(*draw);
        if (draw->CtlType == ODT_MENU && (draw->itemState & ODS_SELECTED))
            InterlockedIncrement(&ownerLog.selectedDraws);
        return TRUE;
    }
    case WM_COMMAND:
        ownerLog.commands.push_back(LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct OwnerWindow : ::testing::Test {
    HWND window = nullptr;

    void SetUp() override
    {
        ownerLog.measured.clear();
        ownerLog.drawn.clear();
        ownerLog.commands.clear();
        ownerLog.selectedDraws = 0;
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = OwnerProcedure;
        windowClass.hInstance = Instance();
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        windowClass.lpszClassName = OwnerClass;
        ASSERT_NE(0, RegisterClassA(&windowClass));
        window = CreateWindowA(OwnerClass, "Menu owner", WS_OVERLAPPEDWINDOW, 40, 40, 300, 200, nullptr, nullptr,
                               Instance(), nullptr);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        PumpMessages();
        UnregisterClassA(OwnerClass, Instance());
    }

    // The text's extent in the default GUI font in this window's DC, measured here independently.
    SIZE GuiFontExtent(const char* text)
    {
        HDC dc = GetDC(window);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        SelectObject(dc, old);
        ReleaseDC(window, dc);
        return size;
    }

    // A menu item's measurement, starting from sizes it must overwrite.
    MEASUREITEMSTRUCT Measure(const MenuItemData& data)
    {
        MEASUREITEMSTRUCT measure = {};
        measure.CtlType = ODT_MENU;
        measure.itemID = 4711;
        measure.itemWidth = 0xDEAD;
        measure.itemHeight = 0xBEEF;
        measure.itemData = (ULONG_PTR)&data;
        MeasureMenuItem(window, &measure);
        return measure;
    }
};

struct PopupMenuMeasure : OwnerWindow {};
struct PopupMenuShown : OwnerWindow {};
struct PopupMenuGdiLeak : OwnerWindow {};

// ---- Measuring

const char* const MeasuredTexts[] = { " Ascending", " Descending", "Open the product page", "i", "WWWWWWWWWWWWWWWWWW",
                                      "" };

// The window's DC, as handed out and given back while an item is measured.
struct DcTraffic {
    int gets = 0, releases = 0;
    HWND gotFor = nullptr, releasedFor = nullptr;
    HDC got = nullptr, released = nullptr;
};
DcTraffic dcTraffic;
ImportPatch* getDcPatch = nullptr;
ImportPatch* releaseDcPatch = nullptr;

HDC WINAPI WatchGetDC(HWND window)
{
    HDC dc = getDcPatch->Original<decltype(&GetDC)>()(window);
    ++dcTraffic.gets;
    dcTraffic.gotFor = window;
    dcTraffic.got = dc;
    return dc;
}

int WINAPI WatchReleaseDC(HWND window, HDC dc)
{
    ++dcTraffic.releases;
    dcTraffic.releasedFor = window;
    dcTraffic.released = dc;
    return releaseDcPatch->Original<decltype(&ReleaseDC)>()(window, dc);
}

TEST_F(PopupMenuMeasure, SizesAnItemFromItsTextInTheDefaultGuiFont)
{
    // The comparison tells fonts apart: the DC's own font measures the long text differently.
    HDC dc = GetDC(window);
    SIZE own = {};
    GetTextExtentPoint32A(dc, MeasuredTexts[2], lstrlenA(MeasuredTexts[2]), &own);
    ReleaseDC(window, dc);
    SIZE gui = GuiFontExtent(MeasuredTexts[2]);
    ASSERT_TRUE(own.cx != gui.cx || own.cy != gui.cy) << "the DC's default font measures like the GUI font";

    for (const char* text : MeasuredTexts) {
        SIZE expected = GuiFontExtent(text);
        MenuItemData data = Item(text, nullptr);
        MenuTextHeight = -7;
        MEASUREITEMSTRUCT measure = Measure(data);
        EXPECT_EQ((UINT)(expected.cx + 22), measure.itemWidth) << '"' << text << '"';
        EXPECT_EQ((UINT)((expected.cy > 13 ? expected.cy : 13) + 4), measure.itemHeight) << '"' << text << '"';
        EXPECT_EQ(expected.cy, MenuTextHeight) << '"' << text << '"';
        EXPECT_EQ(4711u, measure.itemID) << "the item's id is not the measurer's to change";
    }
}

TEST_F(PopupMenuMeasure, UsesTheOwnersDcAndGivesItBack)
{
    MenuItemData data = Item(" Descending", nullptr);
    dcTraffic = DcTraffic();
    {
        ImportPatch getDc("user32.dll", "GetDC", (void*)&WatchGetDC);
        ImportPatch releaseDc("user32.dll", "ReleaseDC", (void*)&WatchReleaseDC);
        ASSERT_TRUE(getDc.Patched());
        ASSERT_TRUE(releaseDc.Patched());
        getDcPatch = &getDc;
        releaseDcPatch = &releaseDc;
        Measure(data);
        getDcPatch = releaseDcPatch = nullptr;
    }
    EXPECT_EQ(1, dcTraffic.gets);
    EXPECT_EQ(window, dcTraffic.gotFor);
    ASSERT_NE(nullptr, dcTraffic.got);
    EXPECT_EQ(1, dcTraffic.releases);
    EXPECT_EQ(window, dcTraffic.releasedFor);
    EXPECT_EQ(dcTraffic.got, dcTraffic.released);
}

// Answers text measurements with a chosen height, after checking what was asked and with which font.
struct ExtentWatch {
    int height = 0;
    int calls = 0;
    std::string text;
    LOGFONTA font = {};
};
ExtentWatch extentWatch;
ImportPatch* extentPatch = nullptr;

BOOL WINAPI ChosenHeightExtent(HDC dc, LPCSTR text, int length, LPSIZE size)
{
    BOOL done = extentPatch->Original<decltype(&GetTextExtentPoint32A)>()(dc, text, length, size);
    ++extentWatch.calls;
    extentWatch.text.assign(text, length > 0 ? length : 0);
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof extentWatch.font, &extentWatch.font);
    size->cy = extentWatch.height;
    return done;
}

TEST_F(PopupMenuMeasure, RaisesShortTextToTheIconButKeepsItsHeightForCentring)
{
    LOGFONTA gui = {};
    ASSERT_NE(0, GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui));
    const char text[] = "Sort by price";
    SIZE real = GuiFontExtent(text);
    const struct {
        int textHeight, itemHeight;
    } cases[] = { { 10, 17 }, { 13, 17 }, { 16, 20 }, { 0, 17 }, { 14, 18 } };
    ImportPatch patch("gdi32.dll", "GetTextExtentPoint32A", (void*)&ChosenHeightExtent);
    ASSERT_TRUE(patch.Patched());
    extentPatch = &patch;
    for (const auto& one : cases) {
        extentWatch = ExtentWatch();
        extentWatch.height = one.textHeight;
        MenuItemData data = Item(text, nullptr);
        MEASUREITEMSTRUCT measure = Measure(data);
        EXPECT_EQ(1, extentWatch.calls);
        EXPECT_EQ(text, extentWatch.text) << "the whole text is measured";
        EXPECT_STREQ(gui.lfFaceName, extentWatch.font.lfFaceName) << "measured in the default GUI font";
        EXPECT_EQ(gui.lfHeight, extentWatch.font.lfHeight);
        EXPECT_EQ(gui.lfWeight, extentWatch.font.lfWeight);
        EXPECT_EQ((UINT)one.itemHeight, measure.itemHeight) << "text height " << one.textHeight;
        EXPECT_EQ((UINT)(real.cx + 22), measure.itemWidth) << "text height " << one.textHeight;
        EXPECT_EQ(one.textHeight, MenuTextHeight) << "the text's own height, not the item's floor";
    }
    extentPatch = nullptr;
}

TEST_F(PopupMenuMeasure, LeavesItemsOfOtherControlsAlone)
{
    // Their item data is not a menu item's: null here, so reading it would crash.
    for (UINT type : { (UINT)ODT_LISTBOX, (UINT)ODT_COMBOBOX, (UINT)ODT_BUTTON, (UINT)ODT_STATIC, (UINT)ODT_LISTVIEW,
                       (UINT)ODT_TAB }) {
        MEASUREITEMSTRUCT measure = {};
        measure.CtlType = type;
        measure.CtlID = 7;
        measure.itemID = 3;
        measure.itemWidth = 123;
        measure.itemHeight = 45;
        measure.itemData = 0;
        MenuTextHeight = 99;
        MeasureMenuItem(window, &measure);
        EXPECT_EQ(123u, measure.itemWidth) << "control type " << type;
        EXPECT_EQ(45u, measure.itemHeight) << "control type " << type;
        EXPECT_EQ(99, MenuTextHeight) << "control type " << type;
    }
}

// ---- Drawing

struct PopupMenuDraw : ::testing::Test {
    SystemColours colours;
    TestIcon icon;
    // A 20-pixel item away from the canvas's corner, so that rows below the frame exist and
    // coordinates relative to the canvas rather than the item would show.
    const RECT item = { 10, 6, 150, 26 };
    const int textHeight = 13; // 7 spare rows: the text starts 3 below the item's top, not 4

    void SetUp() override
    {
        ASSERT_NE(nullptr, icon.Bitmap());
        // Every colour must be told apart from the others, or the pixels would prove nothing.
        const COLORREF all[] = { colours.highlight, colours.highlightText, colours.light, colours.shadow,
                                 colours.menu, Fill, DcText, DcBack, Silver, Unused };
        for (size_t i = 0; i < sizeof all / sizeof all[0]; ++i)
            for (size_t j = i + 1; j < sizeof all / sizeof all[0]; ++j)
                ASSERT_NE(all[i], all[j]) << "colours " << i << " and " << j << " are both " << Hex(all[i]);
        MenuTextHeight = textHeight;
    }

    void DrawItem(OffscreenCanvas& canvas, const MenuItemData& data, UINT state, UINT action)
    {
        Draw(nullptr, ItemDraw(canvas.Dc(), item, &data, state, action));
    }

    // The icon column, x from the item's left to left + 16: the frame square's edges in the given
    // colours, the icon (or nothing) 2 in from the top-left, and the canvas everywhere else.
    void ExpectIconColumn(const OffscreenCanvas& canvas, COLORREF first, COLORREF second, bool withIcon,
                          const char* what)
    {
        PixelCheck check(what);
        RECT box = { item.left, item.top, item.left + 16, item.top + 16 };
        for (int y = item.top; y < item.bottom; ++y) {
            for (int x = item.left; x <= item.left + 16; ++x) {
                COLORREF expected = FrameColourAt(box, x, y, first, second);
                int iconX = x - item.left - 2, iconY = y - item.top - 2;
                bool onIcon = withIcon && iconX >= 0 && iconX < 13 && iconY >= 0 && iconY < 13;
                if (expected == CLR_INVALID && onIcon)
                    expected = TestIcon::At(iconX, iconY) == Silver ? Fill : TestIcon::At(iconX, iconY);
                check.Expect(canvas, x, y, expected == CLR_INVALID ? Fill : expected);
            }
        }
    }

    // Everything from the item's left + 17 rightwards, inside the item and around it, is the text
    // area as it should be (see Reference).
    void ExpectTextArea(const OffscreenCanvas& canvas, const char* text, COLORREF ink, COLORREF back,
                        const char* what)
    {
        OffscreenCanvas expected(canvas.Width(), canvas.Height(), Fill);
        ASSERT_TRUE(Reference(expected, text, ink, back, 0, 0));
        {
            PixelCheck check(what);
            for (int y = 0; y < canvas.Height(); ++y)
                for (int x = item.left + 17; x < canvas.Width(); ++x)
                    check.Expect(canvas, x, y, expected.At(x, y));
        }
        // The comparison would see the text one pixel off either way.
        const POINT shifts[] = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } };
        for (POINT shift : shifts) {
            OffscreenCanvas moved(canvas.Width(), canvas.Height(), Fill);
            ASSERT_TRUE(Reference(moved, text, ink, back, shift.x, shift.y));
            bool differs = false;
            for (int y = 0; y < canvas.Height() && !differs; ++y)
                for (int x = item.left + 17; x < canvas.Width() && !differs; ++x)
                    differs = moved.At(x, y) != canvas.At(x, y);
            EXPECT_TRUE(differs) << what << ": the text moved by one pixel looks the same";
        }
        // The text is there, in its colour, and begins no further left than its indent.
        int inked = 0, leftmost = canvas.Width();
        for (int y = item.top; y < item.bottom; ++y) {
            for (int x = item.left + 17; x < item.right; ++x) {
                if (canvas.At(x, y) == ink) {
                    ++inked;
                    leftmost = x < leftmost ? x : leftmost;
                }
            }
        }
        EXPECT_GT(inked, 10) << what << ": too few text pixels in " << Hex(ink);
        EXPECT_GE(leftmost, item.left + 22) << what;
    }

    // The text area as it should be, moved by dx and dy: filled in back from the item's
    // left + 17 to its right, and the text in ink from left + 22, at the top that the measured text
    // height centres it at. Only the glyphs' shapes come from the font, drawn plainly.
    bool Reference(OffscreenCanvas& canvas, const char* text, COLORREF ink, COLORREF back, int dx, int dy)
    {
        RECT area = { item.left + 17, item.top, item.right, item.bottom };
        HBRUSH brush = CreateSolidBrush(back);
        FillRect(canvas.Dc(), &area, brush);
        DeleteObject(brush);
        PrepareMenuDc(canvas.Dc());
        SetBkMode(canvas.Dc(), TRANSPARENT);
        SetTextColor(canvas.Dc(), ink);
        int top = item.top + (item.bottom - item.top - textHeight) / 2;
        return TextOutA(canvas.Dc(), item.left + 22 + dx, top + dy, text, lstrlenA(text)) != FALSE;
    }
};

TEST_F(PopupMenuDraw, SelectedItemIsFilledInHighlightFromColumn17WithTheTextInHighlightText)
{
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data = Item(" Descending", icon.Bitmap());
    DrawItem(canvas, data, ODS_SELECTED, ODA_DRAWENTIRE);

    {
        PixelCheck check("the fill between the icon column and the text");
        for (int y = item.top; y < item.bottom; ++y)
            for (int x = item.left + 17; x < item.left + 22; ++x)
                check.Expect(canvas, x, y, colours.highlight);
    }
    {
        PixelCheck check("column 16 below the frame, which the fill leaves alone");
        for (int y = item.top + 17; y < item.bottom; ++y)
            check.Expect(canvas, item.left + 16, y, Fill);
    }
    {
        PixelCheck check("the canvas around the item");
        for (int x = 0; x < canvas.Width(); ++x) {
            check.Expect(canvas, x, item.top - 1, Fill);
            check.Expect(canvas, x, item.bottom, Fill);
        }
        for (int y = 0; y < canvas.Height(); ++y) {
            check.Expect(canvas, item.left - 1, y, Fill);
            check.Expect(canvas, item.right, y, Fill);
        }
    }
    ExpectTextArea(canvas, data.text, colours.highlightText, colours.highlight, "the selected text area");
}

TEST_F(PopupMenuDraw, SelectedItemRaisesTheFrameAndDrawsTheIconSilverTransparent)
{
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    DrawItem(canvas, data, ODS_SELECTED, ODA_DRAWENTIRE);
    ExpectIconColumn(canvas, colours.light, colours.shadow, true, "the selected icon column");
    // Only the icon's top-left 13 by 13 is used.
    int beyond = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            beyond += canvas.At(x, y) == Unused;
    EXPECT_EQ(0, beyond) << "pixels from outside the icon's 13 by 13";
}

TEST_F(PopupMenuDraw, SelectedItemGivesTheDcBackItsColoursAndObjects)
{
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    for (UINT action : { (UINT)ODA_DRAWENTIRE, (UINT)ODA_SELECT }) {
        for (UINT state : { (UINT)ODS_SELECTED, 0u }) {
            DcState before = StateOf(canvas.Dc());
            DrawItem(canvas, data, state, action);
            SCOPED_TRACE(::testing::Message() << "action " << action << ", state " << state);
            ExpectSameState(before, StateOf(canvas.Dc()));
        }
    }
    EXPECT_EQ(DcText, GetTextColor(canvas.Dc()));
    EXPECT_EQ(DcBack, GetBkColor(canvas.Dc()));
}

TEST_F(PopupMenuDraw, UnselectedItemUsesTheDcsColoursAndAFlatFrameInTheMenuColour)
{
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    DrawItem(canvas, data, 0, ODA_DRAWENTIRE);
    ExpectIconColumn(canvas, colours.menu, colours.menu, true, "the unselected icon column");
    ExpectTextArea(canvas, data.text, DcText, DcBack, "the unselected text area");
}

TEST_F(PopupMenuDraw, DeselectingPaintsTheRaisedFrameOutAndKeepsTheIcon)
{
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data = Item(" Descending", icon.Bitmap());
    DrawItem(canvas, data, ODS_SELECTED, ODA_DRAWENTIRE);
    ExpectIconColumn(canvas, colours.light, colours.shadow, true, "selected first");
    // The selection moves away: only the selection is redrawn.
    DrawItem(canvas, data, 0, ODA_SELECT);
    ExpectIconColumn(canvas, colours.menu, colours.menu, true, "then deselected");
    ExpectTextArea(canvas, data.text, DcText, DcBack, "the deselected text area");
    // And back: the raised frame returns round the icon of the first drawing.
    DrawItem(canvas, data, ODS_SELECTED, ODA_SELECT);
    ExpectIconColumn(canvas, colours.light, colours.shadow, true, "selected again");
    ExpectTextArea(canvas, data.text, colours.highlightText, colours.highlight, "the reselected text area");
}

TEST_F(PopupMenuDraw, OnlyAnEntireDrawingDrawsTheIcon)
{
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    for (UINT action : { (UINT)ODA_SELECT, (UINT)ODA_FOCUS, (UINT)(ODA_SELECT | ODA_FOCUS) }) {
        for (UINT state : { (UINT)ODS_SELECTED, 0u }) {
            OffscreenCanvas canvas(170, 36, Fill);
            PrepareMenuDc(canvas.Dc());
            DrawItem(canvas, data, state, action);
            SCOPED_TRACE(::testing::Message() << "action " << action << ", state " << state);
            if (state & ODS_SELECTED)
                ExpectIconColumn(canvas, colours.light, colours.shadow, false, "no icon when selected");
            else
                ExpectIconColumn(canvas, colours.menu, colours.menu, false, "no icon when not selected");
        }
    }
}

TEST_F(PopupMenuDraw, AnItemWithoutABitmapDrawsNoIcon)
{
    MenuItemData data = Item(" Open the link", nullptr);
    // Other state bits beside the selection change nothing.
    for (UINT state : { (UINT)ODS_SELECTED, (UINT)(ODS_SELECTED | ODS_CHECKED), 0u }) {
        OffscreenCanvas canvas(170, 36, Fill);
        PrepareMenuDc(canvas.Dc());
        DrawItem(canvas, data, state, ODA_DRAWENTIRE);
        SCOPED_TRACE(::testing::Message() << "state " << state);
        if (state & ODS_SELECTED) {
            ExpectIconColumn(canvas, colours.light, colours.shadow, false, "selected, no bitmap");
            ExpectTextArea(canvas, data.text, colours.highlightText, colours.highlight, "selected, no bitmap");
        } else {
            ExpectIconColumn(canvas, colours.menu, colours.menu, false, "not selected, no bitmap");
            ExpectTextArea(canvas, data.text, DcText, DcBack, "not selected, no bitmap");
        }
    }
}

TEST_F(PopupMenuDraw, ItemsOfOtherControlsDrawNothing)
{
    // Their item data is no menu item's: null here, so reading it would crash.
    for (UINT type : { (UINT)ODT_BUTTON, (UINT)ODT_LISTBOX, (UINT)ODT_COMBOBOX, (UINT)ODT_STATIC, (UINT)ODT_LISTVIEW,
                       (UINT)ODT_TAB }) {
        OffscreenCanvas canvas(170, 36, Fill);
        PrepareMenuDc(canvas.Dc());
        DcState before = StateOf(canvas.Dc());
        for (UINT state : { (UINT)ODS_SELECTED, 0u })
            Draw(nullptr, ItemDraw(canvas.Dc(), item, nullptr, state, ODA_DRAWENTIRE, type));
        SCOPED_TRACE(::testing::Message() << "control type " << type);
        ExpectSameState(before, StateOf(canvas.Dc()));
        PixelCheck check("the whole canvas");
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                check.Expect(canvas, x, y, Fill);
    }
}

// ---- Reading the system colours once

// The menus read their colours once per process, so what the first drawing reads can only be seen
// in a process that has drawn nothing yet. A test of it runs again, alone, in a fresh copy of this
// program, which the variable tells to make the checks; here it takes that run's verdict.
const char FreshProcessVariable[] = "POPUP_MENU_TEST_FRESH_PROCESS";

bool InFreshProcess()
{
    char flag[4];
    if (GetEnvironmentVariableA(FreshProcessVariable, flag, sizeof flag) > 0)
        return true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string line = std::string("\"") + program + "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
    SetEnvironmentVariableA(FreshProcessVariable, "1");
    ChildProcess child;
    bool started = StartWithOutput(line, nullptr, &child);
    SetEnvironmentVariableA(FreshProcessVariable, nullptr);
    EXPECT_TRUE(started) << line;
    if (!started)
        return false;
    // All its output, until it ends.
    std::string output;
    ReadOutputUntil(&child, "\x01", &output, 60000);
    DWORD code = 1;
    if (WaitForSingleObject(child.process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.process.hProcess, &code);
    EndChild(&child);
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ] 1 test.")) << output;
    EXPECT_EQ(0u, code) << output;
    return false;
}

struct PopupMenuColours : PopupMenuDraw {
    void SetUp() override
    {
        PopupMenuDraw::SetUp();
        sysColours.Forget();
    }

    void TearDown() override
    {
        for (bool& changed : sysColours.changed)
            changed = false;
    }
};

TEST_F(PopupMenuColours, HighlightColoursAreReadOnTheFirstDrawWhateverItsItemAndNeverAgain)
{
    if (!InFreshProcess())
        return;
    OffscreenCanvas canvas(170, 36, Fill);
    PrepareMenuDc(canvas.Dc());
    Draw(nullptr, ItemDraw(canvas.Dc(), item, nullptr, ODS_SELECTED, ODA_DRAWENTIRE, ODT_BUTTON));
    EXPECT_GE(sysColours.requests[COLOR_HIGHLIGHT], 1) << "a button's item is the first and reads the colours";
    EXPECT_GE(sysColours.requests[COLOR_HIGHLIGHTTEXT], 1) << "a button's item is the first and reads the colours";
    EXPECT_EQ(Fill, canvas.At(item.left + 17, item.top)) << "a button's item must draw nothing";

    // From now on the system answers other colours, which the menus must not see.
    sysColours.Forget();
    sysColours.changed[COLOR_HIGHLIGHT] = sysColours.changed[COLOR_HIGHLIGHTTEXT] = true;
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    for (int round = 0; round < 3; ++round) {
        DrawItem(canvas, data, ODS_SELECTED, ODA_DRAWENTIRE);
        DrawItem(canvas, data, 0, ODA_SELECT);
        DrawItem(canvas, data, ODS_SELECTED, ODA_SELECT);
    }
    EXPECT_EQ(0, sysColours.requests[COLOR_HIGHLIGHT]);
    EXPECT_EQ(0, sysColours.requests[COLOR_HIGHLIGHTTEXT]);
    ASSERT_EQ(SysColourWatch::Changed(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHT)) << "the change did not take";
    ExpectTextArea(canvas, data.text, colours.highlightText, colours.highlight, "drawn in the colours first read");
}

TEST_F(PopupMenuColours, FrameColoursAreReadOnTheFirstFrameAndNeverAgain)
{
    if (!InFreshProcess())
        return;
    const RECT box = { 3, 4, 19, 20 };
    OffscreenCanvas canvas(24, 24, Fill);
    DrawFrame3D(canvas.Dc(), box, FrameFlat);
    const int indices[] = { COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_MENU };
    for (int index : indices)
        EXPECT_GE(sysColours.requests[index], 1) << "colour " << index << " on the first frame";

    sysColours.Forget();
    for (int index : indices)
        sysColours.changed[index] = true;
    for (int style : { FrameSunken, FrameRaised, FrameFlat }) {
        OffscreenCanvas later(24, 24, Fill);
        DrawFrame3D(later.Dc(), box, style);
        COLORREF lit = style == FrameSunken ? colours.shadow : style == FrameRaised ? colours.light : colours.menu;
        COLORREF shaded = style == FrameSunken ? colours.light : style == FrameRaised ? colours.shadow : colours.menu;
        PixelCheck check("a frame drawn after the system's colours changed");
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                COLORREF expected = FrameColourAt(box, x, y, lit, shaded);
                check.Expect(later, x, y, expected == CLR_INVALID ? Fill : expected);
            }
    }
    // Drawing whole items goes through the same frame.
    OffscreenCanvas items(170, 36, Fill);
    PrepareMenuDc(items.Dc());
    MenuItemData data = Item(" Ascending", icon.Bitmap());
    DrawItem(items, data, ODS_SELECTED, ODA_DRAWENTIRE);
    ExpectIconColumn(items, colours.light, colours.shadow, true, "a raised item frame");
    DrawItem(items, data, 0, ODA_SELECT);
    ExpectIconColumn(items, colours.menu, colours.menu, true, "a flat item frame");
    for (int index : indices)
        EXPECT_EQ(0, sysColours.requests[index]) << "colour " << index << " read again";
}

// ---- The 3-D frame

struct PopupMenuFrame : PopupMenuDraw {
    void ExpectFrame(int style, const RECT& box, COLORREF first, COLORREF second, const char* what)
    {
        OffscreenCanvas canvas(40, 40, Fill);
        HGDIOBJ pen = GetCurrentObject(canvas.Dc(), OBJ_PEN);
        DrawFrame3D(canvas.Dc(), box, style);
        EXPECT_EQ(pen, GetCurrentObject(canvas.Dc(), OBJ_PEN)) << what << ": the DC's pen";
        PixelCheck check(what);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                COLORREF expected = FrameColourAt(box, x, y, first, second);
                check.Expect(canvas, x, y, expected == CLR_INVALID ? Fill : expected);
            }
    }
};

// Raised is lit on the top and left and shaded on the right and bottom, sunken the other way round,
// flat all in the menu colour; each at the icon's square and at boxes of other shapes.
TEST_F(PopupMenuFrame, EachStyleDrawsItsEdgesInItsColours)
{
    const struct {
        const char* what;
        int style;
        RECT box;
        COLORREF first, second;
    } cases[] = {
        { "raised, the icon's square", FrameRaised, { 0, 0, 16, 16 }, colours.light, colours.shadow },
        { "raised, a wide box", FrameRaised, { 5, 7, 30, 19 }, colours.light, colours.shadow },
        { "raised, a tall box", FrameRaised, { 12, 3, 15, 35 }, colours.light, colours.shadow },
        { "sunken, the icon's square", FrameSunken, { 0, 0, 16, 16 }, colours.shadow, colours.light },
        { "sunken, a wide box", FrameSunken, { 5, 7, 30, 19 }, colours.shadow, colours.light },
        { "flat, the icon's square", FrameFlat, { 0, 0, 16, 16 }, colours.menu, colours.menu },
        { "flat, a tall box", FrameFlat, { 12, 3, 15, 35 }, colours.menu, colours.menu },
    };
    for (const auto& c : cases)
        ExpectFrame(c.style, c.box, c.first, c.second, c.what);
}

TEST_F(PopupMenuFrame, FlatCoversRaisedAndSunkenExactly)
{
    for (int style : { FrameRaised, FrameSunken }) {
        OffscreenCanvas canvas(40, 40, Fill);
        RECT box = { 9, 2, 25, 18 };
        DrawFrame3D(canvas.Dc(), box, style);
        DrawFrame3D(canvas.Dc(), box, FrameFlat);
        PixelCheck check(style == FrameRaised ? "raised, then flat" : "sunken, then flat");
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                COLORREF expected = FrameColourAt(box, x, y, colours.menu, colours.menu);
                check.Expect(canvas, x, y, expected == CLR_INVALID ? Fill : expected);
            }
    }
}

// ---- Building menus

struct InsertCall {
    HMENU menu;
    UINT item;
    BOOL byPosition;
    MENUITEMINFOA info; // as much of it as was described
};
struct MenuWatch {
    std::vector<InsertCall> inserts;
    int failInsert = -1; // the insertion (from 0) made to fail
    bool failCreate = false;
    int creates = 0;
    HMENU created = nullptr;
    ImportPatch* insertPatch = nullptr;
    ImportPatch* createPatch = nullptr;
};
MenuWatch menuWatch;

BOOL WINAPI WatchInsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info)
{
    InsertCall call = { menu, item, byPosition, {} };
    UINT size = info->cbSize < sizeof call.info ? info->cbSize : sizeof call.info;
    memcpy(&call.info, info, size);
    menuWatch.inserts.push_back(call);
    if ((int)menuWatch.inserts.size() - 1 == menuWatch.failInsert) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return menuWatch.insertPatch->Original<decltype(&InsertMenuItemA)>()(menu, item, byPosition, info);
}

HMENU WINAPI WatchCreatePopupMenu()
{
    ++menuWatch.creates;
    if (menuWatch.failCreate) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    menuWatch.created = menuWatch.createPatch->Original<decltype(&CreatePopupMenu)>()();
    return menuWatch.created;
}

struct PopupMenuBuild : ::testing::Test {
    std::unique_ptr<ImportPatch> insert, create;
    TestIcon icon;
    HBITMAP first = icon.Bitmap(), second = nullptr;
    MenuItemData sentinel = Item("untouched", (HBITMAP)(ULONG_PTR)0x5150);

    void SetUp() override
    {
        menuWatch = MenuWatch();
        insert.reset(new ImportPatch("user32.dll", "InsertMenuItemA", (void*)&WatchInsertMenuItemA));
        create.reset(new ImportPatch("user32.dll", "CreatePopupMenu", (void*)&WatchCreatePopupMenu));
        ASSERT_TRUE(insert->Patched());
        ASSERT_TRUE(create->Patched());
        menuWatch.insertPatch = insert.get();
        menuWatch.createPatch = create.get();
        for (MenuItemData& slot : MenuItemSlots)
            slot = sentinel;
        ASSERT_NE(nullptr, first);
    }

    void TearDown() override
    {
        create.reset();
        insert.reset();
        menuWatch = MenuWatch();
    }
};

const char LinkText[] = " Open the link";
const char CopyText[] = " Copy the link";
const char SortText[] = " Ascending";

TEST_F(PopupMenuBuild, InsertsEachItemOwnerDrawnWithItsIdAndItsFilledSlot)
{
    const PopupItem items[] = {
        { 3, LinkText, first, 201 },
        { 2, CopyText, second, 202 },
        { 0, SortText, first, 101 },
    };
    MenuTextHeight = 13;
    HMENU menu = BuildPopupMenu(items, 3);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(0, MenuTextHeight) << "a new menu measures its text afresh";
    EXPECT_TRUE(IsMenu(menu));
    ASSERT_EQ(3, GetMenuItemCount(menu));
    for (int position = 0; position < 3; ++position) {
        SCOPED_TRACE(::testing::Message() << "position " << position);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_STATE | MIIM_SUBMENU;
        ASSERT_TRUE(GetMenuItemInfoA(menu, (UINT)position, TRUE, &info));
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_FALSE(info.fType & (MFT_SEPARATOR | MFT_BITMAP));
        EXPECT_EQ(items[position].command, info.wID);
        EXPECT_EQ(items[position].command, GetMenuItemID(menu, position));
        EXPECT_EQ((ULONG_PTR)&MenuItemSlots[items[position].slot], info.dwItemData);
        EXPECT_EQ(nullptr, info.hSubMenu);
        EXPECT_EQ(0u, info.fState & (MFS_DISABLED | MFS_CHECKED)) << "items are enabled and unchecked";
        // The slot holds the table's own text, not a copy, and its bitmap.
        const MenuItemData& slot = MenuItemSlots[items[position].slot];
        EXPECT_EQ(items[position].text, slot.text);
        EXPECT_EQ(items[position].bitmap, slot.bitmap);
    }
    EXPECT_EQ(sentinel.text, MenuItemSlots[1].text) << "a slot of no item";
    EXPECT_EQ(sentinel.bitmap, MenuItemSlots[1].bitmap) << "a slot of no item";
    EXPECT_TRUE(DestroyMenu(menu));
}

TEST_F(PopupMenuBuild, DescribesItemsInTheClassicFormAtPositionsInOrder)
{
    // The older headers' form ends before hbmpItem: 44 bytes on 32-bit Windows.
    const UINT classicSize = (UINT)offsetof(MENUITEMINFOA, hbmpItem);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(44u, classicSize);
    }
    const PopupItem items[] = {
        { 0, SortText, first, 101 },
        { 1, " Descending", second, 102 },
    };
    HMENU menu = BuildPopupMenu(items, 2);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(1, menuWatch.creates);
    EXPECT_EQ(menuWatch.created, menu);
    ASSERT_EQ(2u, menuWatch.inserts.size());
    for (int position = 0; position < 2; ++position) {
        SCOPED_TRACE(::testing::Message() << "position " << position);
        const InsertCall& call = menuWatch.inserts[position];
        EXPECT_EQ(menu, call.menu);
        EXPECT_TRUE(call.byPosition);
        EXPECT_EQ((UINT)position, call.item);
        EXPECT_EQ(classicSize, call.info.cbSize);
        EXPECT_EQ((UINT)(MIIM_ID | MIIM_DATA), call.info.fMask & (MIIM_ID | MIIM_DATA));
        EXPECT_TRUE(call.info.fMask & (MIIM_TYPE | MIIM_FTYPE));
        EXPECT_TRUE(call.info.fType & MFT_OWNERDRAW);
        EXPECT_EQ(items[position].command, call.info.wID);
        EXPECT_EQ((ULONG_PTR)&MenuItemSlots[position], call.info.dwItemData);
    }
    EXPECT_TRUE(DestroyMenu(menu));
}

TEST_F(PopupMenuBuild, AnItemThatCannotBeInsertedLeavesNoMenu)
{
    const PopupItem items[] = {
        { 2, LinkText, first, 201 },
        { 3, CopyText, second, 202 },
    };
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(::testing::Message() << "insertion " << failing << " fails");
        menuWatch.inserts.clear();
        menuWatch.created = nullptr;
        menuWatch.failInsert = failing;
        EXPECT_EQ(nullptr, BuildPopupMenu(items, 2));
        ASSERT_NE(nullptr, menuWatch.created);
        EXPECT_FALSE(IsMenu(menuWatch.created)) << "the half-built menu was left behind";
        EXPECT_EQ((size_t)failing + 1, menuWatch.inserts.size()) << "items after the failure were still inserted";
    }
}

TEST_F(PopupMenuBuild, NoPopupMeansNoMenuAndNoItems)
{
    const PopupItem items[] = { { 0, SortText, first, 101 } };
    menuWatch.failCreate = true;
    EXPECT_EQ(nullptr, BuildPopupMenu(items, 1));
    EXPECT_EQ(1, menuWatch.creates);
    EXPECT_TRUE(menuWatch.inserts.empty());
}

// ---- A real menu, shown

struct ShownMenu {
    bool shown = false;
    bool selected = false;
    RECT rect = {};
    HWND owner = nullptr;
};

DWORD WINAPI ChooseFirstItem(LPVOID parameter)
{
    ShownMenu* shown = (ShownMenu*)parameter;
    HWND popup = WaitForPopup(5000);
    if (popup != nullptr) {
        shown->shown = true;
        GetWindowRect(popup, &shown->rect);
        PressKey(VK_DOWN);
        for (int waited = 0; waited < 5000 && ownerLog.selectedDraws == 0; waited += 20)
            Sleep(20);
        shown->selected = ownerLog.selectedDraws != 0;
        PressKey(VK_RETURN);
        for (int waited = 0; waited < 5000 && IsWindowVisible(popup); waited += 20)
            Sleep(20);
    }
    // Whatever happened, the menu's loop must end for the test to go on.
    if (VisiblePopup() != nullptr)
        EndMenu();
    return 0;
}

TEST_F(PopupMenuShown, AShownMenuIsMeasuredAndDrawnByItsOwnerAndSendsTheChoice)
{
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    PumpMessages();
    TestIcon icon;
    const PopupItem items[] = {
        { 0, SortText, icon.Bitmap(), 101 },
        { 1, " Descending", nullptr, 102 },
    };
    HMENU menu = BuildPopupMenu(items, 2);
    ASSERT_NE(nullptr, menu);
    ShownMenu shown;
    HANDLE thread = CreateThread(nullptr, 0, ChooseFirstItem, &shown, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    TrackAndDestroyMenu(menu, window, 120, 90);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    CloseHandle(thread);
    PumpMessages();

    ASSERT_TRUE(shown.shown) << "no menu came up";
    EXPECT_EQ(120, shown.rect.left);
    EXPECT_EQ(90, shown.rect.top);
    EXPECT_FALSE(IsMenu(menu)) << "the menu outlived its showing";
    // Each item was measured by the owner's measurer, which kept the last text's height.
    ASSERT_EQ(2u, ownerLog.measured.size());
    for (int i = 0; i < 2; ++i) {
        const MEASUREITEMSTRUCT& measure = ownerLog.measured[i];
        SCOPED_TRACE(::testing::Message() << "item " << i);
        EXPECT_EQ((UINT)ODT_MENU, measure.CtlType);
        EXPECT_EQ((ULONG_PTR)&MenuItemSlots[i], measure.itemData);
        SIZE extent = GuiFontExtent(items[i].text);
        EXPECT_EQ((UINT)(extent.cx + 22), measure.itemWidth);
        EXPECT_EQ((UINT)((extent.cy > 13 ? extent.cy : 13) + 4), measure.itemHeight);
        EXPECT_EQ(extent.cy, MenuTextHeight);
    }
    bool drawnEntire[2] = {};
    for (const DRAWITEMSTRUCT& draw : ownerLog.drawn) {
        for (int i = 0; i < 2; ++i)
            if (draw.itemData == (ULONG_PTR)&MenuItemSlots[i] && draw.itemAction == ODA_DRAWENTIRE)
                drawnEntire[i] = true;
    }
    EXPECT_TRUE(drawnEntire[0]);
    EXPECT_TRUE(drawnEntire[1]);
    EXPECT_TRUE(shown.selected) << "the key did not select an item";
    ASSERT_EQ(1u, ownerLog.commands.size());
    EXPECT_EQ(101u, ownerLog.commands[0]);
}

// ---- No GDI object left behind

TEST(PopupMenuGdiCount, SeesThisProgramsObjectsMadeAndDeleted)
{
    LOGFONTA description = {};
    ASSERT_NE(0, GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description));
    GdiCount count;
    ASSERT_TRUE(count.Installed());
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HFONT font = CreateFontIndirectA(&description);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    EXPECT_EQ(5, count.Creations());
    EXPECT_EQ(5, count.Live());
    // Deleting what was not made while counting counts for nothing.
    DeleteObject(GetStockObject(BLACK_PEN));
    EXPECT_EQ(0, count.Deletions());
    for (HGDIOBJ object : { (HGDIOBJ)pen, (HGDIOBJ)brush, (HGDIOBJ)font, (HGDIOBJ)bitmap })
        EXPECT_TRUE(DeleteObject(object));
    EXPECT_EQ(4, count.Deletions());
    EXPECT_EQ(1, count.Live());
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(5, count.Deletions());
    EXPECT_EQ(0, count.Live());
    for (GdiCount::Call call : { GdiCount::CREATE_PEN, GdiCount::CREATE_FONT_INDIRECT, GdiCount::CREATE_COMPATIBLE_DC,
                                 GdiCount::CREATE_SOLID_BRUSH, GdiCount::CREATE_COMPATIBLE_BITMAP,
                                 GdiCount::DELETE_DC })
        EXPECT_EQ(1, count.Calls(call)) << call;
    EXPECT_EQ(5, count.Calls(GdiCount::DELETE_OBJECT));
    // Only one count at a time.
    GdiCount second;
    EXPECT_FALSE(second.Installed());
}

TEST_F(PopupMenuGdiLeak, AThousandItemsMeasuredAndDrawnLeaveNoGdiObjectBehind)
{
    TestIcon icon;
    const char* const texts[] = { " Ascending", " Descending", " Open the link", " Copy the link" };
    const RECT rect = { 4, 3, 160, 23 };
    OffscreenCanvas canvas(170, 30, Fill);
    PrepareMenuDc(canvas.Dc());
    MenuItemData data[4];
    GdiCount count;
    ASSERT_TRUE(count.Installed());
    for (int i = 0; i < 1000; ++i) {
        data[i % 4] = Item(texts[i % 4], i % 3 == 0 ? nullptr : icon.Bitmap());
        Measure(data[i % 4]);
        Draw(window, ItemDraw(canvas.Dc(), rect, &data[i % 4], 0, ODA_DRAWENTIRE));
        Draw(window, ItemDraw(canvas.Dc(), rect, &data[i % 4], ODS_SELECTED, ODA_SELECT));
        Draw(window, ItemDraw(canvas.Dc(), rect, &data[i % 4], ODS_SELECTED, ODA_DRAWENTIRE));
        Draw(window, ItemDraw(canvas.Dc(), rect, &data[i % 4], 0, ODA_SELECT));
    }
    // Each path that makes objects was seen making them: the measurer's font, the frame's pens
    // and the icon's DC.
    EXPECT_GT(count.Calls(GdiCount::CREATE_FONT_INDIRECT), 0);
    EXPECT_GT(count.Calls(GdiCount::CREATE_PEN), 0);
    EXPECT_GT(count.Calls(GdiCount::CREATE_COMPATIBLE_DC), 0);
    EXPECT_GT(count.Creations(), 0);
    EXPECT_EQ(count.Creations(), count.Deletions());
    EXPECT_EQ(0, count.Live());
}

} // namespace
