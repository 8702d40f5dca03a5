// The Close button under Wine: its drawing into memory DCs read back pixel by pixel (with the test's
// own face brush, against the pixels its frame must cover and its text drawn centred), the GDI objects
// it makes, and the real owner-drawn BUTTON of a real Products window, painted and clicked through SendInput.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/products_window.h"
#include "chrome/close_button.h"
#include "common/look.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "gdi_count.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

// The drawing takes its colours from the look: the test skin's white and dark red, readable on the
// system's white, give the skin's button colours below.
struct SkinLook : ::testing::Environment {
    void SetUp() override
    {
        OpenSkin((TestDirectory() + "Vn_Skin.dll").c_str());
        CloseSkin();
    }
};
::testing::Environment* const skinLook = ::testing::AddGlobalTestEnvironment(new SkinLook);

// The colours the button must use, written out here so that a wrong constant in the header shows.
const COLORREF Light = RGB(255, 255, 255);
const COLORREF Dark = RGB(127, 127, 127);
const COLORREF TextBlue = RGB(0, 0, 127);
const COLORREF TextGrey = RGB(127, 127, 127);
const UINT Format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;

const COLORREF Blank = RGB(23, 171, 87);  // the canvas before anything is drawn
const COLORREF Face = RGB(210, 140, 60);  // the test's own face brush: no skin makes it
const COLORREF DcText = RGB(120, 30, 140); // the DC's own colours before a draw
const COLORREF DcBack = RGB(250, 230, 90);

// A window holding a text for DrawCloseButton to read, as the real button holds "Close".
class TextHolder {
public:
    explicit TextHolder(const char* text)
        : window_(CreateWindowExA(0, "BUTTON", text, WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, Instance(), nullptr))
    {
    }
    ~TextHolder()
    {
        if (window_ != nullptr)
            DestroyWindow(window_);
    }
    TextHolder(const TextHolder&) = delete;
    TextHolder& operator=(const TextHolder&) = delete;
    HWND Window() const { return window_; }

private:
    HWND window_;
};

// A brush that deletes itself.
class Brush {
public:
    explicit Brush(COLORREF colour) : brush_(CreateSolidBrush(colour)) {}
    ~Brush() { DeleteObject(brush_); }
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
    HBRUSH Handle() const { return brush_; }

private:
    HBRUSH brush_;
};

DRAWITEMSTRUCT ButtonDraw(HDC dc, HWND item, const RECT& rect, UINT state, UINT type = ODT_BUTTON,
                          UINT id = 201)
{
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = type;
    draw.CtlID = id;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state;
    draw.hwndItem = item;
    draw.hDC = dc;
    draw.rcItem = rect;
    return draw;
}

// A button away from the canvas's edges, so that neither half of any 2-pixel pen is clipped.
const RECT Inset = { 10, 10, 60, 30 };

// Canvases with the default GUI font selected, in the DC colours a caller might have left there.
void PrepareDc(HDC dc)
{
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, DcText);
    SetBkColor(dc, DcBack);
    SetBkMode(dc, OPAQUE);
}

// The button as it should look, drawn in r as plain rectangles: the face over r, then the first
// pen's pixels in the top-left colour and the second's in the bottom-right colour. The first pen runs
// (right - 1, top) to (left, top) to (left, bottom), the second (right, top) to (right, bottom) to
// (left + 1, bottom); a 2-pixel pen along a coordinate c covers c - 1 and c, its ends included.
void PaintIntendedFrame(HDC dc, const RECT& r, COLORREF face, bool pressed)
{
    const struct {
        RECT area;
        COLORREF colour;
    } parts[] = {
        { r, face },
        { { r.left - 1, r.top - 1, r.right, r.top + 1 }, pressed ? Dark : Light },        // top rows
        { { r.left - 1, r.top - 1, r.left + 1, r.bottom + 1 }, pressed ? Dark : Light },  // left columns
        { { r.right - 1, r.top - 1, r.right + 1, r.bottom + 1 }, pressed ? Light : Dark }, // right columns
        { { r.left, r.bottom - 1, r.right + 1, r.bottom + 1 }, pressed ? Light : Dark },  // bottom rows
    };
    for (const auto& part : parts) {
        Brush brush(part.colour);
        FillRect(dc, &part.area, brush.Handle());
    }
}

