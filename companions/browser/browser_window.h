// The browser window: the address field the viewer fills, the history list and the "Open again"
// button, and the commands that hand an address on.
#pragma once

#include <windows.h>

#include "common/contract.h"

// What the viewer relies on: it finds the window by class, sets the address field's text and posts
// the open command with no control behind it (lParam 0).
enum {
    IDC_ADDRESS_FIELD = BROWSER_ADDRESS_FIELD,
    IDM_OPEN_ADDRESS = BROWSER_OPEN_COMMAND,
};

// The browser's own controls.
enum {
    IDC_HISTORY_LIST = 1011,
    IDC_OPEN_AGAIN = 1012,
    IDC_ADDRESS_LABEL = 1013,
    IDC_HISTORY_LABEL = 1014,
};

BOOL RegisterBrowserClass(HINSTANCE instance);
HWND CreateBrowserWindow(HINSTANCE instance, int showCommand);

// Enter in the field opens what it holds, Enter in the list opens the selection again: true when
// message was such a key press and has been handled.
bool RouteEnterKey(HWND window, const MSG* message);
