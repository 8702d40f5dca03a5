// The whole system on one machine: the real feed-server.exe with the bundled catalog, and the real
// Vn_Products.exe started against it, both under Wine; then the launcher, the viewer and the
// companion browser together, driven by real input. With PRODUCTS_INSTALLED_DIR set, the second
// test runs the programs of an installed copy instead of the build's.
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "companions/launcher/launcher_controls.h"
#include "win_test_support.h"

namespace {

const char ServerAddressText[] = "127.0.0.27";
// How long the server may take to say it listens (a cold Wine start is slow), and to log a request
// that the viewer has already shown the reply of.
const DWORD ServerStartMs = 30000;
const DWORD ServerLogMs = 10000;

struct Child {
    PROCESS_INFORMATION process = {};
    HANDLE output = nullptr; // read end of the child's standard output
};

bool StartWithOutput(const std::string& commandLine, const std::string& folder, Child* child)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE writeEnd;
    if (!CreatePipe(&child->output, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(child->output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string line = commandLine;
    BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                             &child->process);
    CloseHandle(writeEnd);
    return ok;
}

// Reads the child's output until it holds text; false when the child ends first or stays silent past
// the deadline. The pipe is only read when it holds bytes, so a silent child cannot block the test.
bool ReadUntil(Child* child, const char* text, std::string* seen, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    char buffer[256];
    while (seen->find(text) == std::string::npos) {
        DWORD available = 0;
        if (!PeekNamedPipe(child->output, nullptr, 0, nullptr, &available, nullptr))
            return false; // the child closed its output: it has ended
        if (available == 0) {
            if (GetTickCount() - start >= timeoutMs) {
                seen->append("\n[no more output within the deadline]");
                return false;
            }
            Sleep(20);
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(child->output, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) ||
            got == 0)
            return false;
        seen->append(buffer, got);
    }
    return true;
}

void EndChild(Child* child)
{
    TerminateProcess(child->process.hProcess, 0);
    WaitForSingleObject(child->process.hProcess, 10000);
    CloseHandle(child->process.hThread);
    CloseHandle(child->process.hProcess);
    CloseHandle(child->output);
}

// Product lines of one account's catalog file: every line but blanks and comments.
int CatalogProducts(const std::string& path)
{
    std::ifstream file(path);
    int count = 0;
    for (std::string line; std::getline(file, line);) {
        size_t first = line.find_first_not_of(" \t\r");
        count += first != std::string::npos && line[first] != '#';
    }
    return count;
}

TEST(EndToEnd, TheViewerListsTheBundledDemoAccountFromTheRealServer)
{
    std::string catalog = PRODUCTS_SAMPLE_CATALOG;
    int expectedRows = CatalogProducts(catalog + "/products/demo.txt");
    ASSERT_GT(expectedRows, 40);

    std::string folder = MakeScratchFolder("e2e");
    ASSERT_TRUE(CopyRuntimeInto(folder));
    Child server;
    ASSERT_TRUE(StartWithOutput("\"" + folder + "feed-server.exe\" --catalog \"" + catalog + "\" --address " +
                                    ServerAddressText,
                                folder, &server));
    std::string log;
    const bool listening = ReadUntil(&server, "listening on", &log, ServerStartMs);
    if (!listening) {
        // A server that never said it listens may still be running; it must not outlive the test.
        EndChild(&server);
        RemoveFolder(folder);
    }
    ASSERT_TRUE(listening) << log;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION viewer;
    std::string commandLine = "\"" + folder + "Vn_Products.exe\" " + ServerAddressText + "^demo^demo#";
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                               &startup, &viewer));
    HWND window = WaitForViewerWindow(viewer.dwProcessId, 15000);
    ASSERT_NE(nullptr, window);

