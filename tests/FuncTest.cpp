// Text and number helpers.
#include <gtest/gtest.h>

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Func_/Func_.h"
#include "fuzz/FuzzChecks.h"

namespace {

// v and its `count` nearest doubles on each side (towards zero and away).
void PushWithNeighbours(std::vector<double>& values, double v, int count)
{
    double lo = v, hi = v;
    values.push_back(v);
    for (int i = 0; i < count; ++i) {
        lo = std::nextafter(lo, 0.0);
        hi = std::nextafter(hi, INFINITY);
        values.push_back(lo);
        values.push_back(hi);
    }
}

struct RoundCase {
    double value;
    int digits;
    int mode;
    double expected;
};

TEST(RoundOff, Table)
{
    const RoundCase cases[] = {
        {2.5, 0, 2, 3},          {-2.5, 0, 2, -3},        {1.5, 0, 0, 1},          {-1.5, 0, 0, -1},
        {1.2, 0, 1, 2},          {-1.2, 0, 1, -2},        {1.00000000001, 0, 1, 1}, {1.23456789, 6, 2, 1.234568},
        {1.23456789, 10, 2, 1},  {1.23456789, -3, 2, 1},  {0.333333333333, 6, 2, 0.333333},
        {1.0 / 3, 6, 2, 0.333333}, {2.0 / 3, 6, 2, 0.666667}, {-2.0000006, 6, 2, -2.000001},
        {0.125, 6, 2, 0.125},    {1.0, 6, 2, 1.0},        {1.25, 1, 2, 1.3},       {123.456, 9, 2, 123.456},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " digits " << c.digits << " mode " << c.mode);
        EXPECT_EQ(RoundOff(c.value, c.digits, c.mode), c.expected);
    }
}

TEST(RoundOff, NegativeThatRoundsToZeroIsPositiveZero)
{
    const double r = RoundOff(-0.0000004, 6, 2);
    EXPECT_EQ(r, 0.0);
    EXPECT_FALSE(std::signbit(r));
}

TEST(RoundOff, ValuesThatAreAlreadyWholeAtTheScaleStayUnchanged)
{
    // A huge scale must not become infinity, and odd integers above 2^52 must not move.
    const double values[] = {1e303, -1e303, 4503599627370497.0, 9007199254740993.0, 1e20,
                             std::numeric_limits<double>::max()};
    for (double v : values) EXPECT_EQ(RoundOff(v, 6, 2), v) << v;
    EXPECT_TRUE(std::isnan(RoundOff(std::nan(""), 6, 2)));
    EXPECT_EQ(RoundOff(-INFINITY, 6, 2), -INFINITY);
    EXPECT_EQ(RoundOff(INFINITY, 0, 0), INFINITY);
}

// The writer rounds every scale on every save: rounding a rounded value must
// change nothing, or a drawing would change each time it is saved.
TEST(RoundOff, RoundingARoundedValueChangesNothing)
{
    std::mt19937_64 rng(99);
    for (int i = 0; i < 2000000; ++i) {
        const int digits = static_cast<int>(rng() % 10);
        const double v = std::ldexp(static_cast<double>(rng() >> 11) / 9007199254740992.0, static_cast<int>(rng() % 90) - 40);
        const double once = RoundOff(i % 2 ? v : -v, digits, 2);
        ASSERT_EQ(RoundOff(once, digits, 2), once) << v << " digits " << digits;
    }
    EXPECT_EQ(RoundOff(4369108947.9012794, 6, 2), 4369108947.9012794);  // too coarse for six decimals: kept
    EXPECT_EQ(RoundOff(2251799813.0, 6, 2), 2251799813.0);
}

