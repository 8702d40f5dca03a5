// The sort menu and the link menu: their item tables, built and tracked by the owner-drawn menu code.
#include "app/menus.h"

#include <commctrl.h>

#include "chrome/popup_menu.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "app/launch_args.h"
#include "feed/feed_fetch.h"
#include "links/link_menu.h"
#include "listview/product_list_view.h"
#include "listview/sorting.h"

POINT SortMenuPoint(HWND window, const RECT& headerItem)
{
    POINT at = { headerItem.left + 5, headerItem.bottom + 5 };
    ClientToScreen(window, &at);
    at.x += 1;
    at.y += 1;
    return at;
}

void ShowSortMenu(HWND window)
{
    const Look& look = TheLook();
    const PopupItem items[] = {
        { 0, " Ascending", look.menuBitmaps[MENU_BITMAP_ASCENDING], IDM_SORT_ASCENDING },
        { 1, " Descending", look.menuBitmaps[MENU_BITMAP_DESCENDING], IDM_SORT_DESCENDING },
    };
    HMENU menu = BuildPopupMenu(items, sizeof items / sizeof items[0]);
    if (menu == nullptr)
        return; // the column stays armed: the next click on it only disarms it
    HWND header = (HWND)SendMessageA(GetDlgItem(window, IDC_PRODUCT_LIST), LVM_GETHEADER, 0, 0);
    RECT item = {};
    SendMessageA(header, HDM_GETITEMRECT, (WPARAM)SortColumn(), (LPARAM)&item);
    POINT at = SortMenuPoint(window, item);
    TrackAndDestroyMenu(menu, window, at.x, at.y);
}

POINT LinkMenuPoint(HWND window, int x, int y)
{
    POINT at = { x + 8, y + 8 };
    ClientToScreen(window, &at);
    return at;
}

// The link menu of a record with its top-left corner at a screen point, owned by window.
static void TrackLinkMenu(HWND window, const ProductRecord* record, POINT at)
{
    LinkMenuItem links[LINK_MENU_MAX_ITEMS];
    int count = PrepareLinkMenu(record, ServerAddress, TheLaunchArgs.AccountId, TheLaunchArgs.AccountKey, links);
    if (count == 0)
        return;
    PopupItem items[LINK_MENU_MAX_ITEMS];
    for (int i = 0; i < count; ++i)
        items[i] = { links[i].slot, links[i].text, TheLook().menuBitmaps[links[i].icon], links[i].command };
    HMENU menu = BuildPopupMenu(items, count);
    if (menu == nullptr)
        return;
    TrackAndDestroyMenu(menu, window, at.x, at.y);
}

void ShowLinkMenu(HWND window, const ProductRecord* record, int x, int y)
{
    TrackLinkMenu(window, record, LinkMenuPoint(window, x, y));
}

// The keyboard's link menu place, in screen coordinates: the row's Product cell's left edge, just
// under the row.
static POINT RowLinkMenuPoint(HWND list, int row)
{
    RECT cell = {};
    cell.top = 1; // the Product column
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, (WPARAM)row, (LPARAM)&cell);
    POINT at = { cell.left, cell.bottom };
    ClientToScreen(list, &at);
    return at;
}

void ShowRowLinkMenu(HWND window, HWND list, int row)
{
    const ProductRecord* record = row >= 0 ? GetItemRecord(list, row) : nullptr;
    if (record == nullptr)
        return;
    // A focused row scrolled out of sight comes back first, so the menu opens next to it.
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
    TrackLinkMenu(window, record, RowLinkMenuPoint(list, row));
}
