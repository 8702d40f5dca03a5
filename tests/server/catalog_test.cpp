// The catalog loader on real files: the feed lines it builds, code page 1252 conversion, the viewer's
// limits at their boundaries, the "file:line: reason" messages for every kind of bad entry (escaped for
// the terminal), regular files only, ids Windows takes for devices, short keys, and the built-in names.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "common/capacities.h"
#include "common/contract.h"
#include "companions/category/category_table.h"
#include "companions/countries/money_table.h"
#include "feed_catalog.h"
#include "feed_names.h"
#include "feed_text.h"
#include "server_test_support.h"

namespace {

struct Loaded {
    bool ok = false;
    Catalog catalog;
    std::vector<std::string> messages;  // "file:line: reason" with the scratch directory cut off
};

// Short keys are taken (with a warning) unless the rules given say otherwise.
CatalogRules ShortKeysAllowed()
{
    CatalogRules rules;
    rules.allowShortKeys = true;
    return rules;
}

Loaded Load(const std::string& accounts, const std::vector<std::pair<std::string, std::string>>& products,
            const CatalogRules& rules = ShortKeysAllowed())
{
    ScratchCatalog scratch = MakeCatalog(accounts, products);
    Loaded loaded;
    std::vector<CatalogError> errors;
    loaded.ok = LoadCatalog(scratch.dir, &loaded.catalog, &errors, rules);
    for (const CatalogError& error : errors) {
        std::string message = FormatCatalogError(error);
        if (message.compare(0, scratch.dir.size() + 1, scratch.dir + "/") == 0)
            message = message.substr(scratch.dir.size() + 1);
        loaded.messages.push_back(message);
    }
    RemoveTree(scratch.dir);
    return loaded;
}

// One account "shop" with these product lines.
Loaded LoadProducts(const std::string& productLines)
{
    return Load("shop | secret | Corner Shop\n", {{"shop", productLines}});
}

std::string Number(size_t value)
{
    return std::to_string(value);
}

std::string Joined(const std::vector<std::string>& messages)
{
    std::string all;
    for (const std::string& m : messages)
        all += m + "\n";
    return all;
}

TEST(feed_server_catalog, BuildsTheFeedFromAccountsAndProducts)
{
    const Loaded loaded = Load(
        "# comment\n\n  demo | demo | Harbor Street Home Goods  \n"
        "other|k-2|Other Shop\n",
        {{"demo",
          "# status | name | ...\n"
          "new | Oak chair | 1110 | 89 | 840 | shop.example/oak | oak-chair\n"
          "\n"
          "sold-out|Stool|1110|1,234.50|978\n"
          "13 | Lamp | 1410 | call us | 036 | | lamp\n"},
         {"other", ""}});
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    ASSERT_EQ(2u, loaded.catalog.accounts.size());
    EXPECT_EQ(3u, loaded.catalog.productCount);

    const CatalogAccount* demo = FindAccount(loaded.catalog, "demo");
    ASSERT_NE(nullptr, demo);
    EXPECT_EQ("demo", demo->key);
    EXPECT_EQ("Harbor Street Home Goods\n"
              ":2^Oak chair^1110^89^840^shop.example/oak^oak-chair^^^^#\n"
              ":6^Stool^1110^1,234.50^978^^^^^^#\n"
              ":13^Lamp^1410^call us^36^^lamp^^^^#\n",
              demo->feed);
    ASSERT_EQ(3u, demo->products.size());
    EXPECT_EQ(2, demo->products[0].line);
    EXPECT_EQ(5, demo->products[2].line);
    EXPECT_EQ(2u, demo->byServerPath.at("lamp"));
    EXPECT_EQ(0u, demo->byServerPath.at("oak-chair"));
    EXPECT_EQ(0u, demo->byServerPath.count(""));

    const CatalogAccount* other = FindAccount(loaded.catalog, "other");
    ASSERT_NE(nullptr, other);
    EXPECT_EQ("Other Shop\n", other->feed);
    EXPECT_EQ(nullptr, FindAccount(loaded.catalog, "Demo"));
}

TEST(feed_server_catalog, ReadsWindowsLineEndsAndAByteOrderMark)
{
    const Loaded loaded = Load("\xEF\xBB\xBFshop | secret | Corner Shop\r\n",
                               {{"shop", "\xEF\xBB\xBFnew | Chair | 1110 | 5 | 840\r\nsale | Desk | 1120 | 7 | 840\r\n"}});
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    EXPECT_EQ("Corner Shop\n:2^Chair^1110^5^840^^^^^^#\n:5^Desk^1120^7^840^^^^^^#\n",
              loaded.catalog.accounts[0].feed);
}

TEST(feed_server_catalog, WritesTheFeedInCodePage1252AndKeepsUtf8ForPages)
{
    const Loaded loaded = Load("shop | secret | Caf\xC3\xA9 Corner\n",
                               {{"shop", "new | Cr\xC3\xA8me \xE2\x80\x93 \xE2\x82\xAC""5 | 1110 | \xC2\xA3""45 | 826\n"}});
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    const CatalogAccount& shop = loaded.catalog.accounts[0];
    EXPECT_EQ("Caf\xE9 Corner\n:2^Cr\xE8me \x96 \x80""5^1110^\xA3""45^826^^^^^^#\n", shop.feed);
    EXPECT_EQ("Caf\xC3\xA9 Corner", shop.caption);
    EXPECT_EQ("Cr\xC3\xA8me \xE2\x80\x93 \xE2\x82\xAC""5", shop.products[0].name);
}

TEST(feed_server_catalog, CountsLimitsInViewerCharactersNotUtf8Bytes)
{
    // Two bytes of UTF-8 each, one character of the feed each: as many as the viewer keeps.
    const size_t kept = PRODUCT_NAME_CAPACITY - 1;
    std::string name;
    for (size_t i = 0; i < kept; ++i)
        name += "\xC3\xA9";
    Loaded loaded = LoadProducts("new | " + name + " | 1110 | 1 | 840\n");
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    const ViewerFeed read = ReadFeedLikeViewer(loaded.catalog.accounts[0].feed);
    ASSERT_EQ(1u, read.products.size());
    EXPECT_EQ(std::string(kept, '\xE9'), read.products[0].name);
    EXPECT_EQ(0, read.overflowingLines);
    loaded = LoadProducts("new | " + name + "e | 1110 | 1 | 840\n");
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ("products/shop.txt:1: name is " + Number(kept + 1) + " characters, more than " + Number(kept) + "\n",
              Joined(loaded.messages));
}

TEST(feed_server_catalog, RejectsTextTheViewerCannotShow)
{
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"new | \xE4\xB8\xAD chair | 1110 | 1 | 840", "products/shop.txt:1: character U+4E2D at column 7 is not in code page 1252"},
        {"new | Chair \xFF | 1110 | 1 | 840", "products/shop.txt:1: invalid UTF-8 at column 13"},
        {"new | Chair \xC3 | 1110 | 1 | 840", "products/shop.txt:1: invalid UTF-8 at column 13"},
        {"new | Chair \xC0\xAF | 1110 | 1 | 840", "products/shop.txt:1: invalid UTF-8 at column 13"},
        {"new | Chair \xED\xA0\x80 | 1110 | 1 | 840", "products/shop.txt:1: invalid UTF-8 at column 13"},
        {"new | Chair \xC2\x85 | 1110 | 1 | 840", "products/shop.txt:1: character U+0085 at column 13 is not in code page 1252"},
        {"new | Tab\there | 1110 | 1 | 840", "products/shop.txt:1: name holds the control character 0x09"},
        {"new | Ctrl-Z \x1A | 1110 | 1 | 840", "products/shop.txt:1: name holds the control character 0x1A"},
        {"new | Cr\r in name | 1110 | 1 | 840", "products/shop.txt:1: name holds the control character 0x0D"},
    };
    for (const Case& c : cases) {
        const Loaded loaded = LoadProducts(std::string(c.line) + "\n");
        EXPECT_FALSE(loaded.ok) << c.line;
        EXPECT_EQ(std::string(c.message) + "\n", Joined(loaded.messages)) << c.line;
    }
}

