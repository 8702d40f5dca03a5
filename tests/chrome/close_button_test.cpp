// The Close button under Wine: its drawing into memory DCs read back pixel by pixel (with the test's
// own face brush, against plain reference drawings of the same pen paths and text), the GDI objects it
// makes, and the real owner-drawn BUTTON of a real Products window, painted and clicked through SendInput.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

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

// Canvases with the default GUI font selected, in the DC colours a caller might have left there.
void PrepareDc(HDC dc)
{
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, DcText);
    SetBkColor(dc, DcBack);
    SetBkMode(dc, OPAQUE);
}

// The intended drawing, made plainly: the face, one 2-pixel solid path from the top right along the
// top and down the left, another down the right and back along the bottom, then the text.
void ReferencePath(HDC dc, COLORREF colour, POINT start, POINT corner, POINT end)
{
    HPEN pen = CreatePen(PS_SOLID, 2, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, start.x, start.y, nullptr);
    LineTo(dc, corner.x, corner.y);
    LineTo(dc, end.x, end.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void ReferenceFrame(HDC dc, const RECT& r, COLORREF face, bool pressed)
{
    Brush brush(face);
    FillRect(dc, &r, brush.Handle());
    ReferencePath(dc, pressed ? Dark : Light, POINT{ r.right - 1, r.top }, POINT{ r.left, r.top },
                  POINT{ r.left, r.bottom });
    ReferencePath(dc, pressed ? Light : Dark, POINT{ r.right, r.top }, POINT{ r.right, r.bottom },
                  POINT{ r.left + 1, r.bottom });
}

void ReferenceText(HDC dc, const RECT& r, const char* text, COLORREF colour)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    RECT area = r;
    DrawTextA(dc, text, -1, &area, Format);
    SetTextColor(dc, DcText);
    SetBkMode(dc, OPAQUE);
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

// ---- The frame

// The button sits inside a larger canvas, so that neither half of any 2-pixel pen is clipped.
const RECT Inset = { 10, 10, 60, 30 };

TEST(CloseButtonFrame, IdleIsLightOnTopAndLeftAndDarkOnRightAndBottomOverTheFace)
{
    OffscreenCanvas canvas(80, 50, Blank);
    Brush face(Face);
    DrawButtonFrame(canvas.Dc(), Inset, face.Handle(), false);
    // The middle of each side, away from the corners where the two paths meet.
    for (int x = 14; x < 56; ++x) {
        EXPECT_EQ(Light, canvas.At(x, Inset.top)) << "top at x " << x;
        EXPECT_EQ(Dark, canvas.At(x, Inset.bottom - 1)) << "bottom at x " << x;
    }
    for (int y = 14; y < 26; ++y) {
        EXPECT_EQ(Light, canvas.At(Inset.left, y)) << "left at y " << y;
        EXPECT_EQ(Dark, canvas.At(Inset.right - 1, y)) << "right at y " << y;
    }
    // The face fills the inside, and nothing is drawn more than a pen's width outside the rectangle.
    for (int y = 13; y < 27; ++y)
        for (int x = 13; x < 57; ++x)
            ASSERT_EQ(Face, canvas.At(x, y)) << x << "," << y;
    for (int x = 0; x < 80; ++x) {
        EXPECT_EQ(Blank, canvas.At(x, Inset.top - 2)) << x;
        EXPECT_EQ(Blank, canvas.At(x, Inset.bottom + 1)) << x;
    }
}

TEST(CloseButtonFrame, PressedSwapsTheTwoColours)
{
    OffscreenCanvas canvas(80, 50, Blank);
    Brush face(Face);
    DrawButtonFrame(canvas.Dc(), Inset, face.Handle(), true);
    for (int x = 14; x < 56; ++x) {
        EXPECT_EQ(Dark, canvas.At(x, Inset.top)) << "top at x " << x;
        EXPECT_EQ(Light, canvas.At(x, Inset.bottom - 1)) << "bottom at x " << x;
    }
    for (int y = 14; y < 26; ++y) {
        EXPECT_EQ(Dark, canvas.At(Inset.left, y)) << "left at y " << y;
        EXPECT_EQ(Light, canvas.At(Inset.right - 1, y)) << "right at y " << y;
    }
    EXPECT_EQ(Face, canvas.At(35, 20));
}

// Pixel for pixel the two solid 2-pixel paths: corners, ends and the pen's outer half included.
TEST(CloseButtonFrame, MatchesAPlainDrawingOfTheTwoPenPathsPixelForPixel)
{
    const RECT rects[] = { Inset, { 0, 0, 50, 20 }, { 3, 4, 9, 8 } };
    for (const RECT& r : rects) {
        for (bool pressed : { false, true }) {
            SCOPED_TRACE(std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                         (pressed ? " pressed" : " idle"));
            OffscreenCanvas got(80, 50, Blank), want(80, 50, Blank);
            Brush face(Face);
            DrawButtonFrame(got.Dc(), r, face.Handle(), pressed);
            ReferenceFrame(want.Dc(), r, Face, pressed);
            EXPECT_EQ("", Differences(got, want));
        }
    }
}

// The 50 by 20 button painted into a canvas of its own size, as the control paints itself: the outer
// half of the left and top pens is clipped, the right and bottom pens land on the last column and row.
TEST(CloseButtonFrame, AtTheButtonsOwnSizeTheEdgesAreItsOuterColumnsAndRows)
{
    const RECT r = { 0, 0, 50, 20 };
    OffscreenCanvas idle(50, 20, Blank), pressed(50, 20, Blank);
    Brush face(Face);
    DrawButtonFrame(idle.Dc(), r, face.Handle(), false);
    DrawButtonFrame(pressed.Dc(), r, face.Handle(), true);
    for (int x = 3; x < 47; ++x) {
        EXPECT_EQ(Light, idle.At(x, 0)) << x;
        EXPECT_EQ(Dark, idle.At(x, 19)) << x;
        EXPECT_EQ(Dark, pressed.At(x, 0)) << x;
        EXPECT_EQ(Light, pressed.At(x, 19)) << x;
        EXPECT_EQ(Face, idle.At(x, 1)) << x;
        EXPECT_EQ(Face, idle.At(x, 18)) << x;
    }
    for (int y = 3; y < 17; ++y) {
        EXPECT_EQ(Light, idle.At(0, y)) << y;
        EXPECT_EQ(Dark, idle.At(49, y)) << y;
        EXPECT_EQ(Dark, pressed.At(0, y)) << y;
        EXPECT_EQ(Light, pressed.At(49, y)) << y;
        EXPECT_EQ(Face, idle.At(1, y)) << y;
        EXPECT_EQ(Face, idle.At(48, y)) << y;
    }
}

// ---- The whole button: face, frame and text

struct DrawCase {
    const char* name;
    const char* text;
    RECT rect;
    UINT state;
};

// Each case needs one of the format's flags: a narrow rectangle shows the text unclipped, a line
// break stays on one line, a tall rectangle centres vertically, and the states pick colours.
const DrawCase DrawCases[] = {
    { "idle", "Close", { 10, 10, 60, 30 }, 0 },
    { "at the origin", "Close", { 0, 0, 50, 20 }, 0 },
    { "pressed", "Close", { 10, 10, 60, 30 }, ODS_SELECTED },
    { "disabled", "Close", { 10, 10, 60, 30 }, ODS_DISABLED },
    { "pressed and disabled", "Close", { 10, 10, 60, 30 }, ODS_SELECTED | ODS_DISABLED },
    { "focused", "Close", { 10, 10, 60, 30 }, ODS_FOCUS },
    { "narrower than its text", "Close", { 30, 10, 44, 30 }, 0 },
    { "tall", "Close", { 10, 5, 60, 45 }, 0 },
    { "with a line break", "Cl\r\nose", { 10, 5, 60, 45 }, 0 },
    { "with no text", "", { 10, 10, 60, 30 }, 0 },
};

TEST(CloseButtonDrawing, MatchesThePlainFrameAndCentredTextInEveryState)
{
    for (const DrawCase& c : DrawCases) {
        SCOPED_TRACE(c.name);
        TextHolder holder(c.text);
        ASSERT_NE(nullptr, holder.Window());
        OffscreenCanvas got(80, 50, Blank), want(80, 50, Blank);
        PrepareDc(got.Dc());
        PrepareDc(want.Dc());
        Brush face(Face);
        DRAWITEMSTRUCT draw = ButtonDraw(got.Dc(), holder.Window(), c.rect, c.state);
        DrawCloseButton(&draw, face.Handle());
        ReferenceFrame(want.Dc(), c.rect, Face, (c.state & ODS_SELECTED) != 0);
        ReferenceText(want.Dc(), c.rect, c.text, (c.state & ODS_DISABLED) ? TextGrey : TextBlue);
        EXPECT_EQ("", Differences(got, want));
    }
}

// The same, without a reference: the ink is in the text colour and sits in the middle of the face.
TEST(CloseButtonDrawing, TextIsDarkBlueAndCentredOnTheFace)
{
    TextHolder holder("Close");
    const RECT r = { 10, 10, 60, 30 };
    OffscreenCanvas canvas(80, 50, Blank);
    PrepareDc(canvas.Dc());
    Brush face(Face);
    DRAWITEMSTRUCT draw = ButtonDraw(canvas.Dc(), holder.Window(), r, 0);
    DrawCloseButton(&draw, face.Handle());
    const RECT inside = { r.left + 2, r.top + 2, r.right - 2, r.bottom - 2 };
    EXPECT_GT(CountColour(canvas, inside, TextBlue), 10);
    EXPECT_EQ(0, CountColour(canvas, inside, TextGrey));
    EXPECT_EQ(0, CountColour(canvas, inside, DcBack)) << "the text must be drawn without a background";
    RECT ink = InkBox(canvas, inside, Face);
    ASSERT_LT(ink.left, ink.right) << "no text drawn";
    EXPECT_LE(std::abs((ink.left - inside.left) - (inside.right - ink.right)), 1) << "not centred across";
    EXPECT_LE(std::abs((ink.top - inside.top) - (inside.bottom - ink.bottom)), 3) << "not centred down";
}

TEST(CloseButtonDrawing, DisabledTextIsGreyAndNoneIsBlue)
{
    TextHolder holder("Close");
    const RECT r = { 10, 10, 60, 30 };
    for (UINT state : { (UINT)ODS_DISABLED, (UINT)(ODS_DISABLED | ODS_SELECTED) }) {
        OffscreenCanvas canvas(80, 50, Blank);
        PrepareDc(canvas.Dc());
        Brush face(Face);
        DRAWITEMSTRUCT draw = ButtonDraw(canvas.Dc(), holder.Window(), r, state);
        DrawCloseButton(&draw, face.Handle());
        const RECT inside = { r.left + 2, r.top + 2, r.right - 2, r.bottom - 2 };
        EXPECT_GT(CountColour(canvas, inside, TextGrey), 10) << state;
        const RECT all = { 0, 0, 80, 50 };
        EXPECT_EQ(0, CountColour(canvas, all, TextBlue)) << state;
    }
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

// The text is read into 50 characters with the terminator, so a longer text shows its first 49.
TEST(CloseButtonDrawing, DrawsAtMostTheFirst49CharactersOfTheButtonsText)
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += (char)('A' + i % 26);
    text[49] = 'W'; // the 50th character: wide, so its absence shows
    TextHolder holder(text.c_str());
    const RECT r = { 20, 5, 480, 25 };
    OffscreenCanvas got(500, 30, Blank), first49(500, 30, Blank), first50(500, 30, Blank);
    for (const OffscreenCanvas* canvas : { &got, &first49, &first50 })
        PrepareDc(canvas->Dc());
    Brush face(Face);
    DRAWITEMSTRUCT draw = ButtonDraw(got.Dc(), holder.Window(), r, 0);
    DrawCloseButton(&draw, face.Handle());
    ReferenceFrame(first49.Dc(), r, Face, false);
    ReferenceText(first49.Dc(), r, text.substr(0, 49).c_str(), TextBlue);
    ReferenceFrame(first50.Dc(), r, Face, false);
    ReferenceText(first50.Dc(), r, text.substr(0, 50).c_str(), TextBlue);
    ASSERT_NE("", Differences(first49, first50)) << "the reference cannot tell 49 from 50 characters";
    EXPECT_EQ("", Differences(got, first49));
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

// The button paints itself through the window's WM_DRAWITEM: the skin's white face, the dark right
// and bottom edges and the blue text, into a canvas of the button's size.
TEST_F(CloseButtonWindow, PaintsItselfInTheSkinsBackgroundThroughTheWindow)
{
    ASSERT_EQ(RGB(255, 255, 255), TheLook().colours.background) << "the test skin's background is white";
    OffscreenCanvas canvas(50, 20, Blank);
    SendMessageA(button, WM_PRINTCLIENT, (WPARAM)canvas.Dc(), PRF_CLIENT);
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(4, 10)) << "face";
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(45, 4)) << "face";
    EXPECT_EQ(Light, canvas.At(25, 0));
    EXPECT_EQ(Light, canvas.At(0, 10));
    EXPECT_EQ(Dark, canvas.At(25, 19));
    EXPECT_EQ(Dark, canvas.At(49, 10));
    const RECT inside = { 2, 2, 48, 18 };
    EXPECT_GT(CountColour(canvas, inside, TextBlue), 10) << "no text in the button's font and colour";
    EXPECT_EQ(0, CountColour(canvas, inside, Blank));

    // The whole of it is what DrawCloseButton draws with a white face and the button's own font.
    OffscreenCanvas want(50, 20, Blank);
    SelectObject(want.Dc(), GetStockObject(DEFAULT_GUI_FONT));
    Brush white(RGB(255, 255, 255));
    DRAWITEMSTRUCT draw = ButtonDraw(want.Dc(), button, RECT{ 0, 0, 50, 20 }, 0);
    DrawCloseButton(&draw, white.Handle());
    EXPECT_EQ("", Differences(canvas, want));
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

TEST_F(CloseButtonWindow, ARealClickOnTheButtonHidesTheWindowAndEndsTheLoopWithZero)
{
    Pump pump;
    MouseTo(BesideTheButton());
    pump.For(100);
    ASSERT_FALSE(pump.quit);
    MouseTo(ButtonCentre(), MOUSEEVENTF_LEFTDOWN);
    MouseTo(ButtonCentre(), MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(pump.Until([&] { return pump.quit; }, 5000)) << "no WM_QUIT after the click";
    EXPECT_EQ(0, pump.quitCode);
    EXPECT_FALSE(IsWindowVisible(window));
}

// While the real button is held down it is pushed and paints pressed; dragging off and letting go
// elsewhere cancels the click.
TEST_F(CloseButtonWindow, HeldDownItPaintsPressedAndReleasedElsewhereItDoesNotClose)
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
    for (int x = 3; x < 47; x += 4) {
        EXPECT_EQ(Dark, pressed.At(x, 0)) << x;
        EXPECT_EQ(Light, pressed.At(x, 19)) << x;
    }
    EXPECT_EQ(Dark, pressed.At(0, 10));
    EXPECT_EQ(Light, pressed.At(49, 10));
    EXPECT_GT(CountColour(pressed, RECT{ 2, 2, 48, 18 }, TextBlue), 10);

    // Off the button, still held: no longer pushed; let go there: no click.
    MouseTo(BesideTheButton());
    EXPECT_TRUE(pump.Until([&] { return !Pushed(); }, 5000)) << "moving off did not release the button's push";
    MouseTo(BesideTheButton(), MOUSEEVENTF_LEFTUP);
    pump.For(300);
    EXPECT_FALSE(pump.quit) << "a release away from the button closed the window";
    EXPECT_TRUE(IsWindowVisible(window));
    OffscreenCanvas idle(50, 20, Blank);
    SendMessageA(button, WM_PRINTCLIENT, (WPARAM)idle.Dc(), PRF_CLIENT);
    EXPECT_EQ(Dark, idle.At(25, 19));
    EXPECT_EQ(Dark, idle.At(49, 10));
}

// A click made of a press elsewhere and a release on the button is no click either.
TEST_F(CloseButtonWindow, APressElsewhereReleasedOnTheButtonDoesNotClose)
{
    Pump pump;
    MouseTo(BesideTheButton());
    pump.For(100);
    MouseTo(BesideTheButton(), MOUSEEVENTF_LEFTDOWN);
    pump.For(100);
    MouseTo(ButtonCentre());
    pump.For(100);
    MouseTo(ButtonCentre(), MOUSEEVENTF_LEFTUP);
    pump.For(300);
    EXPECT_FALSE(pump.quit);
    EXPECT_TRUE(IsWindowVisible(window));
}

} // namespace
