// The Products window follows the user's colours: when the system colours or the high-contrast
// setting change, it chooses between the skin's colours and the system's again and repaints.
#pragma once

#include <windows.h>

// WM_SYSCOLORCHANGE.
void OnSysColorChange(HWND window);

// WM_SETTINGCHANGE with the setting that changed: only high contrast concerns the colours.
void OnSettingChange(HWND window, UINT setting);
