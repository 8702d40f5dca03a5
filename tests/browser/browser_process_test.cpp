// The real Vn_Browser.exe, started as a process and driven as the viewer drives it: the address set
// into its address field from another process, then the open command posted. VN_BROWSER_RECORD points every
// open at a scratch file, so no real browser ever starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "common/contract.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

// Points every open of the browser at a record file instead of a real browser.
const char RecordVariable[] = "VN_BROWSER_RECORD";

const DWORD StartMs = 10000; // for a window to come up or a process to end
const int EventMs = 10000;   // for a record line to appear

typedef std::vector<std::string> Lines;

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A window's text, asked of the window itself: GetWindowText gives only the caption a window of
// another process was created with.
std::string TextOf(HWND window)
{
    char text[512] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

BOOL CALLBACK CollectBrowserWindow(HWND window, LPARAM found)
{
    if (ClassOf(window) == BROWSER_CLASS_NAME)
        ((std::vector<HWND>*)found)->push_back(window);
    return TRUE;
}

// Every top-level browser window on the desktop, whoever made it.
std::vector<HWND> BrowserWindows()
{
    std::vector<HWND> found;
    EnumWindows(CollectBrowserWindow, (LPARAM)&found);
    return found;
}

HWND WaitForBrowserWindow(DWORD processId, int timeoutMs)
{
    return WaitForWindow([&] { return FindOwnedWindow(BROWSER_CLASS_NAME, processId); }, timeoutMs);
}

// A browser left over by an earlier, broken run would take this run's addresses for itself.
void CloseStrayBrowsers()
{
    for (HWND window : BrowserWindows())
        PostMessageA(window, WM_CLOSE, 0, 0);
    for (int waited = 0; waited < 5000 && !BrowserWindows().empty(); waited += 50)
        Sleep(50);
}

// Starts the browser from the build's bin folder; it inherits this process's environment.
bool StartBrowser(PROCESS_INFORMATION* process)
{
    std::string program = RuntimeDirectory() + BROWSER_PROGRAM;
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          process) != FALSE;
}

// The process's exit code once it has ended, or -1 when it did not end in time (it is then ended).
int WaitForExit(PROCESS_INFORMATION* process)
{
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process->hProcess, StartMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process->hProcess, &code);
    else
        TerminateProcess(process->hProcess, 99);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    process->hProcess = process->hThread = nullptr;
    return (int)code;
}

// The record's whole lines: a line still being written (no line feed yet) is not counted.
Lines ReadRecord(const std::string& path)
{
    Lines lines;
    FILE* record = fopen(path.c_str(), "rb");
    if (record == nullptr)
        return lines;
    std::string line;
    for (int c; (c = fgetc(record)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += (char)c;
        }
    }
    fclose(record);
    return lines;
}

Lines WaitForRecord(const std::string& path, size_t count)
{
    Lines lines = ReadRecord(path);
    for (int waited = 0; lines.size() < count && waited < EventMs; waited += 20) {
        Sleep(20);
        lines = ReadRecord(path);
    }
    return lines;
}

HWND HistoryList(HWND window)
{
    return FindWindowExA(window, nullptr, "ListBox", nullptr);
}

HWND OpenAgainButton(HWND window)
{
    return FindWindowExA(window, nullptr, "Button", "Open again");
}

