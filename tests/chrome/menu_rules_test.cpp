// The owner-drawn menu item's geometry: the size it asks for from its measured text, and where the
// text's top goes inside the item.
#include <gtest/gtest.h>

#include "chrome/menu_rules.h"

namespace {

TEST(MenuRulesItemSize, WidthIsTheTextPlusTheIconColumnAndIndent)
{
    for (int width : { 0, 1, 57, 300 }) {
        EXPECT_EQ(width + 22, MenuItemSizeFor(width, 13).width) << width;
        EXPECT_EQ(width + 22, MenuItemSizeFor(width, 16).width) << width;
    }
}

TEST(MenuRulesItemSize, HeightIsTheTallerOfTextAndIconPlusFour)
{
    // The icon's 13 pixels set the floor; taller text grows the item.
    EXPECT_EQ(17, MenuItemSizeFor(40, 10).height);
    EXPECT_EQ(17, MenuItemSizeFor(40, 13).height);
    EXPECT_EQ(20, MenuItemSizeFor(40, 16).height);
    EXPECT_EQ(17, MenuItemSizeFor(40, 0).height);
    EXPECT_EQ(17, MenuItemSizeFor(40, 12).height);
    EXPECT_EQ(18, MenuItemSizeFor(40, 14).height);
    EXPECT_EQ(36, MenuItemSizeFor(40, 32).height);
}

TEST(MenuRulesItemSize, HeightAndWidthDoNotMix)
{
    EXPECT_EQ(22, MenuItemSizeFor(0, 40).width);
    EXPECT_EQ(44, MenuItemSizeFor(0, 40).height);
    EXPECT_EQ(1022, MenuItemSizeFor(1000, 1).width);
    EXPECT_EQ(17, MenuItemSizeFor(1000, 1).height);
}

TEST(MenuRulesTextTop, CentresTheTextInTheMeasuredItemHeights)
{
    EXPECT_EQ(3, MenuTextTop(0, 17, 10));
    EXPECT_EQ(2, MenuTextTop(0, 17, 13));
    EXPECT_EQ(2, MenuTextTop(0, 20, 16));
    // The item's own top carries over, wherever the item sits.
    EXPECT_EQ(103, MenuTextTop(100, 117, 10));
    EXPECT_EQ(36, MenuTextTop(34, 51, 13));
    EXPECT_EQ(-15, MenuTextTop(-17, 3, 16));
}

TEST(MenuRulesTextTop, OddSpareRowsGoBelowTheText)
{
    EXPECT_EQ(3, MenuTextTop(0, 20, 13));   // 7 spare: 3 above, 4 below
    EXPECT_EQ(52, MenuTextTop(50, 68, 13)); // 5 spare: 2 above, 3 below
    EXPECT_EQ(0, MenuTextTop(0, 17, 16));   // 1 spare: none above
    EXPECT_EQ(8, MenuTextTop(0, 17, 0));    // no text measured yet
}

TEST(MenuRulesTextTop, TextTallerThanTheItemRisesTowardZeroNotFloor)
{
    // The spare space is negative: the division truncates toward zero, so an odd shortfall puts
    // the text one pixel lower than rounding down would.
    EXPECT_EQ(-1, MenuTextTop(0, 10, 13));   // -3 / 2 == -1
    EXPECT_EQ(9, MenuTextTop(10, 20, 13));   // same item moved down
    EXPECT_EQ(-2, MenuTextTop(0, 10, 14));   // -4 / 2 == -2, no rounding involved
    EXPECT_EQ(2, MenuTextTop(5, 15, 17));    // -7 / 2 == -3
    EXPECT_EQ(0, MenuTextTop(0, 16, 17));    // -1 / 2 == 0
    EXPECT_EQ(-22, MenuTextTop(-20, -5, 20)); // -5 / 2 == -2, both edges above zero
    EXPECT_EQ(-1, MenuTextTop(0, 0, 3));      // an empty item
}

} // namespace
