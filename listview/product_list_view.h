// The product list view (control 105): its image list, six columns, the fill and the cell texts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "feed/product_list.h"

// Status and header images; owned by the Products window, which destroys it once at teardown.
extern HIMAGELIST ProductImageList;

// Creates the image list and the list view as child 105 of window, sized from its client rectangle,
// and inserts the columns. Returns the list view (null when it could not be created).
HWND CreateProductListView(HWND window, const RECT* client);

// Sets the six column widths from the list view's current client width.
void LayoutProductColumns(HWND window);

// Inserts one row per record of the product list, in list order. Returns 1 when all went in, else 0.
int FillProductListView(HWND list);

// The record that a row points to, or null when the control does not answer.
ProductRecord* GetItemRecord(HWND list, int item);

// Supplies a cell's text from its record when the control asks for it.
LRESULT OnGetDispInfo(NMLVDISPINFOA* request);

// Detaches the image list from the list view (which would otherwise destroy it too) and destroys it.
void DestroyProductImageList(HWND list);