TEST(feed_server_catalog, RejectsProductsThatNoFeedLineCanHold)
{
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"new | Chair | 1110 | 1", "expected 5 to 7 fields"},
        {"new | Chair | 1110 | 1 | 840 | a.example | p | extra", "expected 5 to 7 fields"},
        {"fresh | Chair | 1110 | 1 | 840", "status \"fresh\" is not listed, new, sale, sold-out"},
        {"1000 | Chair | 1110 | 1 | 840", "status \"1000\""},
        {"-100 | Chair | 1110 | 1 | 840", "status \"-100\""},
        {"- | Chair | 1110 | 1 | 840", "status \"-\""},
        {"new |  | 1110 | 1 | 840", "name is empty"},
        {"new | Up^Down | 1110 | 1 | 840", "name holds \"^\", which the feed uses between fields"},
        {"new | Chair | 11x0 | 1 | 840", "category \"11x0\" is not a category id"},
        {"new | Chair | 0 | 1 | 840", "category \"0\" is not a category id"},
        {"new | Chair | -5 | 1 | 840", "category \"-5\""},
        {"new | Chair | 01110 | 1 | 840", "category \"01110\""},
        {"new | Chair | 99999999999 | 1 | 840", "category \"99999999999\""},
        {"new | Chair | 1110 | 1^2 | 840", "price holds \"^\""},
        {"new | Chair | 1110 | 1 | USD", "currency \"USD\" is not an ISO 4217 numeric code"},
        {"new | Chair | 1110 | 1 | 1000", "currency \"1000\""},
        {"new | Chair | 1110 | 1 | 000", "currency \"000\""},
        {"new | Chair | 1110 | 1 | 840 | http://a.example", "must not have a scheme"},
        {"new | Chair | 1110 | 1 | 840 | a.example/x y", "web address may hold only printable ASCII"},
        {"new | Chair | 1110 | 1 | 840 | a.example/^ | p", "web address holds \"^\""},
        {"new | Chair | 1110 | 1 | 840 | | /chair", "must not start with \"/\""},
        {"new | Chair | 1110 | 1 | 840 | | ch air", "may hold only letters, digits and - . _ ~ /"},
        {"new | Chair | 1110 | 1 | 840 | | ch?air", "may hold only letters"},
        {"new | Chair | 1110 | 1 | 840 | | ch%5Eair", "may hold only letters"},
        {"new | Chair | 1110 | 1 | 840 | | a/../b", "holds a \".\" or \"..\" segment"},
        {"new | Chair | 1110 | 1 | 840 | | ./b", "holds a \".\" or \"..\" segment"},
        {"new | Chair | 1110 | 1 | 840 | | a/..", "holds a \".\" or \"..\" segment"},
    };
    for (const Case& c : cases) {
        const Loaded loaded = LoadProducts(std::string("# header\n") + c.line + "\n");
        EXPECT_FALSE(loaded.ok) << c.line;
        ASSERT_EQ(1u, loaded.messages.size()) << c.line;
        EXPECT_EQ(0u, loaded.messages[0].find("products/shop.txt:2: ")) << loaded.messages[0];
        EXPECT_NE(std::string::npos, loaded.messages[0].find(c.reason)) << loaded.messages[0];
    }
}

