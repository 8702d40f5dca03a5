// What the viewer, the feed server and the tests must agree on: the feed port, the capacity of every
// text the viewer keeps (terminator included), and how a feed's status code is read.
// Portable: the feed server and the native tests include it too.
#pragma once

enum { FEED_PORT = 1360 };

// The launch argument's fields, "<ServerHost>^<AccountId>^<AccountKey>#".
enum {
    COMMAND_LINE_CAPACITY = 60,
    SERVER_HOST_CAPACITY = 28,
    ACCOUNT_ID_CAPACITY = 40,
    ACCOUNT_KEY_CAPACITY = 12,
    SERVER_ADDRESS_CAPACITY = 32, // the address actually used for the feed
};

// One product as the viewer keeps it.
enum {
    PRODUCT_NAME_CAPACITY = 128,
    PRODUCT_PRICE_CAPACITY = 32,
    PRODUCT_WEB_ADDRESS_CAPACITY = 255,
    PRODUCT_SERVER_PATH_CAPACITY = 255,
};

// The feed reader takes at most this many characters at a time, line feed included; a longer line
// arrives in pieces, each judged as a line of its own.
enum { FEED_READ_CHARS = 255 };

// The window title made from a feed's first line; " Product's List" always fits after a cut caption.
enum { FEED_TITLE_CAPACITY = 260 };

// An address handed to the companion browser, terminator included.
enum { LINK_ADDRESS_CAPACITY = 256 };

// Feed status codes above 6 are read with 8 taken off.
inline int AdjustStatus(int code)
{
    return code > 6 ? code - 8 : code;
}

// Control and command ids that the viewer's subsystems share.
enum {
    IDC_PRODUCT_LIST = 105,  // the product list view
    IDC_CLOSE_BUTTON = 201,  // the Close button
    IDM_OPEN_WEB_ADDRESS = 101,
    IDM_OPEN_SERVER_PAGE = 102,
    IDM_SORT_ASCENDING = 103,
    IDM_SORT_DESCENDING = 104,
};
