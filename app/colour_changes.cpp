// Reading the colours again on the system's change messages.
#include "app/colour_changes.h"

#include "chrome/popup_menu.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "listview/product_list_view.h"

// The new scheme reaches the class background, the list (which also reads the system colours of its
// own defaults again), the menus' cached colours, and every child drawn from then on.
static void ReadColoursAgain(HWND window)
{
    ChooseLookColours();
    SetClassLongPtrA(window, GCLP_HBRBACKGROUND, (LONG_PTR)TheLook().backgroundBrush);
    HWND list = GetDlgItem(window, IDC_PRODUCT_LIST);
    SendMessageA(list, WM_SYSCOLORCHANGE, 0, 0);
    SetListColours(list, TheLook());
    ForgetMenuColours();
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void OnSysColorChange(HWND window)
{
    ReadColoursAgain(window);
}

void OnSettingChange(HWND window, UINT setting)
{
    if (setting == SPI_SETHIGHCONTRAST)
        ReadColoursAgain(window);
}
