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
        { 0, 13, 22, 17 },     { 40, 10, 62, 17 },    { 40, 14, 62, 18 },   { 57, 16, 79, 20 },
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
        { "7 spare rows: 3 above, 4 below", 0, 17, 10, 3 },
        { "4 spare rows: 2 above", 0, 20, 16, 2 },
        { "the item's top carries over", 100, 117, 10, 103 },
        { "-3 / 2 is -1, not -2", 0, 10, 13, -1 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.textTop, MenuTextTop(c.top, c.bottom, c.textHeight))
            << c.why << ": item " << c.top << ".." << c.bottom << ", text height " << c.textHeight;
}

} // namespace
