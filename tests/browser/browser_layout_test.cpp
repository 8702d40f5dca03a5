// Child placement of the browser window: field on top, list in the middle, button at the bottom.
#include <gtest/gtest.h>

#include "companions/browser/browser_layout.h"

namespace {

TEST(BrowserLayout, FieldOnTopButtonAtTheBottomRightListFillingBetween)
{
    BrowserLayout l = LayOutBrowser(464, 281, 13);
    EXPECT_EQ(6, l.field.x);
    EXPECT_EQ(6, l.field.y);
    EXPECT_EQ(452, l.field.width);
    EXPECT_EQ(21, l.field.height);
    EXPECT_EQ(368, l.openAgain.x);
    EXPECT_EQ(250, l.openAgain.y);
    EXPECT_EQ(90, l.openAgain.width);
    EXPECT_EQ(25, l.openAgain.height);
    EXPECT_EQ(6, l.history.x);
    EXPECT_EQ(33, l.history.y);
    EXPECT_EQ(452, l.history.width);
    EXPECT_EQ(211, l.history.height);
}

TEST(BrowserLayout, MarginsHoldAtEverySizeAndLineHeight)
{
    for (int line : { 8, 13, 20 })
        for (int width : { 120, 464, 1900 })
            for (int height : { 100, 281, 1200 }) {
                SCOPED_TRACE(testing::Message() << width << " x " << height << ", line " << line);
                BrowserLayout l = LayOutBrowser(width, height, line);
                EXPECT_EQ(width - 6, l.field.x + l.field.width);
                EXPECT_EQ(width - 6, l.history.x + l.history.width);
                EXPECT_EQ(width - 6, l.openAgain.x + l.openAgain.width);
                EXPECT_EQ(l.field.y + l.field.height + 6, l.history.y);
                EXPECT_EQ(l.history.y + l.history.height + 6, l.openAgain.y);
                EXPECT_EQ(height - 6, l.openAgain.y + l.openAgain.height);
                EXPECT_LT(line, l.field.height) << "a line of text fits the field";
                EXPECT_LT(line, l.openAgain.height);
            }
}

TEST(BrowserLayout, TooSmallAClientAreaGivesEmptyBoxesNotNegativeOnes)
{
    BrowserLayout l = LayOutBrowser(10, 40, 13);
    EXPECT_EQ(0, l.field.width);
    EXPECT_EQ(0, l.history.width);
    EXPECT_EQ(0, l.history.height);
    EXPECT_EQ(-86, l.openAgain.x);
    EXPECT_EQ(9, l.openAgain.y);

    BrowserLayout none = LayOutBrowser(0, 0, 13);
    EXPECT_EQ(0, none.field.width);
    EXPECT_EQ(0, none.history.height);
    EXPECT_EQ(33, none.history.y);
}

} // namespace
