/* Idle Windows process that the test script keeps alive for a whole run: with it and a persistent
   wineserver, each test program starts in a fraction of a second instead of about one. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance; (void)previous; (void)commandLine; (void)showCommand;
    Sleep(INFINITE);
    return 0;
}