TEST(FloatStr, Table)
{
    const std::pair<double, const char*> cases[] = {
        {420, "420"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {1e20, "1E20"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1e14, "100000000000000"},
        {0.0, "0"},
        {-0.0, "0"},
        {-5.5, "-5.5"},
        {1.5707963267948966 / std::bit_cast<double>(std::uint64_t{0x3F91DF46A2529D34}), "90.0000000000001"},
        {3.141592653589793 / std::bit_cast<double>(std::uint64_t{0x3F91DF46A2529D34}), "180"},
        {0.01, "0.01"},
        {0.25, "0.25"},
        {1.5, "1.5"},
        {-1e-10, "-1E-10"},
        {1.234567890123456789e-7, "1.23456789012346E-7"},
        {999999999999999.9, "1E15"},
        {0.00012345, "0.00012345"},
        {1234567.125, "1234567.125"},
        {5e-324, "4.94065645841247E-324"},
        {1.7976931348623157e308, "1.79769313486232E308"},
        {INFINITY, "INF"},
        {-INFINITY, "-INF"},
        {std::nan(""), "NAN"},
        {-std::nan(""), "NAN"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(FloatStr(v), text) << "value " << v;
}

// The layout rules checked against printf's digits (the fuzz target's
// reference) over many random doubles.
TEST(FloatStr, AgreesWithAnIndependentReference)
{
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 200000; ++i) {
        double v = std::bit_cast<double>(rng());
        if (!std::isfinite(v) || v == 0) continue;
        if (i % 3 == 1) v = std::ldexp(static_cast<double>(rng() % 1000000007), static_cast<int>(rng() % 120) - 60);
        if (i % 3 == 2)  // few decimals, like coordinates
            v = static_cast<double>(static_cast<std::int64_t>(rng() % 2000000000000) - 1000000000000) /
                std::pow(10.0, static_cast<double>(rng() % 9));
        ASSERT_EQ(FloatStr(v), fuzzcheck::RefFloatStr(v)) << v;
    }
}

// The values where a fast conversion goes wrong first, each with its
// neighbours one to three units of the last binary place away: powers of ten
// and of two (2^-22 = 2.384185791015625E-7 is a tie at the 15th digit, which
// rounds to even), decimal ties and near-ties of 16 and 17 digits read as
// doubles, the limits of the six-decimal rule, 15-digit numbers that round up
// to the next power of ten, subnormals, and a large seeded sample of every
// bit pattern.
TEST(FloatStr, AgreesWithTheReferenceOnHardValues)
{
    std::vector<double> values;
    auto withNeighbours = [&values](double v) { PushWithNeighbours(values, v, 3); };
    for (int p = -323; p <= 308; ++p) withNeighbours(std::strtod(("1e" + std::to_string(p)).c_str(), nullptr));
    for (int p = -1074; p <= 1023; ++p)
        for (double m : {1.0, 3.0, 5.0, 7.0, 15.0}) withNeighbours(std::ldexp(m, p));
    std::mt19937_64 rng(20261211);
    char text[64];
    for (int i = 0; i < 100000; ++i) {
        // 16 or 17 significant digits, the 16th a 5 (and a 17th of 0 or 9): ties and near-ties.
        const auto n = 100000000000000u + rng() % 900000000000000u;
        const int tail = static_cast<int>(rng() % 3);
        std::snprintf(text, sizeof text, "%llu5%se%d", static_cast<unsigned long long>(n), tail == 0 ? "" : tail == 1 ? "0" : "9",
                      static_cast<int>(rng() % 620) - 310);
        values.push_back(std::strtod(text, nullptr));
        // 15 nines, and 15 digits that may end just below or above a half.
        std::snprintf(text, sizeof text, "999999999999999%de%d", static_cast<int>(rng() % 10), static_cast<int>(rng() % 600) - 300);
        values.push_back(std::strtod(text, nullptr));
    }
    for (double v : {1e-4, 1e8, 99999999.999999, 99999999.9999995, 0.000123456, 0.0001234567, 0.00009999995})
        withNeighbours(v);
    for (int i = 0; i < 50000; ++i) {
        // Six and seven decimals around the rule's range.
        const double scale = (i & 1) ? 1e6 : 1e7;
        withNeighbours(static_cast<double>(rng() % 200000000000000u) / scale);
        withNeighbours(static_cast<double>(rng() % 1000) / scale);
    }
    for (int i = 0; i < 50000; ++i) values.push_back(std::bit_cast<double>(rng() & 0x800FFFFFFFFFFFFFu));  // subnormals
    for (int i = 0; i < 500000; ++i) values.push_back(std::bit_cast<double>(rng()));
    for (double v : values) {
        ASSERT_EQ(FloatStr(v), fuzzcheck::RefFloatStr(v)) << std::hexfloat << v;
        ASSERT_EQ(FloatStr(-v), fuzzcheck::RefFloatStr(-v)) << std::hexfloat << -v;
    }
}

// ShortestChars writes what std::to_chars writes, on a large seeded sample:
// random bit patterns (subnormals, NaNs with their sign, infinities among
// them), short decimals such as drawings hold, whole numbers up to and past
// 2^53 (where the fixed form takes the exact digits, not the shortest ones
// followed by zeros), powers of ten and of two with their neighbours, the
// places where the fixed form stops being the shorter one, and the limits.
TEST(ShortestChars, WritesWhatToCharsWrites)
{
    std::vector<double> values = {0.0, -0.0, 12.5, 0.1, 1234.5678, 0.3, 2.0 / 3.0, 1e21, 1e22, 123456789012345680000.0,
                                  std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::epsilon(),
                                  std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                                  std::bit_cast<double>(0xFFF8000000000001u), 9007199254740992.0, 9007199254740993.0};
    auto withNeighbours = [&values](double v) { PushWithNeighbours(values, v, 2); };
    for (int p = -323; p <= 308; ++p) withNeighbours(std::strtod(("1e" + std::to_string(p)).c_str(), nullptr));
    for (int p = -1074; p <= 1023; ++p) withNeighbours(std::ldexp(1.0, p));
    std::mt19937_64 rng(20261211);
    // Where fixed and scientific take the same length or differ by one:
    // d digits times 10^k, for every d and k around the switch.
    for (int digits = 1; digits <= 17; ++digits)
        for (int k = -25; k <= 8; ++k)
            for (int i = 0; i < 20; ++i) {
                const std::uint64_t lo = digits == 1 ? 1 : static_cast<std::uint64_t>(std::pow(10.0, digits - 1));
                const std::uint64_t n = lo + rng() % (9 * lo);
                char text[48];
                std::snprintf(text, sizeof text, "%llue%d", static_cast<unsigned long long>(n), k);
                values.push_back(std::strtod(text, nullptr));
            }
    for (int i = 0; i < 300000; ++i) {
        values.push_back(std::bit_cast<double>(rng()));
        values.push_back(std::bit_cast<double>(rng() & 0x800FFFFFFFFFFFFFu));  // subnormals
        values.push_back(static_cast<double>(static_cast<std::int64_t>(rng() % 2000000000) - 1000000000) /
                         std::pow(10.0, static_cast<double>(rng() % 7)));                       // few decimals
        values.push_back(static_cast<double>(rng() >> (rng() % 64)));                           // whole numbers
        values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 40) + 10));  // large whole
    }
    for (double v : values) {
        ASSERT_EQ(fuzzcheck::CheckShortestChars(v), "");
        ASSERT_EQ(fuzzcheck::CheckShortestChars(-v), "");
    }
}

