// Sorting the product list by column, in a real Products window: the arming toggle of the sort
// menus, the record comparison for every key, and the real list view sorted by every column.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/products_window.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "companions/category/category_lookup.h"
#include "feed/product_list.h"
#include "listview/list_rules.h"
#include "listview/price.h"
#include "listview/product_list_view.h"
#include "listview/sort_keys.h"
#include "listview/sorting.h"
#include "viewer_window.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

int Sign(int value)
{
    return value > 0 ? 1 : value < 0 ? -1 : 0;
}

struct SortingTest : ::testing::Test, ViewerWindow {
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenViewerWindow("127.0.0.21^^#"));
        ASSERT_EQ(0, ItemCount());
    }

    void TearDown() override
    {
        SetSortKeyMaker(nullptr);
        CloseViewerWindow();
    }

    // A fresh window, with the launch arguments taken and the class registered before.
    void OpenWindow()
    {
        ASSERT_NO_FATAL_FAILURE(CreateViewerWindow());
        ASSERT_EQ(0, ItemCount());
    }

    // A header click as the list view reports it to its parent.
    bool Click(int column)
    {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = list;
        click.hdr.idFrom = IDC_PRODUCT_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        return OnColumnClick(&click);
    }

    // The armed columns, as a string of column digits.
    std::string Armed()
    {
        std::string armed;
        for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column)
            if (IsSortMenuArmed(column))
                armed += (char)('0' + column);
        return armed;
    }

    void Fill()
    {
        ASSERT_EQ(1, FillProductListView(list));
        ASSERT_NE(0, ItemCount());
    }

    int ItemCount() { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

    // The rows' record names, top to bottom.
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < ItemCount(); ++i) {
            const ProductRecord* record = GetItemRecord(list, i);
            names.push_back(record != nullptr ? record->name : "<no record>");
        }
        return names;
    }

    // The user's way to a sort: a click that opens the column's menu, then one of its commands.
    void SortBy(int column, bool ascending)
    {
        ASSERT_TRUE(Click(column)) << "column " << column << " did not open its menu";
        SortProductList(list, ascending);
        EXPECT_EQ("", Armed());
    }
};

std::vector<std::string> Reversed(std::vector<std::string> names)
{
    std::reverse(names.begin(), names.end());
    return names;
}

// ---- The arming toggle ----

TEST_F(SortingTest, ANewWindowHasNoColumnArmed)
{
    ASSERT_TRUE(Click(2));
    ASSERT_EQ("2", Armed());
    DestroyViewerWindow();
    UnregisterClassA(PRODUCTS_CLASS_NAME, Instance());
    ASSERT_TRUE(RegisterProductsClass(Instance()));
    OpenWindow();
    EXPECT_EQ("", Armed());
    EXPECT_TRUE(Click(2));
}

TEST_F(SortingTest, DisarmingAllLeavesEveryColumnReadyToOpen)
{
    ASSERT_TRUE(Click(4));
    DisarmSortMenus();
    EXPECT_EQ("", Armed());
    EXPECT_TRUE(Click(4));
    EXPECT_EQ("4", Armed());
}

TEST_F(SortingTest, AClickOnADisarmedColumnArmsItAndOpensTheMenu)
{
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column) {
        DisarmSortMenus();
        EXPECT_TRUE(Click(column)) << column;
        EXPECT_EQ(std::string(1, (char)('0' + column)), Armed());
        EXPECT_EQ(column, SortColumn());
    }
}

TEST_F(SortingTest, ASecondClickOnTheArmedColumnOnlyDisarmsIt)
{
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column) {
        ASSERT_TRUE(Click(column)) << column;
        // The menu was dismissed without a command: the column stays armed.
        PumpMessages();
        EXPECT_TRUE(IsSortMenuArmed(column)) << column;
        EXPECT_FALSE(Click(column)) << column << ": the second click opened the menu";
        EXPECT_EQ("", Armed()) << column;
        EXPECT_EQ(column, SortColumn()) << "a disarming click still names its column";
        // The third click opens it again.
        EXPECT_TRUE(Click(column)) << column;
        EXPECT_TRUE(IsSortMenuArmed(column)) << column;
        DisarmSortMenus();
    }
}