// The extent of text in the default GUI font, its height that of the font's line.
SIZE GuiFontExtent(const std::string& text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &extent);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    extent.cy = metrics.tmHeight;
    SelectObject(dc, old);
    DeleteDC(dc);
    return extent;
}

// Where the text's glyphs start when the text is centred in r, across and down.
POINT CentredTextOrigin(const RECT& r, const std::string& text)
{
    SIZE extent = GuiFontExtent(text);
    return POINT{ r.left + (r.right - r.left - extent.cx) / 2, r.top + (r.bottom - r.top - extent.cy) / 2 };
}

// Where two canvases of one size differ: "(x,y) 0xBBGGRR/0xBBGGRR ..." for the first few, else "".
std::string Differences(const OffscreenCanvas& got, const OffscreenCanvas& want)
{
    std::string out;
    int shown = 0, total = 0;
    for (int y = 0; y < got.Height(); ++y) {
        for (int x = 0; x < got.Width(); ++x) {
            if (got.At(x, y) == want.At(x, y))
                continue;
            ++total;
            if (shown++ < 8) {
                char line[64];
                wsprintfA(line, "(%d,%d) %06lx/%06lx ", x, y, got.At(x, y), want.At(x, y));
                out += line;
            }
        }
    }
    if (total > 0)
        out += "... " + std::to_string(total) + " pixels differ";
    return out;
}

int CountColour(const OffscreenCanvas& canvas, const RECT& area, COLORREF colour)
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += canvas.At(x, y) == colour;
    return n;
}

// The box of the pixels in area that are not background: the ink of a text.
RECT InkBox(const OffscreenCanvas& canvas, const RECT& area, COLORREF background)
{
    RECT box = { area.right, area.bottom, area.left, area.top };
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (canvas.At(x, y) == background)
                continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    return box;
}

// What the canvas holds that the intended button in r would not: the face and frame as intended,
// and the text's glyphs in ink, centred to within a pixel each way (the platform rounds the centre its
// own way). "" when some such place matches the canvas pixel for pixel; outside is the canvas beyond
// the pens' reach.
std::string ButtonDifferences(const OffscreenCanvas& got, COLORREF outside, const RECT& r, COLORREF face,
                              bool pressed, const std::string& text, COLORREF ink)
{
    const POINT origin = CentredTextOrigin(r, text);
    std::string centred;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            OffscreenCanvas want(got.Width(), got.Height(), outside);
            PaintIntendedFrame(want.Dc(), r, face, pressed);
            SelectObject(want.Dc(), GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(want.Dc(), TRANSPARENT);
            SetTextColor(want.Dc(), ink);
            TextOutA(want.Dc(), origin.x + dx, origin.y + dy, text.c_str(), (int)text.size());
            std::string differences = Differences(got, want);
            if (differences.empty())
                return "";
            if (dx == 0 && dy == 0)
                centred = differences;
        }
    }
    return "no place within a pixel of the centre matches; centred: " + centred;
}

// ---- The frame

// Every pixel of the frame, idle and pressed: at the button's own size, where the outer half of the
// top and left pens is cut off and the right and bottom pens land on the last column and row; with
// room beyond the bottom right; away from the canvas's edges, where all of each pen shows; and small.
TEST(CloseButtonFrame, CoversThePixelsOfItsTwoPensInTheirColoursOverTheFace)
{
    const struct {
        const char* name;
        int width, height;
        RECT rect;
    } cases[] = {
        { "the button's own canvas", 50, 20, { 0, 0, 50, 20 } },
        { "room beyond the bottom right", 60, 30, { 0, 0, 50, 20 } },
        { "away from the edges", 80, 50, { 10, 10, 60, 30 } },
        { "small", 14, 12, { 3, 4, 9, 8 } },
    };
    for (const auto& c : cases) {
        for (bool pressed : { false, true }) {
            SCOPED_TRACE(std::string(c.name) + (pressed ? ", pressed" : ", idle"));
            OffscreenCanvas got(c.width, c.height, Blank), want(c.width, c.height, Blank);
            Brush face(Face);
            DrawButtonFrame(got.Dc(), c.rect, face.Handle(), pressed);
            PaintIntendedFrame(want.Dc(), c.rect, Face, pressed);
            EXPECT_EQ("", Differences(got, want));
        }
    }
}

