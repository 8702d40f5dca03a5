// Owner-drawn menu item geometry.
#include "chrome/menu_rules.h"

MenuItemSize MenuItemSizeFor(int textWidth, int textHeight)
{
    int tallest = textHeight > MENU_ICON_SIZE ? textHeight : MENU_ICON_SIZE;
    return MenuItemSize{ textWidth + MENU_TEXT_INDENT, tallest + 4 };
}

int MenuTextTop(int itemTop, int itemBottom, int textHeight)
{
    return itemTop + (itemBottom - itemTop - textHeight) / 2;
}
