// Keys and context menus of the Products window, each doing what a click does elsewhere.
#include "app/keyboard.h"

#include "app/menus.h"
#include "common/control_ids.h"
#include "listview/product_list_view.h"
#include "listview/row_copy.h"
#include "listview/sorting.h"

// As the Close button does it.
static void CloseProducts(HWND window, int)
{
    SendMessageA(window, WM_CLOSE, 0, 0);
}

// A keyboard request always opens the menu; the armed toggle is for clicks on the header.
static void OpenSortMenu(HWND window, int column)
{
    ArmSortMenu(column);
    ShowSortMenu(window);
}

static void CopyRows(HWND window, int)
{
    CopySelectedRows(GetDlgItem(window, IDC_PRODUCT_LIST), window);
}

static void SelectAll(HWND window, int)
{
    SelectAllRows(GetDlgItem(window, IDC_PRODUCT_LIST));
}

// One key of the window: the virtual key, whether Ctrl is held with it, and what it does.
struct KeyCommand {
    WORD key;
    bool control;
    void (*run)(HWND window, int argument);
    int argument;
};
static const KeyCommand KeyCommands[] = {
    { VK_ESCAPE, false, CloseProducts, 0 },
    { '1', true, OpenSortMenu, 0 },
    { '2', true, OpenSortMenu, 1 },
    { '3', true, OpenSortMenu, 2 },
    { '4', true, OpenSortMenu, 3 },
    { '5', true, OpenSortMenu, 4 },
    { '6', true, OpenSortMenu, 5 },
    { 'C', true, CopyRows, 0 },
    { 'A', true, SelectAll, 0 },
};

LRESULT OnListKeyDown(HWND window, const NMLVKEYDOWN* key)
{
    bool control = GetKeyState(VK_CONTROL) < 0;
    for (const KeyCommand& command : KeyCommands)
        if (command.key == key->wVKey && command.control == control) {
            command.run(window, command.argument);
            break;
        }
    return 0;
}

LRESULT OnListReturn(HWND window, const NMHDR* header)
{
    // The key's carriage return is queued behind it; a menu loop would take it for a choice of no
    // item and close the menu at once.
    MSG character;
    if (PeekMessageA(&character, header->hwndFrom, WM_CHAR, WM_CHAR, PM_NOREMOVE) && character.wParam == '\r')
        PeekMessageA(&character, header->hwndFrom, WM_CHAR, WM_CHAR, PM_REMOVE);
    ShowRowLinkMenu(window, header->hwndFrom, FocusedRow(header->hwndFrom));
    return 0;
}

bool OnContextMenu(HWND window, HWND target, int x, int y)
{
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    if (target != list)
        return false;
    if (x == -1 && y == -1) {
        ShowRowLinkMenu(window, list, FocusedRow(list));
        return true;
    }
    LVHITTESTINFO hit = {};
    hit.pt = { x, y };
    ScreenToClient(list, &hit.pt);
    int row = (int)SendMessageA(list, LVM_HITTEST, 0, (LPARAM)&hit);
    const ProductRecord* record = row >= 0 ? GetItemRecord(list, row) : nullptr;
    if (record != nullptr)
        ShowLinkMenu(window, record, hit.pt.x, hit.pt.y);
    return true;
}
