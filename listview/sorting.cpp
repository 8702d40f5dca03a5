// Sorting by column: the arming toggle of the sort menus, the sort passes and the record comparison.
#include "listview/sorting.h"

#include "feed/product_list.h"
#include "listview/price.h"
#include "listview/product_list_view.h"

static int sortColumn;                            // column of the latest header click
static bool sortAscending;                        // direction of the latest sort command
static bool menuArmed[PRODUCT_COLUMN_COUNT];      // at most one: the column whose menu is open or unanswered

typedef int (*RecordComparison)(const ProductRecord* a, const ProductRecord* b);

static int CompareNumbers(int a, int b)
{
    return a > b ? 1 : a < b ? -1 : 0;
}

static int CompareStatus(const ProductRecord* a, const ProductRecord* b)
{
    return CompareNumbers(a->status, b->status);
}

static int CompareName(const ProductRecord* a, const ProductRecord* b)
{
    return lstrcmpiA(a->name, b->name);
}

// By the id itself, not by the category name that the cell shows.
static int CompareCategory(const ProductRecord* a, const ProductRecord* b)
{
    return CompareNumbers(a->categoryId, b->categoryId);
}

static int ComparePriceText(const ProductRecord* a, const ProductRecord* b)
{
    return lstrcmpiA(a->price, b->price);
}

static int CompareWebAddress(const ProductRecord* a, const ProductRecord* b)
{
    return lstrcmpiA(a->webAddress, b->webAddress);
}

static int CompareServerPath(const ProductRecord* a, const ProductRecord* b)
{
    return lstrcmpiA(a->serverPath, b->serverPath);
}

// Two prices by value; a pair with a text that is no price is compared as text.
static int ComparePriceValue(const ProductRecord* a, const ProductRecord* b)
{
    double x = ParsePrice(a->price);
    double y = ParsePrice(b->price);
    if (x == -1.0 || y == -1.0)
        return lstrcmpiA(a->price, b->price);
    return x > y ? 1 : x < y ? -1 : 0;
}

static int CompareCurrency(const ProductRecord* a, const ProductRecord* b)
{
    return CompareNumbers(a->currencyId, b->currencyId);
}

struct SortKeyRule {
    int key;
    RecordComparison compare;
};

static const SortKeyRule SortKeys[] = {
    { 0, CompareStatus },     { 1, CompareName },       { 2, CompareCategory },
    { 3, ComparePriceText },  { 4, CompareWebAddress }, { 5, CompareServerPath },
    { SORT_KEY_PRICE_VALUE, ComparePriceValue },        { SORT_KEY_CURRENCY, CompareCurrency },
};

void DisarmSortMenus()
{
    for (bool& armed : menuArmed)
        armed = false;
}

bool OnColumnClick(const NMLISTVIEW* click)
{
    sortColumn = click->iSubItem;
    if (sortColumn < 0 || sortColumn >= PRODUCT_COLUMN_COUNT)
        return false;
    if (menuArmed[sortColumn]) {
        menuArmed[sortColumn] = false;
        return false;
    }
    ArmSortMenu(sortColumn);
    return true;
}

void ArmSortMenu(int column)
{
    sortColumn = column;
    DisarmSortMenus();
    if (column >= 0 && column < PRODUCT_COLUMN_COUNT)
        menuArmed[column] = true;
}

int SortColumn()
{
    return sortColumn;
}

bool IsSortMenuArmed(int column)
{
    return column >= 0 && column < PRODUCT_COLUMN_COUNT && menuArmed[column];
}

void SetSortAscending(bool ascending)
{
    sortAscending = ascending;
}

void SortProductList(HWND list, bool ascending)
{
    sortAscending = ascending;
    if (sortColumn < 0 || sortColumn >= PRODUCT_COLUMN_COUNT)
        return;
    for (int key : ProductColumnAt(sortColumn).sortKeys) {
        if (key == SORT_PASS_NONE)
            break;
        SendMessageA(list, LVM_SORTITEMS, (WPARAM)key, (LPARAM)CompareProducts);
    }
    menuArmed[sortColumn] = false;
}

int CALLBACK CompareProducts(LPARAM first, LPARAM second, LPARAM key)
{
    // Descending swaps the operands, so every key runs high to low, with no exception.
    const ProductRecord* a = (const ProductRecord*)(sortAscending ? first : second);
    const ProductRecord* b = (const ProductRecord*)(sortAscending ? second : first);
    if (a == nullptr || b == nullptr)
        return 0;
    for (const SortKeyRule& rule : SortKeys)
        if (rule.key == key)
            return rule.compare(a, b);
    return 0;
}
