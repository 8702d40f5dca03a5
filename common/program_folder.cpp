// The program's own folder for libraries and companion programs.
#include "common/program_folder.h"

#include <windows.h>
#include <string.h>

#include "common/text.h"

void RestrictLibrarySearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD flags);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (found != nullptr) {
        SetDefaultDllDirectoriesCall setDefault = (SetDefaultDllDirectoriesCall)(void (*)())found;
        setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    SetDllDirectoryA(""); // takes the current folder out of the search where the call above is missing
}

bool PathBesideProgram(char* path, size_t capacity, const char* file)
{
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program)
        return false;
    char* lastSlash = strrchr(program, '\\');
    size_t folder = lastSlash != nullptr ? (size_t)(lastSlash - program) + 1 : 0;
    program[folder] = '\0';
    return FormatText(path, capacity, "%s%s", program, file) == folder + strlen(file);
}
