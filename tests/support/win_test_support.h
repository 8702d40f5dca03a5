// Helpers for the Windows test programs: message pumping, the build's folders, staging the viewer,
// child processes and their output, watching a window's messages, painting off screen and counting
// image list destroys.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <functional>
#include <string>
#include <vector>

// Dispatches every queued message of this thread. Returns true when a WM_QUIT was among them and
// stores its exit code.
bool PumpMessages(int* quitCode = nullptr);

// Pumps this thread's messages until done() holds or timeoutMs passes; false on the timeout. A WM_QUIT
// among them sets *quit and stores its exit code in *quitCode, where given.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs, bool* quit = nullptr, int* quitCode = nullptr);

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

// A viewer started as a user starts it: its process and, once up, its window.
struct RunningViewer {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

// Starts the viewer of folder with argument, in current (folder itself when empty), without waiting.
bool LaunchViewer(const std::string& folder, const char* argument, RunningViewer* viewer,
                  const std::string& current = "");

// Waits until a launched viewer's window is up.
bool WaitForWindowOf(RunningViewer* viewer);

// Starts the viewer of folder in current (folder itself when empty) and waits until its window is up.
bool StartViewer(const std::string& folder, const char* argument, RunningViewer* viewer,
                 const std::string& current = "");

// Closes the viewer as the system would and returns its exit code, or -1 when it did not end.
int CloseViewer(RunningViewer* viewer);

// A program started with its standard output and error on a pipe that this process reads.
struct ChildProcess {
    PROCESS_INFORMATION process = {};
    HANDLE output = nullptr; // read end of the child's standard output
};

// Starts commandLine in folder (this process's own when null) with its output on the pipe and, when
// given, input (an inheritable handle) as its standard input.
bool StartWithOutput(const std::string& commandLine, const char* folder, ChildProcess* child,
                     HANDLE input = nullptr);

// Reads the child's output into seen until it holds text; false when the child ends first or stays
// silent past the deadline. The pipe is only read when it holds bytes, so a silent child cannot block.
bool ReadOutputUntil(ChildProcess* child, const char* text, std::string* seen, DWORD timeoutMs);

// Ends the child, if one was started, and closes its handles.
void EndChild(ChildProcess* child);

// One product line of an account's catalog file of the feed server, its texts as the viewer gets them
// (code page 1252).
struct CatalogProduct {
    std::string name, price, webAddress, serverPath;
};

// The product lines of one account's catalog file: every line but blanks and comments, in file order.
std::vector<CatalogProduct> ReadCatalogProducts(const std::string& path);

// Sees every message a window receives before the window's own procedure does, from construction
// until the spy or the window goes. One spy per window at a time.
class MessageSpy {
public:
    typedef std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> Hook;
    MessageSpy(HWND window, Hook hook);
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC previous_;
    Hook hook_;
};

// A memory DC holding a 32-bit top-down DIB section filled with one colour: windows print into it,
// so no other window on the shared display can change what the test reads back.
class OffscreenCanvas {
public:
    OffscreenCanvas(int width, int height, COLORREF fill);
    ~OffscreenCanvas();
    OffscreenCanvas(const OffscreenCanvas&) = delete;
    OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The colour at (x, y) after all drawing so far; CLR_INVALID outside the canvas.
    COLORREF At(int x, int y) const;

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    const DWORD* bits_;
    int width_, height_;
};

// Holds extra references to an image list through its COM interface, so that the list stays valid
// even when destroyed a time or two too often, and the number of destroys can be read off.
class ImageListWatch {
public:
    enum { HELD = 4 };
    explicit ImageListWatch(void* imageList); // an HIMAGELIST
    ~ImageListWatch();                        // gives back what it still holds
    ImageListWatch(const ImageListWatch&) = delete;
    ImageListWatch& operator=(const ImageListWatch&) = delete;

    bool Holding() const { return list_ != nullptr; }
    // How many times the list was released (destroyed) since the watch began; -1 when not holding.
    int Destroys() const;

private:
    IUnknown* list_; // the list's own interface, or null when it could not be had
    long start_;     // the reference count just before the watch's own references
};