TEST(feed_server_catalog, AcceptsTheViewerLimitsExactly)
{
    // The longest texts the viewer keeps, and a web address that makes the line one whole read of the
    // viewer's reader, its line feed included.
    const std::string name(PRODUCT_NAME_CAPACITY - 1, 'n');
    const std::string price(PRODUCT_PRICE_CAPACITY - 1, '9');
    // ":2^" name "^1110^" price "^840^" web "^^^^^#": 20 characters besides the three texts.
    const size_t lineMax = FEED_READ_CHARS - 1;
    const std::string web = std::string(lineMax - 20 - name.size() - price.size() - 1, 'w') + "x";
    Loaded loaded = LoadProducts("new | " + name + " | 1110 | " + price + " | 840 | " + web + "\n");
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    EXPECT_EQ(lineMax, loaded.catalog.accounts[0].products[0].feedLine.size());
    const ViewerFeed read = ReadFeedLikeViewer(loaded.catalog.accounts[0].feed);
    EXPECT_EQ(0, read.skippedLines);
    EXPECT_EQ(0, read.overflowingLines);
    ASSERT_EQ(1u, read.products.size());
    EXPECT_EQ(name, read.products[0].name);
    EXPECT_EQ(price, read.products[0].price);
    EXPECT_EQ(web, read.products[0].webAddress);

    loaded = LoadProducts("new | " + name + " | 1110 | " + price + " | 840 | " + web + "y\n");
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ("products/shop.txt:1: feed line would be " + Number(lineMax + 1) + " characters, more than " +
                  Number(lineMax) + "\n",
              Joined(loaded.messages));

    loaded = LoadProducts("new | Chair | 1110 | " + price + "9 | 840\n");
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ("products/shop.txt:1: price is " + Number(price.size() + 1) + " characters, more than " +
                  Number(price.size()) + "\n",
              Joined(loaded.messages));
    loaded = LoadProducts("-99 | Chair | 1110 | 1 | 999\n");
    EXPECT_TRUE(loaded.ok) << Joined(loaded.messages);
    EXPECT_EQ(":-99^Chair^1110^1^999^^^^^^#", loaded.catalog.accounts[0].products[0].feedLine);
}

