#include "kml/kml_format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace scribeline {

namespace {

constexpr int kSignificantDigits = 15;
// Fixed form covers decimal exponents -4 .. 14; 1E-05 and 1E+15 already use exponent form.
constexpr int kSmallestFixedExponent = -4;
constexpr int kLargestFixedExponent = 14;

} // namespace

std::string FormatGeneralNumber(double value, char decimalSeparator) {
    if (!std::isfinite(value)) {
        throw std::domain_error("a non-finite number has no KML text");
    }
    if (value == 0.0) {
        return "0"; // also -0.0
    }

    // std::to_chars is locale-independent and rounds correctly; scientific form with 14
    // fraction digits gives exactly the 15 significant digits and the rounded exponent.
    std::array<char, 40> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific, kSignificantDigits - 1);
    if (result.ec != std::errc{}) {
        throw std::logic_error("number formatting overflowed its buffer");
    }
    std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));

    const bool negative = text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    const std::size_t e = text.find('e');
    std::string digits(1, text[0]);
    digits.append(text.substr(2, e - 2)); // skip the point after the first digit
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string_view exponentText = text.substr(e + 1);
    const bool negativeExponent = exponentText.front() == '-';
    exponentText.remove_prefix(1); // to_chars always writes the exponent sign
    int exponentMagnitude = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(),
                    exponentMagnitude);
    const int exponent = negativeExponent ? -exponentMagnitude : exponentMagnitude;

    std::string out;
    if (negative) {
        out += '-';
    }
    if (exponent > kLargestFixedExponent || exponent < kSmallestFixedExponent) {
        out += digits[0];
        if (digits.size() > 1) {
            out += decimalSeparator;
            out.append(digits, 1);
        }
        out += 'E';
        out += negativeExponent ? '-' : '+';
        if (exponentMagnitude < 10) {
            out += '0';
        }
        out += std::to_string(exponentMagnitude);
    } else if (exponent >= 0) {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out += digits;
            out.append(integerDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, integerDigits);
            out += decimalSeparator;
            out.append(digits, integerDigits);
        }
    } else {
        out += '0';
        out += decimalSeparator;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::string FormatKmlNumber(double value) {
    return FormatGeneralNumber(value, '.');
}

void AppendKmlTuple(std::string& out, double x, double y, double z) {
    out += FormatKmlNumber(x);
    out += ',';
    out += FormatKmlNumber(y);
    out += ',';
    out += FormatKmlNumber(z);
}

std::string_view KmlAltitudeModeName(int cameraAltitudeMode) {
    switch (cameraAltitudeMode) {
    case 0:
        return "clampToGround";
    case 2:
        return "absolute";
    case 1:
    case 3:
    case 4:
    case 5:
        return "relativeToGround";
    default:
        throw std::out_of_range("camera altitude mode " + std::to_string(cameraAltitudeMode) +
                                " is outside 0..5");
    }
}

std::string BuildLookAt(const ICameraInfoGE& camera) {
    // The mode is checked first so that a bad camera produces no partial work.
    const std::string_view modeName = KmlAltitudeModeName(camera.FocusPointAltitudeMode);
    std::string out = "  <LookAt>";
    auto element = [&out](std::string_view tag, const std::string& value) {
        out += '<';
        out += tag;
        out += '>';
        out += value;
        out += "</";
        out += tag;
        out += '>';
    };
    element("longitude", FormatKmlNumber(camera.FocusPointLongitude));
    element("latitude", FormatKmlNumber(camera.FocusPointLatitude));
    element("altitude", FormatKmlNumber(camera.FocusPointAltitude));
    element("range", FormatKmlNumber(camera.Range));
    // KML tilts run from 0; a camera below the horizon line is written level.
    element("tilt", camera.Tilt < 0.0 ? std::string("0") : FormatKmlNumber(camera.Tilt));
    element("heading", FormatKmlNumber(camera.Azimuth));
    element("altitudeMode", std::string(modeName));
    out += "</LookAt>";
    return out;
}

} // namespace scribeline
