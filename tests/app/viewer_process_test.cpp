// The real Vn_Products.exe, started from a folder of its own as a user would start it.
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "common/contract.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

// Corners of the screen, one for each test's viewer to be moved to.
enum ScreenCorner { TOP_LEFT, TOP_RIGHT, BOTTOM_LEFT };

// The colour on screen a few pixels inside the window's client area, once the window has been
// moved to a corner of the screen (every viewer opens centred) and has had time to paint: read
// until it shows the expected colour or two seconds have passed. The corner is worked out from
// the screen's own size, so the window lies wholly on any screen it fits. The viewer paints in its
// own process, out of this one's reach, so the screen is all there is to read; made topmost, no
// ordinary window of another program can come over it meanwhile.
COLORREF ClientPixel(HWND window, ScreenCorner corner, COLORREF expected)
{
    RECT screen, own;
    GetWindowRect(GetDesktopWindow(), &screen);
    GetWindowRect(window, &own);
    int left = corner == TOP_RIGHT ? screen.right - (own.right - own.left) : screen.left;
    int top = corner == BOTTOM_LEFT ? screen.bottom - (own.bottom - own.top) : screen.top;
    SetWindowPos(window, HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE);
    COLORREF colour = CLR_INVALID;
    for (int waited = 0; waited <= 2000 && colour != expected; waited += 50) {
        if (waited > 0)
            Sleep(50);
        POINT inside = { 2, 2 };
        ClientToScreen(window, &inside);
        HDC screenDc = GetDC(nullptr);
        colour = GetPixel(screenDc, inside.x, inside.y);
        ReleaseDC(nullptr, screenDc);
    }
    return colour;
}

COLORREF SkinBackground(const std::string& library)
{
    HMODULE skin = LoadLibraryA(library.c_str());
    char text[10] = "";
    LoadStringA(skin, 1, text, sizeof text);
    FreeLibrary(skin);
    return (COLORREF)atoi(text);
}

struct ViewerProcess : ::testing::Test {
    std::string folder;
    void SetUp() override
    {
        folder = MakeScratchFolder("viewer");
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(CopyRuntimeInto(folder));
    }
    void TearDown() override { RemoveFolder(folder); }
};

TEST_F(ViewerProcess, OpensItsCentredWindowInTheSkinColoursAndClosesWithExitCodeZero)
{
    RunningViewer viewer;
    ASSERT_TRUE(StartViewer(folder, "127.0.0.22^^#", &viewer));
    char text[64];
    GetWindowTextA(viewer.window, text, sizeof text);
    EXPECT_STREQ("   Products", text);
    EXPECT_TRUE(GetWindowLongA(viewer.window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    RECT own, desktop;
    GetWindowRect(viewer.window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(630, own.right - own.left);
    EXPECT_EQ(210, own.bottom - own.top);
    EXPECT_EQ((desktop.left + desktop.right) / 2 - 315, own.left);
    EXPECT_EQ((desktop.top + desktop.bottom) / 2 - 105, own.top);

    COLORREF expected = SkinBackground(folder + "Vn_Skin.dll");
    ASSERT_NE(GetSysColor(COLOR_WINDOW), expected) << "the real skin should not look like the fallback";
    EXPECT_EQ(expected, ClientPixel(viewer.window, TOP_LEFT, expected));
    EXPECT_EQ(0, CloseViewer(&viewer));
}

TEST_F(ViewerProcess, AnotherSkinBesideTheProgramChangesItsColours)
{
    ASSERT_TRUE(CopyFileA((TestDirectory() + "Vn_Skin.dll").c_str(), (folder + "Vn_Skin.dll").c_str(), FALSE));
    RunningViewer viewer;
    ASSERT_TRUE(StartViewer(folder, "127.0.0.23^acct^key#", &viewer));
    EXPECT_EQ(RGB(255, 255, 255), ClientPixel(viewer.window, TOP_RIGHT, RGB(255, 255, 255)));
    EXPECT_EQ(0, CloseViewer(&viewer));
}

TEST_F(ViewerProcess, StartsWithoutAnySkinInTheSystemColours)
{
    ASSERT_TRUE(DeleteFileA((folder + "Vn_Skin.dll").c_str()));
    RunningViewer viewer;
    ASSERT_TRUE(StartViewer(folder, "127.0.0.24^^#", &viewer));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), ClientPixel(viewer.window, BOTTOM_LEFT, GetSysColor(COLOR_WINDOW)));
    EXPECT_EQ(0, CloseViewer(&viewer));
}

TEST_F(ViewerProcess, ListsTheFeedOfTheServerNamedOnItsCommandLine)
{
    ServerScript script;
    script.chunks.push_back("Harbor Street\n"
                            ":2^Oak chair^1110^249.00^840^shop.example/chairs/oak^oak-chair^^^^#\n"
                            "not a product\n"
                            ":6^Linen cover^1310^89^826^^linen^^^^#\n");
    LoopbackServer server;
    ASSERT_TRUE(StartServer(&server, "127.0.0.26", script));
    RunningViewer viewer;
    ASSERT_TRUE(StartViewer(folder, "127.0.0.26^harbor^k3y#", &viewer));
    EXPECT_EQ("VNP,harbor^k3y\r\n", server.request);
    char title[128];
    GetWindowTextA(viewer.window, title, sizeof title);
    EXPECT_STREQ("Harbor Street Product's List", title);
    HWND list = GetDlgItem(viewer.window, 105);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(2, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + SPOOL_FILE_NAME).c_str()))
        << "the spool file is deleted once parsed";
    EXPECT_EQ(0, CloseViewer(&viewer));
    StopServer(&server);
}

