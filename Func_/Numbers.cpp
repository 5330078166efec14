// Decimal rounding and number-to-text conversion.
#include "Func_.h"
#include "Pow10Table.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>

double RoundOff(double value, std::int32_t digits, std::int32_t mode)
{
    static constexpr double kFactors[10] = {1, 10, 100, 1000, 10000, 100000, 1e6, 1e7, 1e8, 1e9};
    const double factor = (digits >= 1 && digits <= 9) ? kFactors[digits] : 1.0;
    double a = std::fabs(value) * factor;
    // From 2^51 on, the value's own spacing is too coarse for the decimals
    // asked for: rounding would move it (odd values above 2^52), overflow it to
    // infinity (a huge scale), or give a value that rounds to yet another one
    // on the next save. Such a value is returned as it is.
    if (!std::isfinite(a) || a >= 2251799813685248.0) return value;
    if (mode == 0)
        a = std::trunc(a);
    else if (mode == 1)
        a = std::trunc(a + 0.9999999999);
    else
        a = std::trunc(a + 0.5);
    const double r = a / factor;
    return value < 0 ? 0.0 - r : r;
}

void AppendInt(std::string& out, std::int64_t value)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

std::string IntStr(std::int32_t value)
{
    std::string s;
    AppendInt(s, value);
    return s;
}

namespace {

__extension__ typedef unsigned __int128 U128;

// Splits "d.ddde[+-]XX" into its digits and exponent (without a branch per
// digit: the number of digits varies from value to value).
void ParseScientific(const char* p, const char* end, char* digits, int& nd, int& exp10)
{
    const auto* e = static_cast<const char*>(std::memchr(p, 'e', static_cast<std::size_t>(end - p)));
    digits[0] = p[0];
    nd = 1;
    if (e - p > 2) {  // "d.ddd"
        std::memcpy(digits + 1, p + 2, static_cast<std::size_t>(e - p - 2));
        nd = static_cast<int>(e - p - 1);
    }
    int x = 0;
    for (const char* q = e + 2; q < end; ++q) x = x * 10 + (*q - '0');  // e, the sign, then the digits
    exp10 = e[1] == '-' ? -x : x;
}

// The digits of v (positive, finite) rounded to 15 significant digits, by
// the exact conversion of the standard library (round half to even on the
// exact binary value, as printf does).
void ExactDigits15(double v, char* digits, int& nd, int& exp10)
{
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    ParseScientific(buf, res.ptr, digits, nd, exp10);
}

// Two decimal digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the 15 digits of n (10^14 <= n < 10^15).
void Write15(std::uint64_t n, char* out)
{
    for (int i = 13; i >= 1; i -= 2) {
        const auto pair = static_cast<std::size_t>(n % 100) * 2;
        n /= 100;
        out[i] = kDigitPairs[pair];
        out[i + 1] = kDigitPairs[pair + 1];
    }
    out[0] = static_cast<char>('0' + n);
}

// The same digits without the exact conversion for nearly every value.
// v = M x 2^E with M of 64 bits; 10^q = (P + d) x 2^B with P from the table
// and 0 <= d < 1 (d = 0 where 10^q is exact). Then v x 10^q x 2^s, with
// s = -(E + B), is M x (P + d): the 128-bit product M x P is at most M < 2^64
// below it. With q = 14 - k, k the decimal exponent of v, the integer part
// of the product shifted right by s is v x 10^q, a number of 15 digits; the
// bits shifted out decide the rounding, except where the unknown part could
// carry them across the half (about one value in 300) or they are a half
// exactly (a tie, which rounds to even): those take the exact conversion.
void Digits15(double v, char* digits, int& nd, int& exp10)
{
    using pow10table::kPow10;
    using pow10table::kPow10Max;
    using pow10table::kPow10Min;
    constexpr std::uint64_t k1e14 = 100000000000000u;
    constexpr std::uint64_t k1e15 = 1000000000000000u;
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const int biased = static_cast<int>(bits >> 52);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    int e = -1074;
    if (biased != 0) {
        m |= std::uint64_t{1} << 52;
        e = biased - 1075;
    }
    const int lz = std::countl_zero(m);
    m <<= lz;
    e -= lz;
    // v lies in [2^(e+63), 2^(e+64)): floor((e + 63) log10 2) is its decimal
    // exponent or one less (78913 / 2^18 is log10 2 from below; the shift of
    // a negative number rounds down).
    int k = ((e + 63) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int q = 14 - k;
        if (q < kPow10Min || q > kPow10Max) break;
        const auto& p = kPow10[q - kPow10Min];
        const int s = -(e + p.B);
        if (s < 66 || s > 127) break;
        const U128 x = static_cast<U128>(m) * p.P;
        const auto n = static_cast<std::uint64_t>(x >> s);
        if (n >= k1e15) {
            ++k;
            continue;
        }
        if (n < k1e14) {
            --k;
            continue;
        }
        const U128 rest = x & ((static_cast<U128>(1) << s) - 1);
        const U128 half = static_cast<U128>(1) << (s - 1);
        std::uint64_t r = n;
        if (rest > half)
            ++r;
        else if (rest + (static_cast<U128>(1) << 64) > half)
            break;  // near the half, or on it: the exact conversion decides
        if (r == k1e15) {  // 999...9.5 rounds up to 1000...0
            r = k1e14;
            ++k;
        }
        Write15(r, digits);
        nd = 15;
        exp10 = k;
        return;
    }
    ExactDigits15(v, digits, nd, exp10);
}

}  // namespace