    char title[256];
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Harbor Street Home Goods Product's List", title);
    HWND list = GetDlgItem(window, 105);
    EXPECT_EQ(expectedRows, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    // The server logged the viewer's request for the demo account, and its answer.
    EXPECT_TRUE(ReadUntil(&server, " feed demo ok ", &log, ServerLogMs)) << log;

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(viewer.hProcess, 15000));
    DWORD code = 1;
    GetExitCodeProcess(viewer.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(viewer.hThread);
    CloseHandle(viewer.hProcess);
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

void PressKey(WORD key)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void ClickAt(POINT at)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = (at.x * 65535 + width / 2) / (width - 1);
        input.mi.dy = (at.y * 65535 + height / 2) / (height - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, inputs, sizeof(INPUT));
}

// Polls find every 50 ms until it gives a window, for at most timeoutMs.
HWND WaitFor(const std::function<HWND()>& find, int timeoutMs)
{
    for (int waited = 0;; waited += 50) {
        HWND found = find();
        if (found != nullptr || waited >= timeoutMs)
            return found;
        Sleep(50);
    }
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The first line of a list box of another process. Wine hands the ANSI text across as UTF-16, so
// the wide message is the one that works there.
std::string FirstListLine(HWND list)
{
    wchar_t text[512] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, 0, 0) >= 511 || SendMessageW(list, LB_GETTEXT, 0, (LPARAM)text) < 0)
        return "";
    char narrow[1024] = "";
    WideCharToMultiByte(1252, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// The page at address ("http://host:port/path"), fetched with a plain HTTP/1.0 GET.
std::string FetchPage(const std::string& address)
{
    size_t hostStart = address.find("//") + 2;
    size_t portStart = address.find(':', hostStart);
    size_t pathStart = address.find('/', hostStart);
    std::string host = address.substr(hostStart, portStart - hostStart);
    int port = atoi(address.substr(portStart + 1, pathStart - portStart - 1).c_str());
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr(host.c_str());
    at.sin_port = htons((u_short)port);
    std::string reply;
    if (connect(sock, (sockaddr*)&at, sizeof at) == 0) {
        std::string request = "GET " + address.substr(pathStart) + " HTTP/1.0\r\n\r\n";
        send(sock, request.data(), (int)request.size(), 0);
        char chunk[4096];
        int got;
        while ((got = recv(sock, chunk, sizeof chunk, 0)) > 0)
            reply.append(chunk, (size_t)got);
    }
    closesocket(sock);
    return reply;
}

HWND FindOwnedWindow(const char* className, DWORD processId)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

TEST(EndToEnd, TheLauncherStartsTheViewerAndAServerPageReachesTheBrowser)
{
    KeepWinSockStarted();
    const char address[] = "127.0.0.90";
    std::string scratch = MakeScratchFolder("e2e-links");
    Installation installed = FindInstallation(scratch);
    // The browser records instead of opening a real one; the viewer and the browser it starts inherit this.
    std::string record = scratch + "opened.txt";
    SetEnvironmentVariableA("VN_BROWSER_RECORD", record.c_str());
    for (HWND stray; (stray = FindWindowA("VarnelBrowsr", nullptr)) != nullptr;)
        SendMessageA(stray, WM_CLOSE, 0, 0);

    Child server;
    ASSERT_TRUE(StartWithOutput("\"" + installed.programs + "feed-server.exe\" --catalog \"" + installed.catalog +
                                    "\" --address " + address,
                                scratch, &server));
    std::string log;
    bool listening = ReadUntil(&server, "listening on", &log, ServerStartMs);
    if (!listening)
        EndChild(&server);
    ASSERT_TRUE(listening) << log;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION launcher = {};
    std::string commandLine = "\"" + installed.programs + "Vn_Launcher.exe\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, scratch.c_str(),
                               &startup, &launcher));
    WaitForInputIdle(launcher.hProcess, 15000);
    HWND host = WaitFor([&] { return FindOwnedWindow(LAUNCHER_CLASS_NAME, launcher.dwProcessId); }, 15000);
    ASSERT_NE(nullptr, host) << "the launcher's window did not appear";

    // The user's part: the server and the account, then Start.
    SendDlgItemMessageA(host, IDC_SERVER_ADDRESS, WM_SETTEXT, 0, (LPARAM)address);
    SendDlgItemMessageA(host, IDC_ACCOUNT_ID, WM_SETTEXT, 0, (LPARAM) "demo");
    SendDlgItemMessageA(host, IDC_ACCOUNT_KEY, WM_SETTEXT, 0, (LPARAM) "demo");
    SendDlgItemMessageA(host, IDC_START, BM_CLICK, 0, 0);
    HWND viewer = WaitFor([] { return FindWindowA("MainProd32WClass", "Harbor Street Home Goods Product's List"); },
                          20000);
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
    HWND menu = WaitFor([] {
        HWND popup = FindWindowA("#32768", nullptr);
        return popup != nullptr && IsWindowVisible(popup) ? popup : nullptr;
    }, 10000);
    ASSERT_NE(nullptr, menu) << "no link menu opened";
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);

    // The browser is not running: the viewer starts it by its bare name, tells the launcher, then hands over.
    const std::string expected = std::string("http://") + address + ":1360/p/oak-dining-chair^demo^demo";
    HWND browser = WaitFor([] { return FindWindowA("VarnelBrowsr", nullptr); }, 20000);
    ASSERT_NE(nullptr, browser) << "the companion browser was not started";
    std::string opened;
    for (int waited = 0; waited < 15000 && opened.find('\n') == std::string::npos; waited += 100) {
        Sleep(100);
        opened = ReadWholeFile(record);
    }
    EXPECT_EQ("open " + expected + "\n", opened);
    EXPECT_EQ(expected, FirstListLine(GetDlgItem(browser, 1011))) << "the browser's history";
    HWND notices = GetDlgItem(host, IDC_NOTICES);
    EXPECT_EQ(1, (int)SendMessageA(notices, LB_GETCOUNT, 0, 0)) << "the launcher lists the viewer's notice";
    EXPECT_NE(std::string::npos, FirstListLine(notices).find("browser"));

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

} // namespace
