// Lookups over the generated category and currency tables, searched as the two libraries search them.
#include "feed_names.h"

#include "companions/category/category_table.h"
#include "companions/countries/money_table.h"

const char* CategoryName(int categoryId)
{
    // The table stays in file order; kCategoryOrdinalsById lists it by ascending id.
    int low = 0;
    int high = kCategoryCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const CategoryRecord& record = kCategories[kCategoryOrdinalsById[middle]];
        if (record.id == categoryId)
            return record.fullName;
        if (record.id < categoryId)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

const char* CurrencyCode(int currencyId)
{
    int low = 0;
    int high = kMoneyRecordCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const MoneyRecord& record = kMoneyRecords[middle];
        if (record.numeric == currencyId)
            return record.code;
        if (record.numeric < currencyId)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}
