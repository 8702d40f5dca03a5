// The viewer's own control and command ids, shared by its subsystems: the window creates the
// controls, the list view, chrome and links answer their notifications and commands.
#pragma once

enum {
    IDC_PRODUCT_LIST = 105,  // the product list view
    IDC_CLOSE_BUTTON = 201,  // the Close button
    IDM_OPEN_WEB_ADDRESS = 101,
    IDM_OPEN_SERVER_PAGE = 102,
    IDM_SORT_ASCENDING = 103,
    IDM_SORT_DESCENDING = 104,
};
