// Cell tooltips over the product list view and the Close button, driven by hot-tracking.
#include "listview/cell_tooltips.h"

#include <cstddef>

#include "common/control_ids.h"
#include "listview/product_list_view.h"

const char CloseButtonTip[] = "Cancel and Close.";

static HWND cellTooltip;                         // created once; lives for the rest of the run
static HotCell lastHot = { -1, -1, false };      // never reset, not even by a sort
static HINSTANCE toolInstance;                   // the instance the tools were added with

// The tool description of the platform's older headers, up to and including lpszText: later members
// are not sent. 44 bytes on 32-bit Windows, more on 64-bit, where pointers are wider.
const UINT TOOLINFO_CLASSIC_SIZE = (UINT)(offsetof(TTTOOLINFOA, lpszText) + sizeof(LPSTR));

static TOOLINFOA ToolFor(HWND window, HWND control, const char* text)
{
    TOOLINFOA tool = {};
    tool.cbSize = TOOLINFO_CLASSIC_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = (UINT_PTR)control;
    tool.hinst = toolInstance;
    tool.lpszText = (char*)text;
    return tool;
}

HWND CreateCellTooltips(HWND window, const Look& look)
{
    toolInstance = look.instance;
    // No prefix: a tip shows "Home & Garden" as the cell does, not with the '&' taken for an underline.
    cellTooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  look.instance, nullptr);
    if (cellTooltip == nullptr)
        return nullptr;
    RECT margins = { 2, 1, 2, 1 };
    SendMessageA(cellTooltip, TTM_SETMARGIN, 0, (LPARAM)&margins);
    SendMessageA(cellTooltip, TTM_SETMAXTIPWIDTH, 0, TIP_MAX_WIDTH);
    const struct {
        int id;
        const char* text;
    } tools[] = { { IDC_CLOSE_BUTTON, CloseButtonTip }, { IDC_PRODUCT_LIST, "" } };
    for (const auto& entry : tools) {
        TOOLINFOA tool = ToolFor(window, GetDlgItem(window, entry.id), entry.text);
        if (!SendMessageA(cellTooltip, TTM_ADDTOOLA, 0, (LPARAM)&tool))
            break;
    }
    return cellTooltip;
}

// The cell under the pointer, from hot-tracking or from the pointer's own moves: the arrow over no
// row (the tool keeps its text), else the hand and that cell's tip.
static void PointAtCell(HWND window, int item, int subitem)
{
    if (item < 0) {
        SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
        return;
    }
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_HAND));
    UpdateCellTooltip(window, item, subitem);
}

LRESULT OnHotTrack(HWND window, const NMLISTVIEW* track)
{
    PointAtCell(window, track->iItem, track->iSubItem);
    return 0;
}

bool FollowPointerOverList(HWND window, HWND list)
{
    // The cursor is asked for while the move is being taken from the queue, before it becomes the
    // message position: the pointer's own position is the move's.
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    SendMessageA(list, LVM_SUBITEMHITTEST, 0, (LPARAM)&hit);
    PointAtCell(window, hit.iItem, hit.iSubItem);
    return true;
}

// True when text fits the column: the column at least the text's width plus the margin.
static bool FitsColumn(HWND list, int subitem, const char* text)
{
    int column = (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, (WPARAM)subitem, 0);
    int width = (int)SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)text);
    return column >= width + TIP_FIT_MARGIN;
}

// The tip of a cell, or null when the cell gives none.
static const char* CellTip(HWND list, int item, int subitem, char* buffer, size_t capacity)
{
    if (subitem < 0 || subitem >= PRODUCT_COLUMN_COUNT)
        return nullptr;
    const ProductColumn& column = ProductColumnAt(subitem);
    if (column.tip == TIP_NEVER || column.tipText == nullptr)
        return nullptr;
    const ProductRecord* record = GetItemRecord(list, item);
    if (record == nullptr)
        return nullptr;
    const char* text = column.tipText(record, buffer, capacity);
    if (text == nullptr || (column.tip == TIP_WHEN_CLIPPED && FitsColumn(list, subitem, text)))
        return nullptr;
    return text;
}

void UpdateCellTooltip(HWND window, int item, int subitem)
{
    if (item == lastHot.item && subitem == lastHot.subitem && lastHot.tipShown)
        return;
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    lastHot.item = item;
    lastHot.subitem = subitem;
    char buffer[PRICE_TIP_CAPACITY];
    const char* tip = CellTip(list, item, subitem, buffer, sizeof buffer);
    lastHot.tipShown = tip != nullptr;
    // The control copies the text during the call; the empty text shows no tip.
    TOOLINFOA tool = ToolFor(window, list, tip != nullptr ? tip : "");
    SendMessageA(cellTooltip, TTM_UPDATETIPTEXTA, 0, (LPARAM)&tool);
}

void DestroyCellTooltips()
{
    if (cellTooltip != nullptr)
        DestroyWindow(cellTooltip);
    cellTooltip = nullptr;
    lastHot = { -1, -1, false };
}

HWND CellTooltip()
{
    return cellTooltip;
}

HotCell LastHotCell()
{
    return lastHot;
}
