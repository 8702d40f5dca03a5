// The launcher window's control ids, which the tests that drive it share. No Windows headers, so
// tests read it as is. Its class and the notice the viewer posts to it are in common/contract.h.
#pragma once

enum {
    IDC_START = 1, // IDOK, so that Enter in any field presses Start
    IDC_SERVER_ADDRESS = 1001,
    IDC_ACCOUNT_ID = 1002,
    IDC_ACCOUNT_KEY = 1003,
    IDC_STATUS = 1004,  // one or two lines: why a start was refused or failed, or what was started
    IDC_NOTICES = 1020, // list box of the viewer's notices, newest first
};

// The notices kept: any program may post them, so the oldest go beyond this many.
enum { NOTICE_LIMIT = 300 };
