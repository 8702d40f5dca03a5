// Vn_Countries.dll: the two exported currency lookups over the generated ISO 4217 table.
#include "companions/countries/money_lookup.h"

#include "companions/countries/money_table.h"

static const char kUnknownCode[] = "???";
static const char kUnknownName[] = "Unknown currency";

extern "C" const char* __stdcall func32_Get_MoneyName(int currencyId)
{
    const MoneyRecord* record = MoneyRecordOf(currencyId);
    return record ? record->code : kUnknownCode;
}

extern "C" const char* __stdcall func32_Get_MoneyNameL(int currencyId)
{
    const MoneyRecord* record = MoneyRecordOf(currencyId);
    return record ? record->name : kUnknownName;
}
