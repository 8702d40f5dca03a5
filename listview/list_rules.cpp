// Status images and column widths of the product list view.
#include "listview/list_rules.h"

int StatusImageIndex(int status)
{
    switch (status & 7) {
    case 2: return IMAGE_STATUS_2;
    case 5: return IMAGE_STATUS_5;
    case 6: return IMAGE_STATUS_6;
    default: return IMAGE_STATUS_OTHER;
    }
}

// In image order: what each badge says.
static const char* const StatusNames[] = { "Listed", "New", "Sale", "Sold out" };

const char* StatusName(int status)
{
    return StatusNames[StatusImageIndex(status)];
}

enum { STATUS_COLUMN_WIDTH = 70, SHARED_COLUMNS = 4 };

int InitialColumnWidth(ColumnWidthRule rule, int averageCharWidth)
{
    return rule == WIDTH_STATUS ? STATUS_COLUMN_WIDTH : 4 * averageCharWidth;
}

int ColumnWidth(ColumnWidthRule rule, int clientWidth, int averageCharWidth)
{
    const int priceWidth = 8 * averageCharWidth;
    switch (rule) {
    case WIDTH_STATUS: return STATUS_COLUMN_WIDTH;
    case WIDTH_PRICE: return priceWidth;
    case WIDTH_SHARED: break;
    }
    return (clientWidth - priceWidth - STATUS_COLUMN_WIDTH) / SHARED_COLUMNS;
}
