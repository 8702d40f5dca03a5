// The one place an address leaves the browser.
#include "companions/browser/hand_off.h"

#include <shellapi.h>
#include <stdio.h>

#include "common/text.h"

static const char RecordVariable[] = "VN_BROWSER_RECORD";

static bool recording;               // the variable is set: the shell is never called
static char recordPath[MAX_PATH];    // where lines go; empty when the name did not fit

void ReadRecordSetting()
{
    // Set but empty or too long still means recording: a test must never start a real browser.
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableA(RecordVariable, recordPath, sizeof recordPath);
    recording = length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (length >= sizeof recordPath)
        recordPath[0] = '\0';
}

// One open, write and close per line, so that a reader never sees half a line.
static void AppendRecordLine(AddressVerdict verdict, const char* text)
{
    if (recordPath[0] == '\0')
        return;
    char line[RECORD_LINE_CAPACITY];
    FormatRecordLine(line, sizeof line, verdict, text);
    FILE* record = fopen(recordPath, "ab");
    if (record == nullptr)
        return;
    fputs(line, record);
    fclose(record);
}

void HandOff(HWND window, AddressVerdict verdict, const char* text)
{
    if (recording)
        AppendRecordLine(verdict, text);
    else if (verdict == ADDRESS_OPENS)
        ShellExecuteA(window, "open", text, nullptr, nullptr, SW_SHOWNORMAL);
}
