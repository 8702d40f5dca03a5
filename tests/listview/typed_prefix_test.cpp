// The typed prefix of type to find: pauses, repeated letters and tick counts that wrap.
#include <gtest/gtest.h>

#include <string>

#include "listview/typed_prefix.h"

namespace {

TEST(TypeCharacter, APauseStartsAfreshAndOneLetterRepeatedWalksFromTheNextRow)
{
    const unsigned late = 0xFFFFFF00u; // the tick count wraps to 0 in between
    const struct {
        char c;
        unsigned tick;
        const char* searched;
        bool afterFocus;
    } steps[] = {
        { 'o', late, "o", true },
        { 'a', late + 0x80, "oa", false },
        { 'k', 0x40, "oak", false },                        // across the wrap
        { 'b', 0x40 + TYPING_PAUSE_MS + 1, "b", true },     // just past the pause
        { 'b', 0x40 + 2 * TYPING_PAUSE_MS + 1, "b", true }, // the same letter again, just within it
        { 'b', 0x1000, "b", true },                         // a pause
        { 'b', 0x1010, "b", true },
        { 'e', 0x1020, "bbe", false },
    };
    TypedPrefix typed = {};
    for (const auto& step : steps) {
        TypedSearch search = TypeCharacter(&typed, step.c, step.tick);
        EXPECT_EQ(step.searched, std::string(search.text, search.length)) << step.c << " at " << step.tick;
        EXPECT_EQ(step.afterFocus, search.afterFocus) << step.c << " at " << step.tick;
    }
}

bool Odd(int row, const void*)
{
    return row % 2 == 1;
}

TEST(FindRowFrom, WrapsAroundAndGivesMinusOneWithoutAMatch)
{
    EXPECT_EQ(3, FindRowFrom(5, 2, Odd, nullptr));
    EXPECT_EQ(1, FindRowFrom(5, 4, Odd, nullptr));
    EXPECT_EQ(1, FindRowFrom(5, 5, Odd, nullptr)); // after the last row comes the first
    EXPECT_EQ(-1, FindRowFrom(1, 0, Odd, nullptr));
    EXPECT_EQ(-1, FindRowFrom(0, 0, Odd, nullptr));
}

} // namespace
