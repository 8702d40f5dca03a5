// The benchmarks' generated feed and clock.
#include "bench_feed.h"

#include <stdio.h>

// A feed of count products with texts of realistic length and every status group.
std::string MakeFeed(int count)
{
    static const int categories[] = { 1110, 1120, 1210, 1310, 2100, 3100, 4100, 5100 };
    static const int currencies[] = { 840, 978, 826, 392 };
    static const char* const words[] = { "Oak", "Walnut", "Linen", "Copper", "Stone", "Wool", "Maple", "Steel" };
    std::string feed = "Benchmark Outfitters\n";
    feed.reserve((size_t)count * 140 + 64);
    char line[300];
    for (int i = 0; i < count; ++i) {
        snprintf(line, sizeof line, ":%d^%s %s chair, model %d^%d^%d,%03d.%02d^%d^shop.example/items/%s-%d^item-%d^^^^#\n",
                 i % 15, words[i % 8], words[(i / 8) % 8], i, categories[i % 8], 1 + i % 9, i % 1000, i % 100,
                 currencies[i % 4], words[(i / 3) % 8], i, i);
        feed += line;
    }
    return feed;
}

double NowMs()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}
