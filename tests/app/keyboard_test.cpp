// The Products window without a mouse, under Wine with real keys: Enter, the menu key and Shift+F10
// open the focused row's link menu at the row, a right click opens it where a left click does,
// Ctrl+1 to Ctrl+6 open a column's sort menu under its header, Escape closes the window, the list
// takes the focus back when the window is activated again, and the owner-drawn items carry their
// names for screen readers. Menus run a modal loop here, so input comes from a second thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "chrome/popup_menu.h"
#include "common/control_ids.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "listview/sorting.h"
#include "listview/typed_prefix.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

struct KeyboardTest : ::testing::Test, ViewerWindow {
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.71^acct^key#"));
        AppendProduct(1, "Oak chair", 1110, "49.50", 840, "shop.example/oak", "oak-chair");
        AppendProduct(2, "Linen throw", 1120, "19.00", 978, "shop.example/linen", "linen");
        AppendProduct(5, "Bare\tstool \x80", 1110, "5.00", 840, "", "");
        ASSERT_EQ(1, FillProductListView(list));
        FocusFirstRow(list);
        SetForegroundWindow(window);
        SetFocus(list);
        PumpMessages();
    }

    void TearDown() override { CloseViewerWindow(); }

    POINT CellPoint(int row, int column)
    {
        RECT cell = {};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETSUBITEMRECT, row, (LPARAM)&cell);
        POINT at = { cell.left + 10, (cell.top + cell.bottom) / 2 };
        ClientToScreen(list, &at);
        return at;
    }

    RECT HeaderItem(int column)
    {
        RECT item = {};
        SendMessageA((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0), HDM_GETITEMRECT, column, (LPARAM)&item);
        return item;
    }
};

TEST_F(KeyboardTest, EnterTheMenuKeyAndShiftF10OpenTheFocusedRowsLinkMenuAtTheRow)
{
    // The menu's top-left corner: the second row's Product cell's left edge, just under the row.
    RECT cell = {};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, 1, (LPARAM)&cell);
    POINT corner = { cell.left, cell.bottom };
    ClientToScreen(list, &corner);
    const struct {
        const char* name;
        std::vector<WORD> keys;
    } openers[] = { { "Enter", { VK_RETURN } }, { "menu key", { VK_APPS } }, { "Shift+F10", { VK_SHIFT, VK_F10 } } };
    for (const auto& opener : openers) {
        SCOPED_TRACE(opener.name);
        // The arrow keys move the focus from the first row to the second.
        SeenMenu seen = MenuAfter([&] {
            PressKey(VK_HOME);
            PressKey(VK_DOWN);
            if (opener.keys.size() == 1)
                PressKey(opener.keys[0]);
            else
                PressChord({ opener.keys[0], opener.keys[1] });
        });
        ASSERT_TRUE(seen.shown) << "no link menu opened";
        EXPECT_EQ(1, FocusedRow(list));
        EXPECT_EQ(corner.x, seen.rect.left);
        EXPECT_EQ(corner.y, seen.rect.top);
        ASSERT_EQ(2, seen.items);
        EXPECT_EQ((UINT)IDM_OPEN_WEB_ADDRESS, seen.ids[0]);
        EXPECT_EQ((UINT)IDM_OPEN_SERVER_PAGE, seen.ids[1]);
        EXPECT_STREQ("shop.example/linen", MenuItemSlots[2].text);
        EXPECT_STREQ("linen", MenuItemSlots[3].text);
        // Screen readers find each owner-drawn item's name at the start of its data.
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ((DWORD)MSAA_MENU_SIG, ((const MSAAMENUINFO*)seen.data[i])->dwMSAASignature) << i;
    }
}

TEST_F(KeyboardTest, ARowWithoutAddressesOpensNothingFromTheKeyboard)
{
    SeenMenu seen = MenuAfter([] {
        PressKey(VK_END);
        PressKey(VK_RETURN);
    }, 1500);
    EXPECT_EQ(2, FocusedRow(list));
    EXPECT_FALSE(seen.shown);
}