TEST(feed_server_catalog, KeepsThePageAddressWithinTheViewerBuffer)
{
    // The page address the viewer builds for the longest dotted address fills its buffer exactly.
    const std::string around = "http://255.255.255.255:" + std::to_string(FEED_PORT) + "/" + "^shop^secret";
    const std::string path(LINK_ADDRESS_CAPACITY - 1 - around.size(), 'p');
    Loaded loaded = LoadProducts("new | A | 1110 | 1 | 840 | | " + path + "\n");
    EXPECT_TRUE(loaded.ok) << Joined(loaded.messages);
    loaded = LoadProducts("new | A | 1110 | 1 | 840 | | " + path + "q\n");
    EXPECT_FALSE(loaded.ok);
    const size_t fields = path.size() + 1 + strlen("shop") + strlen("secret");
    EXPECT_NE(std::string::npos, Joined(loaded.messages)
                                     .find("products/shop.txt:1: server path, id and key are " + Number(fields) +
                                           " characters together, more than the " + Number(fields - 1)))
        << Joined(loaded.messages);
}

TEST(feed_server_catalog, RejectsBadAccounts)
{
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"demo | demo", "expected 3 fields \"id | key | caption\", found 2"},
        {"demo | demo | Shop | more", "found 4"},
        {" | demo | Shop", "id \"\" must be letters, digits"},
        {"de mo | demo | Shop", "id \"de mo\""},
        {"de^mo | demo | Shop", "id \"de^mo\""},
        {"../x | demo | Shop", "id \"../x\""},
        {"demo | | Shop", "key must be letters"},
        {"demo | de#mo | Shop", "key must be letters"},
        {"demo | hmac-sha256:0123 | Shop", "key verifier must be \"hmac-sha256:\" and 64 lower-case hex"},
        {"demo | demo | ", "caption is empty"},
        {"demo | demo | <BODY><h1>Shop", "caption starts with \"<body><h1>\""},
        {"demo | demo | Tab\tShop", "caption holds the control character 0x09"},
    };
    for (const Case& c : cases) {
        const Loaded loaded = Load(std::string("ok | ok | Fine Shop\n") + c.line + "\n", {{"ok", ""}});
        EXPECT_FALSE(loaded.ok) << c.line;
        ASSERT_EQ(1u, loaded.messages.size()) << c.line << "\n" << Joined(loaded.messages);
        EXPECT_EQ(0u, loaded.messages[0].find("accounts.txt:2: ")) << loaded.messages[0];
        EXPECT_NE(std::string::npos, loaded.messages[0].find(c.reason)) << loaded.messages[0];
        // A key field is never quoted, however bad: it may be the key with a typo.
        EXPECT_EQ(std::string::npos, loaded.messages[0].find("#mo")) << loaded.messages[0];
        EXPECT_EQ(std::string::npos, loaded.messages[0].find("0123")) << loaded.messages[0];
    }

    // The longest id and key of the viewer's command line, and the longest caption whose title the
    // viewer keeps whole.
    const std::string id(ACCOUNT_ID_CAPACITY - 1, 'i');
    const std::string key(ACCOUNT_KEY_CAPACITY - 1, 'k');
    const std::string caption(kCaptionMax, 'c');
    Loaded loaded = Load(id + " | " + key + " | " + caption + "\n", {{id, ""}});
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    const ViewerFeed read = ReadFeedLikeViewer(loaded.catalog.accounts[0].feed);
    EXPECT_FALSE(read.noData);
    EXPECT_EQ(caption, read.caption);
    loaded = Load(id + "x | k | c\n", {{id + "x", ""}});
    EXPECT_EQ("accounts.txt:1: id is " + Number(id.size() + 1) + " characters, more than " + Number(id.size()) + "\n",
              Joined(loaded.messages));
    loaded = Load("demo | " + key + "k | Shop\n", {{"demo", ""}});
    EXPECT_EQ("accounts.txt:1: key is " + Number(key.size() + 1) + " characters, more than " + Number(key.size()) +
                  "\n",
              Joined(loaded.messages));
    loaded = Load("a | k | " + caption + "c\n", {{"a", ""}});
    EXPECT_EQ("accounts.txt:1: caption is " + Number(caption.size() + 1) + " characters, more than " +
                  Number(caption.size()) + "\n",
              Joined(loaded.messages));
    // A caret is harmless in the header line: only product lines are cut at "^".
    loaded = Load("a | k | Shop ^ Co\n", {{"a", ""}});
    EXPECT_TRUE(loaded.ok) << Joined(loaded.messages);
}

