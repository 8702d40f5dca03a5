// Entry of Vn_Browser.exe: one instance per desktop, the browser window and its message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "companions/browser/browser_window.h"
#include "companions/browser/hand_off.h"
#include "common/program_folder.h"

static const char InstanceMutexName[] = BROWSER_CLASS_NAME ".instance";

// Brings the running browser's window forward; false when there is none.
static bool ForwardToRunningBrowser()
{
    HWND running = FindWindowA(BROWSER_CLASS_NAME, nullptr);
    if (running == nullptr)
        return false;
    if (IsIconic(running))
        ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
}

// Two starts close together: the later one sees the first's mutex before its window exists and
// gives it a few seconds to appear rather than opening a second window.
static void ForwardWhenUp()
{
    for (int waited = 0; waited < 5000 && !ForwardToRunningBrowser(); waited += 50)
        Sleep(50);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch();
    if (ForwardToRunningBrowser())
        return 0;
    HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    if (instanceMutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        ForwardWhenUp();
        CloseHandle(instanceMutex);
        return 0;
    }

    ReadRecordSetting();
    // The manifest asks for Common Controls 6: its themed buttons, fields and lists come from there.
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    // The shell may hand a web address to COM servers, which want an apartment on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!RegisterBrowserClass(instance))
        return 1;
    HWND window = CreateBrowserWindow(instance, showCommand);
    if (window == nullptr)
        return 1;

    // GetMessageA returns -1 on an invalid call; that ends the loop too rather than spinning on it.
    MSG message = {};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (RouteEnterKey(window, &message) || IsDialogMessageA(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CoUninitialize();
    return got == 0 ? (int)message.wParam : 0;
}