// ---- The whole button: face, frame and text

struct DrawCase {
    const char* name;
    std::string text;
    RECT rect;
    UINT state;
    std::string shown; // the text drawn
};

// Each case needs one of the format's flags or of the states: a narrow rectangle shows the text
// unclipped, a tall one centres it down, the states pick the frame's colours and the text's, and the
// text is read into 50 characters with the terminator, so a longer one shows its first 49 (the 50th
// is wide, so its presence would show).
TEST(CloseButtonDrawing, DrawsTheFrameAndTheTextCentredInItsColourInEveryState)
{
    std::string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += (char)('A' + i % 26);
    sixty[49] = 'W';
    const DrawCase cases[] = {
        { "idle", "Close", { 10, 10, 60, 30 }, 0, "Close" },
        { "at the origin", "Close", { 0, 0, 50, 20 }, 0, "Close" },
        { "pressed", "Close", { 10, 10, 60, 30 }, ODS_SELECTED, "Close" },
        { "disabled", "Close", { 10, 10, 60, 30 }, ODS_DISABLED, "Close" },
        { "pressed and disabled", "Close", { 10, 10, 60, 30 }, ODS_SELECTED | ODS_DISABLED, "Close" },
        { "focused: no focus rectangle", "Close", { 10, 10, 60, 30 }, ODS_FOCUS, "Close" },
        { "narrower than its text", "Close", { 30, 10, 44, 30 }, 0, "Close" },
        { "tall", "Close", { 10, 5, 60, 45 }, 0, "Close" },
        { "with no text", "", { 10, 10, 60, 30 }, 0, "" },
        { "sixty characters", sixty, { 20, 5, 480, 25 }, 0, sixty.substr(0, 49) },
    };
    for (const DrawCase& c : cases) {
        SCOPED_TRACE(c.name);
        TextHolder holder(c.text.c_str());
        ASSERT_NE(nullptr, holder.Window());
        OffscreenCanvas got(c.rect.right + 20, c.rect.bottom + 20, Blank);
        PrepareDc(got.Dc());
        Brush face(Face);
        DRAWITEMSTRUCT draw = ButtonDraw(got.Dc(), holder.Window(), c.rect, c.state);
        DrawCloseButton(&draw, face.Handle());
        EXPECT_EQ("", ButtonDifferences(got, Blank, c.rect, Face, (c.state & ODS_SELECTED) != 0, c.shown,
                                        (c.state & ODS_DISABLED) ? TextGrey : TextBlue));
    }
}

// A line break in the text does not make a second line: the ink is one line high, centred down.
TEST(CloseButtonDrawing, ALineBreakStaysOnOneLine)
{
    TextHolder holder("Cl\r\nose");
    const RECT r = { 10, 5, 60, 45 };
    OffscreenCanvas canvas(80, 60, Blank);
    PrepareDc(canvas.Dc());
    Brush face(Face);
    DRAWITEMSTRUCT draw = ButtonDraw(canvas.Dc(), holder.Window(), r, 0);
    DrawCloseButton(&draw, face.Handle());
    const RECT inside = { r.left + 2, r.top + 2, r.right - 2, r.bottom - 2 };
    RECT ink = InkBox(canvas, inside, Face);
    ASSERT_LT(ink.left, ink.right) << "no text drawn";
    const int lineTop = CentredTextOrigin(r, "Close").y, lineHeight = GuiFontExtent("Close").cy;
    EXPECT_GE(ink.top, lineTop - 1) << "not centred down";
    EXPECT_LE(ink.bottom, lineTop + 1 + lineHeight) << "more than one line, or not centred down";
    EXPECT_GT(CountColour(canvas, inside, TextBlue), 10);
}