TEST(feed_server_catalog, RejectsRepeatedIdsAndServerPaths)
{
    Loaded loaded = Load("shop | a | One\nSHOP | b | Two\n", {{"shop", ""}});
    EXPECT_EQ("accounts.txt:2: id \"SHOP\" is already used on line 1 (ids are compared without regard to case)\n",
              Joined(loaded.messages));
    loaded = LoadProducts("new | A | 1110 | 1 | 840 | | same\nnew | B | 1110 | 1 | 840 | | other\nnew | C | 1110 | 1 | 840 | | same\n");
    EXPECT_EQ("products/shop.txt:3: server path \"same\" is already used on line 1\n", Joined(loaded.messages));
    // The same path in two accounts is fine: a page address always names its account.
    loaded = Load("a | k | A\nb | k | B\n", {{"a", "new | A | 1110 | 1 | 840 | | same\n"}, {"b", "new | B | 1110 | 1 | 840 | | same\n"}});
    EXPECT_TRUE(loaded.ok) << Joined(loaded.messages);
}

TEST(feed_server_catalog, NamesMissingFilesAndReportsEveryError)
{
    Loaded loaded = Load("a | k | A\nb | k | B\n", {{"a", ""}});
    ASSERT_EQ(1u, loaded.messages.size());
    EXPECT_EQ(0u, loaded.messages[0].find("products/b.txt: cannot be opened: ")) << loaded.messages[0];

    loaded = Load("# nothing\n", {});
    EXPECT_EQ("accounts.txt: holds no account\n", Joined(loaded.messages));

    std::vector<CatalogError> errors;
    Catalog catalog;
    EXPECT_FALSE(LoadCatalog("/nonexistent-catalog-dir", &catalog, &errors));
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, FormatCatalogError(errors[0]).find("/nonexistent-catalog-dir/accounts.txt: cannot be opened: "));

    loaded = LoadProducts("new | A | 1110 | 1 | 840\nbad | B | 1110 | 1 | 840\nnew | C | x | 1 | 840\nnew | D | 1110 | 1 | 840\n"
                          "new | E^ | 1110 | 1 | 840\n");
    EXPECT_FALSE(loaded.ok);
    ASSERT_EQ(3u, loaded.messages.size()) << Joined(loaded.messages);
    EXPECT_EQ(0u, loaded.messages[0].find("products/shop.txt:2: "));
    EXPECT_EQ(0u, loaded.messages[1].find("products/shop.txt:3: "));
    EXPECT_EQ(0u, loaded.messages[2].find("products/shop.txt:5: "));

    std::string many;
    for (int i = 0; i < 500; ++i)
        many += "bad | A | 1110 | 1 | 840\n";
    loaded = LoadProducts(many);
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ(kCatalogErrorsMax, loaded.messages.size());
}

// The names a page shows come from the tables the viewer's libraries are built from: every line of
// the repository's categories.txt, and every currency of the ISO 4217 table, is found by its number.
TEST(feed_server_catalog, NamesCategoriesAndCurrenciesFromTheViewersTables)
{
    std::ifstream file(CategoriesFile());
    ASSERT_TRUE(file.good()) << CategoriesFile();
    size_t categories = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t bar = line.find('|');
        ASSERT_NE(std::string::npos, bar) << line;
        const int id = atoi(line.substr(0, bar).c_str());
        const char* name = CategoryName(id);
        ASSERT_NE(nullptr, name) << line;
        EXPECT_EQ(line.substr(bar + 1), Cp1252ToUtf8(name)) << line;
        ++categories;
    }
    EXPECT_EQ((size_t)kCategoryCount, categories);
    EXPECT_GT(categories, 100u);
    for (int unknown : {0, -1, 9999, 1111, 2147483647})
        EXPECT_EQ(nullptr, CategoryName(unknown)) << unknown;

    for (int i = 0; i < kMoneyRecordCount; ++i)
        EXPECT_STREQ(kMoneyRecords[i].code, CurrencyCode(kMoneyRecords[i].numeric)) << kMoneyRecords[i].numeric;
    EXPECT_GT(kMoneyRecordCount, 150);
    const struct {
        int numeric;
        const char* code;
    } known[] = {{840, "USD"}, {978, "EUR"}, {826, "GBP"}, {392, "JPY"}, {36, "AUD"}, {124, "CAD"}, {756, "CHF"}};
    for (const auto& k : known)
        EXPECT_STREQ(k.code, CurrencyCode(k.numeric)) << k.numeric;
    for (int unknown : {0, 1, 998, 1000, -840})
        EXPECT_EQ(nullptr, CurrencyCode(unknown)) << unknown;
}

