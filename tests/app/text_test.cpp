// The bounded copy and format helpers that guard every fixed text buffer.
#include <gtest/gtest.h>

#include <string.h>

#include "common/text.h"

namespace {

TEST(CopyText, CopiesShortTextWhole)
{
    char buffer[8];
    EXPECT_EQ(3u, CopyText(buffer, sizeof buffer, "abc"));
    EXPECT_STREQ("abc", buffer);
}

TEST(CopyText, CutsToCapacityAndNeverWritesPastIt)
{
    char buffer[6];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(4u, CopyText(buffer, 5, "abcdefgh"));
    EXPECT_STREQ("abcd", buffer);
    EXPECT_EQ('#', buffer[5]);
}

TEST(CopyText, ExactFitAndZeroCapacity)
{
    char buffer[4];
    EXPECT_EQ(3u, CopyText(buffer, sizeof buffer, "xyz"));
    EXPECT_STREQ("xyz", buffer);
    buffer[0] = 'q';
    EXPECT_EQ(0u, CopyText(buffer, 0, "xyz"));
    EXPECT_EQ('q', buffer[0]);
    EXPECT_EQ(0u, CopyText(buffer, 1, "xyz"));
    EXPECT_STREQ("", buffer);
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
