// The Products window: the program's only top-level window, its class, creation sequence, layout,
// routing and teardown. The one place where the subsystems are wired together.
#pragma once

#include <windows.h>
#include <commctrl.h>

extern const char ProductsTitle[];     // "   Products", the title until a feed names the list

// Opens the skin, takes its colours and registers the window class with its background brush.
// Returns FALSE when the class cannot be registered.
BOOL RegisterProductsClass(HINSTANCE instance);

// Creates the window (the whole creation sequence runs here), shows it and updates it once.
// Returns the window, or null when it could not be created.
HWND CreateProductsWindow(HINSTANCE instance, int showCommand);

// Moves window, keeping its size, so that its centre is the centre of reference (the desktop when null).
void CenterWindow(HWND window, HWND reference, BOOL repaint);

// Passes the product list's notifications on to their handlers; returns the handler's result.
LRESULT RouteNotification(HWND window, int controlId, NMHDR* header);