TEST(feed_server_catalog, RefusesIdsTheTablesDoNotHold)
{
    EXPECT_EQ("products/shop.txt:1: category 9999 is not in the category list (companions/category/categories.txt)\n",
              Joined(LoadProducts("new | Chair | 9999 | 1 | 840\n").messages));
    EXPECT_EQ("products/shop.txt:1: currency 998 is not in the ISO 4217 list\n",
              Joined(LoadProducts("new | Chair | 1110 | 1 | 998\n").messages));
    EXPECT_TRUE(LoadProducts("new | Chair | 1110 | 1 | 036\n").ok);
}

// Loads a catalog on a thread of its own with a time limit. A loader stuck opening a FIFO is let go by
// opening that FIFO for writing, so that the test ends either way; false when it had to be.
bool LoadWithin(const std::string& dir, const std::vector<std::string>& fifos, Loaded* loaded)
{
    auto job = std::async(std::launch::async, [&] {
        std::vector<CatalogError> errors;
        loaded->ok = LoadCatalog(dir, &loaded->catalog, &errors, ShortKeysAllowed());
        for (const CatalogError& error : errors)
            loaded->messages.push_back(FormatCatalogError(error).substr(dir.size() + 1));
    });
    if (job.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    for (const std::string& fifo : fifos) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    }
    job.wait();
    return false;
}

TEST(feed_server_catalog, ReadsOnlyRegularFiles)
{
    ScratchCatalog scratch = MakeCatalog("shop | secret-1 | Shop\n", {});
    const std::string accounts = scratch.dir + "/accounts.txt";
    const std::string products = scratch.dir + "/products/shop.txt";

    // A FIFO in place of either file: refused at once, before anything waits for a writer.
    ASSERT_EQ(0, unlink(accounts.c_str()));
    ASSERT_EQ(0, mkfifo(accounts.c_str(), 0644));
    Loaded loaded;
    EXPECT_TRUE(LoadWithin(scratch.dir, {accounts}, &loaded)) << "the loader waited on a FIFO";
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ("accounts.txt: is not a regular file (a FIFO or a device)\n", Joined(loaded.messages));
    unlink(accounts.c_str());
    ASSERT_TRUE(WriteTextFile(accounts, "shop | secret-1 | Shop\n"));

    ASSERT_EQ(0, mkfifo(products.c_str(), 0644));
    loaded = Loaded();
    EXPECT_TRUE(LoadWithin(scratch.dir, {products}, &loaded)) << "the loader waited on a FIFO";
    EXPECT_EQ("products/shop.txt: is not a regular file (a FIFO or a device) (every account of accounts.txt needs "
              "its products file)\n",
              Joined(loaded.messages));
    unlink(products.c_str());

    // A device: an empty list of products would have been read from it.
    ASSERT_EQ(0, symlink("/dev/null", products.c_str()));
    loaded = Loaded();
    EXPECT_TRUE(LoadWithin(scratch.dir, {}, &loaded));
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ(0u, Joined(loaded.messages).find("products/shop.txt: is not a regular file")) << Joined(loaded.messages);
    unlink(products.c_str());

    ASSERT_EQ(0, mkdir(products.c_str(), 0755));
    loaded = Loaded();
    EXPECT_TRUE(LoadWithin(scratch.dir, {}, &loaded));
    EXPECT_EQ(0u, Joined(loaded.messages).find("products/shop.txt: is a directory, not a file")) << Joined(loaded.messages);
    rmdir(products.c_str());

    // A link to a regular file is a regular file.
    ASSERT_TRUE(WriteTextFile(scratch.dir + "/real.txt", "new | Chair | 1110 | 5 | 840\n"));
    ASSERT_EQ(0, symlink((scratch.dir + "/real.txt").c_str(), products.c_str()));
    loaded = Loaded();
    EXPECT_TRUE(LoadWithin(scratch.dir, {}, &loaded));
    EXPECT_TRUE(loaded.ok) << Joined(loaded.messages);
    EXPECT_EQ(1u, loaded.catalog.productCount);
    RemoveTree(scratch.dir);
}

