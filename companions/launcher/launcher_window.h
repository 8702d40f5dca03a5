// The launcher's window: the server and account fields, Start, a status line and the list of notices
// the viewer posts back.
#pragma once

#include <windows.h>

extern const char LauncherTitle[]; // "Products Launcher"

bool RegisterLauncherClass(HINSTANCE instance);

// Creates and shows the window, its fields filled from the saved settings.
HWND CreateLauncherWindow(HINSTANCE instance, int showCommand);
