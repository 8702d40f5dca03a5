// The Products window in this process: its class, creation, centring, layout, routing and teardown.
// The test folder holds a skin whose strings are "16777215" (white background) and "192" (dark red text).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/launch_args.h"
#include "app/products_window.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

struct ProductsWindowTest : ::testing::Test {
    HWND window = nullptr;

    void SetUp() override
    {
        // Nothing listens there: the window's own fetch is refused at once and leaves it empty.
        ParseLaunchArgs("127.0.0.20^^#", &TheLaunchArgs);
        ASSERT_TRUE(RegisterProductsClass(Instance()));
        window = CreateProductsWindow(Instance(), SW_SHOWNORMAL);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        PumpMessages();
        UnregisterClassA(PRODUCTS_CLASS_NAME, Instance());
    }
};

TEST_F(ProductsWindowTest, ClassIsRegisteredInTheSkinColours)
{
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(Instance(), PRODUCTS_CLASS_NAME, &info));
    EXPECT_EQ(0u, info.style);
    EXPECT_EQ(0, info.cbClsExtra);
    EXPECT_EQ(0, info.cbWndExtra);
    EXPECT_EQ(nullptr, info.hIcon);
    EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), info.hCursor);
    EXPECT_EQ(nullptr, info.lpszMenuName);
    ASSERT_EQ(TheLook().backgroundBrush, info.hbrBackground);

    LOGBRUSH brush = {};
    ASSERT_EQ((int)sizeof brush, GetObjectA(info.hbrBackground, sizeof brush, &brush));
    EXPECT_EQ((UINT)BS_SOLID, brush.lbStyle);
    EXPECT_EQ(RGB(255, 255, 255), brush.lbColor);
    EXPECT_EQ(RGB(192, 0, 0), TheLook().colours.listText);
}

TEST_F(ProductsWindowTest, IsACentredToolWindowOfTheGivenSize)
{
    char text[64];
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(PRODUCTS_CLASS_NAME, text);
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ("   Products", text);

    LONG style = GetWindowLongA(window, GWL_STYLE);
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_CHILD | WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(nullptr, GetParent(window));
    EXPECT_EQ(nullptr, GetMenu(window));

    RECT own, desktop;
    GetWindowRect(window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(630, own.right - own.left);
    EXPECT_EQ(210, own.bottom - own.top);
    EXPECT_EQ(desktop.left + (desktop.right - desktop.left) / 2 - 315, own.left);
    EXPECT_EQ(desktop.top + (desktop.bottom - desktop.top) / 2 - 105, own.top);
}

TEST_F(ProductsWindowTest, ClientAreaIsPaintedWithTheSkinBackground)
{
    // The window erases into a black canvas of its own: every client pixel must turn white.
    RECT client;
    GetClientRect(window, &client);
    ASSERT_GT(client.right, 20);
    ASSERT_GT(client.bottom, 20);
    OffscreenCanvas canvas(client.right, client.bottom, RGB(0, 0, 0));
    ASSERT_EQ(RGB(0, 0, 0), canvas.At(2, 2));
    SendMessageA(window, WM_PRINT, (WPARAM)canvas.Dc(), PRF_ERASEBKGND | PRF_CLIENT);
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(2, 2));
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(client.right - 3, client.bottom - 3));
    int other = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            other += canvas.At(x, y) != RGB(255, 255, 255);
    EXPECT_EQ(0, other) << "pixels of the client area not in the skin's background";
}

// Records where the layout asked a child to go, before the system applies any limit.
struct Placement {
    bool seen;
    int x, y, width, height;
};

const char PlacementProp[] = "test.placement";
const char OldProcProp[] = "test.oldproc";

LRESULT CALLBACK RecordingProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_WINDOWPOSCHANGING) {
        const WINDOWPOS* pos = (const WINDOWPOS*)lParam;
        Placement* placement = (Placement*)GetPropA(child, PlacementProp);
        if (placement != nullptr && !(pos->flags & SWP_NOSIZE) && !(pos->flags & SWP_NOMOVE))
            *placement = { true, pos->x, pos->y, pos->cx, pos->cy };
    }
    WNDPROC old = (WNDPROC)GetPropA(child, OldProcProp);
    return old != nullptr ? CallWindowProcA(old, child, message, wParam, lParam)
                          : DefWindowProcA(child, message, wParam, lParam);
}

// Watches an existing child, such as the real list view.
void Record(HWND child, Placement* placement)
{
    SetPropA(child, PlacementProp, placement);
    SetPropA(child, OldProcProp, (HANDLE)SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)RecordingProc));
}

struct LayoutCase {
    int width, height;
};

