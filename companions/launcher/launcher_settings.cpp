// The launcher's settings file, through the profile-string functions.
#include "companions/launcher/launcher_settings.h"

#include <string.h>

#include "common/text.h"
#include "companions/launcher/launcher_controls.h"

static const char SettingsSection[] = "Launcher";

// The fields that are remembered, and under which key. The account key's field is deliberately not
// among them.
struct Setting {
    const char* key;
    int control;
};
static const Setting Settings[] = {
    { "ServerAddress", IDC_SERVER_ADDRESS },
    { "AccountId", IDC_ACCOUNT_ID },
};

// Far more than any field the viewer keeps; the fields saved have passed its limits.
enum { SETTING_CAPACITY = 256 };

// %APPDATA%\Products\launcher.ini; the folder is made when asked. False without APPDATA.
static bool SettingsFile(char* file, size_t capacity, bool makeFolder)
{
    char profile[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("APPDATA", profile, sizeof profile);
    if (length == 0 || length >= sizeof profile)
        return false;
    char folder[MAX_PATH];
    size_t folderLength = FormatText(folder, sizeof folder, "%s\\Products", profile);
    if (folderLength != length + strlen("\\Products"))
        return false;
    if (makeFolder)
        CreateDirectoryA(folder, nullptr);
    return FormatText(file, capacity, "%s\\launcher.ini", folder) == folderLength + strlen("\\launcher.ini");
}

void LoadLauncherSettings(HWND window)
{
    char file[MAX_PATH];
    if (!SettingsFile(file, sizeof file, false))
        return;
    for (const Setting& setting : Settings) {
        char value[SETTING_CAPACITY];
        // The reader strips one pair of quotes around a value, and the blanks outside them.
        if (GetPrivateProfileStringA(SettingsSection, setting.key, "", value, sizeof value, file) > 0)
            SetDlgItemTextA(window, setting.control, value);
    }
}

bool SaveLauncherSettings(HWND window)
{
    char file[MAX_PATH];
    if (!SettingsFile(file, sizeof file, true))
        return false;
    bool saved = true;
    for (const Setting& setting : Settings) {
        char value[SETTING_CAPACITY];
        GetDlgItemTextA(window, setting.control, value, sizeof value);
        // Quoted, so that an account id's leading and trailing blanks come back too.
        char quoted[SETTING_CAPACITY + 2];
        FormatText(quoted, sizeof quoted, "\"%s\"", value);
        saved = WritePrivateProfileStringA(SettingsSection, setting.key, quoted, file) && saved;
    }
    return saved;
}
