// Lookups over the generated category and currency tables, by the same searches the two libraries use.
#include "feed_names.h"

#include "companions/category/category_table.h"
#include "companions/countries/money_table.h"

const char* CategoryName(int categoryId)
{
    const int ordinal = CategoryOrdinalOf(categoryId);
    return ordinal < 0 ? nullptr : kCategories[ordinal].fullName;
}

const char* CurrencyCode(int currencyId)
{
    const MoneyRecord* record = MoneyRecordOf(currencyId);
    return record != nullptr ? record->code : nullptr;
}
