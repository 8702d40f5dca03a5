// Category and currency names of the pages, from the same generated tables that Vn_Category.dll and
// Vn_Countries.dll are built from: a page names a product's category and currency exactly as the
// viewer's list does, on every platform, with no file read at run time.
#pragma once

// The category's full name ("Home & Garden > Furniture > Chairs") in code page 1252, as the viewer
// shows it; null for an id the table does not hold.
const char* CategoryName(int categoryId);

// The currency's ISO 4217 alphabetic code ("USD" for 840), as the viewer's price column shows it;
// null for a numeric code the table does not hold.
const char* CurrencyCode(int currencyId);
