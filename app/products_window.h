// The Products window: the program's only top-level window, its class, layout, routing and teardown.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Control ids shared with the other subsystems.
enum { IDC_PRODUCT_LIST = 105, IDC_CLOSE_BUTTON = 201 };

extern const char ProductsClassName[]; // "MainProd32WClass"
extern const char ProductsTitle[];     // "   Products", the title until a feed names the list

// Registers the window class in the skin's background colour. Returns FALSE when it cannot.
BOOL RegisterProductsClass(HINSTANCE instance);

// Creates the window (the whole creation sequence runs here), shows it and updates it once.
// Returns the window, or null when it could not be created.
HWND CreateProductsWindow(HINSTANCE instance, int showCommand);

// Moves window, keeping its size, so that its centre is the centre of reference (the desktop when null).
void CenterWindow(HWND window, HWND reference, BOOL repaint);

// Passes the product list's notifications on to their handlers; returns the handler's result.
LRESULT RouteNotification(HWND window, int controlId, NMHDR* header);

// Process-wide state of the window, for the subsystems that draw or create children.
HINSTANCE ProductsInstance();
COLORREF BackgroundColour();
COLORREF ListTextColour();
HBRUSH BackgroundBrush();
HFONT DefaultGuiFont();
