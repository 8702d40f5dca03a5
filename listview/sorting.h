// Sorting the product list view by any column, through the list view's own item sort: a header
// click arms that column's sort menu, and the menu's two commands sort in place.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Sort keys: the column indexes 0 to 5, and two more for the Price column's later passes.
enum { SORT_KEY_PRICE_VALUE = 8, SORT_KEY_CURRENCY = 9 };

// Creation sequence: no column's sort menu is armed.
void DisarmSortMenus();

// A click on a column header. Returns true when that column's sort menu should open now (the column
// is armed); false when the click disarmed it (a second click on an armed column) or named no column.
bool OnColumnClick(const NMLISTVIEW* click);

// A request for a column's sort menu that always opens it (the keyboard's): the column becomes the
// latest clicked one and the only armed one, as a click that opens its menu leaves them.
void ArmSortMenu(int column);

// The column of the latest header click, and whether its sort menu is armed.
int SortColumn();
bool IsSortMenuArmed(int column);

// Sorts every row by the latest clicked column, ascending or descending, in that column's passes
// (Price: as text, by value, by currency), and disarms the column.
void SortProductList(HWND list, bool ascending);

// The list view's comparison: first and second are rows' records, key a sort key. Compares in the
// direction of the latest sort; a null record compares equal to anything, as does an unknown key.
int CALLBACK CompareProducts(LPARAM first, LPARAM second, LPARAM key);

// The direction CompareProducts applies; set by SortProductList.
void SetSortAscending(bool ascending);