TEST_F(SortingTest, AClickOnAnotherColumnMovesTheArmingThere)
{
    ASSERT_TRUE(Click(1));
    EXPECT_TRUE(Click(4));
    EXPECT_EQ("4", Armed());
    EXPECT_EQ(4, SortColumn());
    EXPECT_TRUE(Click(0));
    EXPECT_EQ("0", Armed());
    // The column left behind opens at once, without a disarming click.
    EXPECT_TRUE(Click(4));
    EXPECT_EQ("4", Armed());
}

TEST_F(SortingTest, ASortCommandDisarmsTheColumn)
{
    AppendProduct(1, "only", 1110, "1.00", 840, "w", "s");
    Fill();
    for (bool ascending : { true, false }) {
        ASSERT_TRUE(Click(3));
        SortProductList(list, ascending);
        EXPECT_EQ("", Armed()) << ascending;
        EXPECT_TRUE(Click(3)) << "the next click after a sort must open the menu again";
        SortProductList(list, ascending);
    }
}

TEST_F(SortingTest, ClicksOutsideTheSixColumnsOpenNothing)
{
    for (int column : { -1, 6, 7, 100, INT_MIN, INT_MAX }) {
        EXPECT_FALSE(Click(column)) << column;
        EXPECT_FALSE(IsSortMenuArmed(column)) << column;
        EXPECT_EQ("", Armed()) << column;
    }
}

// ---- The passes a sort command sends ----

TEST_F(SortingTest, ASortSendsTheClickedColumnsPassesInOrder)
{
    AppendProduct(1, "a", 1110, "1", 840, "w", "s");
    AppendProduct(2, "b", 1120, "2", 978, "v", "t");
    Fill();
    // Which comparison each pass hands over is the passes' own affair (text and price passes compare
    // prepared keys, sort_order_test.cpp shows them giving CompareProducts' order): only the keys count.
    std::vector<WPARAM> keys;
    MessageSpy spy(list, [&](UINT message, WPARAM wParam, LPARAM) {
        if (message == LVM_SORTITEMS)
            keys.push_back(wParam);
    });
    const std::vector<WPARAM> expected[PRODUCT_COLUMN_COUNT] = { { 0 }, { 1 }, { 2 }, { 3, 8, 9 }, { 4 }, { 5 } };
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column) {
        for (bool ascending : { true, false }) {
            keys.clear();
            SortBy(column, ascending);
            EXPECT_EQ(expected[column], keys) << "column " << column << (ascending ? " ascending" : " descending");
        }
    }
}

TEST_F(SortingTest, ASortFollowsTheLatestClickEvenWhenThatClickOnlyDisarmed)
{
    AppendProduct(1, "a", 1110, "1", 840, "w", "s");
    Fill();
    std::vector<WPARAM> keys;
    MessageSpy spy(list, [&](UINT message, WPARAM wParam, LPARAM) {
        if (message == LVM_SORTITEMS)
            keys.push_back(wParam);
    });
    ASSERT_TRUE(Click(1));
    ASSERT_TRUE(Click(3));
    ASSERT_FALSE(Click(3));
    ASSERT_EQ(3, SortColumn());
    SortProductList(list, true);
    EXPECT_EQ((std::vector<WPARAM>{ 3, 8, 9 }), keys);
}

// ---- The record comparison ----

ProductRecord Record(int status, const char* name, int categoryId, const char* price, int currencyId,
                     const char* webAddress, const char* serverPath)
{
    ProductRecord record = {};
    record.status = status;
    lstrcpynA(record.name, name, sizeof record.name);
    record.categoryId = categoryId;
    lstrcpynA(record.price, price, sizeof record.price);
    record.currencyId = currencyId;
    lstrcpynA(record.webAddress, webAddress, sizeof record.webAddress);
    lstrcpynA(record.serverPath, serverPath, sizeof record.serverPath);
    record.next = nullptr;
    return record;
}

