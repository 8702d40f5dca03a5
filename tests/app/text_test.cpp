// The bounded copy and format helpers that guard every fixed text buffer.
#include <gtest/gtest.h>

#include <string.h>

#include "common/text.h"

namespace {

// Copies what fits, always terminated, and never writes past the capacity it is given.
TEST(CopyText, CopiesWhatFitsAndTerminatesWithinItsCapacity)
{
    const struct {
        const char* why;
        size_t capacity;
        const char* source;
        size_t copied;
        const char* kept; // null: the buffer is not touched at all
    } cases[] = {
        { "short text", 8, "abc", 3, "abc" },
        { "cut to the capacity", 5, "abcdefgh", 4, "abcd" },
        { "an exact fit", 4, "xyz", 3, "xyz" },
        { "room for the terminator alone", 1, "xyz", 0, "" },
        { "no room at all", 0, "xyz", 0, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        char buffer[12];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(c.copied, CopyText(buffer, c.capacity, c.source));
        if (c.kept != nullptr) {
            EXPECT_STREQ(c.kept, buffer);
        }
        for (size_t i = c.capacity; i < sizeof buffer; ++i)
            EXPECT_EQ('#', buffer[i]) << "written past the capacity at " << i;
    }
}

TEST(CopyTextN, StopsAtCountOrTerminator)
{
    char buffer[16];
    EXPECT_EQ(2u, CopyTextN(buffer, sizeof buffer, "abcdef", 2));
    EXPECT_STREQ("ab", buffer);
    EXPECT_EQ(3u, CopyTextN(buffer, sizeof buffer, "abc", 10));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(3u, CopyTextN(buffer, 4, "abcdef", 5));
    EXPECT_STREQ("abc", buffer);
}

TEST(FormatText, FormatsAndCutsToCapacity)
{
    char buffer[10];
    EXPECT_EQ(9u, FormatText(buffer, sizeof buffer, "%s [%s]", "12.50", "M"));
    EXPECT_STREQ("12.50 [M]", buffer);
    // One more character than fits: cut, still terminated. The runtime's own snprintf must not be
    // the kind that leaves an unterminated buffer on overflow.
    EXPECT_EQ(9u, FormatText(buffer, sizeof buffer, "%s [%s]", "112.50", "M"));
    EXPECT_STREQ("112.50 [M", buffer);
    char tiny[1] = { 'x' };
    EXPECT_EQ(0u, FormatText(tiny, sizeof tiny, "%d", 12345));
    EXPECT_EQ('\0', tiny[0]);
}

} // namespace
