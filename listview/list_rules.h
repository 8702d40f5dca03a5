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

// The widths of the six columns for a list client width and an average character width. The
// Status column is fixed, Price takes 8 characters and the other four share the rest; a narrow
// list gives negative widths, which are returned unclamped.
struct ColumnWidths {
    int width[6];
};
ColumnWidths ProductColumnWidths(int clientWidth, int averageCharWidth);
