// Entry of Vn_Products.exe: split the argument, open the Products window, run the message loop.
#include <windows.h>

#include "app/launch_args.h"
#include "app/products_window.h"
#include "common/program_folder.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    RestrictLibrarySearch();
    ParseLaunchArgs(commandLine, &TheLaunchArgs);
    if (!RegisterProductsClass(instance))
        return 0;
    if (CreateProductsWindow(instance, showCommand) == nullptr)
        return 0;

    // GetMessageA returns -1 on an invalid call; that ends the loop too rather than spinning on it.
    MSG message = {};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? (int)message.wParam : 0;
}