int Compare(const ProductRecord* first, const ProductRecord* second, int key)
{
    return Sign(CompareProducts((LPARAM)first, (LPARAM)second, (LPARAM)key));
}

// Checks that low sorts before high under key, both ways round and in both directions, and that
// each equals itself.
void ExpectOrdered(const ProductRecord& low, const ProductRecord& high, int key, const char* what)
{
    SetSortAscending(true);
    EXPECT_EQ(-1, Compare(&low, &high, key)) << "ascending, key " << key << ": " << what;
    EXPECT_EQ(1, Compare(&high, &low, key)) << "ascending, key " << key << ": " << what;
    EXPECT_EQ(0, Compare(&low, &low, key)) << "ascending, key " << key << ": " << what;
    SetSortAscending(false);
    EXPECT_EQ(1, Compare(&low, &high, key)) << "descending, key " << key << ": " << what;
    EXPECT_EQ(-1, Compare(&high, &low, key)) << "descending, key " << key << ": " << what;
    EXPECT_EQ(0, Compare(&high, &high, key)) << "descending, key " << key << ": " << what;
}

// Two different records whose key compares equal, both directions.
void ExpectEqualKeys(const ProductRecord& first, const ProductRecord& second, int key, const char* what)
{
    for (bool ascending : { true, false }) {
        SetSortAscending(ascending);
        EXPECT_EQ(0, Compare(&first, &second, key)) << "key " << key << ": " << what;
        EXPECT_EQ(0, Compare(&second, &first, key)) << "key " << key << ": " << what;
    }
}

TEST(CompareProducts, StatusCategoryAndCurrencyCompareAsSignedNumbers)
{
    struct Pair {
        int low, high;
    };
    // Extremes that a subtraction would overflow, and negative against positive.
    const Pair pairs[] = { { -1, 1 }, { 2, 10 }, { INT_MIN, INT_MAX }, { INT_MIN, 1 }, { -5, INT_MAX } };
    for (const Pair& pair : pairs) {
        std::string what = std::to_string(pair.low) + " < " + std::to_string(pair.high);
        ProductRecord low = Record(pair.low, "same", pair.low, "5", pair.low, "w", "s");
        ProductRecord high = Record(pair.high, "same", pair.high, "5", pair.high, "w", "s");
        for (int key : { 0, 2, (int)SORT_KEY_CURRENCY })
            ExpectOrdered(low, high, key, what.c_str());
    }
    // Only the one field counts: records that differ elsewhere compare equal on it.
    ProductRecord a = Record(3, "alpha", 1110, "1", 840, "a.example", "/a");
    ProductRecord b = Record(3, "beta", 1110, "2", 840, "b.example", "/b");
    for (int key : { 0, 2, (int)SORT_KEY_CURRENCY })
        ExpectEqualKeys(a, b, key, "same number");
}

TEST(CompareProducts, NameAndAddressesCompareAsTextIgnoringCase)
{
    ProductRecord low = Record(0, "apple", 0, "", 0, "apple.example", "/apple");
    ProductRecord high = Record(0, "Banana", 0, "", 0, "Banana.example", "/Banana");
    for (int key : { 1, 4, 5 })
        ExpectOrdered(low, high, key, "apple < Banana");
    ProductRecord upper = Record(0, "CHAIR", 0, "", 0, "SHOP.EXAMPLE/CHAIR", "/ITEMS/CHAIR");
    ProductRecord lower = Record(1, "chair", 1, "", 1, "shop.example/chair", "/items/chair");
    for (int key : { 1, 4, 5 })
        ExpectEqualKeys(upper, lower, key, "only the case differs");
    // Each key reads its own field.
    ProductRecord byName = Record(0, "a", 0, "", 0, "z", "z");
    ProductRecord byRest = Record(0, "z", 0, "", 0, "a", "a");
    SetSortAscending(true);
    EXPECT_EQ(-1, Compare(&byName, &byRest, 1));
    EXPECT_EQ(1, Compare(&byName, &byRest, 4));
    EXPECT_EQ(1, Compare(&byName, &byRest, 5));
}

