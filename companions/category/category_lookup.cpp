// Vn_Category.dll: the two exported category lookups over the generated table.
#include "companions/category/category_lookup.h"

#include "companions/category/category_table.h"

static const char kUnknownCategory[] = "Unknown category";

extern "C" int __stdcall func32_Get_IDToOrd(int categoryId)
{
    // Binary search over ids; the table itself stays in file order so ordinals follow the data file.
    int low = 0;
    int high = kCategoryCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int ordinal = kCategoryOrdinalsById[middle];
        const int id = kCategories[ordinal].id;
        if (id == categoryId)
            return ordinal;
        if (id < categoryId)
            low = middle + 1;
        else
            high = middle;
    }
    return -1;
}

extern "C" const char* __stdcall func32_Get_FullName(int ordinal)
{
    if (ordinal < 0 || ordinal >= kCategoryCount)
        return kUnknownCategory;
    return kCategories[ordinal].fullName;
}
