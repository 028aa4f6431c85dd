// The number formatter against printf "%.8f" / "%f" in the C locale.
#include "format.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>

using namespace kctest;

namespace {

std::string fixed8(double v) {
    char buf[kc::kMaxFixedChars];
    return std::string(buf, kc::formatFixed8(buf, v));
}

std::string printf6(double v) {
    return printfC("%f", v);
}

TEST(Format, AwkwardValues) {
    const double values[] = {0.0,
                             -0.0,
                             0.5,
                             0.125,
                             0.001953125,
                             0.000000005,
                             -0.000000005,
                             0.000000015,
                             0.000000025,
                             2.5e-9,
                             7.5e-9,
                             -1e-12,
                             -4.9e-324,
                             DBL_MIN,
                             -DBL_MIN,
                             1.0 / 3,
                             0.1 + 0.2,
                             179.999999995,
                             1e11,
                             1.374389534719999e11,
                             1.37438953472e11,
                             1.4e11,
                             9.87654321e15,
                             1e22,
                             DBL_MAX,
                             -DBL_MAX,
                             INFINITY,
                             -INFINITY,
                             NAN,
                             -NAN,
                             4503599627370495.5,
                             0.99999999999,
                             0.999999995,
                             9.999999995};
    for (double v : values)
        EXPECT_EQ(fixed8(v), printf8(v)) << v;
}

TEST(Format, ExactTiesRoundHalfToEvenAsPrintf) {
    // k / 2^s with s in 1..36 are exactly representable; many sit on a tie at the 9th digit.
    for (int s = 1; s <= 36; ++s)
        for (long long k = -3000; k <= 3000; k += 7) {
            const double v = std::ldexp(static_cast<double>(k), -s);
            ASSERT_EQ(fixed8(v), printf8(v)) << k << "/2^" << s;
        }
}

TEST(Format, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(42);
    for (int i = 0; i < 300000; ++i) {
        std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        ASSERT_EQ(fixed8(v), printf8(v)) << v;
    }
    std::uniform_real_distribution<double> geo(-180, 180);
    std::uniform_int_distribution<int> exp(-40, 40);
    for (int i = 0; i < 300000; ++i) {
        const double v = geo(rng);
        ASSERT_EQ(fixed8(v), printf8(v)) << v;
        const double w = std::ldexp(geo(rng), exp(rng));
        ASSERT_EQ(fixed8(w), printf8(w)) << w;
    }
}

TEST(Format, IgnoresTheProcessLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, kGermanLocale), nullptr);
    EXPECT_EQ(fixed8(1234.5), "1234.50000000");
    EXPECT_EQ(fixed8(1e20), "100000000000000000000.00000000");
    std::string s;
    kc::appendFixed6(s, -2.5);
    EXPECT_EQ(s, "-2.500000");
    std::setlocale(LC_ALL, "C");
}

TEST(Format, SixDecimalsAndIntegers) {
    for (double v : {0.0, -0.0, 1.5, -2.0000005, 1e-7, 123456.789, 1e300, 0.0000005, 0.0000015}) {
        std::string s;
        kc::appendFixed6(s, v);
        EXPECT_EQ(s, printf6(v)) << v;
    }
    std::string t;
    kc::appendInt10(t, 1);
    kc::appendInt10(t, 1024);
    kc::appendInt10(t, -5);
    kc::appendInt10(t, 2147483647);
    EXPECT_EQ(t, "         1      1024        -52147483647");
    std::string u;
    kc::appendInt(u, -2147483647 - 1);
    EXPECT_EQ(u, "-2147483648");
}

} // namespace
