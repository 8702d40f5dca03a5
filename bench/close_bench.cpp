// Benchmark of closing the real viewer under Wine: Vn_Products.exe fills its list from a generated
// feed served on loopback, then gets WM_CLOSE; the time runs until its process has ended. The empty
// list is the floor that every Wine GUI program pays.
//   close_bench.exe                  0, 32,000 and 200,000 products, three runs each
//   close_bench.exe SIZE [SIZE...]   only these sizes
#include "loopback_server.h"
#include "bench_feed.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/contract.h"
#include "win_test_support.h"

namespace {

const char BenchAddress[] = "127.0.0.33";

// One run: milliseconds from WM_CLOSE to the end of the process, or a negative value on failure.
double TimeClose(const std::string& feed, int size)
{
    ServerScript script;
    script.chunks.push_back(feed);
    LoopbackServer server;
    if (!StartServer(&server, BenchAddress, script))
        return -1;
    std::string folder = MakeScratchFolder("close");
    std::string commandLine = "\"" + RuntimeDirectory() + VIEWER_PROGRAM "\" " + BenchAddress + "^bench^key#";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double result = -1;
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &process)) {
        HWND window = WaitForViewerWindow(process.dwProcessId, 300000);
        HWND list = window != nullptr ? GetDlgItem(window, 105) : nullptr;
        int rows = list != nullptr ? (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : -1;
        if (rows == size) {
            Sleep(300); // let the first paint finish
            double start = NowMs();
            PostMessageA(window, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0)
                result = NowMs() - start;
        } else {
            fprintf(stderr, "the viewer listed %d rows, not %d\n", rows, size);
        }
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    StopServer(&server);
    RemoveFolder(folder);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    KeepWinSockStarted();
    std::vector<int> sizes = BenchSizes(argc, argv, { 0, 32000, 200000 });
    const int runs = 3;
    printf("Closing the viewer under Wine: WM_CLOSE to the end of its process, median of %d runs (ms)\n", runs);
    printf("%8s %9s %12s\n", "products", "close", "over empty");
    double floorMs = -1;
    for (int size : sizes) {
        std::string feed = MakeFeed(size);
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            double ms = TimeClose(feed, size);
            if (ms < 0) {
                printf("%8d failed\n", size);
                return 1;
            }
            times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        double median = times[times.size() / 2];
        if (size == 0)
            floorMs = median;
        if (floorMs >= 0)
            printf("%8d %9.0f %12.0f\n", size, median, median - floorMs);
        else
            printf("%8d %9.0f %12s\n", size, median, "-");
    }
    return 0;
}
