// The Products window: class registration, the creation sequence, layout, message routing and teardown.
#include "app/products_window.h"

#include <windowsx.h>

#include "app/launch_args.h"
#include "app/products_layout.h"
#include "app/skin.h"
#include "feed/feed_fetch.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"

const char ProductsClassName[] = "MainProd32WClass";
const char ProductsTitle[] = "   Products";

// Window state for the whole run: set at registration and creation, released at teardown.
static HINSTANCE moduleInstance;
static COLORREF backgroundColour;
static COLORREF listTextColour;
static HBRUSH backgroundBrush; // class background; deleted at teardown
static HFONT defaultGuiFont;   // stock object, never deleted
static HWND productList;       // the list view, control IDC_PRODUCT_LIST

HINSTANCE ProductsInstance() { return moduleInstance; }
COLORREF BackgroundColour() { return backgroundColour; }
COLORREF ListTextColour() { return listTextColour; }
HBRUSH BackgroundBrush() { return backgroundBrush; }
HFONT DefaultGuiFont() { return defaultGuiFont; }

// The creation sequence: runs before the window is first shown.
static BOOL OnCreate(HWND window, LPCREATESTRUCT)
{
    defaultGuiFont = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    RECT client;
    GetClientRect(window, &client);
    productList = CreateProductListView(window, &client);
    StartNetworking(); // goes on without networking: the fetch then finds no socket
    FetchFeed(window, productList, TheLaunchArgs.ServerHost);
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
    UpdateWindow(window);
}

// Command 201 is the Close button, whatever its notification code.
static void OnCommand(HWND window, int id, HWND, UINT)
{
    if (id == IDC_CLOSE_BUTTON)
        SendMessageA(window, WM_CLOSE, 0, 0);
}

// Teardown. The list rows point into the product records, so the rows go before the records.
static void OnDestroy(HWND)
{
    DeleteMenuBitmaps();
    SendMessageA(productList, LVM_DELETEALLITEMS, 0, 0);
    FreeProducts();
    WSACleanup(); // also after a failed start-up
    if (backgroundBrush != nullptr) {
        DeleteObject(backgroundBrush);
        backgroundBrush = nullptr;
    }
    DestroyProductImageList(productList);
    productList = nullptr;
    PostQuitMessage(0);
}

LRESULT RouteNotification(HWND, int controlId, NMHDR* header)
{
    if (controlId != IDC_PRODUCT_LIST)
        return 0;
    switch (header->code) {
    case NM_HOVER:
        return 1; // hovering must never select a row
    case LVN_GETDISPINFOA:
        return OnGetDispInfo((NMLVDISPINFOA*)header);
    }
    return 0;
}

static LRESULT CALLBACK ProductsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_NOTIFY, RouteNotification);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL RegisterProductsClass(HINSTANCE instance)
{
    // Without a skin the window takes the system's window colours.
    SkinColours colours = { GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT) };
    ReadSkinColours(SkinLibraryName, &colours);
    backgroundColour = colours.background;
    listTextColour = colours.listText;
    backgroundBrush = CreateSolidBrush(backgroundColour);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ProductsWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = backgroundBrush;
    windowClass.lpszClassName = ProductsClassName;
    if (RegisterClassA(&windowClass) == 0) {
        DeleteObject(backgroundBrush);
        backgroundBrush = nullptr;
        return FALSE;
    }
    return TRUE;
}

HWND CreateProductsWindow(HINSTANCE instance, int showCommand)
{
    moduleInstance = instance;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, ProductsClassName, ProductsTitle,
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
