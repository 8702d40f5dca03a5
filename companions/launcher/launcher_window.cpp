// The launcher's window: creation from the control table, message routing, Start and the notices.
#include "companions/launcher/launcher_window.h"

#include <windowsx.h>

#include <string.h>

#include "common/contract.h"
#include "common/text.h"
#include "companions/launcher/launch_request.h"
#include "companions/launcher/launcher_controls.h"
#include "companions/launcher/launcher_settings.h"
#include "companions/launcher/viewer_start.h"

const char LauncherTitle[] = "Products Launcher";

enum {
    // Far beyond what the viewer keeps of any field, so that a long text is still seen to be long.
    FIELD_TEXT_CAPACITY = 256,
    STATUS_CAPACITY = 512,
    NOTICE_CAPACITY = 128,
    CLIENT_WIDTH = 420,
    CLIENT_HEIGHT = 340,
};

// Every child control and its place in the client area, in tab order; WS_CHILD and WS_VISIBLE are
// added to each style.
struct ChildControl {
    const char* className;
    const char* text;
    DWORD style;
    DWORD extendedStyle;
    int id;
    int x, y, width, height;
};

static const ChildControl Controls[] = {
    { "STATIC", "&Server address:", SS_LEFT, 0, -1, 12, 15, 104, 20 },
    { "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, IDC_SERVER_ADDRESS, 120, 12, 288, 22 },
    { "STATIC", "Account &id:", SS_LEFT, 0, -1, 12, 45, 104, 20 },
    { "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, IDC_ACCOUNT_ID, 120, 42, 288, 22 },
    { "STATIC", "Account &key:", SS_LEFT, 0, -1, 12, 75, 104, 20 },
    { "EDIT", "", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, WS_EX_CLIENTEDGE, IDC_ACCOUNT_KEY, 120, 72, 288, 22 },
    { "BUTTON", "&Start", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, IDC_START, 120, 104, 96, 28 },
    { "STATIC", "Empty server address: the viewer uses 127.0.0.1.", SS_LEFT | SS_NOPREFIX, 0, IDC_STATUS, 12, 142,
      396, 44 },
    { "STATIC", "Notices from the viewer, newest first:", SS_LEFT, 0, -1, 12, 192, 396, 18 },
    { "LISTBOX", "", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, IDC_NOTICES, 12, 212, 396,
      116 },
};

// The edit control of each launch field, in LaunchField order.
static const int FieldControls[LAUNCH_FIELD_COUNT] = { IDC_SERVER_ADDRESS, IDC_ACCOUNT_ID, IDC_ACCOUNT_KEY };

// The commands the viewer posts, and how the list shows each.
struct Notice {
    int command;
    const char* text;
};
static const Notice Notices[] = {
    { HOST_BROWSER_STARTED, "the viewer started the browser" },
};

static void SetStatus(HWND window, const char* text)
{
    SetDlgItemTextA(window, IDC_STATUS, text);
}

static BOOL OnCreate(HWND window, LPCREATESTRUCT create)
{
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    for (const ChildControl& child : Controls) {
        HWND control = CreateWindowExA(child.extendedStyle, child.className, child.text,
                                       WS_CHILD | WS_VISIBLE | child.style, child.x, child.y, child.width, child.height,
                                       window, (HMENU)(INT_PTR)child.id, create->hInstance, nullptr);
        if (control == nullptr)
            return FALSE;
        SetWindowFont(control, font, FALSE);
    }
    LoadLauncherSettings(window);
    return TRUE;
}

// Builds the argument from the fields and starts the viewer with it; a field the viewer would not
// read back as typed is refused and nothing starts. The settings are saved once the viewer started.
static void OnStart(HWND window)
{
    char texts[LAUNCH_FIELD_COUNT][FIELD_TEXT_CAPACITY];
    const char* fields[LAUNCH_FIELD_COUNT];
    for (int field = 0; field < LAUNCH_FIELD_COUNT; ++field) {
        GetDlgItemTextA(window, FieldControls[field], texts[field], FIELD_TEXT_CAPACITY);
        fields[field] = texts[field];
    }
    char argument[LAUNCH_ARGUMENT_CAPACITY];
    char status[STATUS_CAPACITY];
    LaunchCheck check = BuildLaunchArgument(fields, argument, sizeof argument);
    if (check.fault != FAULT_NONE) {
        DescribeLaunchCheck(check, status, sizeof status);
        SetStatus(window, status);
        HWND edit = GetDlgItem(window, FieldControls[check.field]);
        SetFocus(edit);
        Edit_SetSel(edit, 0, -1);
        return;
    }
    if (StartViewer(argument, status, sizeof status) && !SaveLauncherSettings(window))
        CopyText(status + strlen(status), sizeof status - strlen(status), " The settings could not be saved.");
    SetStatus(window, status);
}

// A notice goes on top of the list with the local time it arrived, so the latest is always in view;
// the oldest beyond the limit go.
static void AddNotice(HWND window, const char* text)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[NOTICE_CAPACITY];
    FormatText(line, sizeof line, "%02u:%02u:%02u  %s", now.wHour, now.wMinute, now.wSecond, text);
    HWND notices = GetDlgItem(window, IDC_NOTICES);
    ListBox_InsertString(notices, 0, line);
    while (ListBox_GetCount(notices) > NOTICE_LIMIT)
        ListBox_DeleteString(notices, NOTICE_LIMIT);
}

// The viewer's notices come without a control; Start comes from the button, or from Enter.
static void OnCommand(HWND window, int id, HWND control, UINT code)
{
    if (control == nullptr) {
        for (const Notice& notice : Notices)
            if (notice.command == id)
                AddNotice(window, notice.text);
        return;
    }
    if (id == IDC_START && code == BN_CLICKED)
        OnStart(window);
}

static void OnDestroy(HWND)
{
    PostQuitMessage(0);
}

static LRESULT CALLBACK LauncherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterLauncherClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = LauncherProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = HOST_CLASS_NAME;
    return RegisterClassA(&windowClass) != 0;
}

HWND CreateLauncherWindow(HINSTANCE instance, int showCommand)
{
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = { 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT };
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowA(HOST_CLASS_NAME, LauncherTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                nullptr);
    if (window == nullptr)
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    // Typing starts in the first empty field: the key, when the saved settings filled the others.
    for (int id : FieldControls) {
        if (GetWindowTextLengthA(GetDlgItem(window, id)) == 0) {
            SetFocus(GetDlgItem(window, id));
            break;
        }
    }
    return window;
}
