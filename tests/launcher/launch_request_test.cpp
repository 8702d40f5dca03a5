// The launcher's argument rules, checked against the viewer's own splitting: every field text the
// launcher passes comes back unchanged, and every one it refuses would not have.
#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "app/launch_args.h"
#include "companions/launcher/launch_request.h"

namespace {

struct Built {
    LaunchCheck check;
    std::string argument;
};

Built Build(const std::string& host, const std::string& id, const std::string& key)
{
    const char* fields[LAUNCH_FIELD_COUNT] = { host.c_str(), id.c_str(), key.c_str() };
    char argument[LAUNCH_ARGUMENT_CAPACITY];
    memset(argument, 'Z', sizeof argument - 1); // garbage, so an argument left unwritten shows
    argument[sizeof argument - 1] = '\0';
    LaunchCheck check = BuildLaunchArgument(fields, argument, sizeof argument);
    return { check, argument };
}

// What the viewer would make of the three texts joined with no questions asked.
bool ViewerReadsBack(const std::string& host, const std::string& id, const std::string& key)
{
    LaunchArgs args;
    ParseLaunchArgs((host + "^" + id + "^" + key + "#").c_str(), &args);
    return host == args.ServerHost && id == args.AccountId && key == args.AccountKey;
}

// Joined with the viewer's separators when the viewer would read each field back unchanged;
// otherwise refused, naming the first field at fault and why, with no argument at all.
TEST(LaunchRequest, JoinsWhatTheViewerReadsBackAndNamesTheFirstFieldAtFault)
{
    const std::string id39(39, 'i'), key11(11, 'k');
    const struct {
        const char* why;
        std::string host, id, key;
        LaunchFault fault;
        LaunchField field; // for a refusal
        std::string argument;
    } cases[] = {
        { "the three fields", "127.0.0.80", "shop-17", "k3y", FAULT_NONE, FIELD_SERVER_HOST, "127.0.0.80^shop-17^k3y#" },
        { "all three empty", "", "", "", FAULT_NONE, FIELD_SERVER_HOST, "^^#" },
        { "no address: the viewer takes 127.0.0.1", "", "demo", "demo", FAULT_NONE, FIELD_SERVER_HOST, "^demo^demo#" },
        { "blanks, '#' in the id and '^' in the key are text", "10.1.2.3", " my #1 shop ", "k^ y ", FAULT_NONE,
          FIELD_SERVER_HOST, "10.1.2.3^ my #1 shop ^k^ y #" },
        { "the longest fields", "255.255.255.255", id39, key11, FAULT_NONE, FIELD_SERVER_HOST,
          "255.255.255.255^" + id39 + "^" + key11 + "#" },
        { "'^' ends the address", "127.0.0.1^", "id", "key", FAULT_SEPARATOR, FIELD_SERVER_HOST, "" },
        { "'^' ends the id", "", "my^shop", "key", FAULT_SEPARATOR, FIELD_ACCOUNT_ID, "" },
        { "'^' alone", "", "^", "key", FAULT_SEPARATOR, FIELD_ACCOUNT_ID, "" },
        { "'#' ends the key", "", "id", "k#y", FAULT_SEPARATOR, FIELD_ACCOUNT_KEY, "" },
        { "'#' alone", "", "id", "#", FAULT_SEPARATOR, FIELD_ACCOUNT_KEY, "" },
        { "'#' cannot be in an address", "127.0.0.1#", "id", "key", FAULT_NOT_IPV4, FIELD_SERVER_HOST, "" },
        { "a name", "localhost", "id", "key", FAULT_NOT_IPV4, FIELD_SERVER_HOST, "" },
        { "a leading zero", "010.0.0.1", "id", "key", FAULT_NOT_IPV4, FIELD_SERVER_HOST, "" },
        { "27 characters pass the length rule", std::string(27, '1'), "id", "key", FAULT_NOT_IPV4,
          FIELD_SERVER_HOST, "" },
        { "28 characters are too long", std::string(28, '1'), "id", "key", FAULT_TOO_LONG, FIELD_SERVER_HOST, "" },
        { "a 40-character id", "", id39 + "i", "key", FAULT_TOO_LONG, FIELD_ACCOUNT_ID, "" },
        { "a 12-character key", "", "id", key11 + "k", FAULT_TOO_LONG, FIELD_ACCOUNT_KEY, "" },
        { "a 300-character id", "", std::string(300, 'i'), "key", FAULT_TOO_LONG, FIELD_ACCOUNT_ID, "" },
        { "the address first", "name.example", "a^b", "c#d", FAULT_NOT_IPV4, FIELD_SERVER_HOST, "" },
        { "then the id", "", "a^b", "c#d", FAULT_SEPARATOR, FIELD_ACCOUNT_ID, "" },
        { "the separator before the length", "", std::string(45, 'a') + "^", "", FAULT_SEPARATOR, FIELD_ACCOUNT_ID,
          "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Built built = Build(c.host, c.id, c.key);
        EXPECT_EQ(c.fault, built.check.fault);
        EXPECT_EQ(c.argument, built.argument);
        if (c.fault != FAULT_NONE) {
            EXPECT_EQ(c.field, built.check.field);
            continue;
        }
        LaunchArgs args;
        ParseLaunchArgs(built.argument.c_str(), &args);
        EXPECT_EQ(c.host, args.ServerHost);
        EXPECT_EQ(c.id, args.AccountId);
        EXPECT_EQ(c.key, args.AccountKey);
    }
}

// Over every id and key of up to three characters from a small alphabet, and up to the viewer's
// capacity and one past it: a pair is passed exactly when the viewer reads it back unchanged.
TEST(LaunchRequest, RefusesExactlyWhatTheViewerWouldNotReadBack)
{
    std::vector<std::string> texts = { "" };
    const char alphabet[] = { 'a', ' ', '^', '#' };
    for (size_t start = 0, end = 1, length = 1; length <= 3; ++length) {
        for (size_t i = start; i < end; ++i)
            for (char c : alphabet)
                texts.push_back(texts[i] + c);
        start = end;
        end = texts.size();
    }
    for (size_t length : { 10, 11, 12, 38, 39, 40 })
        texts.push_back(std::string(length, 'x'));

    int passed = 0, refused = 0;
    for (const char* host : { "", "192.168.1.20" }) {
        for (const std::string& id : texts) {
            for (const std::string& key : texts) {
                Built built = Build(host, id, key);
                bool readBack = ViewerReadsBack(host, id, key);
                ASSERT_EQ(readBack, built.check.fault == FAULT_NONE) << "id '" << id << "' key '" << key << "'";
                if (readBack) {
                    ASSERT_EQ(std::string(host) + "^" + id + "^" + key + "#", built.argument);
                    ++passed;
                } else {
                    ++refused;
                }
            }
        }
    }
    // Both outcomes were met many times, so the comparison above was not vacuous.
    EXPECT_GT(passed, 1000);
    EXPECT_GT(refused, 1000);
}

TEST(LaunchRequest, AcceptsOnlyPlainDottedIpv4Addresses)
{
    for (const char* good : { "0.0.0.0", "127.0.0.1", "255.255.255.255", "10.20.30.40", "1.0.99.200" })
        EXPECT_TRUE(IsDottedIpv4(good)) << good;
    for (const char* bad : { "", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "999.1.1.1", "1000.1.1.1",
                             "01.2.3.4", "1.2.3.04", "1.00.3.4", "1..3.4", ".1.2.3.4", "1.2.3.4.", "1.2.3.4 ",
                             " 1.2.3.4", "a.b.c.d", "localhost", "1.2.3.-4", "+1.2.3.4", "0x7f.0.0.1", "127.1",
                             "127.0.0.1:1360" })
        EXPECT_FALSE(IsDottedIpv4(bad)) << "'" << bad << "'";
}

std::string Describe(LaunchFault fault, LaunchField field, size_t capacity = 256)
{
    char text[256];
    size_t length = DescribeLaunchCheck({ fault, field }, text, capacity);
    EXPECT_EQ(strlen(text), length);
    return text;
}

TEST(LaunchRequest, RefusalTextsNameTheFieldAndTheReason)
{
    EXPECT_STREQ("Server address", LaunchFieldName(FIELD_SERVER_HOST));
    EXPECT_STREQ("Account id", LaunchFieldName(FIELD_ACCOUNT_ID));
    EXPECT_STREQ("Account key", LaunchFieldName(FIELD_ACCOUNT_KEY));

    EXPECT_EQ("Server address holds '^', which the viewer takes as the end of the field; remove it.",
              Describe(FAULT_SEPARATOR, FIELD_SERVER_HOST));
    EXPECT_EQ("Account id holds '^', which the viewer takes as the end of the field; remove it.",
              Describe(FAULT_SEPARATOR, FIELD_ACCOUNT_ID));
    EXPECT_EQ("Account key holds '#', which the viewer takes as the end of the field; remove it.",
              Describe(FAULT_SEPARATOR, FIELD_ACCOUNT_KEY));
    EXPECT_EQ("Server address is longer than the viewer keeps: 27 characters at most.",
              Describe(FAULT_TOO_LONG, FIELD_SERVER_HOST));
    EXPECT_EQ("Account id is longer than the viewer keeps: 39 characters at most.",
              Describe(FAULT_TOO_LONG, FIELD_ACCOUNT_ID));
    EXPECT_EQ("Account key is longer than the viewer keeps: 11 characters at most.",
              Describe(FAULT_TOO_LONG, FIELD_ACCOUNT_KEY));
    EXPECT_EQ("Server address is not a dotted IPv4 address such as 127.0.0.1 (the viewer looks up no names); "
              "leave it empty for 127.0.0.1.",
              Describe(FAULT_NOT_IPV4, FIELD_SERVER_HOST));
    EXPECT_EQ("", Describe(FAULT_NONE, FIELD_ACCOUNT_KEY));
    // A small buffer gets the start of the sentence, terminated.
    EXPECT_EQ("Account", Describe(FAULT_TOO_LONG, FIELD_ACCOUNT_ID, 8));
}

TEST(LaunchRequest, CommandLineQuotesTheProgramAndNotTheArgument)
{
    char line[128];
    ASSERT_TRUE(BuildViewerCommandLine(line, sizeof line, "C:\\Program Files\\Products\\viewer.exe",
                                       "10.1.2.3^my shop^k y#"));
    EXPECT_STREQ("\"C:\\Program Files\\Products\\viewer.exe\" 10.1.2.3^my shop^k y#", line);

    // "P" plus quotes, blank and "a^b^c#" is 10 characters: 11 bytes fit, 10 do not.
    ASSERT_TRUE(BuildViewerCommandLine(line, 11, "P", "a^b^c#"));
    EXPECT_STREQ("\"P\" a^b^c#", line);
    EXPECT_FALSE(BuildViewerCommandLine(line, 10, "P", "a^b^c#"));
    EXPECT_STREQ("", line); // never a command line with its argument cut
}

TEST(LaunchRequest, SearchPathPutsTheFolderFirst)
{
    char path[64];
    ASSERT_TRUE(BuildViewerSearchPath(path, sizeof path, "D:\\Apps\\Products", "C:\\windows\\system32;C:\\windows"));
    EXPECT_STREQ("D:\\Apps\\Products;C:\\windows\\system32;C:\\windows", path);
    ASSERT_TRUE(BuildViewerSearchPath(path, sizeof path, "D:\\Apps\\Products", ""));
    EXPECT_STREQ("D:\\Apps\\Products", path);

    // "D:\P;C:\w" is 9 characters: 10 bytes fit, 9 do not.
    EXPECT_TRUE(BuildViewerSearchPath(path, 10, "D:\\P", "C:\\w"));
    EXPECT_FALSE(BuildViewerSearchPath(path, 9, "D:\\P", "C:\\w"));
    EXPECT_STREQ("", path);
    // A folder holding ';' would become two entries, neither of them the folder.
    EXPECT_FALSE(BuildViewerSearchPath(path, sizeof path, "D:\\A;B", "C:\\w"));
    EXPECT_STREQ("", path);
}

} // namespace
