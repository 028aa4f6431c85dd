#include "platform/numbers.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <vector>

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

namespace {

// Runs std::to_chars into a buffer big enough for any double in the given form.
template <class... Format> std::string toChars(double value, std::size_t room, Format... format) {
    std::vector<char> buffer(room);
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format...);
    if (result.ec != std::errc{}) {
        throw std::logic_error("number formatting overflowed its buffer");
    }
    return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

std::string nonFinite(double value) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    return value < 0.0 ? "-inf" : "inf";
}

int clampDigits(int digits, int lowest) {
    return digits < lowest ? lowest : (digits > 100 ? 100 : digits);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    const int d = clampDigits(decimals, 0);
    // 309 integer digits at most, a sign, a point and the decimals.
    return toChars(value, 320 + static_cast<std::size_t>(d), std::chars_format::fixed, d);
}

std::string FormatSignificant(double value, int significantDigits) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    const int d = clampDigits(significantDigits, 1);
    return toChars(value, 420 + static_cast<std::size_t>(d), std::chars_format::general, d);
}

NumberPrefix ParseNumberPrefix(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i; // from_chars takes no plus sign, so the sign is applied here
    int integerDigits = 0;       // significant digits before the point, for range errors
    bool any = false;
    bool leading = true;
    while (i < n && isDigit(text[i])) {
        leading = leading && text[i] == '0';
        integerDigits += leading ? 0 : 1;
        ++i;
        any = true;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            any = true;
        }
    }
    if (!any) {
        return {};
    }
    int exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t k = i + 1;
        bool negativeExponent = false;
        if (k < n && (text[k] == '+' || text[k] == '-')) {
            negativeExponent = text[k] == '-';
            ++k;
        }
        if (k < n && isDigit(text[k])) {
            while (k < n && isDigit(text[k])) {
                exponent = exponent < 100000 ? exponent * 10 + (text[k] - '0') : exponent;
                ++k;
            }
            exponent = negativeExponent ? -exponent : exponent;
            i = k;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data() + start, text.data() + i, value);
    if (result.ec == std::errc::result_out_of_range) {
        value = integerDigits + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return {negative ? -value : value, i};
}

double LeadingNumber(std::string_view text) {
    const NumberPrefix prefix = ParseNumberPrefix(text);
    return prefix.length != 0 && std::isfinite(prefix.value) ? prefix.value : 0.0;
}

std::optional<double> ParseNumber(std::string_view text) {
    if (text.empty() || isBlank(text.front())) {
        return std::nullopt;
    }
    const NumberPrefix prefix = ParseNumberPrefix(text);
    if (prefix.length != text.size()) {
        return std::nullopt;
    }
    return prefix.value;
}

} // namespace scribeline
