// Type to find: the list's printable characters go to a prefix search over the product names.
#include "listview/type_to_find.h"

#include <commctrl.h>

#include "listview/product_list_view.h"
#include "listview/typed_prefix.h"

static TypedPrefix typed; // the prefix typed so far into the one product list

enum { TYPE_TO_FIND_SUBCLASS = 1 };

struct RowMatch {
    HWND list;
    TypedSearch search;
};

// Whether the row's product name starts with the typed text, compared as the sort compares.
static bool NameStartsWith(int row, const void* context)
{
    const RowMatch* match = (const RowMatch*)context;
    const ProductRecord* record = GetItemRecord(match->list, row);
    if (record == nullptr)
        return false;
    int length = (int)match->search.length;
    if (lstrlenA(record->name) < length)
        return false;
    return CompareStringA(GetThreadLocale(), NORM_IGNORECASE, record->name, length, match->search.text, length) ==
           CSTR_EQUAL;
}

// Only the found row is selected; it takes the focus and is scrolled into view.
static void MoveToRow(HWND list, int row)
{
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
    LVITEMA chosen = {};
    chosen.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&chosen);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, row);
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
}

int FindTypedRow(HWND list, char c, unsigned tick)
{
    RowMatch match = { list, TypeCharacter(&typed, c, tick) };
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    int focused = FocusedRow(list);
    int start = focused < 0 ? 0 : (match.search.afterFocus ? focused + 1 : focused);
    int row = FindRowFrom(count, start, NameStartsWith, &match);
    if (row >= 0)
        MoveToRow(list, row);
    return row;
}

// A printable character in code page 1252, or 0 for control characters (Ctrl+C arrives as 3) and
// characters that page lacks, which no name can start with.
static char TypedCharacter(WPARAM wide)
{
    if (wide < 0x20 || wide == 0x7F)
        return 0;
    WCHAR unit = (WCHAR)wide;
    char c = 0;
    BOOL lost = FALSE;
    if (WideCharToMultiByte(1252, 0, &unit, 1, &c, 1, nullptr, &lost) != 1 || lost)
        return 0;
    return c;
}

static LRESULT CALLBACK TypeToFindProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_CHAR) {
        char c = TypedCharacter(wParam);
        if (c != 0) {
            FindTypedRow(list, c, (unsigned)GetMessageTime());
            return 0;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, TypeToFindProc, TYPE_TO_FIND_SUBCLASS);
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

void StartTypeToFind(HWND list)
{
    typed = TypedPrefix{};
    SetWindowSubclass(list, TypeToFindProc, TYPE_TO_FIND_SUBCLASS, 0);
}
