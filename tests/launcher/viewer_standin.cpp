// Stands in for Vn_Products.exe in the launcher's tests (and for Vn_Browser.exe in the search test):
// writes how it was started to the file named by LAUNCHER_TEST_RECORD, and ends. Built with the same
// runtime start-up as the viewer, so its lpCmdLine is what the viewer would split.
#include <windows.h>

#include <stdio.h>

#include "common/contract.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char record[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LAUNCHER_TEST_RECORD", record, sizeof record);
    if (length == 0 || length >= sizeof record)
        return 1;
    char module[MAX_PATH] = "";
    char folder[MAX_PATH] = "";
    static char path[32767];
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetCurrentDirectoryA(sizeof folder, folder);
    GetEnvironmentVariableA("PATH", path, sizeof path);
    // The viewer writes its spool file into its working folder; this shows whether it could.
    HANDLE spool = CreateFileA(SPOOL_FILE_NAME, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    int writable = spool != INVALID_HANDLE_VALUE;
    if (writable)
        CloseHandle(spool);

    // Written under another name and renamed when complete, so a test never reads half a record.
    char part[MAX_PATH + 8];
    snprintf(part, sizeof part, "%s.part", record);
    FILE* file = fopen(part, "w");
    if (file == nullptr)
        return 1;
    fprintf(file, "command=%s\nfolder=%s\npath=%s\nmodule=%s\nwritable=%d\n", commandLine, folder, path, module,
            writable);
    fclose(file);
    return MoveFileA(part, record) ? 0 : 1;
}
