// The Products window: class registration, the creation sequence, layout, message routing and teardown.
#include "app/products_window.h"

#include <windowsx.h>

#include "app/colour_changes.h"
#include "app/keyboard.h"
#include "app/launch_args.h"
#include "app/menus.h"
#include "app/products_layout.h"
#include "app/status_line.h"
#include "chrome/close_button.h"
#include "chrome/popup_menu.h"
#include "common/capacities.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "common/program_folder.h"
#include "feed/feed_fetch.h"
#include "feed/product_list.h"
#include "links/link_menu.h"
#include "listview/cell_tooltips.h"
#include "listview/product_list_view.h"
#include "listview/sorting.h"

const char ProductsTitle[] = "   Products";

static HWND productList; // the list view, control IDC_PRODUCT_LIST, from creation to teardown

// Reads the spooled feed: titles the window after its header ("  No Data" for a reply without
// data), builds the product list and fills the list view from it. The spool is closed and deleted.
// A list cut at the product cap ends the fetch as an incomplete one.
static void ParseFeed(HWND window, HWND list, FILE* spool, FetchEnd* end)
{
    InitCommonControls();
    char title[FEED_TITLE_CAPACITY];
    FeedOutcome outcome = ReadSpool(spool, title, sizeof title);
    SetWindowTextA(window, title);
    if (outcome != FEED_NO_DATA)
        FillProductListView(list);
    if (outcome == FEED_TOO_MANY_PRODUCTS)
        *end = FETCH_TOO_MANY;
}

// The creation sequence: runs before the window is first shown. No step stops it.
static BOOL OnCreate(HWND window, LPCREATESTRUCT)
{
    SetLookFont((HFONT)GetStockObject(DEFAULT_GUI_FONT));
    RECT client;
    GetClientRect(window, &client);
    productList = CreateProductListView(window, &client, TheLook());
    DisarmSortMenus();
    if (StartNetworking())
        LoadMenuBitmaps();
    // The skin has given all it has; closing it lets another be dropped in while the program runs.
    CloseSkin();
    // Without networking the fetch finds no socket and leaves the window as it is.
    FILE* spool = nullptr;
    FetchEnd end = FetchFeed(TheLaunchArgs.ServerHost, TheLaunchArgs.AccountId, TheLaunchArgs.AccountKey, &spool);
    if (spool != nullptr)
        ParseFeed(window, productList, spool, &end);
    FocusFirstRow(productList);
    CreateCloseButton(window, TheLook());
    CreateStatusLine(window, TheLook(), ListView_GetItemCount(productList), end);
    CreateCellTooltips(window, TheLook());
    CenterWindow(window, nullptr, FALSE);
    return TRUE;
}

static void MoveChild(HWND window, int id, const LayoutBox& box)
{
    MoveWindow(GetDlgItem(window, id), box.x, box.y, box.width, box.height, TRUE);
}

// Layout on every resize; tiny sizes give negative extents, which are passed on unchanged.
static void OnSize(HWND window, UINT, int width, int height)
{
    ProductsLayout layout = LayOutProducts(width, height);
    MoveChild(window, IDC_PRODUCT_LIST, layout.list);
    LayoutProductColumns(window);
    MoveChild(window, IDC_CLOSE_BUTTON, layout.closeButton);
    MoveChild(window, IDC_STATUS_LINE, layout.statusLine);
    UpdateWindow(window);
}

static void SortAscending(HWND window)
{
    SortProductList(GetDlgItem(window, IDC_PRODUCT_LIST), true);
}

static void SortDescending(HWND window)
{
    SortProductList(GetDlgItem(window, IDC_PRODUCT_LIST), false);
}

// The address handed over is the one formatted when the menu was built.
static void OpenWebAddress(HWND)
{
    OpenInBrowser(WebUrl());
}

static void OpenServerPage(HWND)
{
    OpenInBrowser(ServerPageUrl());
}

// The popup menus' commands.
struct MenuCommand {
    int id;
    void (*run)(HWND window);
};
static const MenuCommand MenuCommands[] = {
    { IDM_OPEN_WEB_ADDRESS, OpenWebAddress },
    { IDM_OPEN_SERVER_PAGE, OpenServerPage },
    { IDM_SORT_ASCENDING, SortAscending },
    { IDM_SORT_DESCENDING, SortDescending },
};

static void OnMenuCommand(HWND window, int id)
{
    for (const MenuCommand& command : MenuCommands)
        if (command.id == id)
            command.run(window);
}

// Menu commands first; command 201 is the Close button, whatever its notification code.
static void OnCommand(HWND window, int id, HWND, UINT)
{
    OnMenuCommand(window, id);
    if (id == IDC_CLOSE_BUTTON)
        SendMessageA(window, WM_CLOSE, 0, 0);
}

static void OnMeasureItem(HWND window, MEASUREITEMSTRUCT* measure)
{
    MeasureMenuItem(window, measure);
}

// Each drawing ignores the items that are not its own.
static void OnDrawItem(HWND window, const DRAWITEMSTRUCT* draw)
{
    DrawMenuItem(window, draw);
    DrawCloseButton(draw, TheLook().backgroundBrush);
    DrawStatusLine(draw);
}

