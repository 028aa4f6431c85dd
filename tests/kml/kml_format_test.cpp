#include "kml/kml_format.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace scribeline {
namespace {

struct NumberCase {
    double value;
    const char* text;
};

// The fixed examples first, then the edges of rounding and of the two forms.
const std::vector<NumberCase>& NumberCases() {
    static const std::vector<NumberCase> cases = {
        {11.5, "11.5"},
        {-122.08, "-122.08"},
        {250.0, "250"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {1.5E+15, "1.5E+15"},
        {999999999999999.0, "999999999999999"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "0"},
        {0.0, "0"},
        {1.0 / 3.0, "0.333333333333333"},
        {-2.0 / 3.0, "-0.666666666666667"},
        {0.5, "0.5"},
        {1.0, "1"},
        {100.0, "100"},
        {1E+14, "100000000000000"},
        {123456789012345.6, "123456789012346"},
        // Rounding to 15 digits carries into the next decade and so into exponent form.
        {999999999999999.6, "1E+15"},
        {1E+15, "1E+15"},
        {-1.5E+15, "-1.5E+15"},
        {1.23456789012345678E+20, "1.23456789012346E+20"},
        {1E+300, "1E+300"},
        {0.000123456789012345678, "0.000123456789012346"},
        {0.000099999, "9.9999E-05"},
        {0.00009999999999999999, "0.0001"},
        {1.5E-05, "1.5E-05"},
        {-0.00001, "-1E-05"},
        {1E-100, "1E-100"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
        {std::numeric_limits<double>::max(), "1.79769313486232E+308"},
        {48.1374, "48.1374"},
        {-33.8688, "-33.8688"},
        {520.000000000001, "520.000000000001"},
        {520.0000000000001, "520"},
    };
    return cases;
}

void ExpectAllNumberCases() {
    for (const auto& c : NumberCases()) {
        EXPECT_EQ(FormatKmlNumber(c.value), c.text) << "value " << c.value;
    }
}

TEST(FormatKmlNumber, GeneralFormWith15SignificantDigits) {
    ExpectAllNumberCases();
}

// A process running under a comma-decimal locale still writes "." (and no grouping).
TEST(FormatKmlNumber, IgnoresTheProcessLocale) {
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const std::locale oldGlobal;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing (install locales-all)";
    std::locale::global(std::locale("de_DE.UTF-8"));
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

    ExpectAllNumberCases();
    ICameraInfoGE camera;
    camera.FocusPointLongitude = 11.5;
    EXPECT_NE(BuildLookAt(camera).find("<longitude>11.5</longitude>"), std::string::npos);

    std::locale::global(oldGlobal);
    std::setlocale(LC_ALL, oldC.c_str());
}

TEST(FormatKmlNumber, NonFiniteValuesHaveNoText) {
    EXPECT_THROW((void)FormatKmlNumber(std::numeric_limits<double>::quiet_NaN()),
                 std::domain_error);
    EXPECT_THROW((void)FormatKmlNumber(std::numeric_limits<double>::infinity()), std::domain_error);
    EXPECT_THROW((void)FormatKmlNumber(-std::numeric_limits<double>::infinity()),
                 std::domain_error);
}

// The display variant (status reports) takes the separator it is given, in both forms.
TEST(FormatGeneralNumber, UsesTheGivenSeparator) {
    EXPECT_EQ(FormatGeneralNumber(11.5, ','), "11,5");
    EXPECT_EQ(FormatGeneralNumber(-0.0001, ','), "-0,0001");
    EXPECT_EQ(FormatGeneralNumber(1.5E+15, ','), "1,5E+15");
    EXPECT_EQ(FormatGeneralNumber(250.0, ','), "250");
}

TEST(KmlTuple, JoinsWithCommasWithoutSpaces) {
    std::string out = "x";
    AppendKmlTuple(out, 11.5, 48.1, 520.0);
    EXPECT_EQ(out, "x11.5,48.1,520");
}

TEST(KmlNamespaces, AreThePublishedUris) {
    EXPECT_EQ(kKmlNamespace20, "http://earth.google.com/kml/2.0");
    EXPECT_EQ(kKmlNamespace21, "http://earth.google.com/kml/2.1");
    EXPECT_EQ(kKmlNamespace22, "http://www.opengis.net/kml/2.2");
}

ICameraInfoGE SampleCamera() {
    ICameraInfoGE c;
    c.FocusPointLongitude = -122.08;
    c.FocusPointLatitude = 37.4219999;
    c.FocusPointAltitude = 0.0;
    c.FocusPointAltitudeMode = 1;
    c.Range = 1500.5;
    c.Tilt = 35.5;
    c.Azimuth = -12.25;
    return c;
}

TEST(BuildLookAt, OneLineInFixedOrderWithTwoLeadingSpaces) {
    EXPECT_EQ(BuildLookAt(SampleCamera()),
              "  <LookAt><longitude>-122.08</longitude><latitude>37.4219999</latitude>"
              "<altitude>0</altitude><range>1500.5</range><tilt>35.5</tilt>"
              "<heading>-12.25</heading><altitudeMode>relativeToGround</altitudeMode>"
              "</LookAt>");
}

TEST(BuildLookAt, NegativeTiltIsWrittenAsZero) {
    ICameraInfoGE c = SampleCamera();
    c.Tilt = -3.0;
    EXPECT_NE(BuildLookAt(c).find("<range>1500.5</range><tilt>0</tilt><heading>"),
              std::string::npos);
    c.Tilt = -1E-9;
    EXPECT_NE(BuildLookAt(c).find("<tilt>0</tilt>"), std::string::npos);
    c.Tilt = 0.0;
    EXPECT_NE(BuildLookAt(c).find("<tilt>0</tilt>"), std::string::npos);
    c.Tilt = 1E-9;
    EXPECT_NE(BuildLookAt(c).find("<tilt>1E-09</tilt>"), std::string::npos);
}

TEST(BuildLookAt, AltitudeModeNamesByTable) {
    const std::vector<std::pair<int, std::string>> table = {
        {0, "clampToGround"},    {1, "relativeToGround"}, {2, "absolute"},
        {3, "relativeToGround"}, {4, "relativeToGround"}, {5, "relativeToGround"},
    };
    ICameraInfoGE c = SampleCamera();
    for (const auto& [mode, name] : table) {
        c.FocusPointAltitudeMode = mode;
        const std::string text = BuildLookAt(c);
        EXPECT_NE(text.find("</heading><altitudeMode>" + name + "</altitudeMode></LookAt>"),
                  std::string::npos)
            << "mode " << mode;
        EXPECT_EQ(text.substr(text.size() - 9), "</LookAt>") << "no line end of its own";
    }
}

TEST(BuildLookAt, AltitudeModeOutsideTheTableRaises) {
    ICameraInfoGE c = SampleCamera();
    for (int mode : {-1, 6, 100}) {
        c.FocusPointAltitudeMode = mode;
        EXPECT_THROW((void)BuildLookAt(c), std::out_of_range) << "mode " << mode;
    }
}

TEST(BuildLookAt, NonFiniteCameraValueRaises) {
    ICameraInfoGE c = SampleCamera();
    c.Range = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW((void)BuildLookAt(c), std::domain_error);
}

} // namespace
} // namespace scribeline

namespace scribeline {
namespace {

// The fast scaled-integer path must give the correctly rounded digits of the reference
// conversion for every magnitude it takes, including values right at rounding ties.
TEST(KmlNumberFastPath, AgreesWithTheReferenceConversion) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 16);
    auto check = [](double v) {
        std::string fast, exact;
        AppendGeneralNumber(fast, v, '.');
        detail::AppendGeneralNumberExact(exact, v, '.');
        ASSERT_EQ(fast, exact) << "value " << std::hexfloat << v;
    };
    for (int i = 0; i < 300000; ++i) {
        const double v = (1.0 + 9.0 * unit(random)) * std::pow(10.0, exponent(random));
        check(i % 2 == 0 ? v : -v);
    }
    // Decimal ties at the 16th digit and their neighbours.
    for (int i = 0; i < 20000; ++i) {
        const double base = std::floor(unit(random) * 1e14) + 0.5;
        for (int shift = 0; shift <= 14; ++shift) {
            const double v = base / std::pow(10.0, shift);
            check(v);
            check(std::nextafter(v, 0.0));
            check(std::nextafter(v, 1e300));
        }
    }
    for (double v : {1e-4, 9.99999999999999e13, 1e14, 99999999999999.95, 0.00009999999999999999,
                     123456789012345.6, 0.1 + 0.2}) {
        check(v);
    }
}

} // namespace
} // namespace scribeline
