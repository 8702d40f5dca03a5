// Link menu contents and the browser hand-off.
#include "links/link_menu.h"

#include <shellapi.h>
#include <string.h>

#include "common/capacities.h"
#include "common/contract.h"
#include "common/control_ids.h"
#include "common/look.h"
#include "common/program_folder.h"
#include "links/link_address.h"

// The addresses of the latest menu that had the matching item; read when its command arrives.
static char webUrl[LINK_ADDRESS_CAPACITY];
static char serverPageUrl[LINK_ADDRESS_CAPACITY];

// The browser beside the viewer; only when it is not there, the shell's search for the bare name,
// which a host may have prepared.
static void StartBrowser()
{
    char path[MAX_PATH];
    bool beside = PathBesideProgram(path, sizeof path, BROWSER_PROGRAM) &&
                  GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    ShellExecuteA(nullptr, "open", beside ? path : BROWSER_PROGRAM, nullptr, nullptr, SW_SHOWNORMAL);
}

// The window is frozen meanwhile, as it is during the fetch; sleeping in steps spares the processor.
static void WaitTicks(unsigned ms)
{
    DWORD start = GetTickCount();
    while (!TickWaitOver(start, GetTickCount(), ms))
        Sleep(10);
}

static const BrowserStarter RealStarter = { StartBrowser, WaitTicks, BROWSER_PROGRAM };
static BrowserStarter starter = RealStarter;

void SetBrowserStarter(const BrowserStarter* replacement)
{
    starter = replacement != nullptr ? *replacement : RealStarter;
}

const char* WebUrl()
{
    return webUrl;
}

const char* ServerPageUrl()
{
    return serverPageUrl;
}

int PrepareLinkMenu(const ProductRecord* record, const char* serverAddress, const char* accountId,
                    const char* accountKey, LinkMenuItem items[LINK_MENU_MAX_ITEMS])
{
    // Slots 2 and 3 are the link menu's: an item at position p uses slot 2 + p.
    int count = 0;
    if (record->webAddress[0] != '\0') {
        FormatWebUrl(webUrl, sizeof webUrl, record->webAddress);
        items[count] = { 2 + count, record->webAddress, MENU_BITMAP_WEB, IDM_OPEN_WEB_ADDRESS };
        ++count;
    }
    if (record->serverPath[0] != '\0') {
        FormatServerPageUrl(serverPageUrl, sizeof serverPageUrl, serverAddress, record->serverPath, accountId,
                            accountKey);
        items[count] = { 2 + count, record->serverPath, MENU_BITMAP_SERVER, IDM_OPEN_SERVER_PAGE };
        ++count;
    }
    return count;
}

// Whether window belongs to a process whose image file has the browser's name, in any folder.
static bool RunsTheBrowser(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr)
        return false;
    char image[MAX_PATH];
    DWORD length = sizeof image;
    BOOL named = QueryFullProcessImageNameA(process, 0, image, &length);
    CloseHandle(process);
    if (!named)
        return false;
    const char* slash = strrchr(image, '\\');
    return lstrcmpiA(slash != nullptr ? slash + 1 : image, starter.program) == 0;
}

// The browser's window: the first of its class that the browser's program owns. Any program may
// register the class, and the server page address carries the account key.
static HWND FindBrowser()
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, BROWSER_CLASS_NAME, nullptr)) != nullptr)
        if (RunsTheBrowser(window))
            return window;
    return nullptr;
}

void OpenInBrowser(const char* address)
{
    HWND browser = FindBrowser();
    if (browser == nullptr) {
        starter.start();
        starter.wait(BROWSER_START_WAIT_MS);
        browser = FindBrowser();
        // The host hears of the start whether or not the browser came up.
        HWND host = FindWindowA(HOST_CLASS_NAME, nullptr);
        if (host != nullptr)
            PostMessageA(host, WM_COMMAND, HOST_BROWSER_STARTED, 0);
    }
    if (browser == nullptr)
        return; // the address is dropped: nothing is ever sent to a window that was not found
    // A hung browser must not hang the viewer: it gets neither the address nor the open command.
    HWND field = GetDlgItem(browser, BROWSER_ADDRESS_FIELD);
    DWORD_PTR result = 0;
    if (field != nullptr && SendMessageTimeoutA(field, WM_SETTEXT, (WPARAM)strlen(address), (LPARAM)address,
                                                SMTO_ABORTIFHUNG, BROWSER_SEND_TIMEOUT_MS, &result) == 0)
        return;
    PostMessageA(browser, WM_COMMAND, BROWSER_OPEN_COMMAND, 0);
}
