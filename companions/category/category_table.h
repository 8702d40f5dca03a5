// The category table inside Vn_Category.dll, defined by the source generated from categories.txt.
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
