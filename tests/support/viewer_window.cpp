// The Products window as the window tests open and close it.
#include "viewer_window.h"

#include <gtest/gtest.h>

#include "app/launch_args.h"
#include "app/products_window.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "feed/product_list.h"
#include "win_test_support.h"

static HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

// Each test program passes a loopback address of its own where nothing listens, so the window's
// own fetch is refused at once and leaves the list empty.
void ViewerWindow::OpenViewerWindow(const char* launchArgs)
{
    ParseLaunchArgs(launchArgs, &TheLaunchArgs);
    ASSERT_TRUE(RegisterProductsClass(Instance()));
    CreateViewerWindow();
}

void ViewerWindow::CreateViewerWindow()
{
    window = CreateProductsWindow(Instance(), SW_SHOWNORMAL);
    ASSERT_NE(nullptr, window);
    list = GetDlgItem(window, IDC_PRODUCT_LIST);
    ASSERT_NE(nullptr, list);
}

void ViewerWindow::DestroyViewerWindow()
{
    if (IsWindow(window))
        DestroyWindow(window);
    PumpMessages();
    window = list = nullptr;
}

void ViewerWindow::CloseViewerWindow()
{
    DestroyViewerWindow();
    FreeProducts();
    UnregisterClassA(PRODUCTS_CLASS_NAME, Instance());
}