TEST_F(ProductsWindowTest, LayoutPlacesListAndCloseButtonAtEverySize)
{
    Placement list = {}, close = {};
    Record(GetDlgItem(window, IDC_PRODUCT_LIST), &list);
    Record(GetDlgItem(window, IDC_CLOSE_BUTTON), &close);

    // Typical, small, under 10 by 35, zero, and the largest 16-bit extents. The platform turns the
    // negative extents of the tiny sizes into 0 before the children see them.
    const LayoutCase cases[] = { { 614, 171 }, { 300, 100 }, { 9, 34 }, { 0, 0 }, { 32767, 32767 } };
    for (const LayoutCase& c : cases) {
        list = {};
        close = {};
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        ASSERT_TRUE(list.seen);
        ASSERT_TRUE(close.seen);
        EXPECT_EQ(5, list.x);
        EXPECT_EQ(5, list.y);
        EXPECT_EQ(std::max(0, c.width - 10), list.width);
        EXPECT_EQ(std::max(0, c.height - 35), list.height);
        EXPECT_EQ(c.width - 55, close.x);
        EXPECT_EQ(c.height - 25, close.y);
        EXPECT_EQ(50, close.width);
        EXPECT_EQ(20, close.height);
    }
}

TEST_F(ProductsWindowTest, LayoutReadsTheSizeAsSignedWords)
{
    Placement close = {};
    Record(GetDlgItem(window, IDC_CLOSE_BUTTON), &close);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFFF, 0xFFFE)); // -1 by -2
    ASSERT_TRUE(close.seen);
    EXPECT_EQ(-56, close.x);
    EXPECT_EQ(-27, close.y);
}

TEST_F(ProductsWindowTest, ResizingTheWindowLaysOutItsRealClientArea)
{
    HWND child = GetDlgItem(window, IDC_PRODUCT_LIST);
    ASSERT_NE(nullptr, child);
    SetWindowPos(window, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client, placed;
    GetClientRect(window, &client);
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, window, (POINT*)&placed, 2);
    EXPECT_EQ(5, placed.left);
    EXPECT_EQ(5, placed.top);
    EXPECT_EQ(client.right - 5, placed.right);
    EXPECT_EQ(client.bottom - 30, placed.bottom);
}

// Closing ends the run: the window leaves the screen at once and the loop is told to end with 0.
void ExpectClosed(HWND window, const char* how)
{
    EXPECT_FALSE(IsWindowVisible(window)) << how;
    int quitCode = -1;
    EXPECT_TRUE(PumpMessages(&quitCode)) << how;
    EXPECT_EQ(0, quitCode) << how;
}

TEST_F(ProductsWindowTest, CommandOfTheCloseButtonClosesWhateverItsNotificationCode)
{
    const WORD codes[] = { BN_CLICKED, 1, 0x1234, 0xFFFF };
    for (WORD code : codes) {
        ShowWindow(window, SW_SHOWNORMAL);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, code), 0);
        ExpectClosed(window, ("notification code " + std::to_string(code)).c_str());
    }
}

TEST_F(ProductsWindowTest, OtherCommandsLeaveTheWindowOpen)
{
    const int ids[] = { 0, 1, 105, 200, 202, 0xFFFF };
    for (int id : ids)
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ProductsWindowTest, HoverOverTheListNeverSelects)
{
    NMHDR hover = { nullptr, IDC_PRODUCT_LIST, (UINT)NM_HOVER };
    EXPECT_EQ(1, SendMessageA(window, WM_NOTIFY, IDC_PRODUCT_LIST, (LPARAM)&hover));
    NMHDR elsewhere = { nullptr, 106, (UINT)NM_HOVER };
    EXPECT_EQ(0, SendMessageA(window, WM_NOTIFY, 106, (LPARAM)&elsewhere));
    // A click below the last row: the list view's click record names no item.
    NMITEMACTIVATE click = {};
    click.hdr = { GetDlgItem(window, IDC_PRODUCT_LIST), IDC_PRODUCT_LIST, (UINT)NM_CLICK };
    click.iItem = -1;
    EXPECT_EQ(0, SendMessageA(window, WM_NOTIFY, IDC_PRODUCT_LIST, (LPARAM)&click));
}

TEST_F(ProductsWindowTest, NetworkingStartUpLoadsTheMenuIconsAndTeardownDeletesThem)
{
    HBITMAP kept[MENU_BITMAP_COUNT];
    for (int slot = 0; slot < MENU_BITMAP_COUNT; ++slot) {
        kept[slot] = TheLook().menuBitmaps[slot];
        ASSERT_NE(nullptr, kept[slot]) << "slot " << slot;
        BITMAP info = {};
        ASSERT_EQ((int)sizeof info, GetObjectA(kept[slot], sizeof info, &info));
        EXPECT_EQ(13, info.bmWidth);
        EXPECT_EQ(13, info.bmHeight);
    }
    DestroyWindow(window);
    for (int slot = 0; slot < MENU_BITMAP_COUNT; ++slot) {
        EXPECT_EQ(nullptr, TheLook().menuBitmaps[slot]);
        EXPECT_EQ(0u, GetObjectType(kept[slot])) << "slot " << slot << " was not deleted";
    }
}

