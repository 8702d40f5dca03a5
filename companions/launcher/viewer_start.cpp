// Starting the viewer from a folder that may be read-only, such as an install folder.
#include "companions/launcher/viewer_start.h"

#include <windows.h>

#include <string.h>

#include "common/contract.h"
#include "common/text.h"
#include "companions/launcher/launch_request.h"

// The most an environment variable holds, terminator included.
enum { SEARCH_PATH_CAPACITY = 32767 };

// The folder this program was started from, with its trailing backslash; false when its path is
// too long to use.
static bool OwnFolder(char* folder, size_t capacity)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const char* slash = length > 0 && length < sizeof path ? strrchr(path, '\\') : nullptr;
    if (slash == nullptr)
        return false;
    size_t kept = (size_t)(slash - path) + 1;
    return CopyTextN(folder, capacity, path, kept) == kept;
}

bool PrepareViewerSearchPath()
{
    char folder[MAX_PATH];
    if (!OwnFolder(folder, sizeof folder))
        return false;
    // A path entry reads better without the trailing backslash; a drive's root keeps it ("C:" alone
    // would mean that drive's current folder).
    size_t length = strlen(folder);
    if (length > 3)
        folder[length - 1] = '\0';

    static char inherited[SEARCH_PATH_CAPACITY];
    static char searchPath[SEARCH_PATH_CAPACITY];
    DWORD inheritedLength = GetEnvironmentVariableA("PATH", inherited, sizeof inherited);
    if (inheritedLength >= sizeof inherited)
        return false;
    if (inheritedLength == 0)
        inherited[0] = '\0';
    if (!BuildViewerSearchPath(searchPath, sizeof searchPath, folder, inherited))
        return false;
    return SetEnvironmentVariableA("PATH", searchPath) != FALSE;
}

// The viewer writes its spool file into its working folder, so that folder must be writable by the
// user whatever the install folder allows: %LOCALAPPDATA%\Products, made when missing, or else the
// temporary folder. Returns false when neither is known.
static bool ChooseWorkingFolder(char* folder, size_t capacity)
{
    char base[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof base);
    if (length > 0 && length < sizeof base &&
        FormatText(folder, capacity, "%s\\Products", base) == length + strlen("\\Products")) {
        CreateDirectoryA(folder, nullptr);
        DWORD attributes = GetFileAttributesA(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return true;
    }
    length = GetTempPathA((DWORD)capacity, folder);
    return length > 0 && length < capacity;
}

// The system's one-line text for error, without its closing line break and full stop.
static void SystemReason(DWORD error, char* text, size_t capacity)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  (DWORD)capacity, nullptr);
    while (length > 0 && strchr("\r\n. ", text[length - 1]) != nullptr)
        --length;
    if (length == 0)
        CopyText(text, capacity, "no reason given");
    else
        text[length] = '\0';
}

bool StartViewer(const char* argument, char* report, size_t capacity)
{
    char program[MAX_PATH];
    char folder[MAX_PATH];
    if (!OwnFolder(folder, sizeof folder) ||
        FormatText(program, sizeof program, "%s%s", folder, VIEWER_PROGRAM) != strlen(folder) + strlen(VIEWER_PROGRAM)) {
        CopyText(report, capacity, "Could not start the viewer: the launcher's folder has too long a path.");
        return false;
    }
    if (!ChooseWorkingFolder(folder, sizeof folder)) {
        CopyText(report, capacity, "Could not start the viewer: there is no folder for it to work in.");
        return false;
    }
    char line[MAX_PATH + LAUNCH_ARGUMENT_CAPACITY + 4];
    if (!BuildViewerCommandLine(line, sizeof line, program, argument)) {
        CopyText(report, capacity, "Could not start the viewer: its command line is too long.");
        return false;
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process)) {
        DWORD error = GetLastError();
        char reason[256];
        SystemReason(error, reason, sizeof reason);
        FormatText(report, capacity, "Could not start %s: %s (error %lu).", program, reason, error);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    FormatText(report, capacity, "Started the viewer (process %lu), working in %s.", process.dwProcessId, folder);
    return true;
}
