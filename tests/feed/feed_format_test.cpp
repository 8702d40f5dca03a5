// The feed text format: numbers, the header rules, product lines, and whole spool files.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "feed/feed_format.h"
#include "feed/product_list.h"

namespace {

// The string-to-integer rules: leading blanks and one sign, digits up to the first other character,
// and a value past the int range saturated rather than overflowed.
TEST(ParseDecimal, FollowsTheStringToIntegerRulesAndSaturates)
{
    const std::string manyNines(300, '9');
    const struct {
        std::string text;
        int value;
    } cases[] = {
        { "", 0 },
        { "abc", 0 },
        { "12abc", 12 },
        { "  \t-7", -7 },
        { "+5", 5 },
        { "- 5", 0 },
        { "+-5", 0 },
        { "1.9", 1 },
        { "000840", 840 },
        { "2147483647", INT_MAX },
        { "-2147483648", INT_MIN },
        { "2147483648", INT_MAX },
        { manyNines, INT_MAX },
        { "-2147483649", INT_MIN },
        { "-" + manyNines, INT_MIN },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, ParseDecimal(c.text.c_str())) << '"' << c.text << '"';
}

TEST(IsNoDataHeader, ComparesTheFirstTenCharactersWithoutCase)
{
    EXPECT_TRUE(IsNoDataHeader("<body><h1>"));
    EXPECT_TRUE(IsNoDataHeader("<BODY><H1>No products for you"));
    EXPECT_TRUE(IsNoDataHeader("<BoDy><h1>x"));
    EXPECT_FALSE(IsNoDataHeader("<body><h1"));
    EXPECT_FALSE(IsNoDataHeader("<body>"));
    EXPECT_FALSE(IsNoDataHeader(""));
    EXPECT_FALSE(IsNoDataHeader(" <body><h1>"));
    EXPECT_FALSE(IsNoDataHeader("<body><h2>"));
}

TEST(MakeListTitle, AppendsTheSuffixAndCutsLongCaptionsToKeepIt)
{
    char title[FEED_TITLE_CAPACITY];
    MakeListTitle(title, sizeof title, "Acme");
    EXPECT_STREQ("Acme Product's List", title);
    MakeListTitle(title, sizeof title, "");
    EXPECT_STREQ(" Product's List", title);

    std::string caption(254, 'c');
    MakeListTitle(title, sizeof title, caption.c_str());
    EXPECT_EQ(std::string(244, 'c') + " Product's List", title);
    EXPECT_EQ(FEED_TITLE_CAPACITY - 1, (int)strlen(title));

    std::string fits(244, 'f');
    MakeListTitle(title, sizeof title, fits.c_str());
    EXPECT_EQ(fits + " Product's List", title);

    char tiny[8];
    MakeListTitle(tiny, sizeof tiny, "Acme");
    EXPECT_STREQ(" Produc", tiny);
}

FeedProduct Parse(const std::string& line, bool* accepted = nullptr)
{
    FeedProduct product = {};
    bool ok = ParseProductLine(line.c_str(), &product);
    if (accepted != nullptr)
        *accepted = ok;
    return product;
}

TEST(ParseProductLine, TakesTheSevenUsedFields)
{
    bool ok = false;
    FeedProduct p = Parse(":2^Blue chair^14^120.00^3^chairs^item7^^^^#", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(2, p.status);
    EXPECT_STREQ("Blue chair", p.name);
    EXPECT_EQ(14, p.categoryId);
    EXPECT_STREQ("120.00", p.price);
    EXPECT_EQ(3, p.currencyId);
    EXPECT_STREQ("chairs", p.webAddress);
    EXPECT_STREQ("item7", p.serverPath);
}

TEST(ParseProductLine, AdjustsStatusCodesAboveSix)
{
    struct { const char* field; int status; } cases[] = {
        { "9", 1 }, { "7", -1 }, { "8", 0 }, { "", 0 }, { "6", 6 }, { "1", 1 },
        { "14", 6 }, { "15", 7 }, { "-3", -3 }, { "0", 0 },
    };
    for (const auto& c : cases) {
        bool ok = false;
        FeedProduct p = Parse(std::string(":") + c.field + "^n^1^1^1^^^^^^#", &ok);
        ASSERT_TRUE(ok) << c.field;
        EXPECT_EQ(c.status, p.status) << "status field '" << c.field << "'";
    }
}

TEST(ParseProductLine, SkipsLinesThatAreNotProductLines)
{
    for (const char* line : {
             ":2^a^1^1^1^w^s^^^#",       // 9 carets
             ":2^a^1^1^1^w^s^^^^^#",     // 11 carets
             "2^a^1^1^1^w^s^^^^#",       // no colon
             " :2^a^1^1^1^w^s^^^^#",     // colon not first
             ":2^a^1^1^1^w^s^^^^",       // no closing mark
             ":2^a^1^1^1^w^s^^^^#\r",    // a carriage return where the mark should be
             ":2^a^1^1^1^w^s^^^^# ",
             "",
             ":",
             "#",
         }) {
        bool ok = true;
        Parse(line, &ok);
        EXPECT_FALSE(ok) << "'" << line << "'";
    }
}

TEST(ParseProductLine, MarksInsideFieldsAreContent)
{
    bool ok = false;
    FeedProduct p = Parse(":1^a:b#c^12abc^#1^ 978x^http://x#y^:p:^more text^^^#", &ok);
    ASSERT_TRUE(ok);
    EXPECT_STREQ("a:b#c", p.name);
    EXPECT_EQ(12, p.categoryId);
    EXPECT_STREQ("#1", p.price);
    EXPECT_EQ(978, p.currencyId);
    EXPECT_STREQ("http://x#y", p.webAddress);
    EXPECT_STREQ(":p:", p.serverPath);
}

TEST(ParseProductLine, OverlongFieldsAreCutButNumbersReadWhole)
{
    std::string status = "0000000009";    // 10 characters: its value is 9, so status 1
    std::string name(200, 'n');
    std::string category = std::string(45, '0') + "1110"; // over 39 characters
    std::string price(40, '5');
    bool ok = false;
    FeedProduct p = Parse(":" + status + "^" + name + "^" + category + "^" + price + "^840^^^^^^#", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(1, p.status);
    EXPECT_EQ(std::string(127, 'n'), p.name);
    EXPECT_EQ(1110, p.categoryId);
    EXPECT_EQ(std::string(31, '5'), p.price);
    EXPECT_EQ(840, p.currencyId);
}

// Whole spool files, written and read back through the C runtime.
struct ReadFeedTest : ::testing::Test {
    void TearDown() override { FreeProducts(); }

    FeedOutcome Read(const std::string& content, std::string* title)
    {
        FILE* file = tmpfile();
        EXPECT_NE(nullptr, file);
        fwrite(content.data(), 1, content.size(), file);
        rewind(file);
        char buffer[FEED_TITLE_CAPACITY];
        FeedOutcome outcome = ReadFeed(file, buffer, sizeof buffer);
        fclose(file);
        *title = buffer;
        return outcome;
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (ProductRecord* r = ProductListHead(); r != nullptr; r = r->next)
            names.push_back(r->name);
        return names;
    }
};

// A feed of exactly the cap is whole; one product more stops the reading at the cap.
TEST_F(ReadFeedTest, TheProductCapKeepsTheFirstProductsAndTellsOfMore)
{
    const std::string two = "Acme\n:1^a^1^1^1^^^^^^#\nnot a product\n:1^b^1^1^1^^^^^^#\n";
    std::string title;
    SetProductCap(2);
    FeedOutcome whole = Read(two, &title);
    std::vector<std::string> wholeNames = Names();
    FreeProducts();
    FeedOutcome cut = Read(two + ":1^c^1^1^1^^^^^^#\n", &title);
    SetProductCap(0);
    EXPECT_EQ(FEED_PRODUCT_LIST, whole);
    EXPECT_EQ(FEED_TOO_MANY_PRODUCTS, cut);
    EXPECT_EQ((std::vector<std::string>{ "a", "b" }), wholeNames);
    EXPECT_EQ((std::vector<std::string>{ "a", "b" }), Names());
    EXPECT_EQ((size_t)PRODUCT_CAP, ProductCap());
}

// Whole feeds: the outcome, the window title and the products, in feed order.
TEST_F(ReadFeedTest, FeedTextsGiveTheirOutcomeTitleAndProducts)
{
    const std::string noise = std::string("bin\x01\xff\x00\x7f\n\x00\x00\n", 11) + ":1^after^1^1^1^^^^^^#\n";
    struct Case {
        std::string feed;
        FeedOutcome outcome;
        std::string title;
        std::vector<std::string> names;
    } cases[] = {
        { "Acme\n", FEED_PRODUCT_LIST, "Acme Product's List", {} },
        // Lines that are not products are skipped, a nine-caret one too.
        { "Harbor Street\n:1^first^1^1^840^^^^^^#\ngarbage line\n:1^skipped, nine carets^1^1^840^^^^^#\n"
          ":2^second^1^1^840^^^^^^#\n\n:5^third^1^1^840^^^^^^#\n",
          FEED_PRODUCT_LIST, "Harbor Street Product's List", { "first", "second", "third" } },
        // The no-data header ends the reading whatever follows; a shorter one is a caption.
        { "<BODY><H1>Unknown account</h1></body>\n:1^x^1^1^1^^^^^^#\n", FEED_NO_DATA, "  No Data", {} },
        { "<body>\n", FEED_PRODUCT_LIST, "<body> Product's List", {} },
        { "", FEED_NO_DATA, "  No Data", {} },
        // The last character is dropped whatever it is: a last line without its line feed loses its
        // '#', a header without one a letter.
        { "Acme!:1^kept^1^1^1^^^^^^#\n:1^lost^1^1^1^^^^^^#", FEED_PRODUCT_LIST,
          "Acme!:1^kept^1^1^1^^^^^^# Product's List", {} },
        { "Acm", FEED_PRODUCT_LIST, "Ac Product's List", {} },
        // Zero bytes and binary noise: the read stops being text at the zero byte, so the character
        // dropped is the one before it.
        { noise, FEED_PRODUCT_LIST, "bin\x01 Product's List", { "after" } },
    };
    for (const Case& c : cases) {
        std::string title;
        EXPECT_EQ(c.outcome, Read(c.feed, &title)) << c.feed;
        EXPECT_EQ(c.title, title) << c.feed;
        EXPECT_EQ(c.names, Names()) << c.feed;
        FreeProducts();
    }
}

TEST_F(ReadFeedTest, LongLinesArriveInPiecesJudgedAsLines)
{
    std::string title;
    // 300 characters of caption: the title takes the first read, less its last character; the rest
    // of the line is a piece of its own, which is no product line.
    std::string caption(300, 'h');
    std::string product = ":1^ok^1^1^1^^^^^^#\n";
    Read(caption + "\n" + product, &title);
    EXPECT_EQ(std::string(244, 'h') + " Product's List", title);
    EXPECT_EQ((std::vector<std::string>{ "ok" }), Names());

    // A piece that happens to end in '#' (once its 255th character is dropped) and hold ten carets
    // counts, and so does a following piece that begins with ':'.
    FreeProducts();
    std::string filler(255 - 3 - 13 - 1, 'x');
    std::string longLine = ":1^" + filler + "^1^1^1^^^^^^#Z:2^tail^1^1^1^^^^^^#\n";
    Read("c\n" + longLine, &title);
    EXPECT_EQ((std::vector<std::string>{ std::string(127, 'x'), "tail" }), Names());
}

} // namespace
