// Sorting with prepared keys gives exactly the order of sorting with the plain comparison, row for row,
// under Wine's own lstrcmpiA, LCMapStringA and list view: on the bundled catalog, on tens of thousands
// of generated names mixing case, accents, digits, blanks, hyphens, apostrophes and punctuation, and
// on every two-character text; and when the keys cannot be had the sort still gives that order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "listview/sort_keys.h"
#include "listview/sorting.h"
#include "win_test_support.h"

namespace {

std::map<const ProductRecord*, int> feedOrder;

int CALLBACK ByFeedOrder(LPARAM first, LPARAM second, LPARAM)
{
    return feedOrder[(const ProductRecord*)first] - feedOrder[(const ProductRecord*)second];
}

// A bare list view holding the product list's records: the order under test is the list view's own
// sort, and no other window of the viewer is needed for it.
struct SortOrder : ::testing::Test {
    HWND parent = nullptr, list = nullptr;

    void SetUp() override
    {
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, parent, nullptr, nullptr,
                               nullptr);
        ASSERT_NE(nullptr, list);
    }

    void TearDown() override
    {
        SetKeyAllocator(nullptr);
        DestroyWindow(parent);
        FreeProducts();
    }

    void Fill()
    {
        feedOrder.clear();
        int n = 0;
        for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
            feedOrder[record] = n++;
        ASSERT_EQ(1, FillProductListView(list));
    }

    std::vector<const ProductRecord*> Rows()
    {
        std::vector<const ProductRecord*> rows;
        int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; ++i)
            rows.push_back(GetItemRecord(list, i));
        return rows;
    }

    // The rows after the column's passes with the plain comparison, from the feed order.
    std::vector<const ProductRecord*> PlainOrder(int column, bool ascending)
    {
        SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)ByFeedOrder);
        SetSortAscending(ascending);
        for (int key : ProductColumnAt(column).sortKeys)
            if (key != SORT_PASS_NONE)
                SendMessageA(list, LVM_SORTITEMS, (WPARAM)key, (LPARAM)CompareProducts);
        return Rows();
    }

    // The rows after the column's sort command, from the feed order.
    std::vector<const ProductRecord*> SortedOrder(int column, bool ascending)
    {
        SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)ByFeedOrder);
        ArmSortMenu(column);
        SortProductList(list, ascending);
        return Rows();
    }

    // Both orders for every listed column and direction; the rows that differ are counted.
    void ExpectSameOrders(const char* feed, std::initializer_list<int> columns)
    {
        ASSERT_NO_FATAL_FAILURE(Fill());
        size_t compared = 0;
        for (int column : columns)
            for (bool ascending : { true, false }) {
                std::vector<const ProductRecord*> plain = PlainOrder(column, ascending);
                std::vector<const ProductRecord*> sorted = SortedOrder(column, ascending);
                ASSERT_EQ(plain.size(), sorted.size());
                size_t differences = 0;
                for (size_t i = 0; i < plain.size(); ++i)
                    differences += plain[i] != sorted[i];
                compared += plain.size();
                EXPECT_EQ(0u, differences) << feed << ", column " << column << (ascending ? " ascending" : " descending");
            }
        printf("%s: %zu rows compared\n", feed, compared);
    }
};

TEST_F(SortOrder, IsTheSameOnTheBundledCatalog)
{
    for (const char* account : { "demo", "kestrel-cycles" })
        for (const CatalogProduct& product :
             ReadCatalogProducts(std::string(PRODUCTS_SAMPLE_CATALOG) + "/products/" + account + ".txt"))
            AppendProduct(1, product.name.c_str(), 1110, product.price.c_str(), 840, product.webAddress.c_str(),
                          product.serverPath.c_str());
    ASSERT_NE(nullptr, ProductListHead()) << "no catalog at " << PRODUCTS_SAMPLE_CATALOG;
    ExpectSameOrders("bundled catalog", { 1, 3, 4, 5 });
}

// Texts drawn from letters of both cases, the accented letters of code page 1252, digits and the
// characters a name or price is written with, in lengths of 1 to 24.
std::string GeneratedText(unsigned* seed, bool priceLike)
{
    static const char alphabet[] = "aAbBcCeEiInNoOsStTzZ\xE0\xC0\xE9\xC9\xE8\xEA\xEB\xEF\xF1\xD1\xF6\xD6\xFC\xDC\xDF"
                                   "\xE6\xC6\xF8\xD8\xE5\xC5\xE7\xC7\x9A\x8A\x9C\x8C\xFF"
                                   "0123456789   --''..,,;:!?&/()+#\x96\x97\x92";
    static const char prices[] = "0123456789.,.,  -$abc\xA3\x80";
    const char* set = priceLike ? prices : alphabet;
    size_t setSize = priceLike ? sizeof prices - 1 : sizeof alphabet - 1;
    *seed = *seed * 1103515245u + 12345u;
    size_t length = 1 + (*seed >> 16) % (priceLike ? 10 : 24);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        *seed = *seed * 1103515245u + 12345u;
        text += set[(*seed >> 16) % setSize];
    }
    return text;
}

TEST_F(SortOrder, IsTheSameOnTensOfThousandsOfGeneratedTexts)
{
    unsigned seed = 2026;
    for (int i = 0; i < 30000; ++i) {
        std::string name = GeneratedText(&seed, false), price = GeneratedText(&seed, true);
        std::string web = GeneratedText(&seed, false), path = GeneratedText(&seed, false);
        AppendProduct(1, name.c_str(), 1110, price.c_str(), 840 + i % 3, web.c_str(), path.c_str());
    }
    ExpectSameOrders("generated texts", { 1, 3, 4, 5 });
}

TEST_F(SortOrder, IsTheSameOnEveryTwoCharacterText)
{
    for (int first = 1; first < 256; ++first)
        for (int second = 1; second < 256; ++second) {
            const char text[3] = { (char)first, (char)second, 0 };
            AppendProduct(1, text, 1110, text, 840, text, text);
        }
    ExpectSameOrders("two-character texts", { 1, 3 });
}

// Without memory for the keys, whichever of their allocations fails, the sort compares as before.
int allocationsLeft;
void* FailingAllocation(size_t size)
{
    return allocationsLeft-- > 0 ? malloc(size) : nullptr;
}

TEST_F(SortOrder, IsTheSameWhenTheKeysCannotBeHad)
{
    unsigned seed = 7;
    for (int i = 0; i < 2000; ++i) {
        std::string name = GeneratedText(&seed, false), price = GeneratedText(&seed, true);
        AppendProduct(1, name.c_str(), 1110, price.c_str(), 840, name.c_str(), price.c_str());
    }
    ASSERT_NO_FATAL_FAILURE(Fill());
    // The text keys' starts, then their block, then a price pass's values.
    for (int allowed : { 0, 1 }) {
        for (int column : { 1, 3 }) {
            std::vector<const ProductRecord*> plain = PlainOrder(column, true);
            allocationsLeft = allowed;
            SetKeyAllocator(FailingAllocation);
            std::vector<const ProductRecord*> sorted = SortedOrder(column, true);
            SetKeyAllocator(nullptr);
            EXPECT_TRUE(plain == sorted) << "column " << column << ", allocations allowed " << allowed;
        }
    }
}

} // namespace
