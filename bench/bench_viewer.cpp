// Opening and closing the benchmarks' filled viewer window.
#include "loopback_server.h"
#include "bench_viewer.h"

#include <commctrl.h>
#include <stdio.h>

#include <string>

#include "app/launch_args.h"
#include "app/products_window.h"
#include "bench_feed.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "feed/product_list.h"

HWND OpenFilledViewer(int count, const char* address, int showCommand, HWND* list)
{
    KeepWinSockStarted();
    ServerScript script;
    script.chunks.push_back(MakeFeed(count));
    LoopbackServer server;
    if (!StartServer(&server, address, script))
        return nullptr;
    std::string argument = std::string(address) + "^bench^key#";
    ParseLaunchArgs(argument.c_str(), &TheLaunchArgs);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterProductsClass(instance);
    HWND window = CreateProductsWindow(instance, showCommand);
    StopServer(&server);
    *list = window != nullptr ? GetDlgItem(window, IDC_PRODUCT_LIST) : nullptr;
    if (*list == nullptr || (int)SendMessageA(*list, LVM_GETITEMCOUNT, 0, 0) != count) {
        fprintf(stderr, "the viewer's window did not fill with %d rows\n", count);
        return nullptr;
    }
    return window;
}

void CloseFilledViewer(HWND window, HWND list)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    FreeProducts();
    DestroyWindow(window);
    UnregisterClassA(PRODUCTS_CLASS_NAME, GetModuleHandleA(nullptr));
}
