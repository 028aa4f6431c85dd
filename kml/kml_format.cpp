#include "kml/kml_format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <system_error>

namespace scribeline {

namespace {

constexpr int kSignificantDigits = 15;
// Fixed form covers decimal exponents -4 .. 14; 1E-05 and 1E+15 already use exponent form.
constexpr int kSmallestFixedExponent = -4;
constexpr int kLargestFixedExponent = 14;

} // namespace

namespace {

// Writes the significant digits `digits` (no trailing zeros, first digit non-zero) of a number
// whose rounded decimal exponent is `exponent`, in the general layout.
void appendLayout(std::string& out, bool negative, std::string_view digits, int exponent,
                  char decimalSeparator) {
    std::array<char, 48> buffer{};
    char* p = buffer.data();
    if (negative) {
        *p++ = '-';
    }
    if (exponent > kLargestFixedExponent || exponent < kSmallestFixedExponent) {
        *p++ = digits[0];
        if (digits.size() > 1) {
            *p++ = decimalSeparator;
            for (std::size_t i = 1; i < digits.size(); ++i) {
                *p++ = digits[i];
            }
        }
        *p++ = 'E';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) {
            *p++ = '0';
        }
        p = std::to_chars(p, buffer.data() + buffer.size(), magnitude).ptr;
    } else if (exponent >= 0) {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        for (std::size_t i = 0; i < integerDigits; ++i) {
            *p++ = i < digits.size() ? digits[i] : '0';
        }
        if (digits.size() > integerDigits) {
            *p++ = decimalSeparator;
            for (std::size_t i = integerDigits; i < digits.size(); ++i) {
                *p++ = digits[i];
            }
        }
    } else {
        *p++ = '0';
        *p++ = decimalSeparator;
        for (int i = 0; i < -exponent - 1; ++i) {
            *p++ = '0';
        }
        for (char c : digits) {
            *p++ = c;
        }
    }
    out.append(buffer.data(), static_cast<std::size_t>(p - buffer.data()));
}

void checkFinite(double value) {
    if (!std::isfinite(value)) {
        throw std::domain_error("a non-finite number has no KML text");
    }
}

// Powers of ten that doubles hold exactly.
constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

namespace detail {

void AppendGeneralNumberExact(std::string& out, double value, char decimalSeparator) {
    checkFinite(value);
    if (value == 0.0) {
        out += '0'; // also -0.0
        return;
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
    std::array<char, 20> digits{};
    std::size_t count = 0;
    digits[count++] = text[0];
    for (std::size_t i = 2; i < e; ++i) { // skip the point after the first digit
        digits[count++] = text[i];
    }
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }
    int exponent = 0;
    const char* expBegin = text.data() + e + 1;
    if (*expBegin == '+') {
        ++expBegin; // from_chars takes no plus sign
    }
    std::from_chars(expBegin, text.data() + text.size(), exponent);
    appendLayout(out, negative, std::string_view(digits.data(), count), exponent, decimalSeparator);
}

} // namespace detail

void AppendGeneralNumber(std::string& out, double value, char decimalSeparator) {
    checkFinite(value);
    if (value == 0.0) {
        out += '0';
        return;
    }
    const bool negative = value < 0.0;
    const double magnitude = negative ? -value : value;
    // Fast path for the magnitudes coordinates and heights have: scale to a 15-digit integer
    // with one correctly rounded multiplication by an exact power of ten. Its error stays
    // below 0.07 of a unit in the last digit, so unless the scaled value lies that close to a
    // rounding tie, rounding it gives the correctly rounded digits.
    if (magnitude >= 1e-4 && magnitude < 1e14) {
        int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
        // log10 may be off by one right at a power of ten.
        const auto pow10 = [](int k) {
            return k >= 0 ? kPowersOfTen[static_cast<std::size_t>(k)]
                          : 1.0 / kPowersOfTen[static_cast<std::size_t>(-k)];
        };
        if (magnitude < pow10(exponent)) {
            --exponent;
        } else if (magnitude >= pow10(exponent + 1)) {
            ++exponent;
        }
        const int shift = kSignificantDigits - 1 - exponent; // 1 .. 18
        if (shift >= 0 && shift <= 22) {
            const double scaled = magnitude * kPowersOfTen[static_cast<std::size_t>(shift)];
            const double floorScaled = std::floor(scaled);
            const double fraction = scaled - floorScaled;
            if (std::abs(fraction - 0.5) > 0.07) {
                auto mantissa = static_cast<std::uint64_t>(floorScaled) + (fraction > 0.5 ? 1 : 0);
                if (mantissa >= 1000000000000000ULL) { // rounded up to the next power of ten
                    mantissa /= 10;
                    ++exponent;
                }
                std::array<char, 24> digits{};
                const auto end =
                    std::to_chars(digits.data(), digits.data() + digits.size(), mantissa).ptr;
                auto count = static_cast<std::size_t>(end - digits.data());
                while (count > 1 && digits[count - 1] == '0') {
                    --count;
                }
                appendLayout(out, negative, std::string_view(digits.data(), count), exponent,
                             decimalSeparator);
                return;
            }
        }
    }
    detail::AppendGeneralNumberExact(out, value, decimalSeparator);
}

std::string FormatGeneralNumber(double value, char decimalSeparator) {
    std::string out;
    AppendGeneralNumber(out, value, decimalSeparator);
    return out;
}

std::string FormatKmlNumber(double value) {
    return FormatGeneralNumber(value, '.');
}

void AppendKmlTuple(std::string& out, double x, double y, double z) {
    AppendGeneralNumber(out, x, '.');
    out += ',';
    AppendGeneralNumber(out, y, '.');
    out += ',';
    AppendGeneralNumber(out, z, '.');
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
