// Decimal rounding and number-to-text conversion.
#include "Func_.h"

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

// The digits of v (positive, finite) rounded to 15 significant digits.
void Digits15(double v, char* digits, int& nd, int& exp10)
{
    char buf[40];
    // The shortest text that reads back as v. With 15 digits or fewer it is
    // also v rounded to 15 digits: a double's spacing is finer than the
    // spacing of 15-digit decimals, so no other 15-digit value is as close.
    // (Subnormal doubles are coarser than that: they take the exact path.)
    if (v < 2.2250738585072014e-308) {
        auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        ParseScientific(buf, res.ptr, digits, nd, exp10);
        return;
    }
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    ParseScientific(buf, res.ptr, digits, nd, exp10);
    if (nd > 15) {
        // It lies within half a binary unit of v: unless the digits beyond the
        // 15th (at most two) are that close to a half, rounding them gives the
        // same as rounding v itself. In hundredths of a unit of the 15th digit,
        // half a binary unit is 50 x 2^-52 x 10^14 x d / m, with d the leading
        // decimal digits (1 to 10) and m the binary mantissa (1 to 2): at most
        // 11.1, and mostly far less. The bound below errs on the safe side.
        const int tail = (digits[15] - '0') * 10 + (nd > 16 ? digits[16] - '0' : 0);
        const double d = (digits[0] - '0') + (digits[1] - '0' + 1) * 0.1;
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const double m = 1.0 + static_cast<double>(bits & ((std::uint64_t{1} << 52) - 1)) * 0x1p-52;
        const double halfUnit = 1.1102230246251566 * d / m + 0.5;
        if (std::fabs(tail - 50) <= halfUnit) {
            res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
            ParseScientific(buf, res.ptr, digits, nd, exp10);
        } else {
            nd = 15;
            if (tail > 50) {
                int i = 14;
                while (i >= 0 && digits[i] == '9') digits[i--] = '0';
                if (i >= 0) {
                    ++digits[i];
                } else {  // 999...9 rounds up to 1000...0
                    digits[0] = '1';
                    ++exp10;
                }
            }
        }
    }
}

}  // namespace

void AppendFloat(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-INF" : "INF";
        return;
    }
    if (value == 0) {  // negative zero included
        out += '0';
        return;
    }
    // Whole numbers of at most 15 digits print as themselves.
    // (A conversion to an integer, not trunc: it needs no call into the
    // maths library.)
    if (std::fabs(value) < 1e15 && value == static_cast<double>(static_cast<std::int64_t>(value))) {
        AppendInt(out, static_cast<std::int64_t>(value));
        return;
    }
    if (value < 0) out += '-';
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
            AppendInt(out, in / 1000000);
            std::int64_t frac = in % 1000000;  // not 0: whole numbers were printed above
            int width = 6;
            while (width > 0 && frac % 10 == 0) {
                frac /= 10;
                --width;
            }
            char buf[8];
            for (int i = width - 1; i >= 0; --i) {
                buf[i] = static_cast<char>('0' + frac % 10);
                frac /= 10;
            }
            out += '.';
            out.append(buf, static_cast<std::size_t>(width));
            return;
        }
    }
    char digits[20];
    int nd = 0;
    int exp10 = 0;
    Digits15(a, digits, nd, exp10);
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    const int e = exp10 + 1;  // value = 0.d1d2... x 10^e
    char buf[40];
    char* q = buf;
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            *q++ = '0';
            *q++ = '.';
            for (int i = 0; i < -e; ++i) *q++ = '0';
            std::memcpy(q, digits, static_cast<std::size_t>(nd));
            q += nd;
        } else if (nd <= e) {
            std::memcpy(q, digits, static_cast<std::size_t>(nd));
            q += nd;
            for (int i = nd; i < e; ++i) *q++ = '0';
        } else {
            std::memcpy(q, digits, static_cast<std::size_t>(e));
            q += e;
            *q++ = '.';
            std::memcpy(q, digits + e, static_cast<std::size_t>(nd - e));
            q += nd - e;
        }
    } else {
        *q++ = digits[0];
        if (nd > 1) {
            *q++ = '.';
            std::memcpy(q, digits + 1, static_cast<std::size_t>(nd - 1));
            q += nd - 1;
        }
        *q++ = 'E';
        q = std::to_chars(q, buf + sizeof buf, exp10).ptr;
    }
    out.append(buf, static_cast<std::size_t>(q - buf));
}

std::string FloatStr(double value)
{
    std::string s;
    AppendFloat(s, value);
    return s;
}