TEST(IntStr, Table)
{
    EXPECT_EQ(IntStr(-5), "-5");
    EXPECT_EQ(IntStr(0), "0");
    EXPECT_EQ(IntStr(2147483647), "2147483647");
    EXPECT_EQ(IntStr(-2147483647 - 1), "-2147483648");
}

std::vector<std::uint8_t> B(std::string_view s) { return {s.begin(), s.end()}; }

TEST(AnsiBytesToStr, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(AnsiBytesToStr(B(std::string_view("AB\0C", 4))), "AB");
    EXPECT_EQ(AnsiBytesToStr(B("AB")), "AB");
    EXPECT_EQ(AnsiBytesToStr({}), "");
    EXPECT_EQ(AnsiBytesToStr(B("\x90\x7D\x96\xCA")), "図面");
    EXPECT_EQ(AnsiBytesToStr(B("\xB1\xB2")), "ｱｲ");  // half-width katakana
    EXPECT_EQ(AnsiBytesToStr(B("\x83\x5C")), "ソ");   // trail byte 0x5C
    EXPECT_EQ(AnsiBytesToStr(B("a\\~")), "a\\~");
}

TEST(AnsiBytesToStr, InvalidBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(AnsiBytesToStr(B("A\x80" "B")), "A\xEF\xBF\xBD" "B");
    EXPECT_EQ(AnsiBytesToStr(B("A\xFF")), "A\xEF\xBF\xBD");
    EXPECT_EQ(AnsiBytesToStr(B("A\x90")), "A\xEF\xBF\xBD");  // a lead byte cut by the field's end
}

