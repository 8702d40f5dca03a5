// The link menu and the browser hand-off under Wine. The browser and the host are doubles in this
// process, windows of their real classes that record what reaches them; starting and waiting for
// the browser are replaced, so that no test starts a program or sleeps two seconds. A real click on
// a real row opens the real menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "app/menus.h"
#include "app/products_window.h"
#include "chrome/popup_menu.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "feed/product_list.h"
#include "links/link_menu.h"
#include "listview/product_list_view.h"
#include "viewer_window.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

// Everything the doubles and the replaced start and wait saw, in order.
std::vector<std::string> received;

LRESULT CALLBACK BrowserDouble(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        received.push_back("browser command " + std::to_string(wParam) + " " + std::to_string(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// The text arrives by a send, the commands by posts, which this thread sees only later: the field
// notes whether the host's notice was already waiting, to tell the order they were issued in.
LRESULT CALLBACK FieldDouble(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        MSG pending;
        bool hostTold = PeekMessageA(&pending, FindWindowA(HOST_CLASS_NAME, nullptr), WM_COMMAND, WM_COMMAND,
                                     PM_NOREMOVE) != 0;
        received.push_back("field " + std::to_string(wParam) + " " + (const char*)lParam +
                           (hostTold ? " after the notice" : ""));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK HostDouble(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        received.push_back("host command " + std::to_string(wParam) + " " + std::to_string(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterDouble(const char* name, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Instance();
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

HWND browserDouble = nullptr;
bool startBringsTheBrowser = false;

void CreateBrowserDouble()
{
    browserDouble = CreateWindowExA(0, BROWSER_CLASS_NAME, "", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                    Instance(), nullptr);
    CreateWindowExA(0, "TestAddressField", "", WS_CHILD, 0, 0, 100, 20, browserDouble,
                    (HMENU)(INT_PTR)BROWSER_ADDRESS_FIELD, Instance(), nullptr);
}

void RecordStart()
{
    received.push_back("start");
    if (startBringsTheBrowser)
        CreateBrowserDouble();
}

void RecordWait(unsigned ms)
{
    received.push_back("wait " + std::to_string(ms));
}

// The file name of this test program, which its doubles' windows belong to.
std::string OwnProgram()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* slash = strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}

struct HandOffTest : ::testing::Test {
    HWND host = nullptr;

    void SetUp() override
    {
        RegisterDouble(BROWSER_CLASS_NAME, BrowserDouble);
        RegisterDouble(HOST_CLASS_NAME, HostDouble);
        RegisterDouble("TestAddressField", FieldDouble);
        static const std::string program = OwnProgram();
        BrowserStarter doubles = { RecordStart, RecordWait, program.c_str() };
        SetBrowserStarter(&doubles);
        received.clear();
        startBringsTheBrowser = false;
    }

    void TearDown() override
    {
        SetBrowserStarter(nullptr);
        if (browserDouble != nullptr)
            DestroyWindow(browserDouble);
        browserDouble = nullptr;
        if (host != nullptr)
            DestroyWindow(host);
        PumpMessages();
    }

    void OpenHost()
    {
        host = CreateWindowExA(0, HOST_CLASS_NAME, "", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, Instance(),
                               nullptr);
    }
};

TEST_F(HandOffTest, ARunningBrowserGetsTheAddressThenTheOpenCommandAndNothingElse)
{
    CreateBrowserDouble();
    OpenHost();
    OpenInBrowser("http://shop.example/oak");
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "field 23 http://shop.example/oak", "browser command 1135 0" }), received);
}

TEST_F(HandOffTest, AMissingBrowserIsStartedWaitedForFoundAgainAndTheHostTold)
{
    OpenHost();
    startBringsTheBrowser = true;
    OpenInBrowser("http://127.0.0.1:1360/oak^demo^demo");
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "start", "wait 2000",
                                         "field 35 http://127.0.0.1:1360/oak^demo^demo after the notice",
                                         "host command 911 0", "browser command 1135 0" }),
              received);
}

TEST_F(HandOffTest, ABrowserThatNeverComesUpGetsNothingButTheHostIsStillTold)
{
    OpenHost();
    OpenInBrowser("http://shop.example/oak");
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "start", "wait 2000", "host command 911 0" }), received);
}