// The products file is named after the id, and Windows opens a device for such names, whatever the
// extension; a catalog is refused on every system, so that it loads the same wherever it is copied.
TEST(feed_server_catalog, RefusesIdsThatNameWindowsDevices)
{
    for (const char* id : {"con", "CON", "Nul", "aux", "prn", "com1", "COM9", "lpt1", "lpt0", "con.shop", "nul.x.y"}) {
        const Loaded loaded = Load(std::string(id) + " | secret-1 | Shop\n", {{id, ""}});
        EXPECT_FALSE(loaded.ok) << id;
        EXPECT_NE(std::string::npos, Joined(loaded.messages).find("names a Windows device")) << Joined(loaded.messages);
    }
    for (const char* id : {"console", "com10", "lpt", "nul-shop", "shop.con", "com", "auxiliary"}) {
        const Loaded loaded = Load(std::string(id) + " | secret-1 | Shop\n", {{id, ""}});
        EXPECT_TRUE(loaded.ok) << id << ": " << Joined(loaded.messages);
    }
}

TEST(feed_server_catalog, WarnsAboutKeysQuickToGuess)
{
    const Loaded loaded = Load("short | abc | A\nseven | 1234567 | B\neight | 12345678 | C\n",
                               {{"short", ""}, {"seven", ""}, {"eight", ""}});
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    ASSERT_EQ(3u, loaded.catalog.warnings.size());
    EXPECT_EQ(1, loaded.catalog.warnings[0].line);
    EXPECT_EQ("warning: the key of \"short\" is 3 characters; keys shorter than 8 are quick to guess (the viewer "
              "takes up to " + Number(ACCOUNT_KEY_CAPACITY - 1) + ")",
              loaded.catalog.warnings[0].reason);
    EXPECT_EQ(2, loaded.catalog.warnings[1].line);
    EXPECT_NE(std::string::npos, loaded.catalog.warnings[1].reason.find("\"seven\" is 7 characters"));
    // Without --allow-short-keys both short ones are refused; eight characters are enough.
    const Loaded refused = Load("short | abc | A\nseven | 1234567 | B\neight | 12345678 | C\n",
                                {{"short", ""}, {"seven", ""}, {"eight", ""}}, CatalogRules());
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ("accounts.txt:1: key is 3 characters, fewer than 8 (--allow-short-keys takes it, with a warning)\n"
              "accounts.txt:2: key is 7 characters, fewer than 8 (--allow-short-keys takes it, with a warning)\n",
              Joined(refused.messages));
}

