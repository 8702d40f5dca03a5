// Finding a currency by its ISO 4217 numeric code in the generated table, for Vn_Countries.dll and the
// feed server alike.
#include "companions/countries/money_table.h"

#include "companions/tools/sorted_search.h"

const MoneyRecord* MoneyRecordOf(int numeric)
{
    const int position = FindSortedKey(kMoneyRecordCount, numeric, [](int at) { return kMoneyRecords[at].numeric; });
    return position < 0 ? nullptr : &kMoneyRecords[position];
}