TEST_F(HandOffTest, WithoutAHostTheNoticeGoesNowhere)
{
    startBringsTheBrowser = true;
    OpenInBrowser("http://shop.example/oak");
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "start", "wait 2000", "field 23 http://shop.example/oak",
                                         "browser command 1135 0" }),
              received);
}

// Any program may register the browser's class: a window whose process runs another program gets
// nothing, and the browser is started as when none runs.
TEST_F(HandOffTest, ASquattingWindowOfTheBrowsersClassGetsNothing)
{
    BrowserStarter real = { RecordStart, RecordWait, BROWSER_PROGRAM };
    SetBrowserStarter(&real);
    CreateBrowserDouble();
    OpenInBrowser("http://127.0.0.1:1360/oak^demo^s3cret");
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "start", "wait 2000" }), received);
}

// A browser window on a thread that has stopped taking messages, until released.
struct HungBrowser {
    HANDLE up, release;
    HWND window;
    bool openCommand; // the open command was waiting once released
};

DWORD WINAPI RunHungBrowser(LPVOID parameter)
{
    HungBrowser* hung = (HungBrowser*)parameter;
    hung->window = CreateWindowExA(0, BROWSER_CLASS_NAME, "", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                   Instance(), nullptr);
    CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, hung->window, (HMENU)(INT_PTR)BROWSER_ADDRESS_FIELD,
                    Instance(), nullptr);
    SetEvent(hung->up);
    WaitForSingleObject(hung->release, INFINITE);
    MSG pending;
    hung->openCommand = PeekMessageA(&pending, hung->window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != 0;
    PumpMessages();
    DestroyWindow(hung->window);
    return 0;
}

TEST_F(HandOffTest, AHungBrowserCostsTheSendLimitAndGetsNoOpenCommand)
{
    HungBrowser hung = { CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         nullptr, false };
    HANDLE thread = CreateThread(nullptr, 0, RunHungBrowser, &hung, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hung.up, 5000));
    DWORD start = GetTickCount();
    OpenInBrowser("http://shop.example/oak");
    DWORD elapsed = GetTickCount() - start;
    SetEvent(hung.release);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(hung.up);
    CloseHandle(hung.release);
    EXPECT_LE(elapsed, (DWORD)BROWSER_SEND_TIMEOUT_MS + 1000);
    EXPECT_FALSE(hung.openCommand);
    EXPECT_TRUE(received.empty()) << "the hung browser counts as running: nothing is started";
}

ProductRecord Record(const char* webAddress, const char* serverPath)
{
    ProductRecord record = {};
    strcpy(record.name, "Oak chair");
    strcpy(record.webAddress, webAddress);
    strcpy(record.serverPath, serverPath);
    return record;
}

