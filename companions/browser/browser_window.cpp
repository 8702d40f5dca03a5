// The browser window: class, children, layout, command routing and the history shown in the list.
#include "companions/browser/browser_window.h"

#include <windowsx.h>

#include "common/text.h"
#include "companions/browser/address_rules.h"
#include "companions/browser/browser_layout.h"
#include "companions/browser/hand_off.h"

static const char BrowserTitle[] = "Products Browser";

static History history;     // what the browser was handed, newest first; the list shows the same
static int lineHeight = 13; // of the controls' font, measured at creation

struct ChildControl {
    const char* className;
    int id;
    DWORD style;
    DWORD exStyle;
    const char* text;
};
// Each label comes just before the control it names: screen readers take an edit's or a list's name
// from the text before it, and its mnemonic moves the focus there.
static const ChildControl Children[] = {
    { "STATIC", IDC_ADDRESS_LABEL, SS_LEFT, 0, "&Address:" },
    { "EDIT", IDC_ADDRESS_FIELD, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, "" },
    { "STATIC", IDC_HISTORY_LABEL, SS_LEFT, 0, "&History:" },
    { "LISTBOX", IDC_HISTORY_LIST, WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
      WS_EX_CLIENTEDGE, "" },
    // Disabled until an entry is selected: there is nothing to open again before.
    { "BUTTON", IDC_OPEN_AGAIN, WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, "Open again" },
};

struct ChildPlace {
    int id;
    BrowserBox BrowserLayout::*box;
};
static const ChildPlace ChildPlaces[] = {
    { IDC_ADDRESS_LABEL, &BrowserLayout::fieldLabel },
    { IDC_ADDRESS_FIELD, &BrowserLayout::field },
    { IDC_HISTORY_LABEL, &BrowserLayout::historyLabel },
    { IDC_HISTORY_LIST, &BrowserLayout::history },
    { IDC_OPEN_AGAIN, &BrowserLayout::openAgain },
};

static int MeasureLineHeight(HWND window, HFONT font)
{
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return metrics.tmHeight > 0 ? metrics.tmHeight : 13;
}

static BOOL OnCreate(HWND window, LPCREATESTRUCT create)
{
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    lineHeight = MeasureLineHeight(window, font);
    for (const ChildControl& child : Children) {
        HWND control = CreateWindowExA(child.exStyle, child.className, child.text, WS_CHILD | WS_VISIBLE | child.style,
                                       0, 0, 0, 0, window, (HMENU)(INT_PTR)child.id, create->hInstance, nullptr);
        if (control == nullptr)
            return FALSE;
        SetWindowFont(control, font, FALSE);
    }
    return TRUE;
}

static void OnSize(HWND window, UINT, int width, int height)
{
    BrowserLayout layout = LayOutBrowser(width, height, lineHeight);
    for (const ChildPlace& place : ChildPlaces) {
        const BrowserBox& box = layout.*place.box;
        MoveWindow(GetDlgItem(window, place.id), box.x, box.y, box.width, box.height, TRUE);
    }
}

// Small enough for a corner of the screen, large enough that every child keeps some room.
static void OnGetMinMaxInfo(HWND, MINMAXINFO* limits)
{
    limits->ptMinTrackSize.x = 260;
    limits->ptMinTrackSize.y = 180;
}

// The field takes the focus whenever the window does, ready for an address to be typed.
static void OnSetFocus(HWND window, HWND)
{
    SetFocus(GetDlgItem(window, IDC_ADDRESS_FIELD));
}

// The list mirrors the history whole; nothing is selected afterwards, so the button waits again.
static void ShowHistory(HWND window)
{
    HWND list = GetDlgItem(window, IDC_HISTORY_LIST);
    SetWindowRedraw(list, FALSE);
    ListBox_ResetContent(list);
    for (int i = 0; i < history.count; ++i) {
        char label[HISTORY_LABEL_CAPACITY];
        FormatHistoryLabel(label, sizeof label, &history.entries[i]);
        ListBox_AddString(list, label);
    }
    SetWindowRedraw(list, TRUE);
    InvalidateRect(list, nullptr, TRUE);
    EnableWindow(GetDlgItem(window, IDC_OPEN_AGAIN), FALSE);
}

