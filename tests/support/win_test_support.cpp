// Shared helpers of the Windows test programs.
#include "win_test_support.h"

#include <fstream>
#include <utility>

#include "common/contract.h"
#include "win_input.h"

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

bool PumpUntil(const std::function<bool()>& done, int timeoutMs, bool* quit, int* quitCode)
{
    DWORD start = GetTickCount();
    for (;;) {
        int code = -1;
        if (PumpMessages(&code)) {
            if (quit != nullptr)
                *quit = true;
            if (quitCode != nullptr)
                *quitCode = code;
        }
        if (done())
            return true;
        if ((int)(GetTickCount() - start) >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
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

HWND WaitForViewerWindow(DWORD processId, int timeoutMs)
{
    return WaitForWindow([&] { return FindOwnedWindow(PRODUCTS_CLASS_NAME, processId); }, timeoutMs);
}

bool LaunchViewer(const std::string& folder, const char* argument, RunningViewer* viewer, const std::string& current)
{
    std::string commandLine = "\"" + folder + VIEWER_PROGRAM "\" " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          (current.empty() ? folder : current).c_str(), &startup, &viewer->process) != FALSE;
}

bool WaitForWindowOf(RunningViewer* viewer)
{
    WaitForInputIdle(viewer->process.hProcess, 10000);
    viewer->window = WaitForViewerWindow(viewer->process.dwProcessId, 10000);
    return viewer->window != nullptr;
}

bool StartViewer(const std::string& folder, const char* argument, RunningViewer* viewer, const std::string& current)
{
    return LaunchViewer(folder, argument, viewer, current) && WaitForWindowOf(viewer);
}

int CloseViewer(RunningViewer* viewer)
{
    if (viewer->window != nullptr)
        PostMessageA(viewer->window, WM_CLOSE, 0, 0);
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(viewer->process.hProcess, 15000) == WAIT_OBJECT_0)
        GetExitCodeProcess(viewer->process.hProcess, &code);
    else
        TerminateProcess(viewer->process.hProcess, 99);
    CloseHandle(viewer->process.hThread);
    CloseHandle(viewer->process.hProcess);
    return (int)code;
}

bool StartWithOutput(const std::string& commandLine, const char* folder, ChildProcess* child, HANDLE input)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE writeEnd;
    if (!CreatePipe(&child->output, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(child->output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = input;
    std::string line = commandLine;
    BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, folder, &startup, &child->process);
    CloseHandle(writeEnd);
    return ok;
}

bool ReadOutputUntil(ChildProcess* child, const char* text, std::string* seen, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    char buffer[256];
    while (seen->find(text) == std::string::npos) {
        DWORD available = 0;
        if (!PeekNamedPipe(child->output, nullptr, 0, nullptr, &available, nullptr))
            return false; // the child closed its output: it has ended
        if (available == 0) {
            if (GetTickCount() - start >= timeoutMs) {
                seen->append("\n[no more output within the deadline]");
                return false;
            }
            Sleep(20);
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(child->output, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) ||
            got == 0)
            return false;
        seen->append(buffer, got);
    }
    return true;
}

void EndChild(ChildProcess* child)
{
    if (child->process.hProcess == nullptr)
        return;
    TerminateProcess(child->process.hProcess, 0);
    WaitForSingleObject(child->process.hProcess, 10000);
    CloseHandle(child->process.hThread);
    CloseHandle(child->process.hProcess);
    CloseHandle(child->output);
    *child = ChildProcess();
}

// A catalog field without the blanks around it, turned from UTF-8 into the viewer's code page.
static std::string CatalogField(const std::string& raw)
{
    size_t begin = raw.find_first_not_of(" \t\r"), end = raw.find_last_not_of(" \t\r");
    std::string utf8 = begin == std::string::npos ? "" : raw.substr(begin, end - begin + 1);
    wchar_t wide[1024] = L"";
    char text[1024] = "";
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 1024);
    WideCharToMultiByte(1252, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

std::vector<CatalogProduct> ReadCatalogProducts(const std::string& path)
{
    std::vector<CatalogProduct> products;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        // status | name | category | price | currency | web address | server path
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            size_t bar = line.find('|', start);
            fields.push_back(CatalogField(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
            if (bar == std::string::npos)
                break;
            start = bar + 1;
        }
        fields.resize(7);
        products.push_back({ fields[1], fields[3], fields[5], fields[6] });
    }
    return products;
}

static const char SpyProp[] = "test.spy";

MessageSpy::MessageSpy(HWND window, Hook hook) : window_(window), previous_(nullptr), hook_(std::move(hook))
{
    SetPropA(window_, SpyProp, this);
    previous_ = (WNDPROC)SetWindowLongPtrA(window_, GWLP_WNDPROC, (LONG_PTR)Procedure);
}

MessageSpy::~MessageSpy()
{
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, (LONG_PTR)previous_);
        RemovePropA(window_, SpyProp);
    }
}

LRESULT CALLBACK MessageSpy::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageSpy* spy = (MessageSpy*)GetPropA(window, SpyProp);
    WNDPROC previous = spy->previous_;
    spy->hook_(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window's last message: step out of the chain while the window still exists.
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)previous);
        RemovePropA(window, SpyProp);
        spy->window_ = nullptr;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

OffscreenCanvas::OffscreenCanvas(int width, int height, COLORREF fill)
    : dc_(CreateCompatibleDC(nullptr)), bitmap_(nullptr), previous_(nullptr), bits_(nullptr), width_(width),
      height_(height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = (const DWORD*)bits;
    if (bitmap_ == nullptr)
        return;
    previous_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all = { 0, 0, width, height };
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
}

OffscreenCanvas::~OffscreenCanvas()
{
    if (previous_ != nullptr)
        SelectObject(dc_, previous_);
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF OffscreenCanvas::At(int x, int y) const
{
    if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    GdiFlush();
    DWORD pixel = bits_[y * width_ + x]; // 0x00RRGGBB
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// {46EB5926-582E-4017-9FDF-E8998DAA0950}: the image list's COM interface.
static const GUID ImageListInterface = { 0x46eb5926, 0x582e, 0x4017, { 0x9f, 0xdf, 0xe8, 0x99, 0x8d, 0xaa, 0x09, 0x50 } };

ImageListWatch::ImageListWatch(void* imageList) : list_(nullptr), start_(0)
{
    // Looked up at run time, so that programs without the common controls need not link them.
    typedef HRESULT(WINAPI * QueryInterfaceFunction)(void*, REFIID, void**);
    HMODULE controls = GetModuleHandleA("comctl32.dll");
    QueryInterfaceFunction query = nullptr;
    if (controls != nullptr)
        query = (QueryInterfaceFunction)(void*)GetProcAddress(controls, "HIMAGELIST_QueryInterface");
    void* unknown = nullptr;
    if (imageList == nullptr || query == nullptr || FAILED(query(imageList, ImageListInterface, &unknown)))
        return;
    list_ = (IUnknown*)unknown;
    ULONG count = 0;
    for (int i = 1; i < HELD; ++i)
        count = list_->AddRef();
    start_ = (long)count - HELD;
}

ImageListWatch::~ImageListWatch()
{
    if (list_ == nullptr)
        return;
    // Every destroy beyond the owner's own took one of ours: stop once the list is gone.
    for (int i = 0; i < HELD; ++i)
        if (list_->Release() == 0)
            break;
}

int ImageListWatch::Destroys() const
{
    if (list_ == nullptr)
        return -1;
    long count = (long)list_->AddRef() - 1;
    list_->Release();
    return (int)(start_ + HELD - count);
}
