// Benchmark of working out one cell's tooltip in the real viewer's list view under Wine, at list sizes
// of 1,000 to 200,000 rows: a clipped Product cell, a Price cell (formatted with the money's long
// name), and the pointer staying in a cell whose tip is shown. The first two alternate between rows
// spread over the list, so that every call works its cell out; the third repeats one cell.
//   tooltip_bench.exe                   1,000, 20,000 and 200,000 products
//   tooltip_bench.exe SIZE [SIZE...]    only these sizes
#include "bench_feed.h"
#include "bench_viewer.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listview/cell_tooltips.h"

namespace {

const int Calls = 5001; // timed calls of each kind and size; the median is printed

// Microseconds of each of Calls updates; cell(i) gives the i-th call's row and column.
template <class Cell> std::vector<double> TimeUpdates(HWND window, Cell cell)
{
    std::vector<double> times;
    times.reserve(Calls);
    for (int i = 0; i < Calls; ++i) {
        int item = 0, subitem = 0;
        cell(i, &item, &subitem);
        double start = NowMs();
        UpdateCellTooltip(window, item, subitem);
        times.push_back(1000.0 * (NowMs() - start));
    }
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes = BenchSizes(argc, argv, { 1000, 20000, 200000 });

    printf("One cell tooltip update in the viewer's list view under Wine, median of %d calls, microseconds\n",
           Calls);
    printf("clipped: a Product cell narrower than its text; price: a Price cell; same cell: the pointer\n"
           "staying in a cell whose tip is shown\n");
    printf("%8s %9s %9s %10s %9s\n", "products", "clipped", "price", "same cell", "tip shown");
    for (int size : sizes) {
        HWND list = nullptr;
        HWND window = OpenFilledViewer(size, "127.0.0.35", SW_HIDE, &list);
        if (window == nullptr)
            return 1;
        int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        // Every generated name is wider than this, so every Product cell is clipped.
        SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(20, 0));
        // Rows a fixed stride apart across the whole list; consecutive calls never hit the same cell.
        int stride = std::max(1, rows / 997);
        auto spread = [&](int i) { return (int)((long long)i * stride % rows); };

        std::vector<double> clipped = TimeUpdates(window, [&](int i, int* item, int* subitem) {
            *item = spread(i);
            *subitem = 1;
        });
        bool clippedShown = LastHotCell().tipShown;
        std::vector<double> price = TimeUpdates(window, [&](int i, int* item, int* subitem) {
            *item = spread(i);
            *subitem = 3;
        });
        bool priceShown = LastHotCell().tipShown;
        UpdateCellTooltip(window, rows / 2, 1);
        std::vector<double> same = TimeUpdates(window, [&](int, int* item, int* subitem) {
            *item = rows / 2;
            *subitem = 1;
        });
        bool sameShown = LastHotCell().tipShown;
        printf("%8d %9.2f %9.2f %10.2f %9s\n", rows, Median(clipped), Median(price), Median(same),
               clippedShown && priceShown && sameShown ? "yes" : "NO");
        fflush(stdout);

        CloseFilledViewer(window, list);
    }
    return 0;
}
