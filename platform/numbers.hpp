// Numbers as text, the same whatever the process locale is. A Qt application (and QGIS) sets
// LC_NUMERIC from the environment, so printf, strtod and std::to_string(double) write and read a
// decimal comma for a German user; every number Scribeline prints or parses goes through these
// functions instead (they are built on std::to_chars and std::from_chars).
//
// All functions are pure and thread-safe. None of them looks at the C or C++ locale.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace scribeline {

// ---- formatting ----------------------------------------------------------------------------

// A double in the general format with 15 significant digits and the given decimal separator:
// trailing fractional zeros and a bare separator are dropped, no thousands separators, zero
// (either sign) is "0". Exponent form ("1.5E+15", "1E-05": mantissa in the same style, E, a
// sign, at least two digits) is used when the rounded value's decimal exponent is 15 or more
// or below -4. Raises std::domain_error for NaN and infinities.
[[nodiscard]] std::string FormatGeneralNumber(double value, char decimalSeparator = '.');

// Appends FormatGeneralNumber(value, decimalSeparator) to `out` without building a string.
void AppendGeneralNumber(std::string& out, double value, char decimalSeparator);

namespace detail {
// The reference conversion (correctly rounded through std::to_chars) that the fast path of
// AppendGeneralNumber falls back to near rounding ties; exposed for tests.
void AppendGeneralNumberExact(std::string& out, double value, char decimalSeparator);
} // namespace detail

// `value` with exactly `decimals` (0..100) digits after a ".", correctly rounded: the text
// printf("%.*f") gives in the "C" locale ("inf", "-inf", "nan" for non-finite values).
[[nodiscard]] std::string FormatFixed(double value, int decimals);

// `value` with at most `significantDigits` (1..100) significant digits: the text
// printf("%.*g") gives in the "C" locale (lower-case exponent, "1e+20"; trailing zeros dropped).
[[nodiscard]] std::string FormatSignificant(double value, int significantDigits);

// ---- parsing -------------------------------------------------------------------------------

// The decimal number a text starts with.
struct NumberPrefix {
    double value = 0.0;
    // Characters read, leading blanks included; 0 when the text does not start with a number.
    std::size_t length = 0;
};

// Reads the number at the start of `text` the way strtod does in the "C" locale, but only in
// decimal: leading blanks (space, tab, CR, LF), an optional sign, digits with at most one "."
// (at least one digit), and an exponent only when digits follow the "e" or "E" ("12e" reads
// 12). A "," ends the number whatever the locale. Hexadecimal, "inf" and "nan" are not numbers.
// A value beyond the double range reads as an infinity of its sign, one too small as zero.
[[nodiscard]] NumberPrefix ParseNumberPrefix(std::string_view text);

// The value of the number `text` starts with (ParseNumberPrefix), or 0 when it starts with
// none or the value is not finite. This is how typed boxes read a number: "12abc" is 12,
// "3,5" is 3, "abc" is 0.
[[nodiscard]] double LeadingNumber(std::string_view text);

// The number the whole of `text` is (no blanks around it, decimal only), or nothing.
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text);

} // namespace scribeline
