// Real input and cross-process reading for the Windows test programs.
#include "win_input.h"

#include <gtest/gtest.h>

#include "win_test_support.h"

// A mouse event at a screen point with exactly the flags given, besides absolute coordinates.
static INPUT AbsoluteMouseInput(POINT at, DWORD flags)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (at.x * 65535 + width / 2) / (width - 1);
    input.mi.dy = (at.y * 65535 + height / 2) / (height - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// Every event it makes moves, so a press or release lands where the pointer is sent.
INPUT MouseInput(POINT at, DWORD flags)
{
    return AbsoluteMouseInput(at, flags | MOUSEEVENTF_MOVE);
}

// One event, so a press or release cannot be split from its move.
void MouseTo(POINT at, DWORD flags)
{
    INPUT input = MouseInput(at, flags);
    SendInput(1, &input, sizeof input);
}

// Down and up carry no move of their own: one SendInput of three events, as a real click arrives.
static void ClickWith(POINT at, DWORD down, DWORD up)
{
    INPUT inputs[3] = { AbsoluteMouseInput(at, MOUSEEVENTF_MOVE), AbsoluteMouseInput(at, down),
                        AbsoluteMouseInput(at, up) };
    SendInput(3, inputs, sizeof(INPUT));
}

void ClickAt(POINT at)
{
    ClickWith(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void RightClickAt(POINT at)
{
    ClickWith(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
}

// Down and up in one SendInput, so no other input comes between them.
void PressKey(WORD key)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// One SendInput for the whole chord, so no other input comes between its keys.
void PressChord(std::initializer_list<WORD> keys)
{
    INPUT inputs[8] = {};
    int count = 0;
    for (WORD key : keys) {
        inputs[count].type = INPUT_KEYBOARD;
        inputs[count++].ki.wVk = key;
    }
    for (int i = (int)keys.size() - 1; i >= 0; --i) {
        inputs[count] = inputs[i];
        inputs[count++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput((UINT)count, inputs, sizeof(INPUT));
}

// Unicode strokes need no keyboard layout: each character arrives as it is written.
void TypeText(const char* text)
{
    for (const char* c = text; *c != '\0'; ++c) {
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wScan = keys[1].ki.wScan = (WORD)(unsigned char)*c;
        keys[0].ki.dwFlags = KEYEVENTF_UNICODE;
        keys[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof(INPUT));
    }
}

// "#32768" is the system's class of popup menu windows; a hidden one may linger after a menu.
HWND VisiblePopup()
{
    HWND popup = FindWindowA("#32768", nullptr);
    return popup != nullptr && IsWindowVisible(popup) ? popup : nullptr;
}

// Looks at 0, 20, ... timeoutMs ms.
HWND WaitForPopup(int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        HWND popup = VisiblePopup();
        if (popup != nullptr)
            return popup;
        Sleep(20);
    }
    return nullptr;
}

// Looks at 0, 20, ... timeoutMs ms.
bool WaitForNoPopup(int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (VisiblePopup() == nullptr)
            return true;
        Sleep(20);
    }
    return false;
}

// The menu behind the window comes from MN_GETHMENU; what the owner drew the items from is their data.
SeenMenu ReadPopup(HWND popup)
{
    SeenMenu seen;
    seen.shown = true;
    GetWindowRect(popup, &seen.rect);
    HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
    seen.items = GetMenuItemCount(menu);
    for (int i = 0; i < 2 && i < seen.items; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoA(menu, (UINT)i, TRUE, &info);
        seen.ids[i] = info.wID;
        seen.types[i] = info.fType;
        seen.data[i] = info.dwItemData;
        GetMenuItemRect(nullptr, menu, (UINT)i, &seen.itemRects[i]);
    }
    return seen;
}

static DWORD WINAPI RunScript(LPVOID script)
{
    (*(const std::function<void()>*)script)();
    return 0;
}

// Gives up once 30 s pass without a message or the script's end.
void RunInput(const std::function<void()>& script)
{
    HANDLE thread = CreateThread(nullptr, 0, RunScript, (LPVOID)&script, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        PumpMessages();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0)) << "the input script did not finish";
    CloseHandle(thread);
}

SeenMenu MenuAfter(const std::function<void()>& input, int waitMs)
{
    SeenMenu seen;
    RunInput([&] {
        input();
        HWND popup = WaitForPopup(waitMs);
        if (popup == nullptr)
            return;
        seen = ReadPopup(popup);
        PressKey(VK_ESCAPE);
        WaitForNoPopup(5000);
    });
    return seen;
}

// Other programs on the shared display may have a window of the class too.
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

// Counts the time slept, so a slow search does not shorten the wait.
HWND WaitForWindow(const std::function<HWND()>& find, int timeoutMs, int pollMs)
{
    for (int waited = 0;; waited += pollMs) {
        HWND found = find();
        if (found != nullptr || waited >= timeoutMs)
            return found;
        Sleep(pollMs);
    }
}

// Wine hands the ANSI text across processes as UTF-16, so only the wide messages are right everywhere.
bool ReadListBoxLine(HWND list, int index, std::string* line)
{
    int length = (int)SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0)
        return false;
    std::wstring wide(length + 1, L'\0');
    int got = (int)SendMessageW(list, LB_GETTEXT, index, (LPARAM)&wide[0]);
    if (got < 0 || got > length)
        return false;
    std::string text(got * 2 + 1, '\0');
    int bytes = WideCharToMultiByte(1252, 0, wide.c_str(), got, &text[0], (int)text.size(), nullptr, nullptr);
    text.resize(bytes);
    *line = text;
    return true;
}

// For a check of one line, where a missing line reads as "".
std::string ListBoxLine(HWND list, int index)
{
    std::string line;
    return ReadListBoxLine(list, index, &line) ? line : "";
}
