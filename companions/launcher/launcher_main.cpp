// Entry of Vn_Launcher.exe: set the search path the viewer inherits, open the window, run the loop.
#include <windows.h>
#include <commctrl.h>

#include "companions/launcher/launcher_window.h"
#include "companions/launcher/viewer_start.h"
#include "common/program_folder.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch();
    // Without it the viewer still runs; only a browser not otherwise registered is not found.
    PrepareViewerSearchPath();
    // The manifest asks for Common Controls 6: its themed buttons, fields and lists come from there.
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    if (!RegisterLauncherClass(instance))
        return 0;
    HWND window = CreateLauncherWindow(instance, showCommand);
    if (window == nullptr)
        return 0;

    // The dialog manager gives the fields Tab, Alt+letter and Enter for Start.
    MSG message = {};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (IsDialogMessageA(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? (int)message.wParam : 0;
}
