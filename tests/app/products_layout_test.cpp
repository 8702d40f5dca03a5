// Child placement arithmetic of the Products window, down to sizes that leave no room at all.
#include <gtest/gtest.h>

#include "app/products_layout.h"

namespace {

TEST(LayOutProducts, ListFillsTheClientAreaButForMarginsAndTheButtonStrip)
{
    ProductsLayout layout = LayOutProducts(614, 171);
    EXPECT_EQ(5, layout.list.x);
    EXPECT_EQ(5, layout.list.y);
    EXPECT_EQ(604, layout.list.width);
    EXPECT_EQ(136, layout.list.height);
    EXPECT_EQ(559, layout.closeButton.x);
    EXPECT_EQ(146, layout.closeButton.y);
    EXPECT_EQ(50, layout.closeButton.width);
    EXPECT_EQ(20, layout.closeButton.height);
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
        }
}

TEST(LayOutProducts, TinyClientAreasGiveUnclampedNegativeExtents)
{
    ProductsLayout small = LayOutProducts(9, 34);
    EXPECT_EQ(-1, small.list.width);
    EXPECT_EQ(-1, small.list.height);
    EXPECT_EQ(-46, small.closeButton.x);
    EXPECT_EQ(9, small.closeButton.y);

    ProductsLayout none = LayOutProducts(0, 0);
    EXPECT_EQ(-10, none.list.width);
    EXPECT_EQ(-35, none.list.height);
    EXPECT_EQ(-55, none.closeButton.x);
    EXPECT_EQ(-25, none.closeButton.y);

    ProductsLayout negative = LayOutProducts(-1, -2);
    EXPECT_EQ(-11, negative.list.width);
    EXPECT_EQ(-37, negative.list.height);
}

} // namespace
