// The Windows side of the parser: the spool file in text mode, the title, the fill.
#include "feed/feed_parser.h"

#include <commctrl.h>
#include <stdio.h>

#include "feed/feed_fetch.h"
#include "feed/feed_format.h"
#include "listview/product_list_view.h"

void ParseFeed(HWND window, HWND list)
{
    InitCommonControls();
    // Text mode turns the stored CR LF back into LF and stops at byte 0x1A.
    FILE* spool = fopen(SpoolFileName, "rt");
    if (spool == nullptr) {
        remove(SpoolFileName);
        return;
    }
    char title[FEED_TITLE_CAPACITY];
    FeedOutcome outcome = ReadFeed(spool, title, sizeof title);
    fclose(spool);
    remove(SpoolFileName);
    SetWindowTextA(window, title);
    if (outcome == FEED_PRODUCT_LIST)
        FillProductListView(list);
}
