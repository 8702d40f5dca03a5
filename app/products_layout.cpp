// Child placement of the Products window.
#include "app/products_layout.h"

ProductsLayout LayOutProducts(int clientWidth, int clientHeight)
{
    ProductsLayout layout;
    layout.list = { 5, 5, clientWidth - 10, clientHeight - 35 };
    layout.closeButton = { clientWidth - 55, clientHeight - 25, 50, 20 };
    layout.statusLine = { 5, clientHeight - 25, clientWidth - 65, 20 };
    return layout;
}