TEST(CompareProducts, PriceTextKeyComparesTheTextNotTheValue)
{
    ProductRecord ten = Record(0, "n", 0, "10", 0, "", "");
    ProductRecord nine = Record(0, "n", 0, "9", 0, "", "");
    ExpectOrdered(ten, nine, 3, "\"10\" < \"9\" as text");
    ProductRecord point = Record(0, "n", 0, "0.05", 0, "", "");
    ProductRecord shorter = Record(0, "n", 0, ".05", 0, "", "");
    SetSortAscending(true);
    EXPECT_NE(0, Compare(&point, &shorter, 3)) << "equal values, different texts";
    ProductRecord upper = Record(0, "n", 0, "N/A", 0, "", "");
    ProductRecord lower = Record(0, "n", 0, "n/a", 0, "", "");
    ExpectEqualKeys(upper, lower, 3, "only the case differs");
}

TEST(CompareProducts, PriceValueKeyComparesValuesAndFallsBackToTextForNoPrice)
{
    ProductRecord nine = Record(0, "n", 0, "9.5", 0, "", "");
    ProductRecord ten = Record(0, "n", 0, "10", 0, "", "");
    ExpectOrdered(nine, ten, SORT_KEY_PRICE_VALUE, "9.5 < 10 by value");
    ProductRecord thousand = Record(0, "n", 0, "1,000", 0, "", "");
    ExpectOrdered(ten, thousand, SORT_KEY_PRICE_VALUE, "10 < 1,000 by value");
    ProductRecord cents = Record(0, "n", 0, "0.05", 0, "", "");
    ProductRecord empty = Record(0, "n", 0, "", 0, "", "");
    ExpectOrdered(empty, cents, SORT_KEY_PRICE_VALUE, "the empty price is 0");

    // A text that is no price compares as text with either side: "n/a" (-1.0 as a value) goes
    // after "0.5", where a comparison of values would put it first.
    ProductRecord half = Record(0, "n", 0, "0.5", 0, "", "");
    ProductRecord none = Record(0, "n", 0, "n/a", 0, "", "");
    ASSERT_LT(lstrcmpiA("0.5", "n/a"), 0) << "premise: digits sort before letters";
    ExpectOrdered(half, none, SORT_KEY_PRICE_VALUE, "0.5 < n/a as text");
    // Two that are no price, compared as text, case ignored.
    ExpectOrdered(Record(0, "n", 0, "call", 0, "", ""), none, SORT_KEY_PRICE_VALUE, "call < n/a");
    ExpectEqualKeys(Record(0, "n", 0, "N/A", 0, "", ""), none, SORT_KEY_PRICE_VALUE, "N/A = n/a");
    // "12 " is no price, so the pair is compared as text, where "12 " follows "12".
    ASSERT_GT(lstrcmpiA("12 ", "12"), 0) << "premise: a longer text follows its prefix";
    ExpectOrdered(Record(0, "n", 0, "12", 0, "", ""), Record(0, "n", 0, "12 ", 0, "", ""),
                  SORT_KEY_PRICE_VALUE, "12 < \"12 \"");
}

// Equal values compare equal, also a record with itself, however the values are computed: both
// sides of the comparison must be rounded alike.
TEST(CompareProducts, PriceValueKeyFindsEqualPricesEqual)
{
    const char* const pairs[][2] = { { "0.05", "0.05" },   { "0.05", ".050" },  { "0.1", "0.10" },
                                     { "12.34", "12.34" }, { "9.99", "09.99" }, { "1,234.50", "1234.5" },
                                     { "1,000", "1000." }, { "0.123", "0.1230" } };
    for (const auto& pair : pairs) {
        std::string what = std::string(pair[0]) + " = " + pair[1];
        ExpectEqualKeys(Record(0, "n", 0, pair[0], 0, "", ""), Record(0, "n", 0, pair[1], 0, "", ""),
                        SORT_KEY_PRICE_VALUE, what.c_str());
    }
}

