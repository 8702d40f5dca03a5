// The link menu of a product row and the hand-off of the chosen address to the companion browser,
// which is started first when its window is not found.
#pragma once

#include <windows.h>

#include "feed/product_list.h"

// How long the viewer gives a browser it started to open its window.
enum { BROWSER_START_WAIT_MS = 2000 };

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
// tells the host; then sets the address into the browser's field and asks it to open it.
void OpenInBrowser(const char* address);

// How the browser is started and waited for; tests replace both. Null restores the real ones:
// the shell's "open" of the bare program name, and a 2-second wait that processes no messages.
struct BrowserStarter {
    void (*start)();
    void (*wait)(unsigned ms);
};
void SetBrowserStarter(const BrowserStarter* starter);
