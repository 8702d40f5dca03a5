// The choice between the skin's colours and the system's, by the WCAG contrast ratio.
#include <gtest/gtest.h>

#include "common/colour_scheme.h"

namespace {

TEST(ChooseColourScheme, TheSystemsColoursWhenHighContrastIsOnOrTheSkinsTextWouldBeUnreadable)
{
    EXPECT_NEAR(21.0, ContrastRatio(0xFFFFFF, 0x000000), 0.01);
    EXPECT_NEAR(8.59, ContrastRatio(0xFFFFFF, 0xFF0000), 0.01); // blue weighs far less than red
    const SystemColours light = { 0xFFFFFF, 0x000000, 0xF0F0F0, 0x000001, 0xFFFFFE, 0xA0A0A0, 0xF0F0F1, 0x000002 };
    const SystemColours dark = { 0x000000, 0xFFFFFF, 0x101010, 0xFFFFFE, 0xC0C0C0, 0x808080, 0x202020, 0xFFFF00 };
    const struct {
        const char* why;
        bool highContrast;
        Colour skinText;
        const SystemColours& system;
        bool chosen; // the system's colours
    } cases[] = {
        { "ordinary colours", false, 0x3A2A1F, light, false },
        { "high contrast on", true, 0x3A2A1F, light, true },
        { "a black window: 1.45 : 1", false, 0x3A2A1F, dark, true },
        { "red text on white: 4.0 : 1", false, 0x0000FF, light, true },
        { "dark red text on white: 6.5 : 1", false, 0x0000C0, light, false },
        { "light text on a black window", false, 0xFFFFFF, dark, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const SystemColours& s = c.system;
        ColourScheme got = ChooseColourScheme(c.highContrast, 0xF3ECE6, c.skinText, s);
        EXPECT_EQ(c.chosen, got.system);
        EXPECT_EQ(c.chosen ? s.windowText : c.skinText, got.listText);
        EXPECT_EQ(c.chosen ? s.buttonFace : 0xF3ECE6, got.background);
        EXPECT_EQ(c.chosen ? s.buttonText : ButtonTextColour, got.buttonText);
        EXPECT_EQ(c.chosen ? s.buttonShadow : ButtonDarkEdge, got.buttonDark);
        EXPECT_EQ(s.menuText, got.menuText);
    }
}

} // namespace