TEST_F(ProductsWindowTest, SystemCloseEndsTheRunAndLeavesTheRowsToTheProcessEnd)
{
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    AppendProduct(1, "chair", 1, "1.00", 840, "", "");
    AppendProduct(2, "table", 1, "2.00", 840, "", "");
    ASSERT_EQ(1, FillProductListView(list));
    int deletes = 0;
    MessageSpy spy(list, [&](UINT message, WPARAM, LPARAM) { deletes += message == LVM_DELETEALLITEMS; });
    SendMessageA(window, WM_CLOSE, 0, 0);
    ExpectClosed(window, "WM_CLOSE");
    // Deleting rows one by one is what makes a long list slow to close: the process end takes them
    // all at once, with the records they point to.
    EXPECT_EQ(0, deletes);
    EXPECT_EQ(2, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_NE(nullptr, ProductListHead());
}

// What the list view saw of the teardown while it went on.
struct TeardownSeen {
    int rowsDeleted = 0;          // LVM_DELETEALLITEMS received
    bool recordsAtDelete = false; // the product list still held its records then
    int rowsAtDelete = -1;        // and the list view its rows
    int detached = 0;             // LVM_SETIMAGELIST of a null small image list received
    int destroysAtDetach = -1;    // how often the image list had been destroyed by then
    bool destroyed = false;       // WM_DESTROY received
    LRESULT imagesAtDestroy = -1; // the small image list it still had then
};

// The teardown itself, however the window comes to be destroyed.
TEST_F(ProductsWindowTest, TeardownDeletesRowsBeforeRecordsAndReleasesEveryResourceOnce)
{
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    ASSERT_NE(nullptr, list);
    AppendProduct(1, "chair", 1, "1.00", 840, "", "");
    AppendProduct(2, "table", 1, "2.00", 840, "", "");
    ASSERT_EQ(1, FillProductListView(list));
    HBRUSH brush = TheLook().backgroundBrush;
    ASSERT_EQ((DWORD)OBJ_BRUSH, GetObjectType(brush));
    ImageListWatch images(ProductImages());
    ASSERT_TRUE(images.Holding());
    ASSERT_EQ(0, images.Destroys());

    TeardownSeen seen;
    MessageSpy spy(list, [&](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == LVM_DELETEALLITEMS) {
            ++seen.rowsDeleted;
            seen.recordsAtDelete = ProductListHead() != nullptr;
            seen.rowsAtDelete = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        } else if (message == LVM_SETIMAGELIST && wParam == LVSIL_SMALL && lParam == 0) {
            ++seen.detached;
            seen.destroysAtDetach = images.Destroys();
        } else if (message == WM_DESTROY) {
            seen.destroyed = true;
            seen.imagesAtDestroy = SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
        }
    });
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));

    // The rows point into the records: they must be gone before the records are freed.
    EXPECT_EQ(1, seen.rowsDeleted);
    EXPECT_TRUE(seen.recordsAtDelete) << "the records were freed while rows still pointed to them";
    EXPECT_EQ(2, seen.rowsAtDelete);
    EXPECT_EQ(nullptr, ProductListHead());

    EXPECT_EQ(nullptr, TheLook().backgroundBrush);
    EXPECT_EQ(0u, GetObjectType(brush)) << "the background brush was not deleted";

    // The list view destroys an image list it still holds: it must have been let go first.
    EXPECT_EQ(1, seen.detached);
    EXPECT_EQ(0, seen.destroysAtDetach) << "the image list was destroyed before it was detached";
    ASSERT_TRUE(seen.destroyed);
    EXPECT_EQ(0, seen.imagesAtDestroy) << "the list view still held the image list";
    EXPECT_EQ(1, images.Destroys()) << "the image list must be destroyed exactly once";
    EXPECT_EQ(nullptr, ProductImages());

    int quitCode = -1;
    EXPECT_TRUE(PumpMessages(&quitCode));
    EXPECT_EQ(0, quitCode);
}

// CenterWindow on its own, against a reference window with odd extents and negative coordinates.
TEST(CenterWindow, TruncatesTowardZeroAroundAReferenceWindow)
{
    HWND reference = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, -101, -51, 101, 51, nullptr,
                                     nullptr, Instance(), nullptr);
    HWND moved = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 300, 300, 51, 31, nullptr, nullptr,
                                 Instance(), nullptr);
    ASSERT_NE(nullptr, reference);
    ASSERT_NE(nullptr, moved);
    CenterWindow(moved, reference, FALSE);
    RECT rect;
    GetWindowRect(moved, &rect);
    // Centre (-101 + 101/2, -51 + 51/2) = (-51, -26); the window's halves are 25 and 15.
    EXPECT_EQ(-76, rect.left);
    EXPECT_EQ(-41, rect.top);
    EXPECT_EQ(51, rect.right - rect.left);
    EXPECT_EQ(31, rect.bottom - rect.top);
    DestroyWindow(moved);
    DestroyWindow(reference);
}

TEST(CenterWindow, NullReferenceMeansTheDesktop)
{
    HWND moved = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 200, 101, nullptr, nullptr,
                                 Instance(), nullptr);
    CenterWindow(moved, nullptr, TRUE);
    RECT rect, desktop;
    GetWindowRect(moved, &rect);
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ((desktop.right - desktop.left) / 2 - 100 + desktop.left, rect.left);
    EXPECT_EQ((desktop.bottom - desktop.top) / 2 - 50 + desktop.top, rect.top);
    DestroyWindow(moved);
}

} // namespace
