// The product list view as the real control drives it: creation, columns, widths, fill, cell texts,
// painting and teardown. The test folder's skin has the shipped bitmaps and dark red list text.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/products_window.h"
#include "companions/category/category_lookup.h"
#include "companions/countries/money_lookup.h"
#include "feed/product_list.h"
#include "listview/list_rules.h"
#include "listview/product_list_view.h"
#include "viewer_window.h"
#include "win_test_support.h"

namespace {

struct ListViewTest : ::testing::Test, ViewerWindow {
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.21^^#")); }

    void TearDown() override { CloseViewerWindow(); }

    std::string CellText(int item, int subitem, int capacity = 260)
    {
        std::vector<char> buffer(capacity + 1, '\x7F');
        LVITEMA request = {};
        request.iSubItem = subitem;
        request.pszText = buffer.data();
        request.cchTextMax = capacity;
        SendMessageA(list, LVM_GETITEMTEXTA, item, (LPARAM)&request);
        EXPECT_EQ('\x7F', buffer[capacity]) << "the text ran past the buffer";
        return request.pszText;
    }

    int ItemCount() { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }
};

TEST_F(ListViewTest, IsAReportListInTheSkinsTextColourWithTheStatusImages)
{
    char name[32];
    GetClassNameA(list, name, sizeof name);
    EXPECT_STREQ("SysListView32", name);
    EXPECT_EQ(WS_CHILD | WS_VISIBLE | LVS_REPORT, (DWORD)GetWindowLongA(list, GWL_STYLE) & ~WS_CLIPSIBLINGS);
    EXPECT_TRUE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ((LRESULT)(LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT),
              SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ((LRESULT)GetStockObject(DEFAULT_GUI_FONT), SendMessageA(list, WM_GETFONT, 0, 0));
    EXPECT_EQ(RGB(192, 0, 0), (COLORREF)SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0));

    HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(ProductImages(), images);
    EXPECT_EQ(6, ImageList_GetImageCount(images));
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(66, width);
    EXPECT_EQ(16, height);
}

TEST_F(ListViewTest, HasSixColumnsFourTitledAndTwoWithHeaderImages)
{
    const char* titles[4] = { "Status", "Product", "Category", "Price" };
    for (int i = 0; i < 6; ++i) {
        char text[32] = "";
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_IMAGE;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, (LPARAM)&column)) << i;
        EXPECT_EQ(i, column.iSubItem);
        if (i < 4) {
            EXPECT_STREQ(titles[i], text);
            EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
            EXPECT_FALSE(column.fmt & LVCFMT_IMAGE);
        } else {
            EXPECT_STREQ("", text);
            EXPECT_TRUE(column.fmt & LVCFMT_IMAGE);
            EXPECT_EQ(i == 4 ? IMAGE_HEADER_WEB : IMAGE_HEADER_SERVER, column.iImage);
        }
    }
    LVCOLUMNA none = {};
    none.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 6, (LPARAM)&none));

    // The header shows the images from the list's own image list.
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(6, (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ((LRESULT)ProductImages(), SendMessageA(header, HDM_GETIMAGELIST, 0, 0));
    for (int i = 4; i < 6; ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageA(header, HDM_GETITEMA, i, (LPARAM)&item);
        EXPECT_TRUE(item.fmt & HDF_IMAGE) << i;
        EXPECT_EQ(i, item.iImage);
    }
}

TEST_F(ListViewTest, ResizingSetsTheColumnWidthsFromTheListsClientWidth)
{
    // With the default font's average width of 7, a 620-pixel client area leaves the list 606
    // pixels inside its sunken edge.
    HDC dc = GetDC(window);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(window, dc);
    ASSERT_EQ(7, metrics.tmAveCharWidth) << "the widths below assume the platform's default font";

    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(620, 171));
    RECT client;
    GetClientRect(list, &client);
    ASSERT_EQ(606, client.right);
    const int expected[6] = { 70, 120, 120, 56, 120, 120 };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)) << "column " << i;
}

// Records the arguments of LVM_SETCOLUMNWIDTH on their way into the control.
std::vector<LPARAM> widthArguments;
WNDPROC listProc;
LRESULT CALLBACK RecordWidths(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_SETCOLUMNWIDTH)
        widthArguments.push_back(lParam);
    return CallWindowProcA(listProc, list, message, wParam, lParam);
}

