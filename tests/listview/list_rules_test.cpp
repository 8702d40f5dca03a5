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

TEST(ProductColumnWidths, FourColumnsShareWhatStatusAndPriceLeave)
{
    ColumnWidths w = ProductColumnWidths(606, 7);
    const int expected[6] = { 70, 120, 120, 56, 120, 120 };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], w.width[i]) << "column " << i;
}

TEST(ProductColumnWidths, TheDivisionLosesAtMostThreePixels)
{
    for (int width = 126; width < 2000; ++width) {
        ColumnWidths w = ProductColumnWidths(width, 7);
        int sum = 0;
        for (int column : w.width)
            sum += column;
        ASSERT_GE(width - sum, 0) << width;
        ASSERT_LE(width - sum, 3) << width;
    }
}

TEST(ProductColumnWidths, NarrowListsGiveNegativeSharesTruncatedTowardZero)
{
    EXPECT_EQ(-3, ProductColumnWidths(114, 7).width[1]);
    EXPECT_EQ(0, ProductColumnWidths(123, 7).width[1]) << "-3 / 4 truncates to 0, not -1";
    EXPECT_EQ(-1, ProductColumnWidths(122, 7).width[4]);
    EXPECT_EQ(-31, ProductColumnWidths(0, 7).width[5]) << "-126 / 4";
    EXPECT_EQ(56, ProductColumnWidths(0, 7).width[3]) << "Price keeps its 8 characters";
    EXPECT_EQ(70, ProductColumnWidths(0, 7).width[0]);
}

} // namespace
