// The benchmarks' generated feed and clock.
#include "bench_feed.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "feed/feed_format.h"
#include "feed/product_list.h"

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

void LoadProducts(int count)
{
    std::string feed = MakeFeed(count);
    size_t start = feed.find('\n') + 1;
    FeedProduct product;
    while (start < feed.size()) {
        size_t end = feed.find('\n', start);
        std::string line = feed.substr(start, end - start);
        if (ParseProductLine(line.c_str(), &product))
            AppendProduct(product.status, product.name, product.categoryId, product.price, product.currencyId,
                          product.webAddress, product.serverPath);
        start = end + 1;
    }
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}


std::vector<int> BenchSizes(int argc, char** argv, std::vector<int> defaults)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(atoi(argv[i]));
    return sizes.empty() ? defaults : sizes;
}
