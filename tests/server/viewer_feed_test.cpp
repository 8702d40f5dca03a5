// The viewer's side as the server's tests see it: the spool file's text-mode round trip, and the
// viewer's own reader judging replies, so that the server's limits are shown to be the viewer's.
#include <gtest/gtest.h>

#include <string>

#include "common/capacities.h"
#include "common/contract.h"
#include "feed_catalog.h"
#include "server_test_support.h"
#include "tests/support/spool_text_mode.h"

namespace {

// ":2^" name "^1110^" price "^840^" web "^" path "^^^^#"
std::string ProductLine(const std::string& name, const std::string& price, const std::string& web = "",
                        const std::string& path = "")
{
    return ":2^" + name + "^1110^" + price + "^840^" + web + "^" + path + "^^^^#";
}

TEST(feed_server_viewer_reading, TextModeReadTakesCrLfAsLfAndStopsAtControlZ)
{
    const std::string file = "a\r\nb\rc\r\r\nd\r";
    EXPECT_EQ("a\nb\rc\r\nd\r", TextModeRead(file.data(), file.size()));
    const std::string cut = std::string("one\r\ntwo\x1A\r\nthree\n");
    EXPECT_EQ("one\ntwo", TextModeRead(cut.data(), cut.size()));
    const std::string early = std::string("\x1A" "after");
    EXPECT_EQ("", TextModeRead(early.data(), early.size()));
    // The CR of a CR LF split by the end of the data is a lone CR.
    EXPECT_EQ("x\r", TextModeRead("x\r\n", 2));
}

TEST(feed_server_viewer_reading, TextModeWriteSendsEveryLfAsCrLf)
{
    EXPECT_EQ("a\r\n\r\r\nb\x1A", TextModeWrite("a\n\r\nb\x1A"));
    EXPECT_EQ("", TextModeWrite(""));
}

TEST(feed_server_viewer_reading, TheSpoolKeepsEveryByteBeforeTheFirstControlZ)
{
    // A CR that came with the reply survives the round trip; only 0x1A changes what the reader sees.
    EXPECT_EQ("Shop\r\n:1\n\r", SpooledReply("Shop\r\n:1\n\r"));
    EXPECT_EQ("Shop\n", SpooledReply("Shop\n\x1A:2^lost\n"));
}

TEST(feed_server_viewer_reading, ReadsCaptionAndProductsWithTheViewersReader)
{
    const ViewerFeed read = ReadFeedLikeViewer("Corner Shop\n" + ProductLine("Chair", "1,234.50", "a.example/c", "c") +
                                               "\n:13^Lamp^1410^call us^036^^^^^^#\n"
                                               "not a product\n");
    EXPECT_FALSE(read.noData);
    EXPECT_EQ("Corner Shop", read.caption);
    ASSERT_EQ(2u, read.products.size());
    EXPECT_EQ(2, read.products[0].status);
    EXPECT_EQ("Chair", read.products[0].name);
    EXPECT_EQ(1110, read.products[0].categoryId);
    EXPECT_EQ("1,234.50", read.products[0].price);
    EXPECT_EQ(840, read.products[0].currencyId);
    EXPECT_EQ("a.example/c", read.products[0].webAddress);
    EXPECT_EQ("c", read.products[0].serverPath);
    EXPECT_EQ(AdjustStatus(13), read.products[1].status);
    EXPECT_EQ(36, read.products[1].currencyId);
    EXPECT_EQ(1, read.skippedLines);
    EXPECT_EQ(0, read.overflowingLines);
}

TEST(feed_server_viewer_reading, NoDataHeaderAndEmptyReplyShowNoData)
{
    EXPECT_TRUE(ReadFeedLikeViewer("<BODY><h1>No data</h1></body>\n").noData);
    EXPECT_TRUE(ReadFeedLikeViewer("").noData);
    EXPECT_FALSE(ReadFeedLikeViewer("<body><h2>Shop\n").noData);
}

TEST(feed_server_viewer_reading, CrLfLineEndsCostTheViewerEveryProduct)
{
    // Spooled, a CR LF comes back as CR LF: the reader drops the LF and the line ends in CR, not "#".
    const ViewerFeed read = ReadFeedLikeViewer("Shop\r\n" + ProductLine("Chair", "5") + "\r\n");
    EXPECT_EQ("Shop\r", read.caption);
    EXPECT_EQ(0u, read.products.size());
    EXPECT_EQ(1, read.skippedLines);
}

TEST(feed_server_viewer_reading, AControlZEndsTheFeedForTheViewer)
{
    const ViewerFeed read = ReadFeedLikeViewer("Shop\n" + ProductLine("A", "1") + "\n" + ProductLine("B\x1A", "2") +
                                               "\n" + ProductLine("C", "3") + "\n");
    ASSERT_EQ(1u, read.products.size());
    EXPECT_EQ("A", read.products[0].name);
    // What is left of the line before 0x1A has no "#" at its end.
    EXPECT_EQ(1, read.skippedLines);
}

TEST(feed_server_viewer_reading, CountsTextsTheViewerKeepsOnlyCut)
{
    const std::string name(PRODUCT_NAME_CAPACITY - 1, 'n');
    const std::string price(PRODUCT_PRICE_CAPACITY - 1, '9');
    ViewerFeed read = ReadFeedLikeViewer("Shop\n" + ProductLine(name, price) + "\n");
    ASSERT_EQ(1u, read.products.size());
    EXPECT_EQ(name, read.products[0].name);
    EXPECT_EQ(0, read.overflowingLines);

    read = ReadFeedLikeViewer("Shop\n" + ProductLine(name + "x", "1") + "\n" + ProductLine("A", price + "9") + "\n" +
                              ProductLine("B", "2") + "\n");
    ASSERT_EQ(3u, read.products.size());
    EXPECT_EQ(name, read.products[0].name);
    EXPECT_EQ(price, read.products[1].price);
    EXPECT_EQ(2, read.overflowingLines);
    EXPECT_EQ(0, read.skippedLines);
}

TEST(feed_server_viewer_reading, TheServersFeedLineLimitIsOneReadOfTheViewer)
{
    // A line of kFeedLineMax characters and its LF are one read; one character more splits the line
    // into two pieces, neither of them a product line.
    const std::string name(kNameMax, 'n');
    const size_t webLength = kFeedLineMax - ProductLine("", "").size() - name.size() - 1;
    const std::string longest = ProductLine(name, "1", std::string(webLength, 'w'));
    ASSERT_EQ(kFeedLineMax, longest.size());
    ViewerFeed read = ReadFeedLikeViewer("Shop\n" + longest + "\n");
    EXPECT_EQ(1u, read.products.size());
    EXPECT_EQ(0, read.skippedLines);

    const std::string over = ProductLine(name, "1", std::string(webLength + 1, 'w'));
    read = ReadFeedLikeViewer("Shop\n" + over + "\n");
    EXPECT_EQ(0u, read.products.size());
    EXPECT_EQ(2, read.skippedLines);
}

TEST(feed_server_viewer_reading, TheServersCaptionLimitIsTheLongestTheTitleKeepsWhole)
{
    const std::string caption(kCaptionMax, 'c');
    EXPECT_EQ(caption, ReadFeedLikeViewer(caption + "\n").caption);
    EXPECT_EQ(caption, ReadFeedLikeViewer(caption + "d\n").caption);
}

} // namespace
