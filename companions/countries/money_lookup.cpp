// Vn_Countries.dll: the two exported currency lookups over the generated ISO 4217 table.
#include "companions/countries/money_lookup.h"

#include "companions/countries/money_table.h"

static const char kUnknownCode[] = "???";
static const char kUnknownName[] = "Unknown currency";

// The record of a numeric code, by binary search over the sorted table, or null.
static const MoneyRecord* FindMoney(int currencyId)
{
    int low = 0;
    int high = kMoneyRecordCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const MoneyRecord* record = &kMoneyRecords[middle];
        if (record->numeric == currencyId)
            return record;
        if (record->numeric < currencyId)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

extern "C" const char* __stdcall func32_Get_MoneyName(int currencyId)
{
    const MoneyRecord* record = FindMoney(currencyId);
    return record ? record->code : kUnknownCode;
}

extern "C" const char* __stdcall func32_Get_MoneyNameL(int currencyId)
{
    const MoneyRecord* record = FindMoney(currencyId);
    return record ? record->name : kUnknownName;
}
