// The sort menu driven by real input under Wine: mouse clicks on the list's real header open the
// owner-drawn popup under it, Escape dismisses it, and a click on an item sorts the real list view.
// The popup runs a modal loop on this thread, so the input comes from a second thread while this
// one pumps messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/menus.h"
#include "app/products_window.h"
#include "chrome/popup_menu.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "listview/sorting.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

struct SortMenuTest : ::testing::Test, ViewerWindow {
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.70^^#"));
        SetForegroundWindow(window);
        AppendProduct(1, "banana", 1110, "2.50", 978, "", "");
        AppendProduct(1, "Apple", 1110, "10", 840, "", "");
        AppendProduct(1, "cherry", 1110, "1,000.00", 840, "", "");
        AppendProduct(1, "apple pie", 1110, "9.99", 978, "", "");
        AppendProduct(1, "Zebra", 1110, "2.5", 840, "", "");
        ASSERT_EQ(1, FillProductListView(list));
        PumpMessages();
    }

    void TearDown() override { CloseViewerWindow(); }

    // A column's header item, in the header's client coordinates.
    RECT HeaderItem(int column)
    {
        HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
        RECT item = {};
        SendMessageA(header, HDM_GETITEMRECT, column, (LPARAM)&item);
        return item;
    }

    // The screen point in the middle of a column's header.
    POINT HeaderPoint(int column)
    {
        RECT item = HeaderItem(column);
        POINT at = { (item.left + item.right) / 2, (item.top + item.bottom) / 2 };
        ClientToScreen((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0), &at);
        return at;
    }

    // Clicks a column's header through real input, reads the menu that opens and dismisses it.
    SeenMenu PeekAtMenu(int column)
    {
        POINT header = HeaderPoint(column);
        return MenuAfter([&] { ClickAt(header); });
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < rows; ++i) {
            ProductRecord* record = GetItemRecord(list, i);
            names.push_back(record != nullptr ? record->name : "(none)");
        }
        return names;
    }
};

TEST_F(SortMenuTest, AHeaderClickOpensTheTwoOwnerDrawnItemsJustBelowTheHeader)
{
    SeenMenu seen = PeekAtMenu(1);
    ASSERT_TRUE(seen.shown) << "no menu opened under the Product header";
    POINT expected = SortMenuPoint(window, HeaderItem(1));
    EXPECT_EQ(expected.x, seen.rect.left);
    EXPECT_EQ(expected.y, seen.rect.top);
    ASSERT_EQ(2, seen.items);
    EXPECT_EQ((UINT)IDM_SORT_ASCENDING, seen.ids[0]);
    EXPECT_EQ((UINT)IDM_SORT_DESCENDING, seen.ids[1]);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(seen.types[i] & MFT_OWNERDRAW) << i;
        EXPECT_EQ((ULONG_PTR)&MenuItemSlots[i], seen.data[i]) << i;
    }
    EXPECT_STREQ(" Ascending", MenuItemSlots[0].text);
    EXPECT_STREQ(" Descending", MenuItemSlots[1].text);
    // The icons are the skin's, loaded at start-up; the items were measured for drawing.
    EXPECT_NE(nullptr, MenuItemSlots[0].bitmap);
    EXPECT_EQ(TheLook().menuBitmaps[MENU_BITMAP_ASCENDING], MenuItemSlots[0].bitmap);
    EXPECT_EQ(TheLook().menuBitmaps[MENU_BITMAP_DESCENDING], MenuItemSlots[1].bitmap);
    EXPECT_GT(MenuTextHeight, 0);
    EXPECT_TRUE(IsSortMenuArmed(1)) << "a dismissed menu leaves its column armed";
}

