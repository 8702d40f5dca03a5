// The capacity of every text the viewer keeps, terminator included, and how much of a feed line it
// reads at a time. The launcher, the browser and the feed server keep within them too. Portable.
#pragma once

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