// A feed whose title and rows name the account, sent in pieces so that viewers spool at once, and
// larger than the spool's buffer, so that the file is written while the reply comes.
ServerScript AccountFeed(const std::string& account, int rows)
{
    ServerScript script;
    script.chunks.push_back(account + "\n");
    for (int row = 0; row < rows; row += 500) {
        std::string piece;
        for (int i = row; i < row + 500; ++i)
            piece += ":1^" + account + " " + std::to_string(i) + "^1110^1^840^^^^^^#\n";
        script.chunks.push_back(piece);
    }
    script.chunkDelayMs = 50;
    return script;
}

std::string TitleOf(HWND window)
{
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

// Hosts start every viewer in one folder: two started together on two accounts each list exactly
// their own feed, however their spools meet.
TEST_F(ViewerProcess, TwoViewersInOneFolderEachListTheirOwnAccount)
{
    const struct {
        const char* address;
        const char* account;
        int rows;
    } accounts[] = { { "127.0.0.27", "alder", 6000 }, { "127.0.0.28", "birch", 4000 } };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        LoopbackServer servers[2];
        RunningViewer viewers[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(StartServer(&servers[i], accounts[i].address, AccountFeed(accounts[i].account, accounts[i].rows)));
            std::string argument = std::string(accounts[i].address) + "^" + accounts[i].account + "^k#";
            ASSERT_TRUE(LaunchViewer(folder, argument.c_str(), &viewers[i]));
        }
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(WaitForWindowOf(&viewers[i]));
            EXPECT_EQ(std::string(accounts[i].account) + " Product's List", TitleOf(viewers[i].window));
            HWND list = GetDlgItem(viewers[i].window, 105);
            EXPECT_EQ(accounts[i].rows, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(0, CloseViewer(&viewers[i]));
            StopServer(&servers[i]);
        }
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*.vnl").c_str(), &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a spool was left behind";
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
}

// The image file of the process that owns window.
std::string ProgramOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char image[MAX_PATH] = "";
    DWORD length = sizeof image;
    if (process != nullptr) {
        QueryFullProcessImageNameA(process, 0, image, &length);
        CloseHandle(process);
    }
    return image;
}