TEST(CompareProducts, ANullRecordComparesEqualToAnything)
{
    ProductRecord record = Record(5, "name", 1110, "12", 840, "w", "s");
    for (int key : { 0, 1, 2, 3, 4, 5, (int)SORT_KEY_PRICE_VALUE, (int)SORT_KEY_CURRENCY }) {
        for (bool ascending : { true, false }) {
            SetSortAscending(ascending);
            EXPECT_EQ(0, Compare(nullptr, &record, key)) << key;
            EXPECT_EQ(0, Compare(&record, nullptr, key)) << key;
            EXPECT_EQ(0, Compare(nullptr, nullptr, key)) << key;
        }
    }
}

TEST(CompareProducts, OtherKeysCompareEverythingEqual)
{
    ProductRecord a = Record(1, "a", 1000, "1", 36, "a", "a");
    ProductRecord b = Record(9, "z", 9000, "99", 978, "z", "z");
    for (int key : { 6, 7, 10, -1, 100, INT_MIN }) {
        for (bool ascending : { true, false }) {
            SetSortAscending(ascending);
            EXPECT_EQ(0, Compare(&a, &b, key)) << key;
            EXPECT_EQ(0, Compare(&b, &a, key)) << key;
        }
    }
}

// ---- Wine's item sort with equal keys ----

// The Price column's three passes only add up to one order if the control keeps rows with equal
// keys in the order they had. This finds out, with the currency key alone and many equal keys.
TEST_F(SortingTest, TheListViewsSortKeepsRowsWithEqualKeysInTheirOrder)
{
    const int currencies[] = { 978, 36, 840, 826 };
    unsigned seed = 12345;
    for (int i = 0; i < 300; ++i) {
        seed = seed * 1103515245u + 12345u;
        char name[16];
        wsprintfA(name, "row %03d", i);
        AppendProduct(1, name, 1110, "1", currencies[(seed >> 16) % 4], "w", "s");
    }
    Fill();
    ASSERT_EQ(300, ItemCount());

    std::vector<const ProductRecord*> inserted;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
        inserted.push_back(record);
    for (bool ascending : { true, false }) {
        // Sorted again from the feed's order each time.
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        Fill();
        std::vector<const ProductRecord*> expected = inserted;
        std::stable_sort(expected.begin(), expected.end(), [&](const ProductRecord* a, const ProductRecord* b) {
            return ascending ? a->currencyId < b->currencyId : a->currencyId > b->currencyId;
        });
        SetSortAscending(ascending);
        ASSERT_TRUE(SendMessageA(list, LVM_SORTITEMS, SORT_KEY_CURRENCY, (LPARAM)CompareProducts));
        std::vector<std::string> want;
        for (const ProductRecord* record : expected)
            want.push_back(record->name);
        EXPECT_EQ(want, Names()) << (ascending ? "ascending" : "descending");
    }

    // All keys equal: no row moves.
    std::vector<std::string> before = Names();
    SendMessageA(list, LVM_SORTITEMS, 7, (LPARAM)CompareProducts);
    EXPECT_EQ(before, Names());
}

// ---- The real list sorted by each column ----

