// The locale-free number texts. ctest runs this binary twice: in the "C" locale and under
// de_DE.UTF-8 (numbers_test_locale), where printf and strtod would write and read "0,5".
#include "platform/numbers.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace scribeline {
namespace {

TEST(FormatFixed, WritesAPointAndExactlyTheDecimalsAsked) {
    EXPECT_EQ(FormatFixed(0.5, 1), "0.5");
    EXPECT_EQ(FormatFixed(2.0, 3), "2.000");
    EXPECT_EQ(FormatFixed(-1234567.891, 2), "-1234567.89");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.12") << "ties round to even, like printf";
    EXPECT_EQ(FormatFixed(2.5, 0), "2");
    EXPECT_EQ(FormatFixed(1e20, 0), "100000000000000000000") << "no thousands separators";
    EXPECT_EQ(FormatFixed(-3.0, -4), "-3") << "negative decimal counts mean none";
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 2), "-inf");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::max(), 1).size(), 311u);
}

TEST(FormatSignificant, MatchesPrintfGeneralFormat) {
    EXPECT_EQ(FormatSignificant(0.5, 15), "0.5");
    EXPECT_EQ(FormatSignificant(1.0 / 3.0, 15), "0.333333333333333");
    EXPECT_EQ(FormatSignificant(12345678.25, 15), "12345678.25");
    EXPECT_EQ(FormatSignificant(1e20, 15), "1e+20");
    EXPECT_EQ(FormatSignificant(0.0001, 15), "0.0001");
    EXPECT_EQ(FormatSignificant(0.00001, 15), "1e-05");
    EXPECT_EQ(FormatSignificant(0.1, 17), "0.10000000000000001") << "all 17 digits on request";
    EXPECT_EQ(FormatSignificant(-0.0, 6), "-0");
    EXPECT_EQ(FormatSignificant(123456.0, 3), "1.23e+05");
}

TEST(FormatGeneralNumber, KeepsItsSeparatorWhateverTheLocale) {
    EXPECT_EQ(FormatGeneralNumber(0.5), "0.5");
    EXPECT_EQ(FormatGeneralNumber(0.5, ','), "0,5");
    EXPECT_EQ(FormatGeneralNumber(1.5e15), "1.5E+15");
    EXPECT_THROW((void)FormatGeneralNumber(std::nan("")), std::domain_error);
}

TEST(ParseNumberPrefix, ReadsLikeStrtodInTheCLocale) {
    struct Case {
        const char* text;
        double value;
        std::size_t length;
    };
    const Case cases[] = {
        {"500.5,600.25", 500.5, 5}, // a comma ends the number, also under a German locale
        {"  -2.5e3x", -2500.0, 8},
        {"+.5", 0.5, 3},
        {"12e", 12.0, 2},
        {"12e+", 12.0, 2},
        {"1.2.3", 1.2, 3},
        {"\r\n7", 7.0, 3},
        {"0x1A", 0.0, 1},
        {"", 0.0, 0},
        {"-", 0.0, 0},
        {"+-1", 0.0, 0},
        {".", 0.0, 0},
        {"inf", 0.0, 0},
        {"nan", 0.0, 0},
        {"e5", 0.0, 0},
        {"- 3", 0.0, 0},
        {"007", 7.0, 3},
    };
    for (const Case& c : cases) {
        const NumberPrefix n = ParseNumberPrefix(c.text);
        EXPECT_EQ(n.value, c.value) << '"' << c.text << '"';
        EXPECT_EQ(n.length, c.length) << '"' << c.text << '"';
    }
}

TEST(ParseNumberPrefix, OutOfRangeGivesInfinityOrZeroOfItsSign) {
    EXPECT_EQ(ParseNumberPrefix("1e999").value, std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseNumberPrefix("-1e999").value, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseNumberPrefix("123456e305").value, std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseNumberPrefix("1e-999").value, 0.0);
    EXPECT_EQ(ParseNumberPrefix("1e-999").length, 6u);
    EXPECT_TRUE(std::signbit(ParseNumberPrefix("-1e-999").value));
}

TEST(LeadingNumber, NoNumberAndNonFiniteValuesAreZero) {
    EXPECT_EQ(LeadingNumber("3,5"), 3.0);
    EXPECT_EQ(LeadingNumber(" 600 m"), 600.0);
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber("1e999"), 0.0);
}

TEST(ParseNumber, TakesOnlyAWholeNumber) {
    EXPECT_EQ(ParseNumber("0.5"), 0.5);
    EXPECT_EQ(ParseNumber("-7e-1"), -0.7);
    EXPECT_FALSE(ParseNumber("0,5"));
    EXPECT_FALSE(ParseNumber(" 1"));
    EXPECT_FALSE(ParseNumber("1 "));
    EXPECT_FALSE(ParseNumber(""));
    EXPECT_FALSE(ParseNumber("12e"));
}

TEST(Numbers, RoundTripThroughText) {
    for (double v : {0.1, -123.456, 6.02214076e23, 5e-324, 1.7976931348623157e308, 47.123456789}) {
        EXPECT_EQ(ParseNumber(FormatSignificant(v, 17)), v) << v;
    }
}

} // namespace
} // namespace scribeline
