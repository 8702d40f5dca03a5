// Status images by code and the column width rule of the product list.
#include <gtest/gtest.h>

#include <limits.h>

#include "listview/list_rules.h"

namespace {

TEST(StatusImageIndex, OnlyTheLowestThreeBitsCount)
{
    for (int code : { 2, 10, -6, 18, INT_MIN + 2 })
        EXPECT_EQ(IMAGE_STATUS_2, StatusImageIndex(code)) << code;
    for (int code : { 5, -3, 13 })
        EXPECT_EQ(IMAGE_STATUS_5, StatusImageIndex(code)) << code;
    for (int code : { 6, 14, -2 })
        EXPECT_EQ(IMAGE_STATUS_6, StatusImageIndex(code)) << code;
    for (int code : { 0, 1, 3, 4, 7, -1, -8, 8, 9, INT_MIN, INT_MAX })
        EXPECT_EQ(IMAGE_STATUS_OTHER, StatusImageIndex(code)) << code;
}

// Status keeps 70 pixels and Price 8 characters; the four others share what is left, the division
// truncated toward zero, so narrow lists give negative shares.
TEST(ColumnWidth, FourColumnsShareWhatStatusAndPriceLeave)
{
    const struct {
        const char* why;
        ColumnWidthRule rule;
        int listWidth, width;
    } cases[] = {
        { "status", WIDTH_STATUS, 606, 70 },
        { "shared", WIDTH_SHARED, 606, 120 },
        { "price", WIDTH_PRICE, 606, 56 },
        { "shared, narrow", WIDTH_SHARED, 114, -3 },
        { "shared: -3 / 4 truncates to 0, not -1", WIDTH_SHARED, 123, 0 },
        { "shared: -4 / 4", WIDTH_SHARED, 122, -1 },
        { "shared: -126 / 4", WIDTH_SHARED, 0, -31 },
        { "price keeps its 8 characters", WIDTH_PRICE, 0, 56 },
        { "status keeps its 70 pixels", WIDTH_STATUS, 0, 70 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.width, ColumnWidth(c.rule, c.listWidth, 7)) << c.why << ", list " << c.listWidth;
}

TEST(ColumnWidth, StartsAtFourCharactersButTheFixedStatusColumn)
{
    EXPECT_EQ(70, InitialColumnWidth(WIDTH_STATUS, 7));
    EXPECT_EQ(28, InitialColumnWidth(WIDTH_SHARED, 7));
    EXPECT_EQ(28, InitialColumnWidth(WIDTH_PRICE, 7));
}

TEST(ColumnWidth, TheDivisionLosesAtMostThreePixels)
{
    for (int width = 126; width < 2000; ++width) {
        int sum = ColumnWidth(WIDTH_STATUS, width, 7) + ColumnWidth(WIDTH_PRICE, width, 7) +
                  4 * ColumnWidth(WIDTH_SHARED, width, 7);
        ASSERT_GE(width - sum, 0) << width;
        ASSERT_LE(width - sum, 3) << width;
    }
}

} // namespace
