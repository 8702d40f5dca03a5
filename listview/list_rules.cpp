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

ColumnWidths ProductColumnWidths(int clientWidth, int averageCharWidth)
{
    const int statusWidth = 70;
    const int priceWidth = 8 * averageCharWidth;
    const int shared = (clientWidth - priceWidth - statusWidth) / 4;
    return ColumnWidths{ { statusWidth, shared, shared, priceWidth, shared, shared } };
}
