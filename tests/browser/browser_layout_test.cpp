// Child placement of the browser window: the labelled field on top, the labelled list in the middle,
// the button at the bottom.
#include <gtest/gtest.h>

#include "companions/browser/browser_layout.h"

namespace {

TEST(BrowserLayout, LabelledFieldOnTopButtonAtTheBottomRightLabelledListFillingBetween)
{
    BrowserLayout l = LayOutBrowser(464, 281, 13);
    const struct {
        const char* name;
        BrowserBox box;
        BrowserBox expected;
    } boxes[] = {
        { "field label", l.fieldLabel, { 6, 6, 452, 13 } },   { "field", l.field, { 6, 21, 452, 21 } },
        { "list label", l.historyLabel, { 6, 48, 452, 13 } }, { "list", l.history, { 6, 63, 452, 181 } },
        { "button", l.openAgain, { 368, 250, 90, 25 } },
    };
    for (const auto& b : boxes) {
        EXPECT_EQ(b.expected.x, b.box.x) << b.name;
        EXPECT_EQ(b.expected.y, b.box.y) << b.name;
        EXPECT_EQ(b.expected.width, b.box.width) << b.name;
        EXPECT_EQ(b.expected.height, b.box.height) << b.name;
    }
}

TEST(BrowserLayout, MarginsHoldAtEverySizeAndLineHeight)
{
    for (int line : { 8, 13, 20 })
        for (int width : { 120, 464, 1900 })
            for (int height : { 160, 281, 1200 }) {
                SCOPED_TRACE(testing::Message() << width << " x " << height << ", line " << line);
                BrowserLayout l = LayOutBrowser(width, height, line);
                EXPECT_EQ(width - 6, l.field.x + l.field.width);
                EXPECT_EQ(width - 6, l.history.x + l.history.width);
                EXPECT_EQ(width - 6, l.openAgain.x + l.openAgain.width);
                EXPECT_EQ(l.fieldLabel.y + line + 2, l.field.y) << "the label just above its field";
                EXPECT_EQ(l.field.y + l.field.height + 6, l.historyLabel.y);
                EXPECT_EQ(l.historyLabel.y + line + 2, l.history.y) << "the label just above its list";
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
    EXPECT_EQ(63, none.history.y);
}

} // namespace
