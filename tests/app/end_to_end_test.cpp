// The whole system on one machine: the real feed-server.exe with the bundled catalog, and the real
// Vn_Products.exe started against it, both under Wine; feed-server.exe taking the key verifiers the
// Linux server makes; then the launcher, the viewer and the companion browser together, driven by
// real input. With PRODUCTS_INSTALLED_DIR set, the launcher's test runs the programs of an installed
// copy instead of the build's; with PRODUCTS_FEED_ADDRESS set, the first test's viewer takes its feed
// from the servers someone else runs there (a balancer).
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/contract.h"
#include "companions/launcher/launcher_controls.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

const char ServerAddressText[] = "127.0.0.27";
// How long the server may take to say it listens (a cold Wine start is slow), and to log a request
// that the viewer has already shown the reply of.
const DWORD ServerStartMs = 30000;
const DWORD ServerLogMs = 10000;

// Starts programs' feed-server.exe on catalog at address and waits until it says it listens; a server
// that never said so may still be running, and must not outlive the test.
bool StartFeedServer(const std::string& programs, const std::string& catalog, const std::string& address,
                     ChildProcess* server, std::string* log, const std::string& options = "--allow-short-keys")
{
    if (!StartWithOutput("\"" + programs + "feed-server.exe\" --catalog \"" + catalog + "\" " + options +
                             " --address " + address,
                         programs.c_str(), server))
        return false;
    if (ReadOutputUntil(server, "listening on", log, ServerStartMs))
        return true;
    EndChild(server);
    return false;
}

// Starts programs' viewer with the launch text "address^demo^demo#".
bool StartViewer(const std::string& programs, const std::string& address, PROCESS_INFORMATION* viewer)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + programs + VIEWER_PROGRAM "\" " + address + "^demo^demo#";
    return CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, programs.c_str(), &startup,
                          viewer) != FALSE;
}