TEST(CloseButtonDrawing, PressingSwapsTheFrameButLeavesTheTextWhereItWas)
{
    TextHolder holder("Close");
    const RECT r = { 10, 10, 60, 30 };
    OffscreenCanvas idle(80, 50, Blank), pressed(80, 50, Blank);
    PrepareDc(idle.Dc());
    PrepareDc(pressed.Dc());
    Brush face(Face);
    DRAWITEMSTRUCT draw = ButtonDraw(idle.Dc(), holder.Window(), r, 0);
    DrawCloseButton(&draw, face.Handle());
    draw = ButtonDraw(pressed.Dc(), holder.Window(), r, ODS_SELECTED);
    DrawCloseButton(&draw, face.Handle());
    EXPECT_EQ(Light, idle.At(30, r.top));
    EXPECT_EQ(Dark, pressed.At(30, r.top));
    EXPECT_EQ(Dark, idle.At(r.right - 1, 20));
    EXPECT_EQ(Light, pressed.At(r.right - 1, 20));
    int ink = 0;
    for (int y = r.top + 2; y < r.bottom - 2; ++y) {
        for (int x = r.left + 2; x < r.right - 2; ++x) {
            ASSERT_EQ(idle.At(x, y), pressed.At(x, y)) << "the text moved at " << x << "," << y;
            ink += idle.At(x, y) == TextBlue;
        }
    }
    EXPECT_GT(ink, 10);
}

TEST(CloseButtonDrawing, GivesTheDcBackItsTextColourBackgroundModeAndObjects)
{
    TextHolder holder("Close");
    OffscreenCanvas canvas(80, 50, Blank);
    HDC dc = canvas.Dc();
    PrepareDc(dc);
    HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    Brush face(Face);
    for (UINT state : { 0u, (UINT)ODS_SELECTED, (UINT)ODS_DISABLED }) {
        DRAWITEMSTRUCT draw = ButtonDraw(dc, holder.Window(), Inset, state);
        DrawCloseButton(&draw, face.Handle());
        EXPECT_EQ(DcText, GetTextColor(dc)) << state;
        EXPECT_EQ(OPAQUE, GetBkMode(dc)) << state;
        EXPECT_EQ(DcBack, GetBkColor(dc)) << state;
        EXPECT_EQ(pen, GetCurrentObject(dc, OBJ_PEN)) << state;
        EXPECT_EQ(brush, GetCurrentObject(dc, OBJ_BRUSH)) << state;
        EXPECT_EQ(font, GetCurrentObject(dc, OBJ_FONT)) << state;
    }
    // And a DC left transparent stays so.
    SetBkMode(dc, TRANSPARENT);
    DRAWITEMSTRUCT draw = ButtonDraw(dc, holder.Window(), Inset, 0);
    DrawCloseButton(&draw, face.Handle());
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
}

TEST(CloseButtonDrawing, LeavesEveryOtherItemUntouched)
{
    TextHolder holder("Close");
    Brush face(Face);
    const struct {
        UINT type, id;
    } others[] = { { ODT_MENU, 201 },    { ODT_LISTBOX, 201 }, { ODT_COMBOBOX, 201 }, { ODT_STATIC, 201 },
                   { ODT_LISTVIEW, 201 }, { ODT_BUTTON, 200 },  { ODT_BUTTON, 202 },   { ODT_BUTTON, 0 },
                   { ODT_BUTTON, 105 },   { ODT_BUTTON, 201 + 65536 } };
    for (const auto& other : others) {
        OffscreenCanvas canvas(80, 50, Blank);
        PrepareDc(canvas.Dc());
        DRAWITEMSTRUCT draw = ButtonDraw(canvas.Dc(), holder.Window(), Inset, 0, other.type, other.id);
        DrawCloseButton(&draw, face.Handle());
        const RECT all = { 0, 0, 80, 50 };
        EXPECT_EQ(80 * 50, CountColour(canvas, all, Blank)) << "type " << other.type << " id " << other.id;
        EXPECT_EQ(DcText, GetTextColor(canvas.Dc()));
    }
}

