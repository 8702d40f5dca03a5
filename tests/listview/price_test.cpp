// Price texts as numbers: the accepted forms, the texts that are no price, and long texts.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <cmath>
#include <string>

#include "listview/price.h"

namespace {

// A double's bit pattern, for failures between neighbouring doubles that print alike.
std::string Bits(double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    char text[24];
    snprintf(text, sizeof text, "%016llx", (unsigned long long)bits);
    return text;
}

struct PriceCase {
    const char* text;
    double value;
};

// Digits with any thousands separators and an optional fraction are a price; the empty text is 0;
// anything else is no price at all, -1.
TEST(ParsePrice, ReadsEachTextAsItsValueOrAsNoPrice)
{
    const PriceCase cases[] = {
        { "1,234.50", 1234.5 },
        { "12", 12.0 },
        { "12.5", 12.5 },
        { "12.", 12.0 },
        { ".5", 0.5 },
        { "0", 0.0 },
        { "007", 7.0 },
        { "1,000", 1000.0 },
        { "1,2,3,4", 1234.0 },
        { ",12", 12.0 },
        { "12,", 12.0 },
        { "1,,2", 12.0 },
        { "12.25", 12.25 },
        { "0.125", 0.125 },
        { "", 0.0 },
        // Fifteen digits are exact.
        { "999999999999999", 999999999999999.0 },
        { "999,999,999,999,999", 999999999999999.0 },
        { "123456789012345", 123456789012345.0 },
        { "100000000000000", 100000000000000.0 },
        { "000000000000000000123456789012345", 123456789012345.0 },
        // No price.
        { "abc", -1.0 },
        { "-5", -1.0 },
        { " 12", -1.0 },
        { "12 ", -1.0 },
        { "1.2.3", -1.0 },
        { "1.234,5", -1.0 },
        { "+5", -1.0 },
        { "1e5", -1.0 },
        { "$12", -1.0 },
        { "12$", -1.0 },
        { "1_000", -1.0 },
        { "0x10", -1.0 },
        { "..", -1.0 },
        { "1..", -1.0 },
        { ".,", -1.0 },
        { "12.5a", -1.0 },
        { "\t1", -1.0 },
        { "1/2", -1.0 },
    };
    for (const PriceCase& c : cases)
        EXPECT_EQ(c.value, ParsePrice(c.text)) << '"' << c.text << '"';
}

// The fraction divides by exact powers of ten: multiplying by 0.1 instead would give, say,
// 0.30000000000000004 for "0.3".
TEST(ParsePrice, FractionsAreTheNearestDoubles)
{
    EXPECT_EQ(0.05, ParsePrice("0.05"));
    const double tenths[] = { 0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9 };
    for (int digit = 0; digit <= 9; ++digit) {
        std::string text = "0." + std::to_string(digit);
        EXPECT_EQ(tenths[digit], ParsePrice(text.c_str())) << text;
        EXPECT_EQ(tenths[digit], ParsePrice(text.c_str() + 1)) << text.c_str() + 1;
    }
    const double hundredths[] = { 0.01, 0.02, 0.03, 0.04, 0.05, 0.06, 0.07, 0.08, 0.09 };
    for (int digit = 1; digit <= 9; ++digit) {
        std::string text = "0.0" + std::to_string(digit);
        EXPECT_EQ(hundredths[digit - 1], ParsePrice(text.c_str())) << text;
    }
}

// One step of the sum, rounded to a double whatever the floating-point unit holds in between.
double Add(double a, double b)
{
    volatile double sum = a + b;
    return sum;
}

// digit / 10 + digit / 100 + ..., added from the point onwards, each sum a double: every build must
// give the same value, bit for bit. These sums are not all the doubles nearest the texts' values.
TEST(ParsePrice, EachFractionDigitAddsItsShareInTurnInDoublePrecision)
{
    const PriceCase cases[] = {
        { "0.12", Add(0.1, 0.02) },
        { "0.123", Add(Add(0.1, 0.02), 0.003) },
        { "5.999", Add(Add(Add(5.0, 0.9), 0.09), 0.009) },
        { "12.34", Add(Add(12.0, 0.3), 0.04) },
    };
    for (const PriceCase& c : cases)
        EXPECT_EQ(Bits(c.value), Bits(ParsePrice(c.text))) << '"' << c.text << '"';
    EXPECT_EQ(3e-22, ParsePrice("0.0000000000000000000003"));
}

TEST(ParsePrice, EveryOtherAsciiCharacterSpoilsThePriceWhereverItStands)
{
    for (int byte = 1; byte < 0x80; ++byte) {
        if ((byte >= '0' && byte <= '9') || byte == ',' || byte == '.')
            continue;
        const char c = (char)byte;
        for (const std::string& text : { std::string(1, c), c + std::string("5"), "1" + std::string(1, c) + "2",
                                         "12" + std::string(1, c), "1." + std::string(1, c),
                                         "1.5" + std::string(1, c) })
            EXPECT_EQ(-1.0, ParsePrice(text.c_str())) << "byte " << byte << " in \"" << text << '"';
    }
}

// Bytes from 0x80 up are negative characters; none of them is a digit, a separator or the point,
// whatever its low seven bits say (0xB0 to 0xB9 look like digits there, 0xAC and 0xAE like ',' and '.').
TEST(ParsePrice, EveryByteFrom0x80UpIsAnotherCharacter)
{
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char c = (char)byte;
        for (const std::string& text : { std::string(1, c), c + std::string("5"), "1" + std::string(1, c) + "2",
                                         "12" + std::string(1, c), "1." + std::string(1, c),
                                         "1.5" + std::string(1, c), "1,234" + std::string(1, c) + "50" })
            EXPECT_EQ(-1.0, ParsePrice(text.c_str())) << "byte 0x" << std::hex << byte;
    }
}

TEST(ParsePrice, LongDigitStringsStayPricesCloseToTheirValue)
{
    // Thirty-one digits fill a record's price field; the running value rounds at each step, so only
    // closeness can be asked for.
    std::string nines(31, '9');
    double value = ParsePrice(nines.c_str());
    EXPECT_NEAR(1.0, value / 1e31, 1e-14);

    std::string powerOfTen = "1" + std::string(30, '0');
    EXPECT_NEAR(1.0, ParsePrice(powerOfTen.c_str()) / 1e30, 1e-14);
    EXPECT_LT(ParsePrice(powerOfTen.c_str()), value);

    // Far longer than any field: still a price, growing without wrapping or turning into NaN.
    std::string huge(400, '7');
    double hugeValue = ParsePrice(huge.c_str());
    EXPECT_FALSE(std::isnan(hugeValue));
    EXPECT_GE(hugeValue, 1e300);
}

TEST(ParsePrice, LongFractionsAddNothingForTheirZeros)
{
    std::string half = "0.5" + std::string(40, '0');
    EXPECT_EQ(0.5, ParsePrice(half.c_str()));
    std::string twelve = "12." + std::string(300, '0');
    EXPECT_EQ(12.0, ParsePrice(twelve.c_str()));
    // The 22nd place still divides by the exact power of ten.
    EXPECT_EQ(1e-22, ParsePrice(("0." + std::string(21, '0') + "1").c_str()));
    std::string manyNines = "0." + std::string(40, '9');
    double value = ParsePrice(manyNines.c_str());
    EXPECT_GT(value, 0.99999);
    EXPECT_LE(value, 1.0);
    EXPECT_EQ(-1.0, ParsePrice(("0." + std::string(40, '9') + ",").c_str()));
}

} // namespace