// The list box's lines, read from the other process and given back in code page 1252.
Lines HistoryLines(HWND window)
{
    HWND list = HistoryList(window);
    Lines lines;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    std::string text;
    for (int i = 0; i < count && ReadListBoxLine(list, i, &text); ++i)
        lines.push_back(text);
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Waits until done() holds, up to timeoutMs.
template <class Condition> bool WaitUntil(Condition done, int timeoutMs = 5000)
{
    for (int waited = 0; !done(); waited += 20) {
        if (waited >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// A real left click at a point of control's client area.
void ClickAt(HWND control, int x, int y)
{
    POINT at = { x, y };
    ClientToScreen(control, &at);
    INPUT inputs[3] = { MouseInput(at, 0), MouseInput(at, MOUSEEVENTF_LEFTDOWN), MouseInput(at, MOUSEEVENTF_LEFTUP) };
    SendInput(3, inputs, sizeof(INPUT));
}

void ClickMiddle(HWND control)
{
    RECT client;
    GetClientRect(control, &client);
    ClickAt(control, client.right / 2, client.bottom / 2);
}

// The window with the keyboard focus in another process's thread.
HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Brings the browser to the front, on top of any other test's windows, for real input.
bool BringForward(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    return WaitUntil([&] { return GetForegroundWindow() == window; });
}

struct TextSize {
    int width;  // of all but the last character, as EM_POSFROMCHAR tells it
    int height; // of a line
};

TextSize MeasureText(HGDIOBJ font, const char* text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text) - 1, &extent);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return TextSize{ (int)extent.cx, (int)metrics.tmHeight };
}

RECT ChildRect(HWND window, HWND child)
{
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, window, (POINT*)&box, 2);
    return box;
}

struct BrowserProcess : ::testing::Test {
    std::string folder;
    std::string record;
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;

    void SetUp() override
    {
        CloseStrayBrowsers();
        ASSERT_TRUE(BrowserWindows().empty()) << "another browser is running";
        folder = MakeScratchFolder("browser");
        ASSERT_FALSE(folder.empty());
        record = folder + "record.txt";
        ASSERT_TRUE(SetEnvironmentVariableA(RecordVariable, record.c_str()));
        ASSERT_TRUE(StartBrowser(&process));
        window = WaitForBrowserWindow(process.dwProcessId, StartMs);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        if (process.hProcess != nullptr) {
            if (window != nullptr)
                PostMessageA(window, WM_CLOSE, 0, 0);
            WaitForExit(&process);
        }
        SetEnvironmentVariableA(RecordVariable, nullptr);
        if (!folder.empty())
            RemoveFolder(folder);
    }

    // What the viewer does: the text into the field, then the command, from another process.
    void Hand(const std::string& text)
    {
        SendDlgItemMessageA(window, BROWSER_ADDRESS_FIELD, WM_SETTEXT, 0, (LPARAM)text.c_str());
        PostMessageA(window, WM_COMMAND, BROWSER_OPEN_COMMAND, 0);
    }

    // Hands text and waits for its record line, the record's last; the viewer sends one at a time.
    std::string HandAndRecord(const std::string& text)
    {
        size_t before = ReadRecord(record).size();
        Hand(text);
        Lines lines = WaitForRecord(record, before + 1);
        return lines.size() == before + 1 ? lines.back() : "(" + std::to_string(lines.size()) + " lines)";
    }
};

TEST_F(BrowserProcess, OpensHandedWebAddressesAndListsThemNewestFirst)
{
    EXPECT_EQ("open http://shop.example/chairs/oak", HandAndRecord("http://shop.example/chairs/oak"));
    EXPECT_EQ("open HTTPS://shop.example/B?x=1#y", HandAndRecord("HTTPS://shop.example/B?x=1#y"));
    EXPECT_EQ("open https://x.example/padded", HandAndRecord("  https://x.example/padded "));
    // Code page 1252 letters, as the viewer passes them.
    EXPECT_EQ("open http://caf\xe9.example/men\xfc", HandAndRecord("http://caf\xe9.example/men\xfc"));

    Lines expected = { "http://caf\xe9.example/men\xfc", "https://x.example/padded", "HTTPS://shop.example/B?x=1#y",
                       "http://shop.example/chairs/oak" };
    EXPECT_EQ(expected, HistoryLines(window));
    EXPECT_EQ(4u, ReadRecord(record).size()) << "one line per open";
}

TEST_F(BrowserProcess, RefusesWhatIsNotAWebAddressAndShowsItRefused)
{
    std::string longText = "http://example.test/" + std::string(400, 'a');
    struct Case {
        std::string handed;
        std::string kept; // as the record and the list show it
    };
    const Case cases[] = {
        { "file:///C:/Windows/win.ini", "file:///C:/Windows/win.ini" },
        { "C:\\Windows\\notepad.exe", "C:\\Windows\\notepad.exe" },
        { "", "" },
        { "javascript:alert(1)", "javascript:alert(1)" },
        { "http://", "http://" },
        { "https://a b", "https://a b" },
        { "http://x/\tb\x01", "http://x/?b?" },
        { longText, longText.substr(0, 256) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handed.substr(0, 40));
        EXPECT_EQ("refused " + c.kept, HandAndRecord(c.handed));
    }

    Lines history = HistoryLines(window);
    ASSERT_EQ(8u, history.size());
    for (size_t i = 0; i < history.size(); ++i) {
        const Case& c = cases[7 - i]; // newest first
        EXPECT_TRUE(StartsWith(history[i], "refused: " + c.kept + " (")) << i << ": " << history[i];
    }
}

TEST_F(BrowserProcess, KeepsTheFiftyNewestEntries)
{
    for (int i = 1; i <= 53; ++i) {
        std::string address = "http://x.example/" + std::to_string(i);
        ASSERT_EQ("open " + address, HandAndRecord(address));
    }
    Lines history = HistoryLines(window);
    ASSERT_EQ(50u, history.size());
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ("http://x.example/" + std::to_string(53 - i), history[i]);
}

TEST_F(BrowserProcess, OpenAgainReopensTheEntrySelectedInTheList)
{
    HandAndRecord("http://a.example/first");
    HandAndRecord("file:///C:/secret.txt");
    HandAndRecord("https://b.example/second");
    Lines before = HistoryLines(window);
    ASSERT_EQ(3u, before.size());
    HWND list = HistoryList(window);
    HWND button = OpenAgainButton(window);
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, button);
    EXPECT_FALSE(IsWindowEnabled(button)) << "nothing is selected yet";

    // A real click on the oldest line, then on the button.
    ASSERT_TRUE(BringForward(window));
    int itemHeight = (int)SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    ASSERT_GT(itemHeight, 0);
    ClickAt(list, 10, itemHeight * 2 + itemHeight / 2);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(list, LB_GETCURSEL, 0, 0) == 2 && IsWindowEnabled(button); }));
    ClickMiddle(button);
    Lines lines = WaitForRecord(record, 4);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("open http://a.example/first", lines[3]);
    EXPECT_EQ(before, HistoryLines(window)) << "opening again leaves the history as it was";
    EXPECT_EQ(2, (int)SendMessageA(list, LB_GETCURSEL, 0, 0));

    // The refused line, selected through the list's own notification and opened by the button's.
    int listId = GetDlgCtrlID(list), buttonId = GetDlgCtrlID(button);
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), (LPARAM)list);
    EXPECT_TRUE(IsWindowEnabled(button));
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)button);
    lines = WaitForRecord(record, 5);
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("refused file:///C:/secret.txt", lines[4]);
    EXPECT_EQ(before, HistoryLines(window));

    // A new address lists first and leaves nothing selected, so the button waits again.
    HandAndRecord("http://c.example/");
    EXPECT_EQ("http://c.example/", HistoryLines(window).at(0));
    EXPECT_EQ(LB_ERR, (int)SendMessageA(list, LB_GETCURSEL, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(BrowserProcess, EnterInTheFieldOpensTheTypedAddress)
{
    HWND field = GetDlgItem(window, BROWSER_ADDRESS_FIELD);
    ASSERT_NE(nullptr, field);
    ASSERT_TRUE(BringForward(window));
    ClickMiddle(field);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == field; }));
    TypeText("http://typed.example/x");
    ASSERT_TRUE(WaitUntil([&] { return TextOf(field) == "http://typed.example/x"; })) << TextOf(field);
    PressKey(VK_RETURN);
    Lines lines = WaitForRecord(record, 1);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("open http://typed.example/x", lines[0]);

    SendMessageA(field, WM_SETTEXT, 0, (LPARAM) "javascript:void(0)");
    PressKey(VK_RETURN);
    lines = WaitForRecord(record, 2);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("refused javascript:void(0)", lines[1]);
    Lines history = HistoryLines(window);
    ASSERT_EQ(2u, history.size());
    EXPECT_TRUE(StartsWith(history[0], "refused: javascript:void(0) (")) << history[0];
}