TEST_F(ListViewTest, ANarrowListPassesNegativeWidthsInTheLowWord)
{
    listProc = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)RecordWidths);
    widthArguments.clear();
    // 128 - 10 - 4 = 114 pixels inside the list: (114 - 56 - 70) / 4 = -3.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(128, 171));
    SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)listProc);
    ASSERT_EQ(6u, widthArguments.size());
    EXPECT_EQ(70, widthArguments[0]);
    EXPECT_EQ(0xFFFD, widthArguments[1]);
    EXPECT_EQ(0xFFFD, widthArguments[2]);
    EXPECT_EQ(56, widthArguments[3]);
    EXPECT_EQ(0xFFFD, widthArguments[4]);
    EXPECT_EQ(0xFFFD, widthArguments[5]);
}

std::vector<ProductRecord*> Records()
{
    std::vector<ProductRecord*> records;
    for (ProductRecord* r = ProductListHead(); r != nullptr; r = r->next)
        records.push_back(r);
    return records;
}

TEST_F(ListViewTest, FillAddsOneRowPerRecordInFeedOrderWithItsImage)
{
    const int statuses[] = { 2, 5, 6, 0, -6, 14, 7 };
    for (int status : statuses)
        AppendProduct(status, ("item " + std::to_string(status)).c_str(), 1110, "1.00", 840, "w", "s");
    EXPECT_EQ(1, FillProductListView(list));
    std::vector<ProductRecord*> records = Records();
    ASSERT_EQ((int)records.size(), ItemCount());
    for (int i = 0; i < ItemCount(); ++i) {
        EXPECT_EQ(records[i], GetItemRecord(list, i)) << i;
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        EXPECT_EQ(StatusImageIndex(statuses[i]), item.iImage) << "status " << statuses[i];
    }
    EXPECT_EQ(nullptr, GetItemRecord(list, ItemCount())) << "no record for a row that is not there";
    EXPECT_EQ(nullptr, GetItemRecord(list, -1));
}

// Fills the list view and returns what it was told about redrawing and rows, in order.
std::vector<std::string> FillWatchingRedraw(HWND list, int* result)
{
    std::vector<std::string> seen;
    MessageSpy spy(list, [&](UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_SETREDRAW)
            seen.push_back("redraw " + std::to_string(wParam));
        else if (message == LVM_INSERTITEMA || message == LVM_INSERTITEMW)
            seen.push_back("insert");
    });
    *result = FillProductListView(list);
    return seen;
}

// Every row goes in with redrawing off, and redrawing is turned on again after the last.
TEST_F(ListViewTest, FillInsertsEveryRowWithRedrawingOffAndTurnsItBackOn)
{
    for (int i = 0; i < 3; ++i)
        AppendProduct(1, ("item " + std::to_string(i)).c_str(), 1110, "1.00", 840, "", "");
    int result = -1;
    std::vector<std::string> seen = FillWatchingRedraw(list, &result);
    EXPECT_EQ(1, result);
    EXPECT_EQ((std::vector<std::string>{ "redraw 0", "insert", "insert", "insert", "redraw 1" }), seen);
    EXPECT_EQ(3, ItemCount());
}