TEST_F(KeyboardTest, ARightClickOnARowOpensItsLinkMenuWhereALeftClickDoes)
{
    POINT at = CellPoint(0, 2);
    SeenMenu left = MenuAfter([&] { ClickAt(at); });
    SeenMenu right = MenuAfter([&] { RightClickAt(at); });
    ASSERT_TRUE(left.shown);
    ASSERT_TRUE(right.shown) << "a right click opened no menu";
    EXPECT_EQ(left.rect.left, right.rect.left);
    EXPECT_EQ(left.rect.top, right.rect.top);
    EXPECT_EQ(2, right.items);
    EXPECT_STREQ("shop.example/oak", MenuItemSlots[2].text);

    SeenMenu bare = MenuAfter([&] { RightClickAt(CellPoint(2, 2)); }, 1500);
    EXPECT_FALSE(bare.shown) << "a row without addresses has no menu";
}

TEST_F(KeyboardTest, CtrlAndADigitOpenThatColumnsSortMenuWhereAClickDoesEachTime)
{
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    for (int column = 0; column < 6; ++column) {
        SCOPED_TRACE(column);
        RECT item = HeaderItem(column);
        POINT middle = { (item.left + item.right) / 2, (item.top + item.bottom) / 2 };
        ClientToScreen(header, &middle);
        SeenMenu clicked = MenuAfter([&] { ClickAt(middle); });
        ASSERT_TRUE(clicked.shown);
        // Twice more: the dismissed menu left its column armed, which only a click takes as a toggle.
        for (int round = 0; round < 2; ++round) {
            SeenMenu keyed = MenuAfter([&] { PressChord({ VK_CONTROL, (WORD)('1' + column) }); });
            ASSERT_TRUE(keyed.shown) << "round " << round;
            EXPECT_EQ(clicked.rect.left, keyed.rect.left);
            EXPECT_EQ(clicked.rect.top, keyed.rect.top);
            EXPECT_EQ((UINT)IDM_SORT_ASCENDING, keyed.ids[0]);
            EXPECT_EQ(column, SortColumn());
            EXPECT_TRUE(IsSortMenuArmed(column));
        }
    }
    // Ctrl+7 names no column, and a digit without Ctrl is the list's own type-ahead.
    EXPECT_FALSE(MenuAfter([] { PressChord({ VK_CONTROL, '7' }); }, 1000).shown);
    EXPECT_FALSE(MenuAfter([] { PressKey('2'); }, 1000).shown);
}

