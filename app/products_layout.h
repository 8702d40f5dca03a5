// Where the Products window places its children for a given client size (portable arithmetic).
#pragma once

struct LayoutBox {
    int x, y, width, height;
};

struct ProductsLayout {
    LayoutBox list;        // the product list: 5-pixel margins, 30 pixels kept free at the bottom
    LayoutBox closeButton; // 50 by 20 at the bottom right, its right edge under the list's
    LayoutBox statusLine;  // the strip left of the Close button, 5 pixels from it and the left edge
};

// Client sizes under 10 by 35 give negative extents; they are returned unchanged, not clamped.
ProductsLayout LayOutProducts(int clientWidth, int clientHeight);