TEST_F(ListViewTest, EmptyListFillsToNoRowsUnderSixHeadersAndStillTogglesRedrawing)
{
    int result = -1;
    std::vector<std::string> seen = FillWatchingRedraw(list, &result);
    EXPECT_EQ(1, result);
    EXPECT_EQ((std::vector<std::string>{ "redraw 0", "redraw 1" }), seen);
    EXPECT_EQ(0, ItemCount());
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    EXPECT_EQ(6, (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

TEST_F(ListViewTest, EveryCellTextComesFromTheRecordAndTheLibraries)
{
    AppendProduct(2, "Blue chair", 1110, "12.50", 840, "shop.example/chairs/blue", "item7");
    AppendProduct(5, "Mystery box", 999999, "9.99", 12345, "", "");
    FillProductListView(list);

    EXPECT_EQ("Blue chair", CellText(0, 0)) << "the row is named by its product";
    EXPECT_EQ("Blue chair", CellText(0, 1));
    EXPECT_EQ("Home & Garden > Furniture > Chairs", CellText(0, 2));
    EXPECT_EQ(func32_Get_FullName(func32_Get_IDToOrd(1110)), CellText(0, 2));
    EXPECT_EQ("12.50 [USD]", CellText(0, 3));
    EXPECT_EQ("shop.example/chairs/blue", CellText(0, 4));
    EXPECT_EQ("item7", CellText(0, 5));

    EXPECT_EQ("Unknown category", CellText(1, 2));
    EXPECT_EQ("9.99 [???]", CellText(1, 3));
    EXPECT_EQ("", CellText(1, 4));
    EXPECT_EQ("", CellText(1, 5));
}

TEST_F(ListViewTest, CategoryAndMoneyNamesAreLookedUpAfreshEachTime)
{
    AppendProduct(1, "Lamp", 1110, "30", 840, "", "");
    FillProductListView(list);
    ASSERT_EQ("Home & Garden > Furniture > Chairs", CellText(0, 2));
    ProductRecord* record = GetItemRecord(list, 0);
    record->categoryId = 1120;
    record->currencyId = 978;
    EXPECT_EQ("Home & Garden > Furniture > Tables", CellText(0, 2));
    EXPECT_EQ("30 [EUR]", CellText(0, 3));
}

TEST_F(ListViewTest, PriceIsCutToTheBufferTheControlSupplies)
{
    std::string longest(31, '9'); // the longest price a record holds
    AppendProduct(1, "Desk", 1120, "1,234,567.89", 978, "", "");
    AppendProduct(1, "Big", 1120, longest.c_str(), 840, "", "");
    FillProductListView(list);
    EXPECT_EQ("1,234,567.89 [EUR]", CellText(0, 3));
    EXPECT_EQ("1,234,5", CellText(0, 3, 8));
    EXPECT_EQ("1", CellText(0, 3, 2));
    EXPECT_EQ(longest + " [USD]", CellText(1, 3));
}

int StatusColumnWidth(HWND list)
{
    return (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0);
}

RECT ClientOf(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return client;
}

// The list view's client area as the control paints it, background first, into a blue canvas of
// its own: what the test reads there depends on no other window of the shared display.
struct PrintedList {
    RECT client;
    OffscreenCanvas canvas;
    explicit PrintedList(HWND list) : client(ClientOf(list)), canvas(client.right, client.bottom, RGB(0, 0, 255))
    {
        SendMessageA(list, WM_PRINTCLIENT, (WPARAM)canvas.Dc(), PRF_ERASEBKGND | PRF_CLIENT);
    }
};

// Each row is named by its product (the text of its first column, which screen readers read), yet
// its Status cell shows the badge alone on the list's white, whatever the name.
TEST_F(ListViewTest, PaintsTheStatusBadgeAloneInTheCellThatNamesTheRow)
{
    // NEW is drawn on green, SOLD OUT on charcoal.
    AppendProduct(2, "New thing", 1110, "1", 840, "", "");
    AppendProduct(6, "WWWWWWWWWWWWWWWWWWWW", 1110, "1", 840, "", "");
    FillProductListView(list);
    PrintedList printed(list);

    HMODULE skin = LoadLibraryA((TestDirectory() + "Vn_Skin.dll").c_str());
    ASSERT_NE(nullptr, skin);
    HDC bitmapDc = CreateCompatibleDC(nullptr);
    const char* badges[2] = { "Prod2", "Prod4" };
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(GetItemRecord(list, row)->name, CellText(row, 0));
        RECT icon = {}, cell = {};
        icon.left = LVIR_ICON;
        cell.left = LVIR_BOUNDS;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, row, (LPARAM)&icon));
        ASSERT_TRUE(SendMessageA(list, LVM_GETSUBITEMRECT, row, (LPARAM)&cell));
        HBITMAP badge = LoadBitmapA(skin, badges[row]);
        ASSERT_NE(nullptr, badge) << badges[row];
        HGDIOBJ old = SelectObject(bitmapDc, badge);
        int wrong = 0;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = 0; x < StatusColumnWidth(list); ++x) {
                POINT at = { x, y };
                COLORREF expected = PtInRect(&icon, at) ? GetPixel(bitmapDc, x - icon.left, y - icon.top)
                                                        : RGB(255, 255, 255);
                wrong += printed.canvas.At(x, y) != expected;
            }
        EXPECT_EQ(0, wrong) << badges[row] << " in row " << row;
        SelectObject(bitmapDc, old);
        DeleteObject(badge);
    }
    DeleteDC(bitmapDc);
    FreeLibrary(skin);
}

