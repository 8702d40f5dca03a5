// The link menu of a product row and the hand-off of the chosen address to the companion browser,
// which is started first when its window is not found.
#pragma once

#include <windows.h>

#include "feed/product_list.h"

// How long the viewer gives a browser it started to open its window, and a browser to take an address.
enum { BROWSER_START_WAIT_MS = 2000, BROWSER_SEND_TIMEOUT_MS = 3000 };

// One item of a link menu: the slot it fills, its raw text, which menu icon, and its command.
struct LinkMenuItem {
    int slot;
    const char* text; // the record's own field
    int icon;         // a MENU_BITMAP_ index of the look
    UINT command;
};
enum { LINK_MENU_MAX_ITEMS = 2 };

// The items of a record's link menu, web address first: none when both fields are empty. Formats
// the address of each item it gives, for the command that may follow; the other address keeps its
// last value. Returns the number of items.
int PrepareLinkMenu(const ProductRecord* record, const char* serverAddress, const char* accountId,
                    const char* accountKey, LinkMenuItem items[LINK_MENU_MAX_ITEMS]);

// The addresses of the latest link menu, handed over by commands 101 and 102.
const char* WebUrl();
const char* ServerPageUrl();

// Hands address to the browser: when its window is missing, starts it, waits, looks again and
// tells the host; then sets the address into the browser's field and asks it to open it. Only a
// window of the browser's class in a process of the browser's program counts as the browser.
void OpenInBrowser(const char* address);

// How the browser is started, waited for and recognised; tests replace them. Null restores the real
// ones: the shell's "open" of the browser beside the viewer (of the bare program name when it is
// not there), a 2-second wait that processes no messages, and BROWSER_PROGRAM.
struct BrowserStarter {
    void (*start)();
    void (*wait)(unsigned ms);
    const char* program; // the image file name, without folder, of the browser's process
};
void SetBrowserStarter(const BrowserStarter* starter);