TEST(PrepareLinkMenu, GivesAnItemPerFieldInSlotsFromTwoWithTheirIconsAndCommands)
{
    LinkMenuItem items[LINK_MENU_MAX_ITEMS] = {};
    ProductRecord both = Record("shop.example/oak", "oak-chair");
    ASSERT_EQ(2, PrepareLinkMenu(&both, "127.0.0.9", "acct", "key", items));
    EXPECT_EQ(2, items[0].slot);
    EXPECT_EQ(both.webAddress, items[0].text) << "the item shows the record's own field";
    EXPECT_EQ(MENU_BITMAP_WEB, items[0].icon);
    EXPECT_EQ((UINT)IDM_OPEN_WEB_ADDRESS, items[0].command);
    EXPECT_EQ(3, items[1].slot);
    EXPECT_EQ(both.serverPath, items[1].text);
    EXPECT_EQ(MENU_BITMAP_SERVER, items[1].icon);
    EXPECT_EQ((UINT)IDM_OPEN_SERVER_PAGE, items[1].command);
    EXPECT_STREQ("http://shop.example/oak", WebUrl());
    EXPECT_STREQ("http://127.0.0.9:1360/oak-chair^acct^key", ServerPageUrl());

    ProductRecord pageOnly = Record("", "linen");
    ASSERT_EQ(1, PrepareLinkMenu(&pageOnly, "127.0.0.1", "a", "b", items));
    EXPECT_EQ(2, items[0].slot) << "a lone server page item stands at position 0, in slot 2";
    EXPECT_EQ(MENU_BITMAP_SERVER, items[0].icon);
    EXPECT_EQ((UINT)IDM_OPEN_SERVER_PAGE, items[0].command);
    EXPECT_STREQ("http://127.0.0.1:1360/linen^a^b", ServerPageUrl());
    EXPECT_STREQ("http://shop.example/oak", WebUrl()) << "a menu without a web item leaves the web address";

    ProductRecord webOnly = Record("walnut.example", "");
    ASSERT_EQ(1, PrepareLinkMenu(&webOnly, "127.0.0.1", "a", "b", items));
    EXPECT_EQ(2, items[0].slot);
    EXPECT_EQ(MENU_BITMAP_WEB, items[0].icon);
    EXPECT_EQ((UINT)IDM_OPEN_WEB_ADDRESS, items[0].command);
    EXPECT_STREQ("http://127.0.0.1:1360/linen^a^b", ServerPageUrl());

    ProductRecord neither = Record("", "");
    EXPECT_EQ(0, PrepareLinkMenu(&neither, "127.0.0.1", "a", "b", items));
}

struct LinkMenuTest : HandOffTest, ViewerWindow {
    void SetUp() override
    {
        HandOffTest::SetUp();
        // Nothing listens there: the fetch is refused at once, and this is the server address used.
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.73^acct-5^k3y#"));
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(window);
        AppendProduct(1, "Oak chair", 1110, "249.00", 840, "shop.example/chairs/oak", "oak-chair");
        AppendProduct(1, "Linen cover", 1310, "89", 826, "", "linen");
        AppendProduct(1, "Plain stool", 1110, "12", 840, "", "");
        ASSERT_EQ(1, FillProductListView(list));
        PumpMessages();
    }

    void TearDown() override
    {
        CloseViewerWindow();
        HandOffTest::TearDown();
    }

    // A screen point inside a row's name cell, and the same point in the list's client area.
    POINT RowPoint(int row, POINT* inList)
    {
        RECT cell = {};
        cell.top = 1;
        cell.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETSUBITEMRECT, row, (LPARAM)&cell);
        *inList = { cell.left + 10, (cell.top + cell.bottom) / 2 };
        POINT at = *inList;
        ClientToScreen(list, &at);
        return at;
    }

    // Clicks a row; reads the menu that opens; then clicks its item at choose, or presses Escape.
    SeenMenu ClickRow(int row, int choose, int waitMs = 5000)
    {
        POINT inList;
        POINT at = RowPoint(row, &inList);
        SeenMenu seen;
        RunInput([&] {
            ClickAt(at);
            HWND popup = WaitForPopup(waitMs);
            if (popup == nullptr)
                return;
            seen = ReadPopup(popup);
            if (choose >= 0) {
                const RECT& item = seen.itemRects[choose];
                ClickAt(POINT{ (item.left + item.right) / 2, (item.top + item.bottom) / 2 });
            } else {
                PressKey(VK_ESCAPE);
            }
            WaitForNoPopup(5000);
        });
        // The expected corner: the click in the list, taken 8 pixels on as a point of the window.
        expectedCorner = LinkMenuPoint(window, inList.x, inList.y);
        return seen;
    }

    POINT expectedCorner = {};
};

