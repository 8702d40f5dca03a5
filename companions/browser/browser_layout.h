// Where the browser window places its children for a given client size (portable arithmetic).
#pragma once

struct BrowserBox {
    int x, y, width, height;
};

struct BrowserLayout {
    BrowserBox fieldLabel;   // "Address:" above the field, which it names for screen readers
    BrowserBox field;        // the address field across the top
    BrowserBox historyLabel; // "History:" above the list
    BrowserBox history;      // the history list filling the middle
    BrowserBox openAgain;    // the "Open again" button at the bottom right
};

enum {
    BROWSER_MARGIN = 6,
    LABEL_GAP = 2, // between a label and the control it names
    OPEN_AGAIN_WIDTH = 90,
};

// lineHeight is the height of one line of the controls' font. Extents that would be negative in a
// client area too small for everything are 0; positions still follow from the client size.
BrowserLayout LayOutBrowser(int clientWidth, int clientHeight, int lineHeight);
