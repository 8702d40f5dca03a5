// The browser's address rule, its record and list lines, and the bounded newest-first history.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "companions/browser/address_rules.h"

namespace {

std::string Opened(const char* text)
{
    char address[LINK_ADDRESS_CAPACITY];
    memset(address, '#', sizeof address);
    AddressVerdict verdict = JudgeAddress(text, address, sizeof address);
    return verdict == ADDRESS_OPENS ? address : "refused: " + std::string(RefusalReason(verdict));
}

AddressVerdict Verdict(const std::string& text)
{
    char address[LINK_ADDRESS_CAPACITY];
    AddressVerdict verdict = JudgeAddress(text.c_str(), address, sizeof address);
    if (verdict != ADDRESS_OPENS) {
        EXPECT_STREQ("", address) << "a refusal leaves no address behind";
    }
    return verdict;
}

// http and https addresses open as handed, without the blanks around them; everything else is
// refused for its reason. A shell that starts the browser puts the address on a command line, where
// a blank or a quote inside it would split it into more arguments.
TEST(BrowserAddressRule, OpensWebAddressesAndRefusesEverythingElseForItsReason)
{
    const struct {
        const char* text;
        AddressVerdict verdict;
        const char* opened; // as opened, for ADDRESS_OPENS
    } cases[] = {
        { "http://shop.example/chairs/oak", ADDRESS_OPENS, "http://shop.example/chairs/oak" },
        { "https://shop.example/?q=1#top", ADDRESS_OPENS, "https://shop.example/?q=1#top" },
        { "HTTP://x", ADDRESS_OPENS, "HTTP://x" },
        { "hTtPs://X.example", ADDRESS_OPENS, "hTtPs://X.example" },
        { "   http://x/a", ADDRESS_OPENS, "http://x/a" },
        { "https://x/a  ", ADDRESS_OPENS, "https://x/a" },
        { " http://x ", ADDRESS_OPENS, "http://x" },
        // Code page 1252 text, whatever the char's sign: the first and last bytes above ASCII among them.
        { "http://caf\xe9.example/\xfc\x80\xff", ADDRESS_OPENS, "http://caf\xe9.example/\xfc\x80\xff" },
        { "http://\xa0x", ADDRESS_OPENS, "http://\xa0x" },
        { "file:///C:/Windows/win.ini", ADDRESS_NOT_WEB, "" },
        { "file://server/share", ADDRESS_NOT_WEB, "" },
        { "C:\\Windows\\notepad.exe", ADDRESS_NOT_WEB, "" },
        { "notepad.exe", ADDRESS_NOT_WEB, "" },
        { "javascript:alert(1)", ADDRESS_NOT_WEB, "" },
        { "ftp://x", ADDRESS_NOT_WEB, "" },
        { "mailto:a@x", ADDRESS_NOT_WEB, "" },
        { "httpx://x", ADDRESS_NOT_WEB, "" },
        { "http:/x", ADDRESS_NOT_WEB, "" },
        { "http:x", ADDRESS_NOT_WEB, "" },
        { "https:\\\\x", ADDRESS_NOT_WEB, "" },
        { "www.example.com", ADDRESS_NOT_WEB, "" },
        { "//x", ADDRESS_NOT_WEB, "" },
        { "http//x", ADDRESS_NOT_WEB, "" },
        { "xhttp://x", ADDRESS_NOT_WEB, "" },
        { "http://", ADDRESS_NO_HOST, "" },
        { "https://", ADDRESS_NO_HOST, "" },
        { "HTTPS://", ADDRESS_NO_HOST, "" },
        { "http://   ", ADDRESS_NO_HOST, "" },
        { "http:///etc", ADDRESS_NO_HOST, "" },
        { "https://?x", ADDRESS_NO_HOST, "" },
        { "http://#a", ADDRESS_NO_HOST, "" },
        { "", ADDRESS_EMPTY, "" },
        { "     ", ADDRESS_EMPTY, "" },
        { "https://a b", ADDRESS_SPLITS, "" },
        { "http://x/a b", ADDRESS_SPLITS, "" },
        { "http://x\"", ADDRESS_SPLITS, "" },
        { "http://x/\" --flag", ADDRESS_SPLITS, "" },
        { "http:// x", ADDRESS_SPLITS, "" },
        { "http://x/\ta", ADDRESS_CONTROL_BYTES, "" },
        { "http://x/\na", ADDRESS_CONTROL_BYTES, "" },
        { "\rhttp://x", ADDRESS_CONTROL_BYTES, "" },
        { "http://x\x1b", ADDRESS_CONTROL_BYTES, "" },
        { "http://x/\x7f", ADDRESS_CONTROL_BYTES, "" },
        { "http://x\x01", ADDRESS_CONTROL_BYTES, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        char address[LINK_ADDRESS_CAPACITY];
        memset(address, '#', sizeof address);
        EXPECT_EQ(c.verdict, JudgeAddress(c.text, address, sizeof address));
        EXPECT_STREQ(c.opened, address) << "a refusal leaves no address behind";
    }
}

TEST(BrowserAddressRule, OpensUpTo255CharactersAndRefusesMore)
{
    std::string head = "http://example.test/";
    std::string longest = head + std::string(ADDRESS_MAX_CHARS - head.size(), 'a');
    ASSERT_EQ(255u, longest.size());
    EXPECT_EQ(longest, Opened(longest.c_str()));
    EXPECT_EQ(ADDRESS_TOO_LONG, Verdict(longest + "a"));
    EXPECT_EQ(ADDRESS_TOO_LONG, Verdict(longest + std::string(4000, 'b')));
    // Blanks count as handed: a padded address is judged as the field held it.
    EXPECT_EQ(ADDRESS_TOO_LONG, Verdict(" " + longest));
    EXPECT_EQ(ADDRESS_TOO_LONG, Verdict(std::string(300, ' ')));
}

TEST(BrowserAddressRule, AnAddressThatWouldNotFitTheBufferIsRefusedNotCut)
{
    char address[12];
    memset(address, '#', sizeof address);
    EXPECT_EQ(ADDRESS_OPENS, JudgeAddress("http://abcd", address, sizeof address));
    EXPECT_STREQ("http://abcd", address);
    EXPECT_EQ(ADDRESS_TOO_LONG, JudgeAddress("http://abcde", address, sizeof address));
    EXPECT_STREQ("", address);
    EXPECT_EQ(ADDRESS_TOO_LONG, JudgeAddress("http://x", address, 0));
}

TEST(BrowserAddressRule, EveryRefusalHasItsOwnReason)
{
    const AddressVerdict refusals[] = { ADDRESS_EMPTY,   ADDRESS_TOO_LONG, ADDRESS_CONTROL_BYTES,
                                        ADDRESS_NOT_WEB, ADDRESS_NO_HOST,  ADDRESS_SPLITS };
    EXPECT_STREQ("", RefusalReason(ADDRESS_OPENS));
    for (AddressVerdict a : refusals) {
        EXPECT_STRNE("", RefusalReason(a)) << a;
        for (AddressVerdict b : refusals)
            if (a != b) {
                EXPECT_STRNE(RefusalReason(a), RefusalReason(b)) << a << " " << b;
            }
    }
}

TEST(BrowserRecordLine, OneLinePerEventWithControlBytesMadeShowable)
{
    char line[RECORD_LINE_CAPACITY];
    EXPECT_EQ(16u, FormatRecordLine(line, sizeof line, ADDRESS_OPENS, "http://x/a"));
    EXPECT_STREQ("open http://x/a\n", line);
    FormatRecordLine(line, sizeof line, ADDRESS_NOT_WEB, "C:\\Windows\\notepad.exe");
    EXPECT_STREQ("refused C:\\Windows\\notepad.exe\n", line);
    FormatRecordLine(line, sizeof line, ADDRESS_EMPTY, "");
    EXPECT_STREQ("refused \n", line);
    FormatRecordLine(line, sizeof line, ADDRESS_CONTROL_BYTES, "http://x\r\nopen http://y\x7f\xe9");
    EXPECT_STREQ("refused http://x??open http://y?\xe9\n", line);
}

TEST(BrowserRecordLine, TheLongestFieldTextFitsWithItsLineEnd)
{
    std::string text(FIELD_TEXT_CAPACITY - 1, 'z');
    char line[RECORD_LINE_CAPACITY];
    FormatRecordLine(line, sizeof line, ADDRESS_TOO_LONG, text.c_str());
    EXPECT_EQ("refused " + text + "\n", line);
    // A smaller buffer cuts the line rather than running past it.
    char small[10];
    memset(small, '#', sizeof small);
    EXPECT_EQ(8u, FormatRecordLine(small, 9, ADDRESS_OPENS, "http://x"));
    EXPECT_STREQ("open htt", small);
    EXPECT_EQ('#', small[9]);
}

TEST(BrowserHistory, NewestFirstAndLabelledByOutcome)
{
    History history = {};
    AddToHistory(&history, ADDRESS_OPENS, "http://x/1");
    AddToHistory(&history, ADDRESS_NOT_WEB, "file:///c:/a.txt");
    AddToHistory(&history, ADDRESS_OPENS, "https://x/3");
    ASSERT_EQ(3, history.count);
    const char* expected[] = { "https://x/3", "refused: file:///c:/a.txt (not http or https)", "http://x/1" };
    for (int i = 0; i < 3; ++i) {
        char label[HISTORY_LABEL_CAPACITY];
        ASSERT_NE(nullptr, HistoryAt(&history, i));
        FormatHistoryLabel(label, sizeof label, HistoryAt(&history, i));
        EXPECT_STREQ(expected[i], label) << i;
    }
    EXPECT_EQ(nullptr, HistoryAt(&history, 3));
    EXPECT_EQ(nullptr, HistoryAt(&history, -1));
}

TEST(BrowserHistory, KeepsFiftyAndDropsTheOldest)
{
    History history = {};
    char text[32];
    for (int i = 1; i <= HISTORY_LIMIT + 7; ++i) {
        snprintf(text, sizeof text, "http://x/%d", i);
        AddToHistory(&history, ADDRESS_OPENS, text);
        ASSERT_EQ(i < HISTORY_LIMIT ? i : HISTORY_LIMIT, history.count);
    }
    ASSERT_EQ(50, HISTORY_LIMIT);
    EXPECT_STREQ("http://x/57", HistoryAt(&history, 0)->text);
    EXPECT_STREQ("http://x/8", HistoryAt(&history, 49)->text);
    for (int i = 0; i < HISTORY_LIMIT; ++i) {
        snprintf(text, sizeof text, "http://x/%d", 57 - i);
        EXPECT_STREQ(text, HistoryAt(&history, i)->text) << i;
    }
    EXPECT_EQ(nullptr, HistoryAt(&history, 50));
}

TEST(BrowserHistory, RefusedLabelsShowControlBytesAsQuestionMarksAndKeepTheLongestText)
{
    History history = {};
    AddToHistory(&history, ADDRESS_CONTROL_BYTES, "http://x/\ta\x01");
    AddToHistory(&history, ADDRESS_EMPTY, "");
    std::string longest(FIELD_TEXT_CAPACITY - 1, 'w');
    AddToHistory(&history, ADDRESS_TOO_LONG, (longest + "cut").c_str());

    char label[HISTORY_LABEL_CAPACITY];
    FormatHistoryLabel(label, sizeof label, HistoryAt(&history, 0));
    EXPECT_EQ("refused: " + longest + " (too long)", label);
    FormatHistoryLabel(label, sizeof label, HistoryAt(&history, 1));
    EXPECT_STREQ("refused:  (empty)", label);
    FormatHistoryLabel(label, sizeof label, HistoryAt(&history, 2));
    EXPECT_STREQ("refused: http://x/?a? (control characters)", label);
    EXPECT_STREQ("http://x/\ta\x01", HistoryAt(&history, 2)->text) << "the entry keeps the text as handed";
}

TEST(BrowserHistory, KeptTextIsJudgedAsItWasWhenJudgedAgain)
{
    History history = {};
    std::string head = "http://example.test/";
    std::string overLong = head + std::string(300, 'a');
    AddToHistory(&history, ADDRESS_TOO_LONG, overLong.c_str());
    AddToHistory(&history, ADDRESS_NOT_WEB, "C:\\Windows\\notepad.exe");
    AddToHistory(&history, ADDRESS_OPENS, "https://x/again");

    char address[LINK_ADDRESS_CAPACITY];
    EXPECT_EQ(ADDRESS_OPENS, JudgeAddress(HistoryAt(&history, 0)->text, address, sizeof address));
    EXPECT_STREQ("https://x/again", address);
    EXPECT_EQ(ADDRESS_NOT_WEB, JudgeAddress(HistoryAt(&history, 1)->text, address, sizeof address));
    // Kept cut, the over-long text must not have become an address that opens.
    EXPECT_EQ(strlen(HistoryAt(&history, 2)->text), (size_t)ADDRESS_MAX_CHARS + 1);
    EXPECT_EQ(ADDRESS_TOO_LONG, JudgeAddress(HistoryAt(&history, 2)->text, address, sizeof address));
}

} // namespace
