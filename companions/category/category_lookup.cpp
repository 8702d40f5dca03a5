// Vn_Category.dll: the two exported category lookups over the generated table.
#include "companions/category/category_lookup.h"

#include "companions/category/category_table.h"

static const char kUnknownCategory[] = "Unknown category";

extern "C" int __stdcall func32_Get_IDToOrd(int categoryId)
{
    return CategoryOrdinalOf(categoryId);
}

extern "C" const char* __stdcall func32_Get_FullName(int ordinal)
{
    if (ordinal < 0 || ordinal >= kCategoryCount)
        return kUnknownCategory;
    return kCategories[ordinal].fullName;
}
