// Child placement arithmetic of the Products window, down to sizes that leave no room at all.
#include <gtest/gtest.h>

#include <string>

#include "app/products_layout.h"

namespace {

// "x,y widthxheight", so that a failure shows the whole box.
std::string Text(const LayoutBox& box)
{
    return std::to_string(box.x) + "," + std::to_string(box.y) + " " + std::to_string(box.width) + "x" +
           std::to_string(box.height);
}

// A 5-pixel margin round the list, and the 50 by 20 button 5 pixels in from the bottom right with
// 5 more between it and the list; sizes that leave no room give negative extents, unclamped.
TEST(LayOutProducts, PlacesTheListAndTheButtonInTheClientArea)
{
    const struct {
        int clientWidth, clientHeight;
        LayoutBox list, button;
    } cases[] = {
        { 614, 171, { 5, 5, 604, 136 }, { 559, 146, 50, 20 } },
        { 9, 34, { 5, 5, -1, -1 }, { -46, 9, 50, 20 } },
        { 0, 0, { 5, 5, -10, -35 }, { -55, -25, 50, 20 } },
        { -1, -2, { 5, 5, -11, -37 }, { -56, -27, 50, 20 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clientWidth << " x " << c.clientHeight);
        ProductsLayout layout = LayOutProducts(c.clientWidth, c.clientHeight);
        EXPECT_EQ(Text(c.list), Text(layout.list)) << "list";
        EXPECT_EQ(Text(c.button), Text(layout.closeButton)) << "button";
    }
}

TEST(LayOutProducts, ButtonLinesUpWithTheListAtEverySize)
{
    for (int width : { 0, 9, 10, 60, 630, 32767 })
        for (int height : { 0, 34, 35, 210, 32767 }) {
            ProductsLayout l = LayOutProducts(width, height);
            SCOPED_TRACE(testing::Message() << width << " x " << height);
            EXPECT_EQ(l.list.x + l.list.width, l.closeButton.x + l.closeButton.width);
            EXPECT_EQ(width - 5, l.closeButton.x + l.closeButton.width);
            EXPECT_EQ(l.list.y + l.list.height + 5, l.closeButton.y);
            EXPECT_EQ(height - 5, l.closeButton.y + l.closeButton.height);
            // The status line fills the strip left of the button, in the same margins.
            EXPECT_EQ(Text({ l.list.x, l.closeButton.y, l.closeButton.x - 5 - l.list.x, l.closeButton.height }),
                      Text(l.statusLine));
        }
}

} // namespace
