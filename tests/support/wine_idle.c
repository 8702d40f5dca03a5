/* Idle Windows process that the test script keeps alive for a whole run: with it and a persistent
   wineserver, each test program starts in a fraction of a second instead of about one. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance; (void)previous; (void)showCommand;
    /* Bring up the desktop process now, with this program's output: started later by a test
       program, it would hold that test's output pipe open and ctest would wait for it. */
    GetDesktopWindow();
    if (commandLine[0] != '\0') {
        HANDLE ready = CreateFileA(commandLine, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (ready != INVALID_HANDLE_VALUE)
            CloseHandle(ready);
    }
    Sleep(INFINITE);
    return 0;
}
