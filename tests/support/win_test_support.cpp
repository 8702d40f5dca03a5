// Shared helpers of the Windows test programs.
#include "win_test_support.h"

bool PumpMessages(int* quitCode)
{
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            if (quitCode != nullptr)
                *quitCode = (int)message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quit;
}

std::string TestDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string RuntimeDirectory()
{
    return TestDirectory() + "..\\bin\\";
}

std::string MakeScratchFolder(const char* tag)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter;
    for (;;) {
        char name[MAX_PATH];
        wsprintfA(name, "%sproducts-%s-%lu-%u\\", temp, tag, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr))
            return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool CopyRuntimeInto(const std::string& folder)
{
    std::string source = RuntimeDirectory();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((source + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ok = CopyFileA((source + found.cFileName).c_str(), (folder + found.cFileName).c_str(), FALSE) && ok;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindViewerWindow(HWND window, LPARAM lParam)
{
    WindowSearch* search = (WindowSearch*)lParam;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64];
    if (owner == search->processId && GetClassNameA(window, name, sizeof name) &&
        lstrcmpA(name, "MainProd32WClass") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForViewerWindow(DWORD processId, int timeoutMs)
{
    WindowSearch search = { processId, nullptr };
    for (int waited = 0;; waited += 50) {
        EnumWindows(FindViewerWindow, (LPARAM)&search);
        if (search.found != nullptr || waited >= timeoutMs)
            return search.found;
        Sleep(50);
    }
}
