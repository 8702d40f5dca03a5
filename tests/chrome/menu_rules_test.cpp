// The owner-drawn menu item's geometry: the size it asks for from its measured text, and where the
// text's top goes inside the item.
#include <gtest/gtest.h>

#include "chrome/menu_rules.h"

namespace {

// The width is the text's plus 22; the height the taller of the text and the 13-pixel icon, plus 4.
TEST(MenuRulesItemSize, GrowsWithTheTextAndNeverBelowTheIcon)
{
    const struct {
        int textWidth, textHeight, width, height;
    } cases[] = {
        { 0, 13, 22, 17 },     { 1, 13, 23, 17 },     { 57, 16, 79, 20 },   { 300, 13, 322, 17 },
        { 40, 10, 62, 17 },    { 40, 0, 62, 17 },     { 40, 12, 62, 17 },   { 40, 14, 62, 18 },
        { 40, 32, 62, 36 },    { 0, 40, 22, 44 },     { 1000, 1, 1022, 17 },
    };
    for (const auto& c : cases) {
        MenuItemSize size = MenuItemSizeFor(c.textWidth, c.textHeight);
        EXPECT_EQ(c.width, size.width) << "text " << c.textWidth << " x " << c.textHeight;
        EXPECT_EQ(c.height, size.height) << "text " << c.textWidth << " x " << c.textHeight;
    }
}

// The text's top is the item's top plus half the spare rows, the division truncated toward zero.
TEST(MenuRulesTextTop, CentresTheTextTruncatingTowardZero)
{
    const struct {
        const char* why;
        int top, bottom, textHeight, textTop;
    } cases[] = {
        { "the measured item heights", 0, 17, 10, 3 },
        { "the measured item heights", 0, 17, 13, 2 },
        { "the measured item heights", 0, 20, 16, 2 },
        { "the item's top carries over", 100, 117, 10, 103 },
        { "the item's top carries over", 34, 51, 13, 36 },
        { "the item's top carries over", -17, 3, 16, -15 },
        { "7 spare rows: 3 above, 4 below", 0, 20, 13, 3 },
        { "5 spare rows: 2 above, 3 below", 50, 68, 13, 52 },
        { "1 spare row: none above", 0, 17, 16, 0 },
        { "no text measured yet", 0, 17, 0, 8 },
        { "-3 / 2 is -1, not -2", 0, 10, 13, -1 },
        { "-3 / 2 is -1, the item moved down", 10, 20, 13, 9 },
        { "-4 / 2 is -2", 0, 10, 14, -2 },
        { "-7 / 2 is -3", 5, 15, 17, 2 },
        { "-1 / 2 is 0", 0, 16, 17, 0 },
        { "-5 / 2 is -2, both edges above zero", -20, -5, 20, -22 },
        { "an empty item", 0, 0, 3, -1 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.textTop, MenuTextTop(c.top, c.bottom, c.textHeight))
            << c.why << ": item " << c.top << ".." << c.bottom << ", text height " << c.textHeight;
}

} // namespace
