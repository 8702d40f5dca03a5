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

TEST(ColumnWidth, FourColumnsShareWhatStatusAndPriceLeave)
{
    EXPECT_EQ(70, ColumnWidth(WIDTH_STATUS, 606, 7));
    EXPECT_EQ(120, ColumnWidth(WIDTH_SHARED, 606, 7));
    EXPECT_EQ(56, ColumnWidth(WIDTH_PRICE, 606, 7));
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

TEST(ColumnWidth, NarrowListsGiveNegativeSharesTruncatedTowardZero)
{
    EXPECT_EQ(-3, ColumnWidth(WIDTH_SHARED, 114, 7));
    EXPECT_EQ(0, ColumnWidth(WIDTH_SHARED, 123, 7)) << "-3 / 4 truncates to 0, not -1";
    EXPECT_EQ(-1, ColumnWidth(WIDTH_SHARED, 122, 7));
    EXPECT_EQ(-31, ColumnWidth(WIDTH_SHARED, 0, 7)) << "-126 / 4";
    EXPECT_EQ(56, ColumnWidth(WIDTH_PRICE, 0, 7)) << "Price keeps its 8 characters";
    EXPECT_EQ(70, ColumnWidth(WIDTH_STATUS, 0, 7));
}

} // namespace
