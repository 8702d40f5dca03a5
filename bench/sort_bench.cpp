// Benchmark of sorting the real viewer's list view under Wine: " Ascending" and " Descending" on
// "Product" and on "Price" (all three passes), beside a bare reference, the same list view sorted
// once by a plain text comparison of the names. Every sort starts from the feed order.
//   sort_bench.exe                   10,000, 100,000 and 200,000 products
//   sort_bench.exe SIZE [SIZE...]    only these sizes
#include "bench_feed.h"
#include "bench_viewer.h"

#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "listview/sort_keys.h"
#include "listview/sorting.h"

namespace {

std::unordered_map<const ProductRecord*, int> feedOrder; // each record's place in the feed

int CALLBACK ByFeedOrder(LPARAM first, LPARAM second, LPARAM)
{
    return feedOrder[(const ProductRecord*)first] - feedOrder[(const ProductRecord*)second];
}

// The reference: the least comparison that orders rows by a text.
int CALLBACK ByPlainName(LPARAM first, LPARAM second, LPARAM)
{
    return strcmp(((const ProductRecord*)first)->name, ((const ProductRecord*)second)->name);
}

// The comparison the Product column must make (case-insensitive, by the locale's rules), alone.
int CALLBACK ByLocaleName(LPARAM first, LPARAM second, LPARAM)
{
    return lstrcmpiA(((const ProductRecord*)first)->name, ((const ProductRecord*)second)->name);
}

// The memory the process has committed, in KB (Wine reports it as the page file share).
double CommittedKb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage / 1024.0;
}

double TimeViewerSort(HWND list, int column, bool ascending)
{
    SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)ByFeedOrder);
    NMLISTVIEW click = {};
    click.iSubItem = column;
    OnColumnClick(&click); // arms the column, as the header click before the menu does
    double start = NowMs();
    SortProductList(list, ascending);
    return NowMs() - start;
}

double TimeReferenceSort(HWND list, PFNLVCOMPARE compare)
{
    SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)ByFeedOrder);
    double start = NowMs();
    SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)compare);
    return NowMs() - start;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes = BenchSizes(argc, argv, { 10000, 100000, 200000 });

    printf("Sorting the viewer's list view under Wine, median of 3 runs (1 at 200,000 and more), ms\n");
    printf("reference: one sort by a plain text comparison of the names; locale: one by lstrcmpiA alone\n");
    printf("%8s %10s %-11s %9s %9s %7s %9s\n", "products", "column", "order", "viewer", "reference", "ratio",
           "locale");
    for (int size : sizes) {
        HWND list = nullptr;
        HWND window = OpenFilledViewer(size, "127.0.0.34", SW_HIDE, &list);
        if (window == nullptr)
            return 1;
        feedOrder.clear();
        int index = 0;
        for (const ProductRecord* record = ProductListHead(); record != nullptr; record = record->next)
            feedOrder[record] = index++;

        double committedBefore = CommittedKb();
        int runs = size >= 200000 ? 1 : 3;
        std::vector<double> reference, locale;
        for (int r = 0; r < runs; ++r) {
            reference.push_back(TimeReferenceSort(list, ByPlainName));
            locale.push_back(TimeReferenceSort(list, ByLocaleName));
        }
        double referenceMs = Median(reference);
        double localeMs = Median(locale);
        const struct {
            int column;
            const char* name;
        } columns[] = { { 1, "Product" }, { 3, "Price" } };
        for (const auto& column : columns) {
            for (bool ascending : { true, false }) {
                std::vector<double> viewer;
                for (int r = 0; r < runs; ++r)
                    viewer.push_back(TimeViewerSort(list, column.column, ascending));
                double viewerMs = Median(viewer);
                printf("%8d %10s %-11s %9.0f %9.0f %7.2f %9.0f\n", size, column.name,
                       ascending ? " Ascending" : " Descending", viewerMs, referenceMs, viewerMs / referenceMs,
                       localeMs);
                fflush(stdout);
            }
        }
        // What the keys held at most (the largest list so far), and that the process keeps none of it.
        printf("%8d keys held at most %.1f MB, %.0f bytes a row; committed %.0f KB before the sorts, %.0f KB after\n",
               size, PeakPreparedKeyBytes() / 1048576.0, (double)PeakPreparedKeyBytes() / size, committedBefore,
               CommittedKb());
        CloseFilledViewer(window, list);
    }
    return 0;
}
