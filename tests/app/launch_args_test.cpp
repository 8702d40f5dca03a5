// Splitting the command-line argument into ServerHost, AccountId and AccountKey.
#include <gtest/gtest.h>

#include <string.h>
#include <string>

#include "app/launch_args.h"

namespace {

LaunchArgs Parse(const char* argument)
{
    LaunchArgs args;
    memset(&args, 0x5A, sizeof args); // garbage, so a field left unwritten shows
    ParseLaunchArgs(argument, &args);
    return args;
}

// The fields keep 27, 39 and 11 characters, and the copy of the whole argument 59.
TEST(ParseLaunchArgs, SplitsEachArgumentIntoItsThreeFields)
{
    const std::string longest = std::string(100, 'h') + "^" + std::string(100, 'i') + "^" + std::string(100, 'k') + "#";
    const struct {
        const char* why;
        std::string argument, host, id, key;
    } cases[] = {
        { "the three fields", "127.0.0.5^shop-17^k3y#", "127.0.0.5", "shop-17", "k3y" },
        { "separators alone", "^^#", "", "", "" },
        { "text after the closing mark", "10.1.2.3^id^key#trailing ^ # junk", "10.1.2.3", "id", "key" },
        { "'#' is content in the first two fields, '^' in the third", "1.2#3^a#b^c^d#e", "1.2#3", "a#b", "c^d" },
        { "spaces are content", " 1.2.3.4 ^ my shop ^ k #", " 1.2.3.4 ", " my shop ", " k " },
        { "no separator at all", "127.0.0.1", "127.0.0.1", "", "" },
        { "no closing mark", "h^id^key", "h", "id", "key" },
        { "two fields", "h^id", "h", "id", "" },
        { "nothing", "", "", "", "" },
        { "every field too long", longest, std::string(27, 'h'), std::string(39, 'i'), std::string(11, 'k') },
        { "every field exactly full", std::string(27, '9') + "^" + std::string(39, 'a') + "^" + std::string(11, 'z') + "#",
          std::string(27, '9'), std::string(39, 'a'), std::string(11, 'z') },
        { "an overlong field does not spill into the next", std::string(40, 'x') + "^acct^key#", std::string(27, 'x'),
          "acct", "key" },
        { "8-bit text", "h^\xE9t\xE9^\xFF\x01#", "h", "\xE9t\xE9", "\xFF\x01" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        LaunchArgs args = Parse(c.argument.c_str());
        EXPECT_EQ(c.host, args.ServerHost);
        EXPECT_EQ(c.id, args.AccountId);
        EXPECT_EQ(c.key, args.AccountKey);
        EXPECT_EQ(c.argument.substr(0, 59), args.commandLine) << "the argument as received";
    }
}

TEST(ParseLaunchArgs, NullArgumentActsLikeAnEmptyOne)
{
    LaunchArgs args = Parse(nullptr);
    EXPECT_STREQ("", args.commandLine);
    EXPECT_STREQ("", args.ServerHost);
    EXPECT_STREQ("", args.AccountId);
    EXPECT_STREQ("", args.AccountKey);
}

} // namespace
