// Benchmark of the real viewer process under Wine, seen from outside as a user sees it: Vn_Products.exe
// started against a generated feed served on loopback, timed from its start until its window shows
// the filled list, then sent WM_CLOSE and timed until its process has ended. The empty list is the
// floor that every Wine GUI program pays.
//   process_bench.exe                  0, 1,000, 32,000 and 200,000 products, three runs each
//   process_bench.exe SIZE [SIZE...]   only these sizes
#include "loopback_server.h"
#include "bench_feed.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/contract.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

const char BenchAddress[] = "127.0.0.33";

// One run's milliseconds: from the start to the filled window, and from WM_CLOSE to the end of the
// process. False on failure.
bool TimeRun(const std::string& feed, int size, double* startMs, double* closeMs)
{
    ServerScript script;
    script.chunks.push_back(feed);
    LoopbackServer server;
    if (!StartServer(&server, BenchAddress, script))
        return false;
    std::string folder = MakeScratchFolder("close");
    std::string commandLine = "\"" + RuntimeDirectory() + VIEWER_PROGRAM "\" " + BenchAddress + "^bench^key#";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool measured = false;
    double started = NowMs();
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &process)) {
        // The window shows only once its creation sequence has filled the list.
        HWND window = WaitForWindow([&] { return FindOwnedWindow(PRODUCTS_CLASS_NAME, process.dwProcessId); }, 300000,
                                    1);
        *startMs = NowMs() - started;
        HWND list = window != nullptr ? GetDlgItem(window, 105) : nullptr;
        int rows = list != nullptr ? (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : -1;
        if (rows == size) {
            Sleep(300); // let the first paint finish
            double start = NowMs();
            PostMessageA(window, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0) {
                *closeMs = NowMs() - start;
                measured = true;
            }
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
    return measured;
}

} // namespace

int main(int argc, char** argv)
{
    KeepWinSockStarted();
    std::vector<int> sizes = BenchSizes(argc, argv, { 0, 1000, 32000, 200000 });
    const int runs = 3;
    printf("The real viewer process under Wine, median of %d runs (ms): start to its filled window, and WM_CLOSE\n"
           "to the end of the process; over empty: beyond the same for an empty list\n",
           runs);
    printf("%8s %9s %12s %9s %12s\n", "products", "start", "over empty", "close", "over empty");
    double startFloor = -1, closeFloor = -1;
    for (int size : sizes) {
        std::string feed = MakeFeed(size);
        std::vector<double> starts, closes;
        for (int r = 0; r < runs; ++r) {
            double startMs = 0, closeMs = 0;
            if (!TimeRun(feed, size, &startMs, &closeMs)) {
                printf("%8d failed\n", size);
                return 1;
            }
            starts.push_back(startMs);
            closes.push_back(closeMs);
        }
        double start = Median(starts), close = Median(closes);
        if (size == 0) {
            startFloor = start;
            closeFloor = close;
        }
        if (startFloor >= 0)
            printf("%8d %9.0f %12.0f %9.0f %12.0f\n", size, start, start - startFloor, close, close - closeFloor);
        else
            printf("%8d %9.0f %12s %9.0f %12s\n", size, start, "-", close, "-");
        fflush(stdout);
    }
    return 0;
}