TEST(feed_server_catalog, ChecksKeysAgainstVerifiersMadeWithTheSecret)
{
    // HMAC-SHA-256 as published (RFC 4231, test case 2): the library is used as the standard says.
    const KeySecretPointer jefe = MakeKeySecret("Jefe");
    ASSERT_TRUE(jefe != nullptr);
    EXPECT_EQ("hmac-sha256:5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
              KeyVerifier(*jefe, "what do ya want for nothing?"));

    CatalogRules rules;
    rules.keySecret = MakeKeySecret("0123456789abcdef-secret");
    const std::string verifier = KeyVerifier(*rules.keySecret, "good-key-1");
    const std::string accounts = "hashed | " + verifier + " | A\nplain | plain-key-2 | B\n";
    const Loaded loaded = Load(accounts, {{"hashed", ""}, {"plain", ""}}, rules);
    ASSERT_TRUE(loaded.ok) << Joined(loaded.messages);
    EXPECT_EQ(1u, loaded.catalog.plainKeys);
    ASSERT_EQ(1u, loaded.catalog.warnings.size());
    EXPECT_EQ("warning: 1 of 2 accounts hold their key plain; store verifiers instead (feed-server --hash-key)",
              loaded.catalog.warnings[0].reason);
    const CatalogAccount& hashed = *FindAccount(loaded.catalog, "hashed");
    const CatalogAccount& plain = *FindAccount(loaded.catalog, "plain");
    EXPECT_TRUE(hashed.key.empty());
    struct Case {
        const CatalogAccount* account;
        std::string given;
        bool matches;
    } cases[] = {
        {&hashed, "good-key-1", true}, {&hashed, "good-key-2", false}, {&hashed, "good-key-", false},
        {&hashed, "good-key-10", false}, {&hashed, "", false}, {&hashed, verifier, false},
        {&plain, "plain-key-2", true}, {&plain, "plain-key-", false}, {&plain, "plain-key-22", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, KeyMatches(loaded.catalog, c.account, c.given)) << c.account->id << " " << c.given;
    EXPECT_FALSE(KeyMatches(loaded.catalog, nullptr, "good-key-1"));

    // The same catalog read with another secret takes no key of it.
    CatalogRules other;
    other.keySecret = MakeKeySecret("another-secret-of-16+");
    const Loaded otherLoaded = Load(accounts, {{"hashed", ""}, {"plain", ""}}, other);
    ASSERT_TRUE(otherLoaded.ok);
    EXPECT_FALSE(KeyMatches(otherLoaded.catalog, FindAccount(otherLoaded.catalog, "hashed"), "good-key-1"));

    // Verifiers without the secret: said once. Plain keys with --require-hashed-keys: refused, per line.
    EXPECT_EQ("accounts.txt:1: key verifiers need the secret they were made with: --key-secret FILE\n",
              Joined(Load(accounts + "more | " + verifier + " | C\n", {{"hashed", ""}, {"plain", ""}, {"more", ""}},
                          CatalogRules()).messages));
    rules.requireHashedKeys = true;
    EXPECT_EQ("accounts.txt:2: key is held plain, and --require-hashed-keys wants a verifier (feed-server --hash-key)\n",
              Joined(Load(accounts, {{"hashed", ""}, {"plain", ""}}, rules).messages));
}


bool HasControlByte(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

// Catalog text and paths reach the operator's terminal in messages: nothing in them may act on it.
TEST(feed_server_catalog, ShowsControlBytesInMessagesEscaped)
{
    Loaded loaded = Load("shop\x1B[2J\x1B]0;owned\x07 | secret-1 | Shop\n", {});
    ASSERT_EQ(1u, loaded.messages.size());
    EXPECT_EQ("accounts.txt:1: id \"shop\\x1B[2J\\x1B]0;owned\\x07\" must be letters, digits and - . _ only",
              loaded.messages[0]);
    loaded = LoadProducts("\x1B[31m | Chair | 1110 | 1 | 840\n");
    ASSERT_EQ(1u, loaded.messages.size());
    EXPECT_EQ(0u, loaded.messages[0].find("products/shop.txt:1: status \"\\x1B[31m\" is not listed")) << loaded.messages[0];
    EXPECT_FALSE(HasControlByte(loaded.messages[0]));

    CatalogError error;
    error.file = "/srv/cat\x1B[1malog\xC2\x9B" "0m/accounts.txt";
    error.line = 3;
    error.reason = "id \"caf\xC3\xA9\" must be letters\x7F, \xFF\xFE";
    EXPECT_EQ("/srv/cat\\x1B[1malog\\xC2\\x9B0m/accounts.txt:3: id \"caf\xC3\xA9\" must be letters\\x7F, \\xFF\\xFE",
              FormatCatalogError(error));
    // Windows paths keep their backslashes.
    error.file = "C:\\catalog\\accounts.txt";
    error.line = 0;
    error.reason = "cannot be opened";
    EXPECT_EQ("C:\\catalog\\accounts.txt: cannot be opened", FormatCatalogError(error));
}

TEST(feed_server_catalog, GroupsStatusCodesAsTheViewerShowsThem)
{
    struct Case {
        int code;
        int group;
    } cases[] = {
        {2, kStatusNew}, {10, kStatusNew}, {-6, kStatusNew}, {5, kStatusSale}, {13, kStatusSale},
        {-3, kStatusSale}, {6, kStatusSoldOut}, {14, kStatusSoldOut}, {0, kStatusListed}, {1, kStatusListed},
        {3, kStatusListed}, {4, kStatusListed}, {7, kStatusListed}, {9, kStatusListed}, {15, kStatusListed},
        {-99, kStatusSale}, {999, kStatusListed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.group, StatusGroup(c.code)) << c.code;
    EXPECT_STREQ("sold out", StatusGroupName(kStatusSoldOut));
}

} // namespace
