// The status line's wording for every way a fetch can end.
#include <gtest/gtest.h>

#include <string>

#include "app/status_text.h"

namespace {

TEST(StatusText, CountsTheRowsAndSaysWhyAListIsIncompleteOrMissing)
{
    const struct {
        long long shown;
        FetchEnd end;
        const char* expected;
    } cases[] = {
        { 1234, FETCH_WHOLE, "1,234 products" },
        { 1, FETCH_WHOLE, "1 product" },
        { 0, FETCH_WHOLE, "No products" },
        { 1000000, FETCH_WHOLE, "1,000,000 products" },
        { 999, FETCH_CUT, "999 products; incomplete: the server cut the reply" },
        { 12, FETCH_SILENT, "12 products; incomplete: the server was silent for 15 s" },
        { 12, FETCH_TOO_LARGE, "12 products; incomplete: the reply is larger than 134,217,728 bytes" },
        { 12, FETCH_TOO_SLOW, "12 products; incomplete: the reply took longer than 120 s" },
        { 1000000, FETCH_TOO_MANY, "1,000,000 products; incomplete: the reply holds more than 1,000,000 products" },
        { 0, FETCH_NO_SPOOL, "No products; the feed could not be fetched: no folder would take the spool file" },
        { 0, FETCH_NO_NETWORK, "No products; the feed could not be fetched: no network" },
        { 0, FETCH_REFUSED, "No products; the feed could not be fetched: 10.0.0.5 refused the connection" },
        { 0, FETCH_NO_ANSWER, "No products; the feed could not be fetched: no answer from 10.0.0.5 in 10 s" },
        { 0, FETCH_NOT_SENT, "No products; the feed could not be fetched: the request could not be sent to 10.0.0.5" },
    };
    for (const auto& c : cases) {
        StatusFacts facts = { c.shown, c.end, "10.0.0.5", 10000, 15000, 120000, 128LL << 20, 1000000 };
        char text[STATUS_TEXT_CAPACITY];
        FormatStatusText(text, sizeof text, facts);
        EXPECT_EQ(std::string(c.expected), text);
    }
    char small[12];
    StatusFacts cut = { 5, FETCH_CUT, "", 0, 0, 0, 0, 0 };
    EXPECT_EQ(11u, FormatStatusText(small, sizeof small, cut));
    EXPECT_STREQ("5 products;", small);
}

} // namespace
