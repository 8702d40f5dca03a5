// Benchmark of what a user does once the viewer's window is up, under Wine: the real Products window
// filled inside its creation sequence from a feed served on loopback, as the program runs, then a sort
// by name, paging down through the list, pointer moves over the cells and arrow keys, each timed as
// the list view handles it, painting included.
//   use_bench.exe                   10,000 and 100,000 products
//   use_bench.exe SIZE [SIZE...]    only these sizes
#include "bench_feed.h"
#include "bench_viewer.h"

#include <commctrl.h>
#include <stdio.h>

#include <vector>

#include "listview/sorting.h"
#include "win_test_support.h"

namespace {

// Milliseconds of one call of action.
template <class Action> double Time(Action action)
{
    double start = NowMs();
    action();
    return NowMs() - start;
}

void Key(HWND list, WPARAM key)
{
    SendMessageA(list, WM_KEYDOWN, key, 1);
    SendMessageA(list, WM_KEYUP, key, 0xC0000001);
    UpdateWindow(list);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes = BenchSizes(argc, argv, { 10000, 100000 });
    printf("What a user does in the viewer's window under Wine, the window filled as the program fills it\n");
    printf("sort: by Product, ms; page: Page Down with its painting, ms; move: a pointer move over the cells,\n"
           "us; key: an arrow key with its painting, us (medians)\n");
    printf("%8s %9s %9s %9s %9s\n", "products", "sort", "page", "move", "key");
    for (int size : sizes) {
        HWND list = nullptr;
        HWND window = OpenFilledViewer(size, "127.0.0.36", SW_SHOWNORMAL, &list);
        if (window == nullptr)
            return 1;
        PumpMessages();

        NMLISTVIEW click = {};
        click.iSubItem = 1;
        OnColumnClick(&click);
        double sortMs = Time([&] {
            SortProductList(list, true);
            UpdateWindow(list);
        });

        std::vector<double> pages, moves, keys;
        for (int i = 0; i < 50; ++i)
            pages.push_back(Time([&] { Key(list, VK_NEXT); }));
        RECT client;
        GetClientRect(list, &client);
        for (int i = 0; i < 2000; ++i) {
            LPARAM at = MAKELPARAM(5 + (i * 37) % (client.right - 10), 30 + (i * 11) % (client.bottom - 40));
            moves.push_back(1000.0 * Time([&] { SendMessageA(list, WM_MOUSEMOVE, 0, at); }));
        }
        for (int i = 0; i < 500; ++i)
            keys.push_back(1000.0 * Time([&] { Key(list, i % 2 ? VK_UP : VK_DOWN); }));
        printf("%8d %9.0f %9.1f %9.1f %9.1f\n", size, sortMs, Median(pages), Median(moves), Median(keys));
        fflush(stdout);

        CloseFilledViewer(window, list);
    }
    return 0;
}
