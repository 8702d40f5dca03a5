// The bundled sample catalog: it loads against the built-in category and currency tables, every
// product comes back intact through the viewer's own reading of the feed, and it shows what the
// sample promises.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/contract.h"
#include "feed_catalog.h"
#include "feed_names.h"
#include "feed_request.h"
#include "feed_text.h"
#include "listview/price.h"
#include "server_test_support.h"

namespace {

struct BundledCatalog : ::testing::Test {
    Catalog catalog;

    void SetUp() override
    {
        std::vector<CatalogError> errors;
        CatalogRules rules;
        rules.allowShortKeys = true;  // the demo key is short on purpose
        const bool loaded = LoadCatalog(SampleCatalogDir(), &catalog, &errors, rules);
        std::string messages;
        for (const CatalogError& error : errors)
            messages += FormatCatalogError(error) + "\n";
        ASSERT_TRUE(loaded) << messages;
    }

    std::vector<const CatalogProduct*> All() const
    {
        std::vector<const CatalogProduct*> all;
        for (const CatalogAccount& account : catalog.accounts)
            for (const CatalogProduct& product : account.products)
                all.push_back(&product);
        return all;
    }
};

using feed_server_bundled_catalog = BundledCatalog;

std::string Cp1252(const std::string& utf8)
{
    std::string out;
    std::string why;
    EXPECT_TRUE(Utf8ToCp1252(utf8, &out, &why)) << why;
    return out;
}

TEST_F(feed_server_bundled_catalog, HasTwoAccountsTheFirstEasyToType)
{
    ASSERT_EQ(2u, catalog.accounts.size());
    EXPECT_EQ("demo", catalog.accounts[0].id);
    EXPECT_EQ("demo", catalog.accounts[0].key);
    EXPECT_EQ("Harbor Street Home Goods", catalog.accounts[0].caption);
    EXPECT_NE("demo", catalog.accounts[1].key);
    EXPECT_GE(catalog.productCount, 90u);
    EXPECT_LE(catalog.productCount, 130u);
    for (const CatalogAccount& account : catalog.accounts)
        EXPECT_GE(account.products.size(), 30u) << account.id;
}

TEST_F(feed_server_bundled_catalog, EveryProductComesBackThroughTheViewersReading)
{
    for (const CatalogAccount& account : catalog.accounts) {
        const std::string& feed = account.feed;
        EXPECT_EQ(std::string::npos, feed.find('\0')) << account.id;
        EXPECT_EQ(std::string::npos, feed.find('\x1A')) << account.id;
        EXPECT_EQ(std::string::npos, feed.find('\r')) << account.id;
        ASSERT_EQ('\n', feed.back());

        const ViewerFeed read = ReadFeedLikeViewer(feed);
        EXPECT_FALSE(read.noData);
        EXPECT_EQ(Cp1252(account.caption), read.caption);
        EXPECT_EQ(0, read.skippedLines) << account.id;
        EXPECT_EQ(0, read.overflowingLines) << account.id;
        ASSERT_EQ(account.products.size(), read.products.size()) << account.id;
        for (size_t i = 0; i < read.products.size(); ++i) {
            const CatalogProduct& want = account.products[i];
            const ViewerProduct& got = read.products[i];
            SCOPED_TRACE(account.id + " line " + std::to_string(want.line));
            EXPECT_LE(want.feedLine.size(), kFeedLineMax);
            EXPECT_EQ(AdjustStatus(want.status), got.status);
            EXPECT_EQ(Cp1252(want.name), got.name);
            EXPECT_EQ(want.categoryId, got.categoryId);
            EXPECT_EQ(Cp1252(want.price), got.price);
            EXPECT_EQ(want.currencyId, got.currencyId);
            EXPECT_EQ(want.webAddress, got.webAddress);
            EXPECT_EQ(want.serverPath, got.serverPath);
        }
    }
}

TEST_F(feed_server_bundled_catalog, EveryServerPathOpensItsPage)
{
    size_t pages = 0;
    for (const CatalogAccount& account : catalog.accounts)
        for (const CatalogProduct& product : account.products) {
            if (product.serverPath.empty())
                continue;
            const std::string request = "GET /" + product.serverPath + "^" + account.id + "^" + account.key +
                                        " HTTP/1.0\r\n\r\n";
            const Reply reply = AnswerRequest(catalog, request.data(), request.size(), kRequestComplete);
            EXPECT_EQ(200, reply.httpStatus) << request;
            EXPECT_NE(std::string::npos, reply.text.find("<h1>" + EscapeHtml(product.name) + "</h1>")) << request;
            ++pages;
        }
    EXPECT_GT(pages, 80u);
}

TEST_F(feed_server_bundled_catalog, CoversWhatTheViewerCanShow)
{
    std::set<int> groups;
    std::set<std::string> topCategories;
    std::set<int> currencies;
    int rejectedPrices = 0;
    int withSeparators = 0;
    int withoutDecimals = 0;
    int withDecimals = 0;
    int noWebAddress = 0;
    int noServerPath = 0;
    int neither = 0;
    int rawCodes = 0;
    int longNames = 0;
    size_t longestName = 0;
    int nonAscii = 0;
    for (const CatalogProduct* p : All()) {
        groups.insert(StatusGroup(p->status));
        if (p->status != kStatusListed && p->status != kStatusNew && p->status != kStatusSale &&
            p->status != kStatusSoldOut)
            ++rawCodes;
        const std::string category = CategoryName(p->categoryId);
        topCategories.insert(category.substr(0, category.find(" > ")));
        currencies.insert(p->currencyId);
        const double value = ParsePrice(Cp1252(p->price).c_str());
        if (value < 0) {
            ++rejectedPrices;
        } else {
            withSeparators += p->price.find(',') != std::string::npos;
            withoutDecimals += p->price.find('.') == std::string::npos;
            withDecimals += p->price.find('.') != std::string::npos;
        }
        noWebAddress += p->webAddress.empty();
        noServerPath += p->serverPath.empty();
        neither += p->webAddress.empty() && p->serverPath.empty();
        const size_t length = Cp1252(p->name).size();
        longNames += length > 45;
        longestName = std::max(longestName, length);
        nonAscii += Cp1252(p->name) != p->name;
    }
    EXPECT_EQ(4u, groups.size());
    EXPECT_GE(rawCodes, 5);
    EXPECT_GE(topCategories.size(), 12u);
    EXPECT_GE(currencies.size(), 6u);
    EXPECT_GE(rejectedPrices, 4);
    EXPECT_GE(withSeparators, 10);
    EXPECT_GE(withoutDecimals, 10);
    EXPECT_GE(withDecimals, 10);
    EXPECT_GE(noWebAddress, 5);
    EXPECT_GE(noServerPath, 5);
    EXPECT_GE(neither, 2);
    EXPECT_GE(longNames, 5);
    EXPECT_GT(longestName, 100u);
    EXPECT_GE(nonAscii, 3);
}

} // namespace
