// The shortest decimal text of a double, laid out as std::to_chars lays it out.
//
// The digits come from fmt's Dragonbox (the shortest digit string that reads
// back to the same double, nearest to it); the layout below picks between
// fixed and scientific form the way the standard library does.
#include "Func_.h"

#include <fmt/format.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 U128;

struct PairTable {
    char d[200];
    constexpr PairTable() : d()
    {
        for (int i = 0; i < 100; ++i) {
            d[2 * i] = static_cast<char>('0' + i / 10);
            d[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr PairTable kPairs;

constexpr std::uint64_t kPow10[20] = {1ull,
                                      10ull,
                                      100ull,
                                      1000ull,
                                      10000ull,
                                      100000ull,
                                      1000000ull,
                                      10000000ull,
                                      100000000ull,
                                      1000000000ull,
                                      10000000000ull,
                                      100000000000ull,
                                      1000000000000ull,
                                      10000000000000ull,
                                      100000000000000ull,
                                      1000000000000000ull,
                                      10000000000000000ull,
                                      100000000000000000ull,
                                      1000000000000000000ull,
                                      10000000000000000000ull};

// Number of decimal digits of x (x > 0).
inline int DigitCount(std::uint64_t x)
{
    const int t = (static_cast<int>(std::bit_width(x)) * 1233) >> 12;  // floor(log10(x)) or one less
    return t + (x >= kPow10[t] ? 1 : 0);
}

// Writes the n decimal digits of x (exactly n: x < 10^n) at p.
inline void WriteDigits(char* p, std::uint64_t x, int n)
{
    char* q = p + n;
    while (x >= 100) {
        const auto r = static_cast<unsigned>(x % 100);
        x /= 100;
        q -= 2;
        std::memcpy(q, kPairs.d + 2 * r, 2);
    }
    if (x >= 10) {
        q -= 2;
        std::memcpy(q, kPairs.d + 2 * x, 2);
    } else {
        *--q = static_cast<char>('0' + x);
    }
}

// The exact decimal digits of a whole double from 2^53 to below 10^22.
char* WriteExactWhole(char* p, std::uint64_t bits)
{
    const std::uint64_t mant = (bits & ((1ull << 52) - 1)) | (1ull << 52);
    const int shift = static_cast<int>((bits >> 52) & 0x7FF) - 1075;  // from 1 to 21 here
    const U128 x = static_cast<U128>(mant) << shift;
    const U128 base = kPow10[19];
    const auto hi = static_cast<std::uint64_t>(x / base);
    const auto lo = static_cast<std::uint64_t>(x % base);
    if (hi == 0) {
        const int n = DigitCount(lo);
        WriteDigits(p, lo, n);
        return p + n;
    }
    const int n = DigitCount(hi);
    WriteDigits(p, hi, n);
    std::memset(p + n, '0', 19);  // lo's leading zeros
    WriteDigits(p + n + 19 - DigitCount(lo | 1), lo, DigitCount(lo | 1));
    return p + n + 19;
}

}  // namespace

char* ShortestChars(char* p, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if (bits >> 63) *p++ = '-';
    const std::uint64_t magnitude = bits & ~(1ull << 63);
    if (magnitude >= 0x7FF0000000000000ull) {
        std::memcpy(p, magnitude == 0x7FF0000000000000ull ? "inf" : "nan", 3);
        return p + 3;
    }
    if (magnitude == 0) {
        *p = '0';
        return p + 1;
    }
    const auto dec = fmt::detail::dragonbox::to_decimal(std::bit_cast<double>(magnitude));
    const std::uint64_t sig = dec.significand;
    const int e = dec.exponent;  // the value is sig * 10^e
    const int m = DigitCount(sig);
    const int sciExp = e + m - 1;
    const int absExp = sciExp < 0 ? -sciExp : sciExp;
    const int sciLen = m + (m > 1 ? 1 : 0) + 2 + (absExp >= 100 ? 3 : 2);
    const int fixedLen = e >= 0 ? m + e : (-e < m ? m + 1 : 2 - e);
    if (fixedLen <= sciLen) {
        if (e >= 0) {
            // A whole number: its exact digits, which from 2^53 on may differ
            // from the shortest digits followed by zeros.
            if (magnitude >= 0x4340000000000000ull) return WriteExactWhole(p, magnitude);
            WriteDigits(p, sig, m);
            std::memset(p + m, '0', 8);  // e is at most 5 here
            return p + m + e;
        }
        if (-e < m) {
            // the digits with a point after the first `whole` of them
            const int whole = m + e;
            WriteDigits(p + 1, sig, m);
            std::memmove(p, p + 1, static_cast<std::size_t>(whole));
            p[whole] = '.';
            return p + m + 1;
        }
        // "0." and up to 20 zeros (a longer run makes the scientific form shorter)
        p[0] = '0';
        p[1] = '.';
        std::memset(p + 2, '0', 24);
        WriteDigits(p + 2 - e - m, sig, m);
        return p + 2 - e;
    }
    WriteDigits(p + 1, sig, m);
    p[0] = p[1];
    p[1] = '.';
    p += m > 1 ? m + 1 : 1;
    p[0] = 'e';
    p[1] = sciExp < 0 ? '-' : '+';
    if (absExp >= 100) {
        p[2] = static_cast<char>('0' + absExp / 100);
        std::memcpy(p + 3, kPairs.d + 2 * (absExp % 100), 2);
        return p + 5;
    }
    std::memcpy(p + 2, kPairs.d + 2 * absExp, 2);
    return p + 4;
}
