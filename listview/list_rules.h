// Portable rules of the product list view: which status image a code shows, and the column widths.
#pragma once

// Image indices of the list's image list.
enum {
    IMAGE_STATUS_OTHER = 0,    // every code not below
    IMAGE_STATUS_2 = 1,        // code & 7 == 2
    IMAGE_STATUS_5 = 2,        // code & 7 == 5
    IMAGE_STATUS_6 = 3,        // code & 7 == 6
    IMAGE_HEADER_WEB = 4,      // header of the web address column
    IMAGE_HEADER_SERVER = 5,   // header of the server page column
};

// The status image of a code; only its lowest three bits count, negative codes included.
int StatusImageIndex(int status);

// The name of the status that image shows ("Listed", "New", "Sale", "Sold out"), for the
// places where the status goes as text, such as a copied row.
const char* StatusName(int status);

// How a column's width follows the list's client width W and the average character width a.
enum ColumnWidthRule {
    WIDTH_STATUS, // fixed 70 pixels
    WIDTH_PRICE,  // 4 a at first, then 8 a
    WIDTH_SHARED, // 4 a at first, then an equal share of what the Status and Price columns leave
};

// A column's width before the first resize.
int InitialColumnWidth(ColumnWidthRule rule, int averageCharWidth);

// A column's width after a resize. The four shared columns take (W - 8 a - 70) / 4 each, truncated
// toward zero; a narrow list gives negative widths, which are returned unclamped.
int ColumnWidth(ColumnWidthRule rule, int clientWidth, int averageCharWidth);
