// Category lookups of Vn_Category.dll: category id -> table ordinal -> hierarchical full name.
// Callers link the import library target Vn_Category_import, so the DLL is bound at load time.
#pragma once

// Longest full name the library returns, in characters of code page 1252 (terminator not counted).
const int kCategoryFullNameMax = 127;

// The category's ordinal (0-based position in the category table), or -1 for an unknown id.
extern "C" int __stdcall func32_Get_IDToOrd(int categoryId);

// The full name of the category at an ordinal, e.g. "Home & Garden > Furniture > Chairs", and
// "Unknown category" for any ordinal outside the table, -1 included. Never null; the text is static.
extern "C" const char* __stdcall func32_Get_FullName(int ordinal);