// Command 1135 and Enter in the field: whatever the field holds is judged, handed off and listed.
static void OpenFieldAddress(HWND window)
{
    char text[FIELD_TEXT_CAPACITY];
    GetDlgItemTextA(window, IDC_ADDRESS_FIELD, text, sizeof text);
    char address[LINK_ADDRESS_CAPACITY];
    AddressVerdict verdict = JudgeAddress(text, address, sizeof address);
    const char* kept = verdict == ADDRESS_OPENS ? address : text;
    HandOff(window, verdict, kept);
    AddToHistory(&history, verdict, kept);
    ShowHistory(window);
}

// The entry goes through the same rule as a handed address, so a refused one is refused again.
// Opening again leaves the history as it is, the selection included.
static void OpenSelectedAgain(HWND window)
{
    const HistoryEntry* entry = HistoryAt(&history, ListBox_GetCurSel(GetDlgItem(window, IDC_HISTORY_LIST)));
    if (entry == nullptr)
        return;
    char address[LINK_ADDRESS_CAPACITY];
    AddressVerdict verdict = JudgeAddress(entry->text, address, sizeof address);
    HandOff(window, verdict, verdict == ADDRESS_OPENS ? address : entry->text);
}

static void SelectionChanged(HWND window)
{
    BOOL selected = ListBox_GetCurSel(GetDlgItem(window, IDC_HISTORY_LIST)) != LB_ERR;
    EnableWindow(GetDlgItem(window, IDC_OPEN_AGAIN), selected);
}

struct CommandRoute {
    int id;
    UINT code;
    void (*run)(HWND window);
};
static const CommandRoute CommandRoutes[] = {
    { IDM_OPEN_ADDRESS, 0, OpenFieldAddress }, // posted by the viewer with lParam 0
    { IDC_OPEN_AGAIN, BN_CLICKED, OpenSelectedAgain },
    { IDC_HISTORY_LIST, LBN_DBLCLK, OpenSelectedAgain },
    { IDC_HISTORY_LIST, LBN_SELCHANGE, SelectionChanged },
};

static void OnCommand(HWND window, int id, HWND, UINT code)
{
    for (const CommandRoute& route : CommandRoutes)
        if (route.id == id && route.code == code)
            route.run(window);
}

static void OnDestroy(HWND)
{
    PostQuitMessage(0);
}

static LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_GETMINMAXINFO, OnGetMinMaxInfo);
        HANDLE_MSG(window, WM_SETFOCUS, OnSetFocus);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL RegisterBrowserClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BrowserWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = BROWSER_CLASS_NAME;
    return RegisterClassA(&windowClass) != 0;
}

HWND CreateBrowserWindow(HINSTANCE instance, int showCommand)
{
    HWND window = CreateWindowExA(0, BROWSER_CLASS_NAME, BrowserTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

struct EnterKey {
    int controlId;
    int commandId;
};
static const EnterKey EnterKeys[] = {
    { IDC_ADDRESS_FIELD, IDM_OPEN_ADDRESS },
    { IDC_HISTORY_LIST, IDC_OPEN_AGAIN }, // BN_CLICKED is 0: the same as a click on the button
};

bool RouteEnterKey(HWND window, const MSG* message)
{
    if (message->message != WM_KEYDOWN || message->wParam != VK_RETURN || GetParent(message->hwnd) != window)
        return false;
    int id = GetDlgCtrlID(message->hwnd);
    for (const EnterKey& key : EnterKeys)
        if (key.controlId == id) {
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(key.commandId, 0), 0);
            return true;
        }
    return false;
}