TEST(StrToAnsiBytes, ReplacesTheDestinationAndMarksUnmappableCharacters)
{
    std::vector<std::uint8_t> d(10, 7);
    StrToAnsiBytes(d, "図面");
    EXPECT_EQ(d, B("\x90\x7D\x96\xCA"));
    StrToAnsiBytes(d, "a€b😀c");  // neither character exists in code page 932
    EXPECT_EQ(d, B("a?b?c"));
    StrToAnsiBytes(d, "x\xFFy");  // not UTF-8
    EXPECT_EQ(d, B("x?y"));
    StrToAnsiBytes(d, "");
    EXPECT_TRUE(d.empty());
}

TEST(AnsiLen, CountsCodePage932BytesUpToTheFirstNul)
{
    EXPECT_EQ(AnsiLen(""), 0);
    EXPECT_EQ(AnsiLen("図面"), 4);
    EXPECT_EQ(AnsiLen("ab"), 2);
    EXPECT_EQ(AnsiLen(std::string("ab\0cd", 5)), 2);
    EXPECT_EQ(AnsiLen("ｱ"), 1);
    EXPECT_EQ(ByteStrLen(B(std::string_view("abc\0d", 5))), 3);
}

struct FixedCase {
    std::string text;
    int width;
    std::string expected;  // the field's bytes
};

TEST(StrToFixedAnsi, Table)
{
    const FixedCase cases[] = {
        {"abc", 5, std::string("abc\0\0", 5)},
        {"abcde", 5, "abcde"},                                    // exactly N bytes: no zero byte
        {"abcdefg", 5, "abcde"},                                  // cut after N bytes
        {"0123456789abcdef図", 17, std::string("0123456789abcdef\0", 17)},  // a split character is dropped
        {"図面", 3, std::string("\x90\x7D\0", 3)},
        {"図面", 4, "\x90\x7D\x96\xCA"},
        {"", 3, std::string(3, '\0')},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> d(static_cast<std::size_t>(c.width) + 2, 0xEE);
        StrToFixedAnsi(d, c.text, c.width);
        EXPECT_EQ(std::string(d.begin(), d.begin() + c.width), c.expected) << c.text;
        EXPECT_EQ(d[static_cast<std::size_t>(c.width)], 0xEE) << "bytes past N stay untouched";
    }
    std::vector<std::uint8_t> d(4, 0xEE);
    StrToFixedAnsi(d, "abc", 0);
    EXPECT_EQ(d, std::vector<std::uint8_t>(4, 0xEE));
}

TEST(StrToFixedAnsi, LeadBytesFollowTheCodePageRanges)
{
    EXPECT_TRUE(IsLeadByte(0x80));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFD));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0xFF));
    EXPECT_FALSE(IsLeadByte(0x7F));
}

