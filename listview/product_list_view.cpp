// The product list view. The control stores no texts: every cell is produced from the row's record,
// or through the lookup libraries, when the control asks for it.
#include "listview/product_list_view.h"

#include "common/control_ids.h"
#include "common/text.h"
#include "listview/type_to_find.h"
#include "companions/category/category_lookup.h"
#include "companions/countries/money_lookup.h"

static HIMAGELIST productImages; // status and header images; destroyed once, at teardown

// Six bitmaps, in image-index order, from the skin.
static const char* const SkinImageNames[] = { "Prod1", "Prod2", "Prod3", "Prod4", "Prod5", "Prod6" };

static const char* NameText(const ProductRecord* record, char*, size_t)
{
    return record->name;
}

static const char* CategoryText(const ProductRecord* record, char*, size_t)
{
    return func32_Get_FullName(func32_Get_IDToOrd(record->categoryId));
}

// "price [money]", the only composed texts, so the only ones that need the caller's buffer. Without
// a buffer there is no text (null).
static const char* FormatPrice(const ProductRecord* record, const char* money, char* buffer, size_t capacity)
{
    if (buffer == nullptr)
        return nullptr;
    FormatText(buffer, capacity, "%s [%s]", record->price, money);
    return buffer;
}

static const char* PriceText(const ProductRecord* record, char* buffer, size_t capacity)
{
    return FormatPrice(record, func32_Get_MoneyName(record->currencyId), buffer, capacity);
}

// The Price tip names the money in full, where the cell gives its short name.
static const char* PriceTipText(const ProductRecord* record, char* buffer, size_t capacity)
{
    return FormatPrice(record, func32_Get_MoneyNameL(record->currencyId), buffer, capacity);
}

static const char* WebAddressText(const ProductRecord* record, char*, size_t)
{
    return record->webAddress;
}

static const char* ServerPathText(const ProductRecord* record, char*, size_t)
{
    return record->serverPath;
}

static const char* StatusText(const ProductRecord* record, char*, size_t)
{
    return StatusName(record->status);
}

// The Status cell's text is the product's name: the first column's text is what names a row, for
// screen readers too. Its badge fills the column's 70 pixels, so the name is never seen there.
// The Price column sorts in three passes: as text, by value, by currency.
static const ProductColumn Columns[PRODUCT_COLUMN_COUNT] = {
    { "Status", "Status", -1, WIDTH_STATUS, NameText, StatusText, TIP_NEVER, nullptr, { 0, SORT_PASS_NONE } },
    { "Product", "Product", -1, WIDTH_SHARED, NameText, NameText, TIP_WHEN_CLIPPED, NameText, { 1, SORT_PASS_NONE } },
    { "Category", "Category", -1, WIDTH_SHARED, CategoryText, CategoryText, TIP_WHEN_CLIPPED, CategoryText,
      { 2, SORT_PASS_NONE } },
    { "Price", "Price", -1, WIDTH_PRICE, PriceText, PriceText, TIP_ALWAYS, PriceTipText, { 3, 8, 9 } },
    { nullptr, "Web address", IMAGE_HEADER_WEB, WIDTH_SHARED, WebAddressText, WebAddressText, TIP_WHEN_CLIPPED,
      WebAddressText, { 4, SORT_PASS_NONE } },
    { nullptr, "Server page", IMAGE_HEADER_SERVER, WIDTH_SHARED, ServerPathText, ServerPathText, TIP_WHEN_CLIPPED,
      ServerPathText, { 5, SORT_PASS_NONE } },
};

const ProductColumn& ProductColumnAt(int column)
{
    return Columns[column];
}

HIMAGELIST ProductImages()
{
    return productImages;
}

// A missing bitmap adds nothing, so the later ones move down an index, as the skin's order decides.
static void LoadSkinImages(HIMAGELIST images, HMODULE skin)
{
    if (skin == nullptr)
        return;
    for (const char* name : SkinImageNames) {
        HBITMAP bitmap = LoadBitmapA(skin, name);
        if (bitmap == nullptr)
            continue;
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
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
    for (int i = 0; i < PRODUCT_COLUMN_COUNT; ++i) {
        LVCOLUMNA column = {};
        column.iSubItem = i;
        column.cx = InitialColumnWidth(Columns[i].width, averageCharWidth);
        if (Columns[i].header != nullptr) {
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            column.fmt = LVCFMT_LEFT;
            column.pszText = (char*)Columns[i].header;
        } else {
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_IMAGE;
            column.fmt = LVCFMT_IMAGE;
            column.iImage = Columns[i].headerImage;
        }
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
}

HWND CreateProductListView(HWND window, const RECT* client, const Look& look)
{
    productImages = ImageList_Create(66, 16, ILC_COLORDDB, 6, 0);
    if (productImages != nullptr)
        LoadSkinImages(productImages, look.skin);

    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 5, 5,
                                client->right - client->left - 10, client->bottom - client->top - 30, window,
                                (HMENU)(INT_PTR)IDC_PRODUCT_LIST, look.instance, nullptr);
    if (list == nullptr)
        return nullptr;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)productImages);
    SendMessageA(list, WM_SETFONT, (WPARAM)look.guiFont, 1);
    SetListColours(list, look);
    InsertColumns(list, AverageCharWidth(window));
    StartTypeToFind(list);
    return list;
}

void SetListColours(HWND list, const Look& look)
{
    SendMessageA(list, LVM_SETTEXTCOLOR, 0, (LPARAM)look.scheme.listText);
    // The control takes the window colour once, when it is created; a change must be given to it.
    SendMessageA(list, LVM_SETBKCOLOR, 0, (LPARAM)GetSysColor(COLOR_WINDOW));
}

void LayoutProductColumns(HWND window)
{
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    if (list == nullptr)
        return;
    RECT client;
    GetClientRect(list, &client);
    int averageCharWidth = AverageCharWidth(window);
    // Only the low 16 bits carry the width; a negative width goes through as its 16-bit pattern.
    for (int i = 0; i < PRODUCT_COLUMN_COUNT; ++i) {
        int width = ColumnWidth(Columns[i].width, client.right - client.left, averageCharWidth);
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM((WORD)width, 0));
    }
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

void FocusFirstRow(HWND list)
{
    LVITEMA focus = {};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&focus);
}

int FocusedRow(HWND list)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
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
    if (record == nullptr || item.iSubItem < 0 || item.iSubItem >= PRODUCT_COLUMN_COUNT)
        return 0;
    CellTextRule text = Columns[item.iSubItem].cellText;
    if (text == nullptr)
        return 0;
    // Composed texts go into the control's own buffer, cut to its size.
    bool hasBuffer = item.pszText != nullptr && item.pszText != LPSTR_TEXTCALLBACKA && item.cchTextMax > 0;
    const char* shown = text(record, hasBuffer ? item.pszText : nullptr, hasBuffer ? (size_t)item.cchTextMax : 0);
    if (shown != nullptr)
        item.pszText = (char*)shown;
    return 0;
}

void DestroyProductImageList(HWND list)
{
    if (list != nullptr)
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    if (productImages != nullptr)
        ImageList_Destroy(productImages);
    productImages = nullptr;
}