void ExpectEndsWithZero(PROCESS_INFORMATION* process, const char* why)
{
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process->hProcess, 15000)) << why;
    DWORD code = 1;
    GetExitCodeProcess(process->hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

TEST(EndToEnd, TheViewerListsTheBundledDemoAccountFromTheRealServer)
{
    std::string catalog = PRODUCTS_SAMPLE_CATALOG;
    int expectedRows = (int)ReadCatalogProducts(catalog + "/products/demo.txt").size();
    ASSERT_GT(expectedRows, 40);

    std::string folder = MakeScratchFolder("e2e");
    ASSERT_TRUE(CopyRuntimeInto(folder));
    const char* elsewhere = getenv("PRODUCTS_FEED_ADDRESS");
    const bool ownServer = elsewhere == nullptr || *elsewhere == '\0';
    const std::string address = ownServer ? ServerAddressText : elsewhere;
    ChildProcess server;
    std::string log;
    if (ownServer) {
        ASSERT_TRUE(StartFeedServer(folder, catalog, address, &server, &log)) << log;
    }

    PROCESS_INFORMATION viewer;
    ASSERT_TRUE(StartViewer(folder, address, &viewer));
    HWND window = WaitForViewerWindow(viewer.dwProcessId, 15000);
    ASSERT_NE(nullptr, window);

    char title[256];
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Harbor Street Home Goods Product's List", title);
    HWND list = GetDlgItem(window, 105);
    EXPECT_EQ(expectedRows, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    // The server logged the viewer's request for the demo account, and its answer.
    if (ownServer) {
        EXPECT_TRUE(ReadOutputUntil(&server, " feed demo ok ", &log, ServerLogMs)) << log;
    }

    PostMessageA(window, WM_CLOSE, 0, 0);
    ExpectEndsWithZero(&viewer, "the viewer did not end");
    if (ownServer)
        EndChild(&server);
    RemoveFolder(folder);
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    return file.good();
}

// What the server at host:port answers to request, read until it closes the connection.
std::string Exchange(const std::string& host, int port, const std::string& request)
{
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr(host.c_str());
    at.sin_port = htons((u_short)port);
    std::string reply;
    if (connect(sock, (sockaddr*)&at, sizeof at) == 0) {
        send(sock, request.data(), (int)request.size(), 0);
        char chunk[4096];
        int got;
        while ((got = recv(sock, chunk, sizeof chunk, 0)) > 0)
            reply.append(chunk, (size_t)got);
    }
    closesocket(sock);
    return reply;
}

// One catalog and one secret serve a fleet of Linux and Windows servers alike: the verifier the Linux
// server makes with libcrypto (printf Sh0p-key-22 | feed-server --hash-key --key-secret FILE, and the
// same from openssl dgst -sha256 -mac HMAC) is the one feed-server.exe makes with CNG, and it checks keys
// against it.
TEST(EndToEnd, TheWindowsServerMakesAndChecksTheVerifiersOfTheLinuxServer)
{
    KeepWinSockStarted();
    const std::string madeOnLinux = "hmac-sha256:a91753912bcf7e47d5fad5154b95a0ab81e0945d7f4b0e071ffd2e9a68cf9038";
    const std::string folder = MakeScratchFolder("verifiers");
    ASSERT_TRUE(CopyRuntimeInto(folder));
    ASSERT_TRUE(WriteBytes(folder + "secret", "one secret for the whole fleet"));
    ASSERT_TRUE(WriteBytes(folder + "key", "Sh0p-key-22\r\n"));

    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE key = CreateFileA((folder + "key").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0,
                             nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, key);
    ChildProcess hash;
    std::string made;
    const bool started = StartWithOutput("\"" + folder + "feed-server.exe\" --hash-key --key-secret secret",
                                         folder.c_str(), &hash, key);
    CloseHandle(key);
    ASSERT_TRUE(started);
    ReadOutputUntil(&hash, "\n", &made, ServerStartMs);
    EndChild(&hash);
    EXPECT_EQ(madeOnLinux, made.substr(0, made.find_first_of("\r\n"))) << made;

    const std::string catalog = folder + "catalog";
    ASSERT_TRUE(CreateDirectoryA(catalog.c_str(), nullptr) && CreateDirectoryA((catalog + "\\products").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(catalog + "\\accounts.txt", "shop | " + madeOnLinux + " | Fleet Shop\n"));
    ASSERT_TRUE(WriteBytes(catalog + "\\products\\shop.txt", "new | Oak chair | 1110 | 249.00 | 840\n"));
    const char address[] = "127.0.0.188";
    ChildProcess server;
    std::string log;
    ASSERT_TRUE(StartFeedServer(folder, catalog, address, &server, &log,
                                "--key-secret \"" + folder + "secret\" --require-hashed-keys")) << log;
    EXPECT_EQ(0u, Exchange(address, FEED_PORT, "VNP,shop^Sh0p-key-22\r\n").find("Fleet Shop\n:")) << log;
    EXPECT_EQ(0u, Exchange(address, FEED_PORT, "VNP,shop^Sh0p-key-23\r\n").find(FEED_NO_DATA_MARK)) << log;
    EndChild(&server);
    RemoveFolder(folder);
}

// The programs and catalog of a run: the build's, or an installed copy's.
struct Installation {
    std::string programs; // folder with the programs, with a trailing backslash
    std::string catalog;  // the feed server's catalog folder
};

Installation FindInstallation(const std::string& scratch)
{
    const char* installed = getenv("PRODUCTS_INSTALLED_DIR");
    if (installed != nullptr && *installed != '\0') {
        std::string folder = installed;
        if (folder.back() != '\\')
            folder += '\\';
        return { folder, folder + "catalog" };
    }
    CopyRuntimeInto(scratch);
    return { scratch, PRODUCTS_SAMPLE_CATALOG };
}

// The companion browser records what it is asked to open in scratch's "opened.txt" instead of opening
// it; the programs started from here inherit that. A browser left by an earlier test is closed.
std::string RecordBrowserOpens(const std::string& scratch)
{
    std::string record = scratch + "opened.txt";
    SetEnvironmentVariableA("VN_BROWSER_RECORD", record.c_str());
    for (HWND stray; (stray = FindWindowA(BROWSER_CLASS_NAME, nullptr)) != nullptr;)
        SendMessageA(stray, WM_CLOSE, 0, 0);
    return record;
}

// The first line the browser recorded, with its line end, once it is there.
std::string WaitForRecordedLine(const std::string& record)
{
    std::string opened;
    for (int waited = 0; waited < 20000 && opened.find('\n') == std::string::npos; waited += 100) {
        Sleep(100);
        std::ifstream file(record, std::ios::binary);
        opened.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return opened;
}

// The page at address ("http://host:port/path"), fetched with a plain HTTP/1.0 GET.
std::string FetchPage(const std::string& address)
{
    size_t hostStart = address.find("//") + 2;
    size_t portStart = address.find(':', hostStart);
    size_t pathStart = address.find('/', hostStart);
    return Exchange(address.substr(hostStart, portStart - hostStart),
                    atoi(address.substr(portStart + 1, pathStart - portStart - 1).c_str()),
                    "GET " + address.substr(pathStart) + " HTTP/1.0\r\n\r\n");
}

TEST(EndToEnd, TheLauncherStartsTheViewerAndAServerPageReachesTheBrowser)
{
    KeepWinSockStarted();
    const char address[] = "127.0.0.90";
    std::string scratch = MakeScratchFolder("e2e-links");
    Installation installed = FindInstallation(scratch);
    std::string record = RecordBrowserOpens(scratch);
    ChildProcess server;
    std::string log;
    ASSERT_TRUE(StartFeedServer(installed.programs, installed.catalog, address, &server, &log)) << log;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION launcher = {};
    std::string commandLine = "\"" + installed.programs + "Vn_Launcher.exe\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, scratch.c_str(),
                               &startup, &launcher));
    WaitForInputIdle(launcher.hProcess, 15000);
    HWND host = WaitForWindow([&] { return FindOwnedWindow(HOST_CLASS_NAME, launcher.dwProcessId); }, 15000);
    ASSERT_NE(nullptr, host) << "the launcher's window did not appear";

    // The user's part: the server and the account, then Start.
    SendDlgItemMessageA(host, IDC_SERVER_ADDRESS, WM_SETTEXT, 0, (LPARAM)address);
    SendDlgItemMessageA(host, IDC_ACCOUNT_ID, WM_SETTEXT, 0, (LPARAM) "demo");
    SendDlgItemMessageA(host, IDC_ACCOUNT_KEY, WM_SETTEXT, 0, (LPARAM) "demo");
    SendDlgItemMessageA(host, IDC_START, BM_CLICK, 0, 0);
    HWND viewer = WaitForWindow(
        [] { return FindWindowA(PRODUCTS_CLASS_NAME, "Harbor Street Home Goods Product's List"); }, 20000);
    ASSERT_NE(nullptr, viewer) << "the viewer did not list the demo account";
    HWND list = GetDlgItem(viewer, 105);
    ASSERT_GT((int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 40);

    // A click on the first row, "Oak Dining Chair": its menu has the web address, then the server page.
    SetWindowPos(viewer, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(viewer);
    RECT listRect, headerRect;
    GetWindowRect(list, &listRect);
    GetWindowRect((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0), &headerRect);
    ClickAt(POINT{ listRect.left + 120, headerRect.bottom + 8 });
    HWND menu = WaitForWindow(VisiblePopup, 10000);
    ASSERT_NE(nullptr, menu) << "no link menu opened";
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);

    // The browser is not running: the viewer starts it by its bare name, tells the launcher, then hands over.
    const std::string expected = std::string("http://") + address + ":1360/p/oak-dining-chair^demo^demo";
    HWND browser = WaitForWindow([] { return FindWindowA(BROWSER_CLASS_NAME, nullptr); }, 20000);
    ASSERT_NE(nullptr, browser) << "the companion browser was not started";
    EXPECT_EQ("open " + expected + "\n", WaitForRecordedLine(record));
    EXPECT_EQ(expected, ListBoxLine(GetDlgItem(browser, 1011), 0)) << "the browser's history";
    HWND notices = GetDlgItem(host, IDC_NOTICES);
    EXPECT_EQ(1, (int)SendMessageA(notices, LB_GETCOUNT, 0, 0)) << "the launcher lists the viewer's notice";
    EXPECT_NE(std::string::npos, ListBoxLine(notices, 0).find("browser"));

    // The address the browser got is the product's page on the feed server.
    std::string page = FetchPage(expected);
    EXPECT_EQ(0u, page.find("HTTP/1.0 200")) << page.substr(0, 200);
    EXPECT_NE(std::string::npos, page.find("Oak Dining Chair"));

    PostMessageA(browser, WM_CLOSE, 0, 0);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    PostMessageA(host, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(launcher.hProcess, 15000));
    CloseHandle(launcher.hThread);
    CloseHandle(launcher.hProcess);
    EndChild(&server);
    SetEnvironmentVariableA("VN_BROWSER_RECORD", nullptr);
    RemoveFolder(scratch);
}

// The bundled demo without a mouse, as a keyboard user meets it: the list has the focus when the
// window appears, Ctrl+2 and the menu's keys sort it by name from Z to A, Enter opens the first row's
// link menu at the row, its last item hands the address to the browser, and Escape closes the window.
TEST(EndToEnd, TheDemoWindowIsSortedItsLinksHandedOverAndItClosedWithKeysAlone)
{
    KeepWinSockStarted();
    const char address[] = "127.0.0.91";
    std::string scratch = MakeScratchFolder("e2e-keys");
    ASSERT_TRUE(CopyRuntimeInto(scratch));
    std::string record = RecordBrowserOpens(scratch);
    std::string catalog = PRODUCTS_SAMPLE_CATALOG;
    ChildProcess server;
    std::string log;
    ASSERT_TRUE(StartFeedServer(scratch, catalog, address, &server, &log)) << log;

    PROCESS_INFORMATION viewer = {};
    ASSERT_TRUE(StartViewer(scratch, address, &viewer));
    HWND window = WaitForViewerWindow(viewer.dwProcessId, 15000);
    ASSERT_NE(nullptr, window);
    HWND list = GetDlgItem(window, 105);

    // The list has the keyboard focus, and its first row is focused but not selected. The window
    // takes the focus first and hands it on to the list, so the focus is waited for on the list.
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    WaitForWindow(
        [&] { return GetGUIThreadInfo(viewer.dwThreadId, &focus) && focus.hwndFocus == list ? list : nullptr; }, 5000);
    EXPECT_EQ(list, focus.hwndFocus);
    EXPECT_EQ((UINT)LVIS_FOCUSED, (UINT)SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_FOCUSED | LVIS_SELECTED));

    PressChord({ VK_CONTROL, '2' });
    ASSERT_NE(nullptr, WaitForWindow(VisiblePopup, 10000)) << "Ctrl+2 opened no sort menu";
    PressKey(VK_END); // " Descending"
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForNoPopup(5000));

    // The first row now holds the name that comes last without regard to case.
    std::vector<CatalogProduct> products = ReadCatalogProducts(catalog + "/products/demo.txt");
    ASSERT_FALSE(products.empty());
    CatalogProduct last = products[0];
    for (const CatalogProduct& product : products)
        if (lstrcmpiA(product.name.c_str(), last.name.c_str()) > 0)
            last = product;
    std::string expected = last.serverPath.empty() ? "http://" + last.webAddress
                                                   : std::string("http://") + address + ":1360/" + last.serverPath +
                                                         "^demo^demo";
    PressKey(VK_HOME);
    PressKey(VK_RETURN);
    ASSERT_NE(nullptr, WaitForWindow(VisiblePopup, 10000)) << "Enter opened no link menu";
    PressKey(VK_END);
    PressKey(VK_RETURN);
    EXPECT_EQ("open " + expected + "\n", WaitForRecordedLine(record));

    // The browser came up in front; the user switches back to the list and leaves with Escape.
    HWND browser = FindWindowA(BROWSER_CLASS_NAME, nullptr);
    SetForegroundWindow(window);
    EXPECT_NE(nullptr, WaitForWindow([&] {
        return GetGUIThreadInfo(viewer.dwThreadId, &focus) && focus.hwndFocus == list ? list : nullptr;
    }, 5000)) << "the list did not take the focus back";
    PressKey(VK_ESCAPE);
    ExpectEndsWithZero(&viewer, "Escape did not close the viewer");
    if (browser != nullptr)
        PostMessageA(browser, WM_CLOSE, 0, 0);
    EndChild(&server);
    SetEnvironmentVariableA("VN_BROWSER_RECORD", nullptr);
    RemoveFolder(scratch);
}

} // namespace