// A folder the viewer is started in may hold a skin library and a browser of the right names: the
// viewer uses neither, only its own browser beside it, and without its own skin, no skin.
TEST_F(ViewerProcess, PlantedSkinAndBrowserInTheCurrentFolderAreNotUsed)
{
    std::string planted = MakeScratchFolder("planted");
    ASSERT_TRUE(CopyFileA((folder + "Vn_Skin.dll").c_str(), (planted + "Vn_Skin.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((folder + BROWSER_PROGRAM).c_str(), (planted + BROWSER_PROGRAM).c_str(), FALSE));
    ASSERT_TRUE(DeleteFileA((folder + "Vn_Skin.dll").c_str()));
    SetEnvironmentVariableA("VN_BROWSER_RECORD", (planted + "opened.txt").c_str());
    for (HWND stray; (stray = FindWindowA(BROWSER_CLASS_NAME, nullptr)) != nullptr;)
        SendMessageA(stray, WM_CLOSE, 0, 0);

    ServerScript script;
    script.chunks.push_back("Cap\n:2^Oak chair^1110^249.00^840^shop.example/oak^^^^^#\n");
    LoopbackServer server;
    ASSERT_TRUE(StartServer(&server, "127.0.0.29", script));
    RunningViewer viewer;
    ASSERT_TRUE(StartViewer(folder, "127.0.0.29^a^b#", &viewer, planted));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), ClientPixel(viewer.window, TOP_LEFT, GetSysColor(COLOR_WINDOW)))
        << "the planted skin was loaded";

    // Enter opens the focused row's link menu, Enter again its first item: the web address.
    HWND list = GetDlgItem(viewer.window, 105);
    SetForegroundWindow(viewer.window);
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    WaitForWindow([&] {
        return GetGUIThreadInfo(viewer.process.dwThreadId, &focus) && focus.hwndFocus == list ? list : nullptr;
    }, 5000);
    PressKey(VK_RETURN);
    ASSERT_NE(nullptr, WaitForWindow(VisiblePopup, 10000)) << "Enter opened no link menu";
    PressKey(VK_HOME);
    PressKey(VK_RETURN);
    HWND browser = WaitForWindow([] { return FindWindowA(BROWSER_CLASS_NAME, nullptr); }, 15000);
    ASSERT_NE(nullptr, browser);
    std::string program = ProgramOf(browser);
    SendMessageA(browser, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, CloseViewer(&viewer));
    StopServer(&server);
    SetEnvironmentVariableA("VN_BROWSER_RECORD", nullptr);
    EXPECT_EQ(0, lstrcmpiA((folder + BROWSER_PROGRAM).c_str(), program.c_str())) << program;
    RemoveFolder(planted);
}

TEST_F(ViewerProcess, DoesNotStartWithoutItsLookupLibraries)
{
    // The lookup libraries are bound at load time: the process is created, but the loader ends it
    // before the program runs, so it never opens a window.
    for (const char* library : { "Vn_Category.dll", "Vn_Countries.dll" }) {
        SCOPED_TRACE(library);
        std::string moved = folder + library + ".away";
        ASSERT_TRUE(MoveFileA((folder + library).c_str(), moved.c_str()));
        RunningViewer viewer;
        std::string commandLine = "\"" + folder + VIEWER_PROGRAM "\" 127.0.0.25^^#";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      folder.c_str(), &startup, &viewer.process);
        ASSERT_TRUE(started) << "the program could not even be started, error " << GetLastError();
        DWORD waited = WaitForSingleObject(viewer.process.hProcess, 15000);
        HWND window = WaitForViewerWindow(viewer.process.dwProcessId, 0);
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(viewer.process.hProcess, 99);
        DWORD code = 0;
        GetExitCodeProcess(viewer.process.hProcess, &code);
        CloseHandle(viewer.process.hThread);
        CloseHandle(viewer.process.hProcess);
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, waited) << "the program ran without the library";
        EXPECT_EQ(nullptr, window);
        EXPECT_EQ(STATUS_DLL_NOT_FOUND, code) << "the program did not end for want of the library";
        ASSERT_TRUE(MoveFileA(moved.c_str(), (folder + library).c_str()));
    }
}

} // namespace
