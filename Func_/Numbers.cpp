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
    // Such a value is already whole at this scale; the steps below would only
    // move it (odd values above 2^52) or overflow it to infinity.
    if (!std::isfinite(a) || a >= 4503599627370496.0) return value;
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
    // d.dddddddddddddde[+-]XX: 15 significant digits, correctly rounded.
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    char digits[16];
    int nd = 0;
    const char* p = buf;
    digits[nd++] = *p++;
    if (*p == '.') {
        ++p;
        while (*p != 'e') digits[nd++] = *p++;
    }
    ++p;  // 'e'
    int exp10 = 0;
    std::from_chars(*p == '+' ? p + 1 : p, res.ptr, exp10);
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    const int e = exp10 + 1;  // value = 0.d1d2... x 10^e
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-e), '0');
            out.append(digits, static_cast<std::size_t>(nd));
        } else if (nd <= e) {
            out.append(digits, static_cast<std::size_t>(nd));
            out.append(static_cast<std::size_t>(e - nd), '0');
        } else {
            out.append(digits, static_cast<std::size_t>(e));
            out += '.';
            out.append(digits + e, static_cast<std::size_t>(nd - e));
        }
    } else {
        out += digits[0];
        if (nd > 1) {
            out += '.';
            out.append(digits + 1, static_cast<std::size_t>(nd - 1));
        }
        out += 'E';
        AppendInt(out, exp10);
    }
}

std::string FloatStr(double value)
{
    std::string s;
    AppendFloat(s, value);
    return s;
}