// Every column but Price, through the user's way to a sort, each with rows whose order by its own
// key differs from their feed order and from the order of any other key: Product, Web address and
// Server page as text without regard to case, Category by its id and not by the name its cell shows,
// Status by the whole code and not by its image. Descending is ascending reversed.
TEST_F(SortingTest, EachColumnSortsByItsOwnKey)
{
    struct Row {
        const char* name;
        int status, categoryId;
        const char* webAddress;
        const char* serverPath;
    };
    const struct {
        const char* what;
        int column;
        std::vector<Row> rows; // in feed order
        std::vector<std::string> ascending;
    } cases[] = {
        { "Product", 1,
          { { "delta", 1, 1110, "w", "s" }, { "Charlie", 1, 1110, "w", "s" }, { "alpha", 1, 1110, "w", "s" },
            { "Echo", 1, 1110, "w", "s" }, { "bravo", 1, 1110, "w", "s" } },
          { "alpha", "bravo", "Charlie", "delta", "Echo" } },
        { "Category", 2,
          { { "jewelry", 1, 14000, "w", "s" }, { "home", 1, 1000, "w", "s" }, { "clothing", 1, 3000, "w", "s" },
            { "electronics", 1, 2000, "w", "s" }, { "toys", 1, 5000, "w", "s" } },
          { "home", "electronics", "clothing", "toys", "jewelry" } },
        { "Status", 0,
          { { "s10", 10, 1110, "w", "s" }, { "s5", 5, 1110, "w", "s" }, { "s2", 2, 1110, "w", "s" },
            { "s-2", -2, 1110, "w", "s" }, { "s13", 13, 1110, "w", "s" }, { "s0", 0, 1110, "w", "s" },
            { "s6", 6, 1110, "w", "s" }, { "s-1", -1, 1110, "w", "s" } },
          { "s-2", "s-1", "s0", "s2", "s5", "s6", "s10", "s13" } },
        { "Web address", 4,
          { { "c", 1, 1110, "Shop.example/chairs", "/same" }, { "a", 1, 1110, "apple.example", "/same" },
            { "d", 1, 1110, "www.tables.example", "/same" }, { "b", 1, 1110, "BOOKS.example/x", "/same" } },
          { "a", "b", "c", "d" } },
        { "Server page", 5,
          { { "b", 1, 1110, "same.example", "/Items/b.html" }, { "d", 1, 1110, "same.example", "/items/D.html" },
            { "a", 1, 1110, "same.example", "/ITEMS/a.html" }, { "c", 1, 1110, "same.example", "/items/c.html" } },
          { "a", "b", "c", "d" } },
    };
    // The premises: the names of categories 1000 and 2000 sort the other way round from their ids, and
    // statuses 2 and 10, 5 and 13, -2 and 6 show the same image.
    ASSERT_GT(lstrcmpiA(func32_Get_FullName(func32_Get_IDToOrd(1000)), func32_Get_FullName(func32_Get_IDToOrd(2000))), 0);
    ASSERT_EQ(StatusImageIndex(2), StatusImageIndex(10));
    ASSERT_EQ(StatusImageIndex(5), StatusImageIndex(13));
    ASSERT_EQ(StatusImageIndex(-2), StatusImageIndex(6));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        FreeProducts();
        for (const Row& row : c.rows)
            AppendProduct(row.status, row.name, row.categoryId, "1", 840, row.webAddress, row.serverPath);
        Fill();
        SortBy(c.column, true);
        EXPECT_EQ(c.ascending, Names());
        SortBy(c.column, false);
        EXPECT_EQ(Reversed(c.ascending), Names());
    }
}

// Sort keys in the order opposite to lstrcmpiA's: every byte but the terminator mirrored.
int WINAPI MirroredSortKey(LCID locale, DWORD flags, LPCSTR text, int length, LPSTR key, int capacity)
{
    int made = LCMapStringA(locale, flags, text, length, key, capacity);
    for (int i = 0; key != nullptr && i < made; ++i)
        if (key[i] != 0)
            key[i] = (char)(256 - (unsigned char)key[i]);
    return made;
}

// Prepared keys are only an accelerator: where they disagree with the plain comparison, the plain
// comparison's order wins.
TEST_F(SortingTest, KeysThatDisagreeWithThePlainComparisonAreOverruled)
{
    for (const char* name : { "delta", "Charlie", "alpha", "Echo", "bravo" })
        AppendProduct(1, name, 1110, "1", 840, "w", "s");
    Fill();
    SetSortKeyMaker(MirroredSortKey);
    SortBy(1, true);
    std::vector<std::string> ascending = Names();
    SortBy(1, false);
    EXPECT_EQ((std::vector<std::string>{ "alpha", "bravo", "Charlie", "delta", "Echo" }), ascending);
    EXPECT_EQ((std::vector<std::string>{ "Echo", "delta", "Charlie", "bravo", "alpha" }), Names());
}