// The pixels of a cell that are not its white background, sorted into red ones and others.
struct CellInk {
    int red = 0, other = 0;
};

CellInk InkIn(const OffscreenCanvas& canvas, const RECT& cell)
{
    CellInk ink;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x) {
            COLORREF colour = canvas.At(x, y);
            if (colour == RGB(255, 255, 255) || colour == CLR_INVALID)
                continue;
            // Smoothed glyph edges blend the red into the white: more red, equal green and blue.
            if (GetRValue(colour) >= 192 && GetRValue(colour) > GetGValue(colour) &&
                GetGValue(colour) == GetBValue(colour))
                ++ink.red;
            else
                ++ink.other;
        }
    return ink;
}

TEST_F(ListViewTest, CellTextIsDrawnInTheSkinsTextColour)
{
    AppendProduct(1, "WWWW MMMM", 1110, "12.50", 840, "shop.example/w", "mmmm");
    FillProductListView(list);
    PrintedList printed(list);
    // Below the only row the list shows nothing but its background: the system's white.
    ASSERT_EQ(RGB(255, 255, 255), printed.canvas.At(printed.client.right - 2, printed.client.bottom - 2));

    for (int subitem = 1; subitem < PRODUCT_COLUMN_COUNT; ++subitem) {
        RECT cell = {};
        cell.top = subitem;
        cell.left = LVIR_LABEL;
        ASSERT_TRUE(SendMessageA(list, LVM_GETSUBITEMRECT, 0, (LPARAM)&cell)) << subitem;
        CellInk ink = InkIn(printed.canvas, cell);
        EXPECT_GT(ink.red, 10) << "column " << subitem << " shows no red text";
        EXPECT_EQ(0, ink.other) << "column " << subitem << " has text in another colour";
    }
}

TEST_F(ListViewTest, ImageListIsDetachedBeforeItIsDestroyedExactlyOnce)
{
    ImageListWatch images(ProductImages());
    ASSERT_TRUE(images.Holding());
    int detached = 0, destroysAtDetach = -1;
    {
        MessageSpy spy(list, [&](UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == LVM_SETIMAGELIST && wParam == LVSIL_SMALL && lParam == 0) {
                ++detached;
                destroysAtDetach = images.Destroys();
            }
        });
        DestroyProductImageList(list);
    }
    EXPECT_EQ(1, detached);
    EXPECT_EQ(0, destroysAtDetach) << "destroyed while the list view still held it";
    EXPECT_EQ(1, images.Destroys());
    EXPECT_EQ(nullptr, ProductImages());
    EXPECT_EQ(0, SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0))
        << "the list view would destroy the image list a second time";
    // Neither the list view going nor the window's own teardown may destroy it again.
    DestroyWindow(window);
    EXPECT_EQ(1, images.Destroys());
}

TEST_F(ListViewTest, TeardownRemovesRowsBeforeFreeingTheirRecords)
{
    AppendProduct(1, "a", 1110, "1", 840, "", "");
    AppendProduct(2, "b", 1110, "1", 840, "", "");
    FillProductListView(list);
    std::vector<ProductRecord*> records = Records();
    ASSERT_EQ(2u, records.size());

    // When the rows are deleted, each must still point at a record of the live list.
    int deletes = 0;
    std::vector<ProductRecord*> rowsAtDelete, listAtDelete;
    MessageSpy spy(list, [&](UINT message, WPARAM, LPARAM) {
        if (message != LVM_DELETEALLITEMS)
            return;
        ++deletes;
        listAtDelete = Records();
        for (int i = 0; i < ItemCount(); ++i)
            rowsAtDelete.push_back(GetItemRecord(list, i));
    });
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(1, deletes);
    EXPECT_EQ(records, listAtDelete) << "the records were freed before the rows were deleted";
    EXPECT_EQ(records, rowsAtDelete);
    EXPECT_EQ(nullptr, ProductListHead());
    EXPECT_EQ(nullptr, ProductImages());
}

} // namespace
