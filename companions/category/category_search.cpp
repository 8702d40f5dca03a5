// Finding a category by id in the generated table, for Vn_Category.dll and the feed server alike.
#include "companions/category/category_table.h"

#include "companions/tools/sorted_search.h"

int CategoryOrdinalOf(int categoryId)
{
    // The table stays in file order, so ordinals follow the data file; the index lists it by id.
    const int position = FindSortedKey(kCategoryCount, categoryId,
                                       [](int at) { return kCategories[kCategoryOrdinalsById[at]].id; });
    return position < 0 ? -1 : kCategoryOrdinalsById[position];
}
