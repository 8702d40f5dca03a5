// What the launcher's window shares with the viewer and with the tests that drive it: its class, the
// command the viewer posts to it, and its control ids. No Windows headers, so tests read it as is.
#pragma once

// The viewer finds the host's window by this class name alone.
#define LAUNCHER_CLASS_NAME "TheMain32WClass"

enum {
    // Posted by the viewer as WM_COMMAND (lParam 0) when it had to start the companion browser.
    VIEWER_STARTED_BROWSER = 911,
};

enum {
    IDC_START = 1, // IDOK, so that Enter in any field presses Start
    IDC_SERVER_ADDRESS = 1001,
    IDC_ACCOUNT_ID = 1002,
    IDC_ACCOUNT_KEY = 1003,
    IDC_STATUS = 1010,  // one or two lines: why a start was refused or failed, or what was started
    IDC_NOTICES = 1020, // list box of the viewer's notices, newest first
};