TEST_F(LinkMenuTest, AClickOnARowOpensItsLinksWithTheRawFieldsAndIconsBesideThePointer)
{
    SeenMenu seen = ClickRow(0, -1);
    ASSERT_TRUE(seen.shown) << "no link menu opened";
    EXPECT_EQ(expectedCorner.x, seen.rect.left);
    EXPECT_EQ(expectedCorner.y, seen.rect.top);
    ASSERT_EQ(2, seen.items);
    EXPECT_EQ((UINT)IDM_OPEN_WEB_ADDRESS, seen.ids[0]);
    EXPECT_EQ((UINT)IDM_OPEN_SERVER_PAGE, seen.ids[1]);
    EXPECT_EQ((ULONG_PTR)&MenuItemSlots[2], seen.data[0]);
    EXPECT_EQ((ULONG_PTR)&MenuItemSlots[3], seen.data[1]);
    EXPECT_STREQ("shop.example/chairs/oak", MenuItemSlots[2].text);
    EXPECT_STREQ("oak-chair", MenuItemSlots[3].text);
    EXPECT_NE(nullptr, MenuItemSlots[2].bitmap);
    EXPECT_EQ(TheLook().menuBitmaps[MENU_BITMAP_WEB], MenuItemSlots[2].bitmap);
    EXPECT_EQ(TheLook().menuBitmaps[MENU_BITMAP_SERVER], MenuItemSlots[3].bitmap);
    EXPECT_TRUE(received.empty()) << "a dismissed menu hands nothing over";
}

TEST_F(LinkMenuTest, ChoosingTheServerPageHandsItsAddressToTheRunningBrowser)
{
    CreateBrowserDouble();
    SeenMenu seen = ClickRow(0, 1);
    ASSERT_TRUE(seen.shown);
    PumpMessages();
    const std::string address = "http://127.0.0.73:1360/oak-chair^acct-5^k3y";
    EXPECT_EQ((std::vector<std::string>{ "field " + std::to_string(address.size()) + " " + address,
                                         "browser command 1135 0" }),
              received);
}

TEST_F(LinkMenuTest, ChoosingTheWebAddressStartsTheBrowserWhenItIsNotThere)
{
    OpenHost();
    startBringsTheBrowser = true;
    SeenMenu seen = ClickRow(0, 0);
    ASSERT_TRUE(seen.shown);
    PumpMessages();
    EXPECT_EQ((std::vector<std::string>{ "start", "wait 2000", "field 30 http://shop.example/chairs/oak after the notice",
                                         "host command 911 0", "browser command 1135 0" }),
              received);
}

TEST_F(LinkMenuTest, ARowWithOnlyAServerPathGivesOneItemAndARowWithNeitherNone)
{
    SeenMenu one = ClickRow(1, -1);
    ASSERT_TRUE(one.shown);
    ASSERT_EQ(1, one.items);
    EXPECT_EQ((UINT)IDM_OPEN_SERVER_PAGE, one.ids[0]);
    EXPECT_EQ((ULONG_PTR)&MenuItemSlots[2], one.data[0]);
    EXPECT_STREQ("linen", MenuItemSlots[2].text);
    EXPECT_EQ(TheLook().menuBitmaps[MENU_BITMAP_SERVER], MenuItemSlots[2].bitmap);

    Sleep(GetDoubleClickTime() + 100); // a separate click, not the second half of a double-click
    SeenMenu none = ClickRow(2, -1, 1000);
    EXPECT_FALSE(none.shown);
}

TEST_F(LinkMenuTest, AClickBelowTheLastRowOpensNothing)
{
    RECT last = {};
    last.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 2, (LPARAM)&last);
    POINT below = { last.left + 10, last.bottom + 20 };
    ClientToScreen(list, &below);
    bool shown = true;
    RunInput([&] {
        ClickAt(below);
        shown = WaitForPopup(1000) != nullptr;
    });
    EXPECT_FALSE(shown);
}

} // namespace