TEST_F(SortMenuTest, EveryHeaderOpensItsMenuUnderItself)
{
    for (int column = 0; column < 6; ++column) {
        SeenMenu seen = PeekAtMenu(column);
        ASSERT_TRUE(seen.shown) << "column " << column;
        POINT expected = SortMenuPoint(window, HeaderItem(column));
        EXPECT_EQ(expected.x, seen.rect.left) << "column " << column;
        EXPECT_EQ(expected.y, seen.rect.top) << "column " << column;
        EXPECT_EQ(column, SortColumn());
    }
}

TEST_F(SortMenuTest, ASecondClickOnAnArmedHeaderOpensNothingAndAThirdOpensItAgain)
{
    POINT header = HeaderPoint(2);
    // Clicks closer together than the double-click time would make a double-click, not a second click.
    DWORD apart = GetDoubleClickTime() + 200;
    bool first = false, second = true, third = false;
    bool armedAfterSecond = true;
    RunInput([&] {
        ClickAt(header);
        first = WaitForPopup(5000) != nullptr;
        PressKey(VK_ESCAPE);
        WaitForNoPopup(5000);
        Sleep(apart);
        ClickAt(header);
        second = WaitForPopup(apart) != nullptr;
        armedAfterSecond = IsSortMenuArmed(2);
        ClickAt(header);
        third = WaitForPopup(5000) != nullptr;
        PressKey(VK_ESCAPE);
        WaitForNoPopup(5000);
    });
    EXPECT_TRUE(first);
    EXPECT_FALSE(second) << "the armed column's second click must only disarm it";
    EXPECT_FALSE(armedAfterSecond) << "the second click did not reach the column as a click";
    EXPECT_TRUE(third);
    EXPECT_TRUE(IsSortMenuArmed(2));
}

// Clicks the header of column, then the menu item at position, through real input.
void ChooseFromSortMenu(POINT header, int position, bool* chosen)
{
    ClickAt(header);
    HWND popup = WaitForPopup(5000);
    if (popup == nullptr)
        return;
    HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
    RECT item = {};
    if (!GetMenuItemRect(nullptr, menu, (UINT)position, &item))
        return;
    ClickAt(POINT{ (item.left + item.right) / 2, (item.top + item.bottom) / 2 });
    *chosen = WaitForNoPopup(5000);
}

TEST_F(SortMenuTest, DescendingOnProductOrdersNamesZToAWithoutRegardToCase)
{
    POINT header = HeaderPoint(1);
    bool chosen = false;
    RunInput([&] { ChooseFromSortMenu(header, 1, &chosen); });
    ASSERT_TRUE(chosen);
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "Zebra", "cherry", "banana", "apple pie", "Apple" }), Names());
    EXPECT_FALSE(IsSortMenuArmed(1)) << "a sort disarms its column";

    // Disarmed, so the next click opens the menu at once: ascending reverses the order.
    RunInput([&] { ChooseFromSortMenu(header, 0, &chosen); });
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "Apple", "apple pie", "banana", "cherry", "Zebra" }), Names());
}

TEST_F(SortMenuTest, AscendingOnPriceOrdersByCurrencyThenByValue)
{
    POINT header = HeaderPoint(3);
    bool chosen = false;
    RunInput([&] { ChooseFromSortMenu(header, 0, &chosen); });
    ASSERT_TRUE(chosen);
    PumpMessages();
    // 840 before 978; within 840: 2.5, 10, 1,000.00; within 978: 2.50, 9.99.
    EXPECT_EQ((std::vector<std::string>{ "Zebra", "Apple", "cherry", "banana", "apple pie" }), Names());
}

TEST(SortMenuPoint, IsFivePixelsIntoTheWindowBelowTheHeaderAndOneMore)
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 30, 300, 200, nullptr, nullptr,
                                  Instance(), nullptr);
    ASSERT_NE(nullptr, window);
    RECT header = { 100, 0, 180, 20 };
    POINT at = SortMenuPoint(window, header);
    POINT client = { 106, 26 };
    ClientToScreen(window, &client);
    EXPECT_EQ(client.x, at.x);
    EXPECT_EQ(client.y, at.y);
    DestroyWindow(window);
}

} // namespace
