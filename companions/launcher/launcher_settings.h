// What the launcher remembers between runs: the server address and the account id, in
// %APPDATA%\Products\launcher.ini. The account key is never written anywhere.
#pragma once

#include <windows.h>

// Fills the remembered fields of the launcher's window; fields without a saved value stay as they are.
void LoadLauncherSettings(HWND window);

// Saves the remembered fields as the window holds them. False when there is no settings folder or
// the file could not be written.
bool SaveLauncherSettings(HWND window);
