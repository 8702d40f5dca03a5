// The product list view. The control stores no texts: every cell is produced from the row's record,
// or through the lookup libraries, when the control asks for it.
#include "listview/product_list_view.h"

#include "app/products_window.h"
#include "app/skin.h"
#include "common/text.h"
#include "companions/category/category_lookup.h"
#include "companions/countries/money_lookup.h"
#include "listview/list_rules.h"

HIMAGELIST ProductImageList;

// Six bitmaps, in image-index order, from the skin.
static const char* const SkinImageNames[] = { "Prod1", "Prod2", "Prod3", "Prod4", "Prod5", "Prod6" };

struct ColumnSpec {
    const char* header; // null for the image-only columns
    int image;          // header image, or -1
    int charWidths;     // initial width in average character widths
};

static const ColumnSpec Columns[6] = {
    { "Status", -1, 0 },   // fixed 70 pixels
    { "Product", -1, 4 },
    { "Category", -1, 4 },
    { "Price", -1, 4 },
    { nullptr, IMAGE_HEADER_WEB, 4 },
    { nullptr, IMAGE_HEADER_SERVER, 4 },
};

// A missing bitmap adds nothing, so the later ones move down an index, as the skin's order decides.
static void LoadSkinImages(HIMAGELIST images)
{
    HMODULE skin = LoadLibraryA(SkinLibraryName);
    if (skin == nullptr)
        return;
    for (const char* name : SkinImageNames) {
        HBITMAP bitmap = LoadBitmapA(skin, name);
        if (bitmap == nullptr)
            continue;
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    FreeLibrary(skin);
}

// The average character width of the window's display context, with its default font.
static int AverageCharWidth(HWND window)
{
    HDC dc = GetDC(window);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(window, dc);
    return metrics.tmAveCharWidth;
}

static void InsertColumns(HWND list, int averageCharWidth)
{
    for (int i = 0; i < 6; ++i) {
        LVCOLUMNA column = {};
        column.iSubItem = i;
        column.cx = i == 0 ? 70 : Columns[i].charWidths * averageCharWidth;
        if (Columns[i].header != nullptr) {
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            column.fmt = LVCFMT_LEFT;
            column.pszText = (char*)Columns[i].header;
        } else {
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_IMAGE;
            column.fmt = LVCFMT_IMAGE;
            column.iImage = Columns[i].image;
        }
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
}

HWND CreateProductListView(HWND window, const RECT* client)
{
    ProductImageList = ImageList_Create(66, 16, ILC_COLORDDB, 6, 0);
    if (ProductImageList != nullptr)
        LoadSkinImages(ProductImageList);

    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 5, 5,
                                client->right - client->left - 10, client->bottom - client->top - 30, window,
                                (HMENU)(INT_PTR)IDC_PRODUCT_LIST, ProductsInstance(), nullptr);
    if (list == nullptr)
        return nullptr;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)ProductImageList);
    SendMessageA(list, WM_SETFONT, (WPARAM)DefaultGuiFont(), 1);
    SendMessageA(list, LVM_SETTEXTCOLOR, 0, (LPARAM)ListTextColour());
    InsertColumns(list, AverageCharWidth(window));
    return list;
}

void LayoutProductColumns(HWND window)
{
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    if (list == nullptr)
        return;
    RECT client;
    GetClientRect(list, &client);
    ColumnWidths widths = ProductColumnWidths(client.right - client.left, AverageCharWidth(window));
    // Only the low 16 bits carry the width; a negative width goes through as its 16-bit pattern.
    for (int i = 0; i < 6; ++i)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM((WORD)widths.width[i], 0));
}

int FillProductListView(HWND list)
{
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int result = 1;
    int n = 0;
    for (ProductRecord* record = ProductListHead(); record != nullptr; record = record->next, ++n) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = n;
        item.pszText = LPSTR_TEXTCALLBACKA;
        item.iImage = StatusImageIndex(record->status);
        item.lParam = (LPARAM)record;
        if (SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item) == -1) {
            result = 0;
            break;
        }
        for (int subitem = 1; subitem <= 4; ++subitem) {
            LVITEMA text = {};
            text.iSubItem = subitem;
            text.pszText = LPSTR_TEXTCALLBACKA;
            SendMessageA(list, LVM_SETITEMTEXTA, n, (LPARAM)&text);
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    return result;
}

ProductRecord* GetItemRecord(HWND list, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return nullptr;
    return (ProductRecord*)item.lParam;
}

LRESULT OnGetDispInfo(NMLVDISPINFOA* request)
{
    LVITEMA& item = request->item;
    const ProductRecord* record = (const ProductRecord*)item.lParam;
    if (record == nullptr)
        return 0;
    switch (item.iSubItem) {
    case 1:
        item.pszText = (char*)record->name;
        break;
    case 2:
        item.pszText = (char*)func32_Get_FullName(func32_Get_IDToOrd(record->categoryId));
        break;
    case 3:
        // The only composed text: formatted into the control's own buffer and cut to its size.
        if (item.pszText != nullptr && item.pszText != LPSTR_TEXTCALLBACKA && item.cchTextMax > 0)
            FormatText(item.pszText, (size_t)item.cchTextMax, "%s [%s]", record->price,
                       func32_Get_MoneyName(record->currencyId));
        break;
    case 4:
        item.pszText = (char*)record->webAddress;
        break;
    case 5:
        item.pszText = (char*)record->serverPath;
        break;
    }
    return 0;
}

void DestroyProductImageList(HWND list)
{
    if (list != nullptr)
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    if (ProductImageList != nullptr)
        ImageList_Destroy(ProductImageList);
    ProductImageList = nullptr;
}
