#include "format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kc {

namespace {

constexpr char kDigits2[201] = "00010203040506070809101112131415161718192021222324"
                               "25262728293031323334353637383940414243444546474849"
                               "50515253545556575859606162636465666768697071727374"
                               "75767778798081828384858687888990919293949596979899";

// Writes the 8 decimal digits of v (< 10^8), zero-padded: two independent halves.
inline char* write8(char* out, std::uint32_t v) {
    const std::uint32_t hi = v / 10000, lo = v % 10000;
    std::memcpy(out, kDigits2 + 2 * (hi / 100), 2);
    std::memcpy(out + 2, kDigits2 + 2 * (hi % 100), 2);
    std::memcpy(out + 4, kDigits2 + 2 * (lo / 100), 2);
    std::memcpy(out + 6, kDigits2 + 2 * (lo % 100), 2);
    return out + 8;
}

inline char* writeUnsigned(char* out, std::uint64_t v) {
    // the integer parts of coordinates are short: the common cases without a loop
    if (v < 10) {
        *out = static_cast<char>('0' + v);
        return out + 1;
    }
    if (v < 100) {
        std::memcpy(out, kDigits2 + 2 * v, 2);
        return out + 2;
    }
    if (v < 1000) {
        *out = static_cast<char>('0' + v / 100);
        std::memcpy(out + 1, kDigits2 + 2 * (v % 100), 2);
        return out + 3;
    }
    char tmp[24];
    char* p = tmp + sizeof tmp;
    while (v >= 100) {
        const auto two = static_cast<unsigned>(v % 100);
        v /= 100;
        p -= 2;
        std::memcpy(p, kDigits2 + 2 * two, 2);
    }
    if (v >= 10) {
        p -= 2;
        std::memcpy(p, kDigits2 + 2 * v, 2);
    } else {
        *--p = static_cast<char>('0' + v);
    }
    const auto n = static_cast<std::size_t>(tmp + sizeof tmp - p);
    std::memcpy(out, p, n);
    return out + n;
}

char* fallbackFixed(char* out, double v, int decimals) {
    // std::to_chars with a precision is exact and locale-independent, as printf in "C".
    const auto r = std::to_chars(out, out + kMaxFixedChars, v, std::chars_format::fixed, decimals);
    return r.ptr;
}

} // namespace

// Exact "%.8f" for |v| < 2^37 (about 1.4e11): v = m * 2^e; v * 10^8 = m * 10^8 * 2^e is
// computed in 128-bit integers and rounded half to even, as glibc's printf rounds in the
// default rounding mode. Larger magnitudes, infinities and NaN take std::to_chars.
char* formatFixed8(char* out, double v) {
#if defined(__SIZEOF_INT128__)
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased < 1023 + 37) {
        std::uint64_t m;
        int e;
        if (biased == 0) {
            m = fraction;
            e = -1074;
        } else {
            m = fraction | (std::uint64_t{1} << 52);
            e = biased - 1075;
        }
        // Here e <= 36 - 52 < 0, so the value has a fractional part in binary.
        __extension__ typedef unsigned __int128 u128;
        const u128 p = static_cast<u128>(m) * 100000000u;
        const int shift = -e;
        std::uint64_t q;
        if (shift >= 128) {
            q = 0; // p < 2^80 is below half of 2^shift
        } else {
            const u128 one = 1;
            q = static_cast<std::uint64_t>(p >> shift);
            const u128 rest = p & ((one << shift) - 1);
            const u128 half = one << (shift - 1);
            if (rest > half || (rest == half && (q & 1) != 0))
                ++q;
        }
        if (negative)
            *out++ = '-';
        out = writeUnsigned(out, q / 100000000u);
        *out++ = '.';
        return write8(out, static_cast<std::uint32_t>(q % 100000000u));
    }
#endif
    return fallbackFixed(out, v, 8);
}

char* formatFixed(char* out, double v, int decimals) {
    if (decimals == 8)
        return formatFixed8(out, v);
    return fallbackFixed(out, v, decimals);
}

char* formatInt(char* out, long long v) {
    if (v < 0) {
        *out++ = '-';
        return writeUnsigned(out, static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(v));
    }
    return writeUnsigned(out, static_cast<std::uint64_t>(v));
}

void appendFixed8(std::string& s, double v) {
    char buf[kMaxFixedChars];
    s.append(buf, formatFixed8(buf, v));
}

void appendFixed6(std::string& s, double v) {
    char buf[kMaxFixedChars];
    s.append(buf, fallbackFixed(buf, v, 6));
}

void appendInt(std::string& s, long long v) {
    char buf[24];
    s.append(buf, formatInt(buf, v));
}

void appendInt10(std::string& s, int v) {
    char buf[24];
    char* end = formatInt(buf, v);
    const auto n = static_cast<std::size_t>(end - buf);
    if (n < 10)
        s.append(10 - n, ' ');
    s.append(buf, end);
}

} // namespace kc
