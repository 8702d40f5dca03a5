// Helpers for the Windows test programs: message pumping, the build's folders, staging the viewer.
#pragma once

#include <windows.h>

#include <string>

// Dispatches every queued message of this thread. Returns true when a WM_QUIT was among them and
// stores its exit code.
bool PumpMessages(int* quitCode = nullptr);

// The folder holding this test program, with a trailing backslash.
std::string TestDirectory();

// The build's bin folder, which holds everything a user copies to a PC.
std::string RuntimeDirectory();

// A fresh, empty folder under the temporary directory; removed with RemoveFolder.
std::string MakeScratchFolder(const char* tag);
void RemoveFolder(const std::string& folder);

// Copies every file of bin into folder.
bool CopyRuntimeInto(const std::string& folder);

// Waits up to timeoutMs for the visible Products window of the given process; null if none came.
HWND WaitForViewerWindow(DWORD processId, int timeoutMs);
