// Sorting by column: the arming toggle of the sort menus, the sort passes and the record comparison,
// made from keys prepared for each pass.
#include "listview/sorting.h"

#include <stdlib.h>

#include "feed/product_list.h"
#include "listview/price.h"
#include "listview/product_list_view.h"
#include "listview/sort_keys.h"

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

static const char* NameOf(const ProductRecord* record)
{
    return record->name;
}

static const char* PriceTextOf(const ProductRecord* record)
{
    return record->price;
}

static const char* WebAddressOf(const ProductRecord* record)
{
    return record->webAddress;
}

static const char* ServerPathOf(const ProductRecord* record)
{
    return record->serverPath;
}

// What a pass prepares before it sorts: nothing for numbers, which compare as they are.
enum PreparedKind { PREPARE_NOTHING, PREPARE_TEXT, PREPARE_PRICE };

struct SortKeyRule {
    int key;
    RecordComparison compare; // the rule itself
    PreparedKind prepared;
    const char* (*text)(const ProductRecord* record); // the compared text, for PREPARE_TEXT
};

static const SortKeyRule SortKeys[] = {
    { 0, CompareStatus, PREPARE_NOTHING, nullptr },
    { 1, CompareName, PREPARE_TEXT, NameOf },
    { 2, CompareCategory, PREPARE_NOTHING, nullptr },
    { 3, ComparePriceText, PREPARE_TEXT, PriceTextOf },
    { 4, CompareWebAddress, PREPARE_TEXT, WebAddressOf },
    { 5, CompareServerPath, PREPARE_TEXT, ServerPathOf },
    { SORT_KEY_PRICE_VALUE, ComparePriceValue, PREPARE_PRICE, nullptr },
    { SORT_KEY_CURRENCY, CompareCurrency, PREPARE_NOTHING, nullptr },
};

static const SortKeyRule* RuleOf(int key)
{
    for (const SortKeyRule& rule : SortKeys)
        if (rule.key == key)
            return &rule;
    return nullptr;
}

// The keys of the pass under way, read by the comparison the list view calls back during it.
static PreparedKeys preparedKeys;
static const SortKeyRule* preparedRule;

// The comparison of a pass with prepared keys. Different sort keys order two texts as lstrcmpiA
// does; equal ones, and a record without a key, are left to the rule itself.
static int ComparePreparedRecords(const SortKeyRule& rule, const ProductRecord* a, const ProductRecord* b)
{
    if (rule.prepared == PREPARE_TEXT) {
        const unsigned char* x = TextKeyOf(preparedKeys, a);
        const unsigned char* y = TextKeyOf(preparedKeys, b);
        int order = x != nullptr && y != nullptr ? CompareTextKeys(x, y) : 0;
        return order != 0 ? order : rule.compare(a, b);
    }
    // A text that is no price goes to the rule, which compares such a pair as text.
    double x = 0, y = 0;
    if (!PriceKeyOf(preparedKeys, a, &x) || !PriceKeyOf(preparedKeys, b, &y) || x == -1.0 || y == -1.0)
        return rule.compare(a, b);
    return x > y ? 1 : x < y ? -1 : 0;
}

static int CALLBACK ComparePrepared(LPARAM first, LPARAM second, LPARAM)
{
    const ProductRecord* a = (const ProductRecord*)(sortAscending ? first : second);
    const ProductRecord* b = (const ProductRecord*)(sortAscending ? second : first);
    if (a == nullptr || b == nullptr)
        return 0;
    return ComparePreparedRecords(*preparedRule, a, b);
}

// Keys for one pass, when it has any to prepare and they could all be had.
static bool PreparePass(const SortKeyRule* rule)
{
    if (rule == nullptr || rule->prepared == PREPARE_NOTHING)
        return false;
    bool prepared = rule->prepared == PREPARE_TEXT ? PrepareTextKeys(rule->text, &preparedKeys)
                                                   : PreparePriceKeys(&preparedKeys);
    preparedRule = prepared ? rule : nullptr;
    return prepared;
}

// The records by their place among the prepared keys, while the key check runs.
static const ProductRecord** placedRecords;

// Two places by their prepared text keys; equal keys by the rule itself, as the pass compares them.
static int CompareKeyPlaces(const void* first, const void* second)
{
    unsigned a = *(const unsigned*)first;
    unsigned b = *(const unsigned*)second;
    int order = CompareTextKeys(preparedKeys.keyBytes + preparedKeys.keyStarts[a],
                                preparedKeys.keyBytes + preparedKeys.keyStarts[b]);
    return order != 0 ? order : preparedRule->compare(placedRecords[a], placedRecords[b]);
}

// Whether the prepared text keys order the records as the plain comparison does: the records put in
// key order, then each pair of neighbours compared plainly (n - 1 calls). Read from the keys, not
// from the list view, whose every message is slow once a tooltip watches it. True when there is no
// memory to check with: the keys are then taken on trust, as before.
static bool TextKeysAgree()
{
    size_t count = 0;
    for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
        ++count;
    unsigned* order = (unsigned*)malloc(count * sizeof *order + 1);
    placedRecords = (const ProductRecord**)malloc(count * sizeof *placedRecords + 1);
    bool agree = true;
    if (order != nullptr && placedRecords != nullptr) {
        unsigned place = 0;
        for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next, ++place) {
            order[place] = place;
            placedRecords[place] = record;
        }
        qsort(order, count, sizeof *order, CompareKeyPlaces);
        for (size_t i = 1; i < count && agree; ++i)
            agree = preparedRule->compare(placedRecords[order[i - 1]], placedRecords[order[i]]) <= 0;
    }
    free(order);
    free(placedRecords);
    placedRecords = nullptr;
    return agree;
}

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
        // Without its keys a pass compares as CompareProducts does: the same order, only slower.
        bool prepared = PreparePass(RuleOf(key));
        // No one can prove that the locale's sort keys agree with lstrcmpiA for every text: where two
        // neighbours in key order disagree, the pass sorts with the plain comparison instead.
        if (prepared && preparedRule->prepared == PREPARE_TEXT && !TextKeysAgree())
            prepared = false;
        SendMessageA(list, LVM_SORTITEMS, (WPARAM)key, (LPARAM)(prepared ? ComparePrepared : CompareProducts));
        ReleaseKeys(&preparedKeys);
        preparedRule = nullptr;
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
    const SortKeyRule* rule = RuleOf((int)key);
    return rule != nullptr ? rule->compare(a, b) : 0;
}
