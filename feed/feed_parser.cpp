// The Windows side of the parser: the spool file in text mode, the title, the fill.
#include "feed/feed_parser.h"

#include <commctrl.h>
#include <stdio.h>

#include "feed/feed_fetch.h"
#include "listview/product_list_view.h"

bool ReadSpoolFile(char* title, size_t titleCapacity, FeedOutcome* outcome)
{
    // Text mode turns the stored CR LF back into LF and stops at byte 0x1A.
    FILE* spool = fopen(SpoolFileName, "rt");
    if (spool == nullptr) {
        remove(SpoolFileName);
        return false;
    }
    setvbuf(spool, nullptr, _IOFBF, SPOOL_BUFFER);
    *outcome = ReadFeed(spool, title, titleCapacity);
    fclose(spool);
    remove(SpoolFileName);
    return true;
}

void ParseFeed(HWND window, HWND list)
{
    InitCommonControls();
    char title[FEED_TITLE_CAPACITY];
    FeedOutcome outcome;
    if (!ReadSpoolFile(title, sizeof title, &outcome))
        return;
    SetWindowTextA(window, title);
    if (outcome == FEED_PRODUCT_LIST)
        FillProductListView(list);
}