// Drawn into a screen-compatible bitmap, as a double-buffered paint would. (Making that bitmap here
// also makes this program import CreateCompatibleBitmap, which the count needs to install.) This
// function calls no GDI function itself while counting: the compiler may keep an import's address
// in a register across the count's end.
TEST(CloseButtonDrawing, AThousandDrawingsLeaveNoGdiObjectBehind)
{
    TextHolder holder("Close");
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 80, 50);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(nullptr, bitmap);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    PrepareDc(dc);
    Brush face(Face);
    const UINT states[] = { 0, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS };
    {
        GdiCount count;
        ASSERT_TRUE(count.Installed());
        for (int i = 0; i < 1000; ++i) {
            DRAWITEMSTRUCT draw = ButtonDraw(dc, holder.Window(), Inset, states[i % 4]);
            DrawCloseButton(&draw, face.Handle());
        }
        // Two pens a drawing were seen made, so the count watched the drawing; all went again.
        EXPECT_EQ(2000, count.Calls(GdiCount::CREATE_PEN));
        EXPECT_EQ(count.Creations(), count.Deletions());
        EXPECT_EQ(0, count.Live());
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// ---- The real button in a real Products window

// Pumps this thread's messages until done() holds or timeoutMs passes; notes a WM_QUIT and its code.
struct Pump {
    bool quit = false;
    int quitCode = -1;

    bool Until(const std::function<bool()>& done, int timeoutMs)
    {
        return PumpUntil(done, timeoutMs, &quit, &quitCode);
    }

    void For(int ms)
    {
        Until([] { return false; }, ms);
    }
};

struct CloseButtonWindow : ::testing::Test, ViewerWindow {
    HWND button = nullptr;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.71^^#"));
        SetForegroundWindow(window);
        button = GetDlgItem(window, 201);
        ASSERT_NE(nullptr, button);
        AppendProduct(1, "Oak chair", 1110, "49.50", 840, "shop.example/oak", "item-1");
        ASSERT_EQ(1, FillProductListView(list));
        PumpMessages();
    }

    void TearDown() override { CloseViewerWindow(); }

    POINT ButtonCentre()
    {
        RECT r;
        GetWindowRect(button, &r);
        return POINT{ (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    }

    // A point of the window's own background, left of the button and below the list.
    POINT BesideTheButton()
    {
        RECT r;
        GetWindowRect(button, &r);
        return POINT{ r.left - 60, (r.top + r.bottom) / 2 };
    }

    bool Pushed() { return (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }
};

TEST_F(CloseButtonWindow, IsAnOwnerDrawnButtonNamedCloseInTheDefaultGuiFont)
{
    char name[32] = "";
    GetClassNameA(button, name, sizeof name);
    EXPECT_EQ(0, lstrcmpiA("BUTTON", name)) << name;
    char text[32] = "";
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ("Close", text);
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE | BS_OWNERDRAW),
              (DWORD)GetWindowLongA(button, GWL_STYLE) & ~(WS_CLIPSIBLINGS | WS_TABSTOP));
    EXPECT_EQ(201, GetDlgCtrlID(button));
    EXPECT_EQ(window, GetParent(button));
    EXPECT_EQ((LRESULT)GetStockObject(DEFAULT_GUI_FONT), SendMessageA(button, WM_GETFONT, 0, 0));
    EXPECT_TRUE(IsWindowEnabled(button));
}

TEST_F(CloseButtonWindow, SitsFivePixelsInFromTheBottomRightAtEveryRealSize)
{
    const SIZE sizes[] = { { 630, 210 }, { 400, 300 }, { 900, 150 }, { 200, 120 } };
    for (const SIZE& size : sizes) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client, placed;
        GetClientRect(window, &client);
        GetWindowRect(button, &placed);
        MapWindowPoints(nullptr, window, (POINT*)&placed, 2);
        SCOPED_TRACE(std::to_string(size.cx) + " x " + std::to_string(size.cy));
        EXPECT_EQ(client.right - 55, placed.left);
        EXPECT_EQ(client.bottom - 25, placed.top);
        EXPECT_EQ(50, placed.right - placed.left);
        EXPECT_EQ(20, placed.bottom - placed.top);
    }
}

