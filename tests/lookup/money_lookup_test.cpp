// Vn_Countries.dll as the viewer sees it: currency codes and names through the import library.
#include "companions/countries/money_lookup.h"

#include <climits>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

const char kUnknownCode[] = "???";
const char kUnknownName[] = "Unknown currency";

bool IsThreeCapitals(const char* code)
{
    return strlen(code) == 3 && code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z' &&
           code[2] >= 'A' && code[2] <= 'Z';
}

}  // namespace

TEST(lookupMoney, KnownCodesGiveIsoCodeAndName)
{
    EXPECT_STREQ(func32_Get_MoneyName(840), "USD");
    EXPECT_STREQ(func32_Get_MoneyNameL(840), "US Dollar");
    EXPECT_STREQ(func32_Get_MoneyName(978), "EUR");
    EXPECT_STREQ(func32_Get_MoneyNameL(978), "Euro");
    EXPECT_STREQ(func32_Get_MoneyName(826), "GBP");
    EXPECT_STREQ(func32_Get_MoneyNameL(826), "Pound Sterling");
    EXPECT_STREQ(func32_Get_MoneyName(392), "JPY");
    EXPECT_STREQ(func32_Get_MoneyNameL(392), "Yen");
}

TEST(lookupMoney, CodesWrittenWithLeadingZerosAreDecimal)
{
    // The data spells these "008" and "036"; read as octal they would land on other numbers.
    EXPECT_STREQ(func32_Get_MoneyName(8), "ALL");
    EXPECT_STREQ(func32_Get_MoneyNameL(8), "Lek");
    EXPECT_STREQ(func32_Get_MoneyName(36), "AUD");
    EXPECT_STREQ(func32_Get_MoneyNameL(36), "Australian Dollar");
    EXPECT_STREQ(func32_Get_MoneyName(30), kUnknownCode);
}

TEST(lookupMoney, NamesAreInCodePage1252)
{
    EXPECT_STREQ(func32_Get_MoneyName(928), "VES");
    EXPECT_STREQ(func32_Get_MoneyNameL(928), "Bol\xEDvar Soberano");
    EXPECT_STREQ(func32_Get_MoneyName(776), "TOP");
    EXPECT_STREQ(func32_Get_MoneyNameL(776), "Pa\x92" "anga");
}

TEST(lookupMoney, UnknownCodesGiveTheUnknownTexts)
{
    // 840 + 65536 and 840 + 256 catch a lookup that drops high bits of the id.
    const int unknown[] = {0, 1, 1000, 840 + 65536, 840 + 256, -840, -1, INT_MIN, INT_MAX};
    for (int id : unknown) {
        SCOPED_TRACE(id);
        const char* code = func32_Get_MoneyName(id);
        const char* name = func32_Get_MoneyNameL(id);
        ASSERT_NE(code, nullptr);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(code, kUnknownCode);
        EXPECT_STREQ(name, kUnknownName);
    }
}

TEST(lookupMoney, EveryNumericCodeHasConsistentDistinctEntries)
{
    // All numeric codes are three digits, so sweeping past both ends sees the whole table.
    std::set<std::string> codes;
    int known = 0;
    for (int id = -1; id <= 1000; ++id) {
        SCOPED_TRACE(id);
        const char* code = func32_Get_MoneyName(id);
        const char* name = func32_Get_MoneyNameL(id);
        ASSERT_NE(code, nullptr);
        ASSERT_NE(name, nullptr);
        const bool codeKnown = strcmp(code, kUnknownCode) != 0;
        const bool nameKnown = strcmp(name, kUnknownName) != 0;
        ASSERT_EQ(codeKnown, nameKnown) << code << " / " << name;
        if (!codeKnown)
            continue;
        ++known;
        EXPECT_TRUE(IsThreeCapitals(code)) << code;
        EXPECT_TRUE(codes.insert(code).second) << "code " << code << " returned for two numeric codes";
        EXPECT_GT(strlen(name), 0u);
        EXPECT_LE(strlen(name), (size_t)kMoneyNameMax) << name;
        // The texts are static: asking again gives the very same storage.
        EXPECT_EQ(func32_Get_MoneyName(id), code);
        EXPECT_EQ(func32_Get_MoneyNameL(id), name);
    }
    // ISO 4217 lists about 180 active numeric codes; far fewer means the table lost entries.
    EXPECT_GE(known, 150);
}
