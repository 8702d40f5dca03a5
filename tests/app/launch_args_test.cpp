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

TEST(ParseLaunchArgs, SplitsTheThreeFields)
{
    LaunchArgs args = Parse("127.0.0.5^shop-17^k3y#");
    EXPECT_STREQ("127.0.0.5", args.ServerHost);
    EXPECT_STREQ("shop-17", args.AccountId);
    EXPECT_STREQ("k3y", args.AccountKey);
    EXPECT_STREQ("127.0.0.5^shop-17^k3y#", args.commandLine);
}

TEST(ParseLaunchArgs, SeparatorsAloneGiveThreeEmptyFields)
{
    LaunchArgs args = Parse("^^#");
    EXPECT_STREQ("", args.ServerHost);
    EXPECT_STREQ("", args.AccountId);
    EXPECT_STREQ("", args.AccountKey);
}

TEST(ParseLaunchArgs, TextAfterTheClosingMarkIsIgnored)
{
    LaunchArgs with = Parse("10.1.2.3^id^key#trailing ^ # junk");
    EXPECT_STREQ("10.1.2.3", with.ServerHost);
    EXPECT_STREQ("id", with.AccountId);
    EXPECT_STREQ("key", with.AccountKey);
}

TEST(ParseLaunchArgs, EachSeparatorOnlyEndsItsOwnFields)
{
    // '#' is content in the first two fields, '^' is content in the third.
    LaunchArgs args = Parse("1.2#3^a#b^c^d#e");
    EXPECT_STREQ("1.2#3", args.ServerHost);
    EXPECT_STREQ("a#b", args.AccountId);
    EXPECT_STREQ("c^d", args.AccountKey);
}

TEST(ParseLaunchArgs, SpacesAreContent)
{
    LaunchArgs args = Parse(" 1.2.3.4 ^ my shop ^ k #");
    EXPECT_STREQ(" 1.2.3.4 ", args.ServerHost);
    EXPECT_STREQ(" my shop ", args.AccountId);
    EXPECT_STREQ(" k ", args.AccountKey);
}

TEST(ParseLaunchArgs, MissingSeparatorsEndFieldsAtTheEndOfTheString)
{
    LaunchArgs hostOnly = Parse("127.0.0.1");
    EXPECT_STREQ("127.0.0.1", hostOnly.ServerHost);
    EXPECT_STREQ("", hostOnly.AccountId);
    EXPECT_STREQ("", hostOnly.AccountKey);

    LaunchArgs noMark = Parse("h^id^key");
    EXPECT_STREQ("h", noMark.ServerHost);
    EXPECT_STREQ("id", noMark.AccountId);
    EXPECT_STREQ("key", noMark.AccountKey);

    LaunchArgs twoFields = Parse("h^id");
    EXPECT_STREQ("id", twoFields.AccountId);
    EXPECT_STREQ("", twoFields.AccountKey);

    LaunchArgs empty = Parse("");
    EXPECT_STREQ("", empty.commandLine);
    EXPECT_STREQ("", empty.ServerHost);
    EXPECT_STREQ("", empty.AccountId);
    EXPECT_STREQ("", empty.AccountKey);
}

TEST(ParseLaunchArgs, NullArgumentActsLikeAnEmptyOne)
{
    LaunchArgs args = Parse(nullptr);
    EXPECT_STREQ("", args.ServerHost);
    EXPECT_STREQ("", args.AccountKey);
}

TEST(ParseLaunchArgs, LongFieldsAreCutToCapacityWithoutOverrun)
{
    std::string host(100, 'h'), id(100, 'i'), key(100, 'k');
    std::string argument = host + "^" + id + "^" + key + "#";
    LaunchArgs args = Parse(argument.c_str());
    EXPECT_EQ(std::string(sizeof args.ServerHost - 1, 'h'), args.ServerHost);
    EXPECT_EQ(std::string(sizeof args.AccountId - 1, 'i'), args.AccountId);
    EXPECT_EQ(std::string(sizeof args.AccountKey - 1, 'k'), args.AccountKey);
    EXPECT_EQ(argument.substr(0, sizeof args.commandLine - 1), args.commandLine);
}

TEST(ParseLaunchArgs, FieldsExactlyAtCapacityAreKeptWhole)
{
    std::string host(27, '9'), id(39, 'a'), key(11, 'z');
    LaunchArgs args = Parse((host + "^" + id + "^" + key + "#").c_str());
    EXPECT_EQ(host, args.ServerHost);
    EXPECT_EQ(id, args.AccountId);
    EXPECT_EQ(key, args.AccountKey);
}

TEST(ParseLaunchArgs, AnOverlongFieldDoesNotSpillIntoTheNext)
{
    // The cut happens per field: the text beyond a field's capacity is dropped, not carried over.
    std::string argument = std::string(40, 'x') + "^acct^key#";
    LaunchArgs args = Parse(argument.c_str());
    EXPECT_EQ(std::string(27, 'x'), args.ServerHost);
    EXPECT_STREQ("acct", args.AccountId);
    EXPECT_STREQ("key", args.AccountKey);
}

TEST(ParseLaunchArgs, EightBitTextIsKeptVerbatim)
{
    LaunchArgs args = Parse("h^\xE9t\xE9^\xFF\x01#");
    EXPECT_STREQ("\xE9t\xE9", args.AccountId);
    EXPECT_STREQ("\xFF\x01", args.AccountKey);
}

} // namespace