// The button paints itself through the window's WM_DRAWITEM, into a canvas of the button's size:
// the skin's white face, the frame and "Close" centred in blue, in the font the button holds.
TEST_F(CloseButtonWindow, PaintsItselfInTheSkinsBackgroundThroughTheWindow)
{
    const COLORREF white = RGB(255, 255, 255);
    ASSERT_EQ(white, TheLook().colours.background) << "the test skin's background is white";
    OffscreenCanvas canvas(50, 20, Blank);
    SendMessageA(button, WM_PRINTCLIENT, (WPARAM)canvas.Dc(), PRF_CLIENT);
    EXPECT_EQ("", ButtonDifferences(canvas, Blank, RECT{ 0, 0, 50, 20 }, white, false, "Close", TextBlue));
}

TEST_F(CloseButtonWindow, TheWindowDrawsOnlyItsCloseButtonItem)
{
    OffscreenCanvas canvas(80, 50, Blank);
    DRAWITEMSTRUCT other = ButtonDraw(canvas.Dc(), button, Inset, 0, ODT_BUTTON, 202);
    SendMessageA(window, WM_DRAWITEM, 202, (LPARAM)&other);
    const RECT all = { 0, 0, 80, 50 };
    EXPECT_EQ(80 * 50, CountColour(canvas, all, Blank));
    DRAWITEMSTRUCT own = ButtonDraw(canvas.Dc(), button, Inset, 0);
    SendMessageA(window, WM_DRAWITEM, 201, (LPARAM)&own);
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(13, 20)) << "the skin's face";
    EXPECT_EQ(Dark, canvas.At(Inset.right - 1, 20));
}

// Held down, the real button is pushed and paints itself pressed, and the window stays; let go on
// it, the click closes the window at once. (Where a press moved off the button ends is the platform
// button's own affair: it sends its command only for a click.)
TEST_F(CloseButtonWindow, ARealPressPaintsItPressedAndTheClickHidesTheWindowAndEndsTheLoopWithZero)
{
    std::vector<UINT> drawnStates;
    MessageSpy spy(window, [&](UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_DRAWITEM && ((const DRAWITEMSTRUCT*)lParam)->CtlID == 201)
            drawnStates.push_back(((const DRAWITEMSTRUCT*)lParam)->itemState);
    });
    Pump pump;
    MouseTo(BesideTheButton());
    pump.For(100);
    drawnStates.clear();
    MouseTo(ButtonCentre(), MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(pump.Until([&] { return Pushed(); }, 5000)) << "the press did not reach the button";
    pump.For(100);
    bool paintedPressed = false;
    for (UINT state : drawnStates)
        paintedPressed = paintedPressed || (state & ODS_SELECTED);
    EXPECT_TRUE(paintedPressed) << "the pushed button did not repaint itself pressed";
    OffscreenCanvas pressed(50, 20, Blank);
    SendMessageA(button, WM_PRINTCLIENT, (WPARAM)pressed.Dc(), PRF_CLIENT);
    EXPECT_EQ("", ButtonDifferences(pressed, Blank, RECT{ 0, 0, 50, 20 }, RGB(255, 255, 255), true, "Close",
                                    TextBlue));
    EXPECT_FALSE(pump.quit) << "the press alone closed the window";
    EXPECT_TRUE(IsWindowVisible(window));

    MouseTo(ButtonCentre(), MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(pump.Until([&] { return pump.quit; }, 5000)) << "no WM_QUIT after the click";
    EXPECT_EQ(0, pump.quitCode);
    EXPECT_FALSE(IsWindowVisible(window));
}

} // namespace
