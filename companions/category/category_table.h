// The category table inside Vn_Category.dll and the feed server, defined by the source generated from
// categories.txt, and the one search by id over it.
#pragma once

struct CategoryRecord {
    int id;
    const char* fullName;  // code page 1252, "Top > Middle > Leaf"
};

// Indexed by ordinal: the categories in the order of the data file.
extern const CategoryRecord kCategories[];
extern const int kCategoryCount;

// Every ordinal once, in ascending order of the categories' ids, for searching by id.
extern const int kCategoryOrdinalsById[];

// The ordinal of the category with this id, or -1 when the table has none.
int CategoryOrdinalOf(int categoryId);