namespace {

// Room for the longest text ("-1.23456789012345E-308") and for the blocks of
// 16 digits copied at once.
constexpr int kFloatBuf = static_cast<int>(kFloatTextRoom);

// The text of a finite, non-zero value into buf (kFloatBuf bytes); returns
// its end.
char* FormatFloat(double value, char* buf)
{
    char* q = buf;
    // Whole numbers of at most 15 digits print as themselves.
    // (A conversion to an integer, not trunc: it needs no call into the
    // maths library.)
    if (std::fabs(value) < 1e15 && value == static_cast<double>(static_cast<std::int64_t>(value)))
        return std::to_chars(q, buf + kFloatBuf, static_cast<std::int64_t>(value)).ptr;
    if (value < 0) *q++ = '-';
    // Values with at most six decimals (coordinates, sizes) print from an
    // integer: when n / 10^6 reads back as the value, the decimal n / 10^6 has
    // at most 15 digits and is the value rounded to 15 digits. (A value with
    // fewer decimals passes the same test: its n ends in zeros, which go.)
    const double a = std::fabs(value);
    if (a >= 1e-4 && a < 1e8) {
        const double scaled = a * 1e6;  // below 10^14: the conversion below is exact
        const auto in = static_cast<std::int64_t>(scaled + 0.5);
        const auto n = static_cast<double>(in);
        if (std::fabs(scaled - n) <= scaled * 1e-15 && n / 1e6 == a) {
            q = std::to_chars(q, buf + kFloatBuf, in / 1000000).ptr;
            const auto frac = static_cast<std::uint32_t>(in % 1000000);  // not 0: whole numbers were printed above
            *q++ = '.';
            const std::uint32_t hi = frac / 10000, mid = frac / 100 % 100, lo = frac % 100;
            std::memcpy(q, kDigitPairs + 2 * hi, 2);
            std::memcpy(q + 2, kDigitPairs + 2 * mid, 2);
            std::memcpy(q + 4, kDigitPairs + 2 * lo, 2);
            q += 6;
            while (q[-1] == '0') --q;  // the six decimals without their trailing zeros
            return q;
        }
    }
    // The digits, with room behind them: they are copied in blocks of 16.
    char digits[32];
    std::memset(digits, '0', sizeof digits);
    int nd = 0;
    int exp10 = 0;
    Digits15(a, digits, nd, exp10);
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    const int e = exp10 + 1;  // value = 0.d1d2... x 10^e
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            std::memcpy(q, "0.000", 5);
            q += 2 - e;
            std::memcpy(q, digits, 16);
            q += nd;
        } else if (nd <= e) {
            std::memcpy(q, digits, 16);  // the zeros behind the digits fill up to e
            q += e;
        } else {
            std::memcpy(q, digits, 16);
            q += e;
            *q++ = '.';
            std::memcpy(q, digits + e, 16);
            q += nd - e;
        }
    } else {
        *q++ = digits[0];
        *q = '.';
        std::memcpy(q + 1, digits + 1, 16);
        q += nd > 1 ? nd : 0;
        *q++ = 'E';
        q = std::to_chars(q, buf + kFloatBuf, exp10).ptr;
    }
    return q;
}

}  // namespace

char* WriteFloat(char* out, double value)
{
    if (std::isnan(value)) {
        std::memcpy(out, "NAN", 3);
        return out + 3;
    }
    if (std::isinf(value)) {
        if (value < 0) *out++ = '-';
        std::memcpy(out, "INF", 3);
        return out + 3;
    }
    if (value == 0) {  // negative zero included
        *out = '0';
        return out + 1;
    }
    return FormatFloat(value, out);
}

void AppendFloat(std::string& out, double value)
{
    char buf[kFloatBuf];
    out.append(buf, static_cast<std::size_t>(WriteFloat(buf, value) - buf));
}

std::string FloatStr(double value)
{
    std::string s;
    AppendFloat(s, value);
    return s;
}