// The premises of the Price expectations: within one value, texts that differ in their digits or
// in length, so that the order of text is certain.
void AssertTextOrder(const std::vector<const char*>& texts)
{
    for (size_t i = 1; i < texts.size(); ++i)
        ASSERT_LT(lstrcmpiA(texts[i - 1], texts[i]), 0)
            << "premise: \"" << texts[i - 1] << "\" sorts before \"" << texts[i] << "\" as text";
}

// Three passes on an order-keeping sort: by currency, within a currency by value, and among equal
// values by the price text. Rows equal in all three keep the order they had.
TEST_F(SortingTest, PriceSortsByCurrencyThenValueThenText)
{
    struct Row {
        const char* name;
        const char* price;
        int currencyId;
    };
    const Row rows[] = {
        { "u9.50", "9.50", 840 }, { "e12", "12", 978 },      { "u7", "7", 840 },         { "g5a", "5", 826 },
        { "u1000.0", "1000.0", 840 }, { "u09.5", "09.5", 840 }, { "e0.05", "0.05", 978 }, { "u10", "10", 840 },
        { "g2", "2", 826 },       { "u07", "07", 840 },      { "e0.050", "0.050", 978 }, { "u1000", "1000", 840 },
        { "g5b", "5", 826 },      { "u9.5", "9.5", 840 },    { "u007", "007", 840 },     { "e0.5", "0.5", 978 },
        { "u01000", "01000", 840 },
    };
    AssertTextOrder({ "007", "07", "7" });
    AssertTextOrder({ "09.5", "9.5", "9.50" });
    AssertTextOrder({ "01000", "1000", "1000.0" });
    AssertTextOrder({ "0.05", "0.050" });
    for (const Row& row : rows)
        AppendProduct(1, row.name, 1110, row.price, row.currencyId, "w", "s");
    Fill();

    SortBy(3, true);
    EXPECT_EQ((std::vector<std::string>{ "g2", "g5a", "g5b",                                  // 826
                                         "u007", "u07", "u7", "u09.5", "u9.5", "u9.50", "u10", // 840
                                         "u01000", "u1000", "u1000.0",
                                         "e0.05", "e0.050", "e0.5", "e12" }),                 // 978
              Names());
    SortBy(3, false);
    EXPECT_EQ((std::vector<std::string>{ "e12", "e0.5", "e0.050", "e0.05",                    // 978
                                         "u1000.0", "u1000", "u01000", "u10", "u9.50", "u9.5", // 840
                                         "u09.5", "u7", "u07", "u007",
                                         "g5a", "g5b", "g2" }),                               // 826
              Names());
}

// A text that is no price compares as text with every other, so among prices that all start with
// a digit it goes after them (before them, descending), and stays within its currency.
TEST_F(SortingTest, PriceSortsATextThatIsNoPriceAfterThePricesOfItsCurrency)
{
    struct Row {
        const char* name;
        const char* price;
        int currencyId;
    };
    const Row rows[] = { { "u10", "10", 840 },   { "u-na", "n/a", 840 }, { "e1", "1", 978 },
                         { "u2.5", "2.5", 840 }, { "e-tbd", "tbd", 978 }, { "u9", "9", 840 },
                         { "u-call", "call", 840 } };
    ASSERT_EQ(-1.0, ParsePrice("n/a"));
    AssertTextOrder({ "10", "2.5", "9", "call", "n/a" });
    AssertTextOrder({ "1", "tbd" });
    for (const Row& row : rows)
        AppendProduct(1, row.name, 1110, row.price, row.currencyId, "w", "s");
    Fill();

    SortBy(3, true);
    EXPECT_EQ((std::vector<std::string>{ "u2.5", "u9", "u10", "u-call", "u-na", "e1", "e-tbd" }), Names());
    SortBy(3, false);
    EXPECT_EQ((std::vector<std::string>{ "e-tbd", "e1", "u-na", "u-call", "u10", "u9", "u2.5" }), Names());
}

} // namespace