// A fixed field that a load decodes never takes more bytes when it is
// encoded again, so that it fits its field when saved: every one- and
// two-byte sequence, and each behind an ASCII byte (decoding is stateless,
// so longer fields are sequences of these).
TEST(AnsiBytesToStr, ADecodedFieldNeverEncodesLonger)
{
    for (int a = 1; a < 256; ++a) {
        const std::uint8_t one[] = {static_cast<std::uint8_t>(a)};
        ASSERT_LE(AnsiLen(AnsiBytesToStr(one)), 1) << a;
        for (int b = 1; b < 256; ++b) {
            const std::uint8_t two[] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
            ASSERT_LE(AnsiLen(AnsiBytesToStr(two)), 2) << a << " " << b;
            const std::uint8_t three[] = {'x', static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
            ASSERT_LE(AnsiLen(AnsiBytesToStr(three)), 3) << a << " " << b;
        }
    }
}

// The decoding that a field gets from iconv called on the whole field: a
// sequence that iconv refuses or leaves incomplete becomes U+FFFD, and the
// byte after its first starts afresh.
std::string DecodeByIconv(const std::vector<std::uint8_t>& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out;
    std::size_t i = 0;
    std::size_t n = bytes.size();
    for (std::size_t k = 0; k < n; ++k)
        if (bytes[k] == 0) n = k;
    while (i < n) {
        char* src = const_cast<char*>(reinterpret_cast<const char*>(bytes.data() + i));
        std::size_t left = n - i;
        char buf[4096];
        char* dst = buf;
        std::size_t room = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        i = n - left;
        if (r == static_cast<std::size_t>(-1)) {
            EXPECT_NE(errno, E2BIG);
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    iconv_close(cd);
    return out;
}

// Every byte, every pair, each pair behind a byte that may start a pair, and
// random runs of bytes drawn mostly from the upper half decode as iconv
// decodes them.
TEST(AnsiBytesToStr, DecodesAsIconvDoes)
{
    std::vector<std::uint8_t> v;
    for (int a = 1; a < 256; ++a) {
        v = {static_cast<std::uint8_t>(a)};
        ASSERT_EQ(AnsiBytesToStr(v), DecodeByIconv(v)) << a;
        for (int b = 0; b < 256; ++b) {
            v = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
            ASSERT_EQ(AnsiBytesToStr(v), DecodeByIconv(v)) << a << " " << b;
            v = {0x81, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
            ASSERT_EQ(AnsiBytesToStr(v), DecodeByIconv(v)) << a << " " << b;
        }
    }
    std::mt19937 rng(17);
    for (int round = 0; round < 20000; ++round) {
        v.resize(1 + rng() % 40);
        for (auto& c : v) c = static_cast<std::uint8_t>(rng() % 4 ? 0x80 + rng() % 128 : 1 + rng() % 127);
        ASSERT_EQ(AnsiBytesToStr(v), DecodeByIconv(v)) << round;
    }
}

TEST(UpperStr, MapsLettersAndKeepsTheRest)
{
    EXPECT_EQ(UpperStr(""), "");
    EXPECT_EQ(UpperStr(".q6"), ".Q6");
    EXPECT_EQ(UpperStr(".Q6"), ".Q6");
    EXPECT_EQ(UpperStr("aé図z"), "AÉ図Z");
    EXPECT_EQ(UpperStr("x\xFFy"), "X\xFFY");
}

TEST(Conversions, RoundTripThroughTheCodePage)
{
    const char* texts[] = {"", "ASCII text 123", "図面タイトル", "ｱｲｳ半角", "混在 mixed ①②", "ソ表能"};
    for (const char* t : texts) {
        std::vector<std::uint8_t> d;
        StrToAnsiBytes(d, t);
        EXPECT_EQ(AnsiBytesToStr(d), t);
    }
}

}  // namespace
