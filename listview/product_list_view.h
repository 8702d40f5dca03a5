// The product list view (control 105): its image list, the column table, the fill and the cell texts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common/look.h"
#include "feed/product_list.h"
#include "listview/list_rules.h"

// A cell's text for a record: the record's own text or the library's, or a text formatted into
// buffer (capacity bytes, cut to fit) and returned.
typedef const char* (*CellTextRule)(const ProductRecord* record, char* buffer, size_t capacity);

// When hovering a cell shows its text in a tooltip.
enum TipRule { TIP_NEVER, TIP_WHEN_CLIPPED, TIP_ALWAYS };

enum { PRODUCT_COLUMN_COUNT = 6, MAX_SORT_PASSES = 3, SORT_PASS_NONE = -1 };

// One column of the list: everything that differs between columns is said here and nowhere else.
struct ProductColumn {
    const char* header;             // header text, or null for a column titled by its image
    const char* title;              // the column's name where it goes as text, as in a copied table
    int headerImage;                // that column's header image, else -1
    ColumnWidthRule width;          // initial width and width after each resize
    CellTextRule cellText;          // the cell's text as the control reports it; null: none
    CellTextRule copyText;          // the cell as text in full, as a copied row gives it
    TipRule tip;                    // when the cell's tooltip is given
    CellTextRule tipText;           // the tooltip's text
    int sortKeys[MAX_SORT_PASSES];  // the keys of its sort passes, in order; SORT_PASS_NONE ends them
};

// The column at index 0 to 5.
const ProductColumn& ProductColumnAt(int column);

// Creates the image list (from the open skin) and the list view as child 105 of window, sized from
// its client rectangle, in the look's instance, font and text colour, and inserts the columns.
// Returns the list view (null when it could not be created).
HWND CreateProductListView(HWND window, const RECT* client, const Look& look);

// Gives the rows the text colour of the look's scheme on the system's window colour.
void SetListColours(HWND list, const Look& look);

// Sets the six column widths from the list view's current client width.
void LayoutProductColumns(HWND window);

// Inserts one row per record of the product list, in list order. Returns 1 when all went in, else 0.
int FillProductListView(HWND list);

// Gives the first row the keyboard focus without selecting it, so that arrow keys start there.
void FocusFirstRow(HWND list);

// The row that has the keyboard focus, or -1.
int FocusedRow(HWND list);

// The record that a row points to, or null when the control does not answer.
ProductRecord* GetItemRecord(HWND list, int item);

// Supplies a cell's text from its record when the control asks for it.
LRESULT OnGetDispInfo(NMLVDISPINFOA* request);

// Status and header images; the Products window has them destroyed once, at teardown.
HIMAGELIST ProductImages();

// Detaches the image list from the list view (which would otherwise destroy it too) and destroys it.
void DestroyProductImageList(HWND list);
