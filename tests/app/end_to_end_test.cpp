// The whole system on one machine: the real feed-server.exe with the bundled catalog, and the real
// Vn_Products.exe started against it, both under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <string>

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

} // namespace