TEST_F(KeyboardTest, EscapeClosesTheWindowAsTheCloseButtonDoes)
{
    PressKey(VK_ESCAPE);
    bool quit = false;
    int code = -1;
    EXPECT_TRUE(PumpUntil([&] { return quit; }, 5000, &quit, &code)) << "no quit after Escape";
    EXPECT_EQ(0, code);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(KeyboardTest, TheListTakesTheFocusBackWhenTheWindowIsActivatedAgain)
{
    EXPECT_EQ(list, GetFocus());
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    SetForegroundWindow(other);
    PumpMessages();
    EXPECT_NE(list, GetFocus());
    SetForegroundWindow(window);
    PumpMessages();
    EXPECT_EQ(list, GetFocus());
    DestroyWindow(other);
}

// The clipboard's text in a format, as bytes without its terminator, or "(none)".
std::string ClipboardBytes(UINT format)
{
    std::string text = "(none)";
    HANDLE data = OpenClipboard(nullptr) ? GetClipboardData(format) : nullptr;
    if (const char* bytes = data != nullptr ? (const char*)GlobalLock(data) : nullptr) {
        text.assign(bytes, format == CF_TEXT ? strlen(bytes) : wcslen((const wchar_t*)bytes) * 2);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

TEST_F(KeyboardTest, CtrlAAndCtrlCCopyTheRowsAsATableAndWithNothingSelectedNothing)
{
    ASSERT_TRUE(OpenClipboard(window));
    EmptyClipboard();
    CloseClipboard();
    PressChord({ VK_CONTROL, 'C' });
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ("(none)", ClipboardBytes(CF_TEXT)) << "nothing selected, yet something was copied";

    PressChord({ VK_CONTROL, 'A' });
    PressChord({ VK_CONTROL, 'C' });
    PumpUntil([] { return ClipboardBytes(CF_TEXT) != "(none)"; }, 3000);
    EXPECT_EQ(3, (int)SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(0, FocusedRow(list)) << "Ctrl+A moved the focus";
    // The tab inside a name would split its cell: it goes as a blank.
    const std::string table =
        "Status\tProduct\tCategory\tPrice\tWeb address\tServer page\r\n"
        "Listed\tOak chair\tHome & Garden > Furniture > Chairs\t49.50 [USD]\tshop.example/oak\toak-chair\r\n"
        "New\tLinen throw\tHome & Garden > Furniture > Tables\t19.00 [EUR]\tshop.example/linen\tlinen\r\n"
        "Sale\tBare stool \x80\tHome & Garden > Furniture > Chairs\t5.00 [USD]\t\t\r\n";
    EXPECT_EQ(table, ClipboardBytes(CF_TEXT));
    // In UTF-16, 0x80 of code page 1252 is the euro sign.
    std::wstring wide;
    for (unsigned char c : table)
        wide += c == 0x80 ? L'\u20AC' : (wchar_t)c;
    EXPECT_EQ(std::string((const char*)wide.data(), wide.size() * 2), ClipboardBytes(CF_UNICODETEXT));
}

TEST_F(KeyboardTest, TypedLettersFindTheNextProductByNameWrapAndARepeatedLetterWalksTheMatches)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    FreeProducts();
    for (const char* name : { "Apple", "banana", "apricot", "Avocado", "cherry" })
        AppendProduct(1, name, 1110, "1.00", 840, "", "");
    ASSERT_EQ(1, FillProductListView(list));
    FocusFirstRow(list);
    const struct {
        const char* typed;
        int row; // where the focus and the only selection land
    } steps[] = {
        { "b", 1 },  { "a", 2 },  { "aa", 0 }, // again the same letter: Avocado, then round to Apple
        { "AV", 3 }, { "z", 3 },  { "Ch", 4 }, // a prefix, case ignored; no match stays put
        { "c", 4 },                            // the only match, found again from the row after it
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.typed);
        Sleep(TYPING_PAUSE_MS + 100); // a new prefix
        TypeText(step.typed);
        PumpUntil([&] { return FocusedRow(list) == step.row; }, 2000);
        PumpMessages();
        EXPECT_EQ(step.row, FocusedRow(list));
        EXPECT_EQ(1, (int)SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
        EXPECT_EQ(step.row, (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
    }
}

// The name is the whole text in UTF-16 from the ANSI code page, cut where the name's room ends.
TEST(MenuItemNames, AreTheItemsTextsInUtf16CutToTheirRoom)
{
    const std::string longText(300, 'a');
    const PopupItem items[] = { { 0, " Ascending", nullptr, 103 }, { 1, "Caf\xE9 & co", nullptr, 104 },
                                { 2, longText.c_str(), nullptr, 101 }, { 3, "", nullptr, 102 } };
    HMENU menu = BuildPopupMenu(items, 4);
    ASSERT_NE(nullptr, menu);
    const std::wstring expected[] = { L" Ascending", L"Caf\u00E9 & co", std::wstring(MENU_ITEM_NAME_CAPACITY - 1, L'a'),
                                      L"" };
    for (int i = 0; i < 4; ++i) {
        const MenuItemData& slot = MenuItemSlots[i];
        EXPECT_EQ((DWORD)MSAA_MENU_SIG, slot.accessible.dwMSAASignature) << i;
        EXPECT_EQ(slot.name, slot.accessible.pszWText) << i;
        EXPECT_EQ(expected[i].size(), slot.accessible.cchWText) << i;
        EXPECT_EQ(expected[i], std::wstring(slot.name)) << i;
    }
    DestroyMenu(menu);
}

} // namespace