// A click on a row opens its link menu; a click below the last row, or on a row without its record,
// opens nothing.
static LRESULT RouteItemClick(HWND window, const NMITEMACTIVATE* click)
{
    if (click->iItem < 0)
        return 0;
    const ProductRecord* record = GetItemRecord(click->hdr.hwndFrom, click->iItem);
    if (record != nullptr)
        ShowLinkMenu(window, record, click->ptAction.x, click->ptAction.y);
    return 0;
}

// A header click opens the sort menu of an armed column.
static LRESULT RouteColumnClick(HWND window, NMLISTVIEW* click)
{
    if (OnColumnClick(click))
        ShowSortMenu(window);
    return 0;
}

// The list holds the keyboard focus whenever the window has it: at the first showing and each time
// the window is activated again.
static void OnSetFocus(HWND, HWND)
{
    if (productList != nullptr)
        SetFocus(productList);
}

// Pointer moves over the list feed the cell tips; everything else is the system's.
static BOOL OnSetCursor(HWND window, HWND cursorWindow, UINT hitTest, UINT mouseMessage)
{
    if (cursorWindow == productList && hitTest == HTCLIENT && mouseMessage == WM_MOUSEMOVE)
        return FollowPointerOverList(window, productList);
    return FORWARD_WM_SETCURSOR(window, cursorWindow, hitTest, mouseMessage, DefWindowProcA);
}

// Closing ends the run: the window leaves the screen at once and the message loop ends with exit
// code 0. The process exit then gives every row, record, GDI object and socket back to the system
// in one step; destroying the window first would delete the rows one by one, which Wine's list view
// does in time quadratic in the rows (5 s for 200,000).
static void OnClose(HWND window)
{
    ShowWindow(window, SW_HIDE);
    PostQuitMessage(0);
}

// Teardown, whenever the window is destroyed while the process goes on. The list rows point into
// the product records, so the rows go before the records.
static void OnDestroy(HWND)
{
    DeleteMenuBitmaps();
    SendMessageA(productList, LVM_DELETEALLITEMS, 0, 0);
    FreeProducts();
    WSACleanup(); // also after a failed start-up
    DeleteBackgroundBrush();
    DestroyProductImageList(productList);
    DestroyCellTooltips();
    productList = nullptr;
    PostQuitMessage(0);
}

LRESULT RouteNotification(HWND window, int controlId, NMHDR* header)
{
    if (controlId != IDC_PRODUCT_LIST)
        return 0;
    switch (header->code) {
    case NM_HOVER:
        return 1; // hovering must never select a row
    case LVN_GETDISPINFOA:
        return OnGetDispInfo((NMLVDISPINFOA*)header);
    case LVN_COLUMNCLICK:
        return RouteColumnClick(window, (NMLISTVIEW*)header);
    case LVN_HOTTRACK:
        return OnHotTrack(window, (NMLISTVIEW*)header);
    case NM_CLICK:
        return RouteItemClick(window, (NMITEMACTIVATE*)header);
    case NM_RETURN:
        return OnListReturn(window, header);
    case LVN_KEYDOWN:
        return OnListKeyDown(window, (NMLVKEYDOWN*)header);
    }
    return 0;
}

static LRESULT CALLBACK ProductsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_MEASUREITEM, OnMeasureItem);
        HANDLE_MSG(window, WM_DRAWITEM, OnDrawItem);
        HANDLE_MSG(window, WM_NOTIFY, RouteNotification);
        HANDLE_MSG(window, WM_SETFOCUS, OnSetFocus);
        HANDLE_MSG(window, WM_SETCURSOR, OnSetCursor);
        HANDLE_MSG(window, WM_SYSCOLORCHANGE, OnSysColorChange);
    case WM_SETTINGCHANGE: // the cracker drops wParam, which names the setting
        OnSettingChange(window, (UINT)wParam);
        break;
    case WM_CONTEXTMENU: // signed screen point: (-1, -1) when asked for from the keyboard
        if (OnContextMenu(window, (HWND)wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)))
            return 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL RegisterProductsClass(HINSTANCE instance)
{
    // Without a skin the window takes the system's window colours. Only the one beside the program
    // counts, never one in the current folder.
    char skin[MAX_PATH];
    OpenSkin(PathBesideProgram(skin, sizeof skin, SkinLibraryName) ? skin : SkinLibraryName);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ProductsWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = TheLook().backgroundBrush;
    windowClass.lpszClassName = PRODUCTS_CLASS_NAME;
    if (RegisterClassA(&windowClass) == 0) {
        DeleteBackgroundBrush();
        CloseSkin();
        return FALSE;
    }
    return TRUE;
}

HWND CreateProductsWindow(HINSTANCE instance, int showCommand)
{
    SetLookInstance(instance);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, PRODUCTS_CLASS_NAME, ProductsTitle,
                                  WS_OVERLAPPED | WS_THICKFRAME, CW_USEDEFAULT, CW_USEDEFAULT, 630, 210,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

void CenterWindow(HWND window, HWND reference, BOOL repaint)
{
    if (reference == nullptr)
        reference = GetDesktopWindow();
    RECT area, own;
    GetWindowRect(reference, &area);
    GetWindowRect(window, &own);
    int centreX = area.left + (area.right - area.left) / 2;
    int centreY = area.top + (area.bottom - area.top) / 2;
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    MoveWindow(window, centreX - width / 2, centreY - height / 2, width, height, repaint);
}