TEST_F(BrowserProcess, ASecondStartBringsTheFirstForwardAndEndsWithZero)
{
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }));

    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(StartBrowser(&second));
    DWORD secondId = second.dwProcessId;
    EXPECT_EQ(0, WaitForExit(&second));
    EXPECT_EQ(nullptr, WaitForBrowserWindow(secondId, 0));
    std::vector<HWND> windows = BrowserWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ(window, windows[0]);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(window); })) << "the first window is restored";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process.hProcess, 0)) << "the first browser runs on";
    EXPECT_EQ("open http://still.example/", HandAndRecord("http://still.example/"));
}

TEST_F(BrowserProcess, ClosesAndEndsWithExitCodeZero)
{
    HandAndRecord("http://x.example/");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, WaitForExit(&process));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(BrowserWindows().empty());
}

TEST_F(BrowserProcess, ShowsItsControlsInTheGuiFontAndKeepsTheirPlacesOnResize)
{
    EXPECT_EQ("Products Browser", TextOf(window));
    HWND field = GetDlgItem(window, BROWSER_ADDRESS_FIELD);
    HWND list = HistoryList(window);
    HWND button = OpenAgainButton(window);
    ASSERT_NE(nullptr, field);
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, button);
    EXPECT_EQ("Edit", ClassOf(field));
    EXPECT_FALSE(IsWindowEnabled(button));
    // Screen readers name a field and a list after the label just before it among the siblings.
    HWND fieldLabel = GetWindow(field, GW_HWNDPREV), listLabel = GetWindow(list, GW_HWNDPREV);
    EXPECT_EQ("Static", ClassOf(fieldLabel));
    EXPECT_EQ("&Address:", TextOf(fieldLabel));
    EXPECT_EQ("Static", ClassOf(listLabel));
    EXPECT_EQ("&History:", TextOf(listLabel));

    // Wine 8 answers WM_GETFONT from another process with 0, so the font is told by its measures:
    // the list's line height and the width of text in the field.
    const char sample[] = "WWWWWWWWWW";
    TextSize gui = MeasureText(GetStockObject(DEFAULT_GUI_FONT), sample);
    TextSize system = MeasureText(GetStockObject(SYSTEM_FONT), sample);
    ASSERT_NE(gui.height, system.height) << "the measures must tell the fonts apart";
    ASSERT_NE(gui.width, system.width);
    EXPECT_EQ(gui.height, (int)SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    SendMessageA(field, WM_SETTEXT, 0, (LPARAM)sample);
    int first = (short)LOWORD(SendMessageA(field, EM_POSFROMCHAR, 0, 0));
    int last = (short)LOWORD(SendMessageA(field, EM_POSFROMCHAR, 9, 0));
    EXPECT_EQ(gui.width, last - first);

    struct Size {
        int width, height;
    };
    RECT listBefore = {};
    for (Size size : { Size{ 420, 300 }, Size{ 700, 520 } }) {
        SCOPED_TRACE(size.width);
        SetWindowPos(window, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        GetClientRect(window, &client);
        RECT f = ChildRect(window, field), l = ChildRect(window, list), b = ChildRect(window, button);
        RECT fl = ChildRect(window, fieldLabel), ll = ChildRect(window, listLabel);
        int margin = f.left;
        EXPECT_GT(margin, 0);
        EXPECT_LE(margin, 12);
        EXPECT_EQ(margin, fl.top) << "the field's label is at the top";
        EXPECT_EQ(fl.bottom + 2, f.top) << "the field is just under its label";
        EXPECT_EQ(client.right - margin, f.right) << "the field spans the window";
        EXPECT_EQ(margin, l.left);
        EXPECT_EQ(client.right - margin, l.right);
        EXPECT_EQ(f.bottom + margin, ll.top) << "the list's label follows the field";
        EXPECT_EQ(ll.bottom + 2, l.top) << "the list is just under its label";
        EXPECT_EQ(l.bottom + margin, b.top) << "the button follows the list";
        EXPECT_EQ(client.bottom - margin, b.bottom) << "the button is at the bottom";
        EXPECT_EQ(client.right - margin, b.right);
        EXPECT_GT(b.right - b.left, 40);
        if (listBefore.right != 0) {
            EXPECT_EQ(700 - 420, (l.right - l.left) - (listBefore.right - listBefore.left));
            EXPECT_EQ(520 - 300, (l.bottom - l.top) - (listBefore.bottom - listBefore.top)) << "the list takes the growth";
        }
        listBefore = l;
    }
}

// The caption buttons of the companions' windows are Marlett glyphs, and dialogs are set in Tahoma:
// the test prefix must hold Wine's own fonts, or captions show letters and text takes other metrics.
TEST(WineFonts, TheCaptionButtonsAndDialogFontsAreThere)
{
    HDC dc = CreateCompatibleDC(nullptr);
    for (const char* face : { "Marlett", "Tahoma" }) {
        HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
        HGDIOBJ old = SelectObject(dc, font);
        char chosen[LF_FACESIZE] = "";
        GetTextFaceA(dc, sizeof chosen, chosen);
        EXPECT_STREQ(face, chosen);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

} // namespace
