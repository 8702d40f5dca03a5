// Currency lookups of Vn_Countries.dll: ISO 4217 numeric code -> alphabetic code and currency name.
// Callers link the import library target Vn_Countries_import, so the DLL is bound at load time.
#pragma once

// Longest currency name the library returns, in characters of code page 1252 (terminator not counted).
const int kMoneyNameMax = 127;

// The alphabetic code of a numeric currency code, e.g. 840 -> "USD"; "???" for an unknown code.
// Never null; the text is static.
extern "C" const char* __stdcall func32_Get_MoneyName(int currencyId);

// The currency's name, e.g. 840 -> "US Dollar", in code page 1252; "Unknown currency" for an unknown
// code. Never null; the text is static.
extern "C" const char* __stdcall func32_Get_MoneyNameL(int currencyId);
