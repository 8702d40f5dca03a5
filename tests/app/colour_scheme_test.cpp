// Contrast ratios and the choice between the skin's colours and the system's.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "common/colour_scheme.h"

namespace {

TEST(ContrastRatio, FollowsTheWcagFormulaEitherWayRound)
{
    const struct {
        Colour a, b;
        double ratio;
    } cases[] = {
        { 0x000000, 0xFFFFFF, 21.0 }, { 0xFFFFFF, 0x000000, 21.0 }, { 0x808080, 0x808080, 1.0 },
        { 0x3A2A1F, 0x000000, 1.45 }, // the skin's text on a black window
        { 0x0000FF, 0xFFFFFF, 4.0 },  // pure red on white: short of 4.5
        { 0xFF0000, 0xFFFFFF, 8.59 }, // pure blue (0x00BBGGRR) on white
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.ratio, ContrastRatio(c.a, c.b), 0.01) << std::hex << c.a << " on " << c.b;
}

TEST(ChooseColourScheme, TheSystemsColoursWhenHighContrastIsOnOrTheSkinsTextWouldBeUnreadable)
{
    const Colour skinBackground = 0xF3ECE6, skinText = 0x3A2A1F;
    SystemColours light = { 0xFFFFFF, 0x000000, 0xF0F0F0, 0x000000, 0xFFFFFF, 0xA0A0A0, 0xF0F0F0, 0x000000 };
    SystemColours dark = { 0x000000, 0xFFFFFF, 0x101010, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x202020, 0xFFFF00 };
    const struct {
        const char* why;
        bool highContrast;
        Colour text;
        const SystemColours& system;
        bool chosen; // the system's colours
    } cases[] = {
        { "ordinary colours", false, skinText, light, false },
        { "high contrast on", true, skinText, light, true },
        { "a black window", false, skinText, dark, true },
        { "red text at 4.0 : 1", false, 0x0000FF, light, true },
        { "dark red text at 6.5 : 1", false, 0x0000C0, light, false },
        { "light text on a black window", false, 0xFFFFFF, dark, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ColourScheme scheme = ChooseColourScheme(c.highContrast, skinBackground, c.text, c.system);
        EXPECT_EQ(c.chosen, scheme.system);
        const SystemColours& s = c.system;
        Colour expected[] = { skinBackground, c.text, c.text, skinBackground, ButtonTextColour, ButtonLightEdge,
                              ButtonDarkEdge, s.menu, s.menuText };
        if (c.chosen) {
            Colour system[] = { s.buttonFace, s.buttonText, s.windowText, s.buttonFace, s.buttonText,
                                s.buttonLight, s.buttonShadow, s.menu, s.menuText };
            std::copy(std::begin(system), std::end(system), std::begin(expected));
        }
        Colour got[] = { scheme.background, scheme.text, scheme.listText, scheme.buttonFace, scheme.buttonText,
                         scheme.buttonLight, scheme.buttonDark, scheme.menu, scheme.menuText };
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(expected[i], got[i]) << "colour " << i;
    }
}

} // namespace
