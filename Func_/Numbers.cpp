// Decimal rounding and number-to-text conversion.
#include "Func_.h"

#include <charconv>
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

// Splits "d.ddde[+-]XX" into its digits and exponent.
void ParseScientific(const char* p, const char* end, char* digits, int& nd, int& exp10)
{
    nd = 0;
    digits[nd++] = *p++;
    if (*p == '.') {
        ++p;
        while (*p != 'e') digits[nd++] = *p++;
    }
    ++p;  // 'e'
    const bool negative = *p == '-';
    ++p;  // the sign is always there
    int e = 0;
    while (p < end) e = e * 10 + (*p++ - '0');
    exp10 = negative ? -e : e;
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
        // It lies within half a binary unit of v, which is less than 0.12 of a
        // unit of the 15th digit: unless the digits beyond the 15th are that
        // close to a half, rounding them gives the same as rounding v itself.
        const int tail = (digits[15] - '0') * 10 + (nd > 16 ? digits[16] - '0' : 0);
        if (tail >= 38 && tail <= 62) {
            res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
            ParseScientific(buf, res.ptr, digits, nd, exp10);
        } else {
            nd = 15;
            if (tail > 62) {
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
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        AppendInt(out, static_cast<std::int64_t>(value));
        return;
    }
    if (value < 0) out += '-';
    // Values with at most six decimals (coordinates, sizes) print from an
    // integer: when n / 10^k reads back as the value, the decimal n / 10^k has
    // at most 15 digits and is the value rounded to 15 digits.
    const double a = std::fabs(value);
    if (a >= 1e-4 && a < 1e8) {
        static constexpr double kP10[7] = {1, 10, 100, 1000, 10000, 100000, 1000000};
        static constexpr std::int64_t kI10[7] = {1, 10, 100, 1000, 10000, 100000, 1000000};
        for (int k = 1; k <= 6; ++k) {
            const double scaled = a * kP10[k];
            const double n = std::nearbyint(scaled);
            if (std::fabs(scaled - n) > scaled * 1e-15 || n / kP10[k] != a) continue;
            const auto in = static_cast<std::int64_t>(n);
            AppendInt(out, in / kI10[k]);
            std::int64_t frac = in % kI10[k];
            int width = k;
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
