// The DXF tag writer and the drawing skeleton, read back by ezdxf.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "DxfRead.h"
#include "Q6Dxf/Document.h"
#include "Q6Dxf/TagWriter.h"
#include "support/TempDir.h"

namespace {

// The lines of a DXF text as (code, value) pairs; false when a code line is
// not an integer or the last value is missing.
bool SplitTags(const std::string& s, std::vector<std::pair<int, std::string>>& tags)
{
    std::istringstream in(s);
    std::string code, value;
    while (std::getline(in, code)) {
        if (!std::getline(in, value)) return false;
        char* end = nullptr;
        const long c = std::strtol(code.c_str(), &end, 10);
        if (code.empty() || *end != '\0') return false;
        tags.emplace_back(static_cast<int>(c), value);
    }
    return true;
}

bool ValidUtf8(const std::string& s)
{
    // What the writer promises: no byte below 0x20 and only well-formed sequences.
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20) return false;
        std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

TEST(DxfReal, ReadsBackToTheSameDouble)
{
    const double cases[] = {0.0,
                            -0.0,
                            1.0,
                            -2.0,
                            0.1,
                            1.0 / 3.0,
                            123456789012345678.0,
                            1e22,
                            1e23,
                            9007199254740993.0,
                            DBL_MAX,
                            -DBL_MAX,
                            DBL_MIN,
                            std::numeric_limits<double>::denorm_min(),
                            2.2250738585072009e-308,
                            5e-324,
                            0.30000000000000004,
                            1.7976931348623157e308};
    char buf[40];
    for (double v : cases) {
        const std::size_t n = q6dxf::FormatReal(buf, v);
        const std::string s(buf, n);
        EXPECT_TRUE(s.find('.') != std::string::npos || s.find('e') != std::string::npos) << s;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(std::strtod(s.c_str(), nullptr)), std::bit_cast<std::uint64_t>(v)) << s;
    }
    EXPECT_EQ(std::string(buf, q6dxf::FormatReal(buf, 2.0)), "2.0");
    EXPECT_EQ(std::string(buf, q6dxf::FormatReal(buf, 0.5)), "0.5");
    // Random bit patterns of every magnitude.
    std::uint64_t state = 88172645463325252ull;
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const double v = std::bit_cast<double>(state);
        if (!std::isfinite(v)) continue;
        const std::size_t n = q6dxf::FormatReal(buf, v);
        buf[n] = '\0';
        ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(buf, nullptr)), state) << buf;
    }
}

TEST(DxfReal, ValuesThatAreNotFiniteAreWrittenAsZeroAndCounted)
{
    q6dxf::StringSink sink;
    {
        q6dxf::TagWriter w(sink);
        w.Real(10, std::numeric_limits<double>::quiet_NaN());
        w.Real(20, -std::numeric_limits<double>::infinity());
        w.Real(30, 1.5);
        EXPECT_EQ(w.NonFinite(), 2u);
        EXPECT_TRUE(w.Flush());
    }
    EXPECT_EQ(sink.out, "10\n0.0\n20\n0.0\n30\n1.5\n");
}

TEST(DxfText, MadeSafeForOneValueLine)
{
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"", ""},
        {"日本語テキスト", "日本語テキスト"},
        {"a\nb", "a^Jb"},
        {"a\r\nb", "a^M^Jb"},
        {"tab\there", "tab^Ihere"},
        {std::string("nul\0x", 5), "nul^@x"},
        {"^", "^ "},
        {"x^Jy", "x^ Jy"},
        {"\x1f", "^_"},
        {"del\x7f", "del\x7f"},
        {"bad\xff", "bad\xEF\xBF\xBD"},
        {"cut\xe6\x97", "cut\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xed\xa0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate is not UTF-8
        {"\xc0\xaf", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // nor an overlong form
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
        {"%%d 100%", "%%d 100%"},
    };
    for (const Case& c : cases) {
        std::string out;
        q6dxf::AppendSafeText(out, c.in);
        EXPECT_EQ(out, c.out) << c.in;
    }
    // Any bytes give one valid line.
    std::uint64_t state = 1;
    for (int i = 0; i < 20000; ++i) {
        std::string in;
        for (int k = 0; k < 12; ++k) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            in += static_cast<char>(state >> 56);
        }
        std::string out;
        q6dxf::AppendSafeText(out, in);
        ASSERT_TRUE(ValidUtf8(out));
    }
}

class DxfDocument : public tempdir::TempDirTest {};

TEST_F(DxfDocument, EveryEntityReadsBackExactlyWithNothingToRepair)
{
    const double a = 0.1, b = 1.0 / 3.0, big = 1.2345678901234567e300, tiny = -4.9406564584124654e-324;
    const std::string japanese = "日本語の文字列：図面①ｶﾀｶﾅ";
    const std::string awkward = std::string("line one\nline two\t^caret\r", 26);
    const double bez[] = {0, 0, 1, 2, 3, 2, 4, 0, 5, -2, 7, -2, 8, 0};
    const double poly[] = {a, b, big, tiny, -1, 7};
    q6dxf::StringSink sink;
    {
        q6dxf::TagWriter w(sink);
        q6dxf::DocumentOptions o;
        o.layers = {"Point", "Line", "テキスト"};
        o.entities = 10;
        o.extent = {-1, -2, 10, 20, true};
        o.comments = {"q6tool dxf: one comment", "assumption\nwith a line break"};
        q6dxf::Document d(w, o);
        d.Point({0, -1}, a, b);
        d.Line({1, 0x123456}, a, b, big, tiny);
        d.Circle({1, -1}, 1.5, -2.5, b);
        d.Arc({1, -1}, 0, 0, 2, 350, 10);
        d.Ellipse({1, -1}, 1, 2, 0, 3, 0.5, 0.25, 6.0);
        d.Polyline({1, -1}, poly, 3, false);
        d.Polyline({1, -1}, poly, 3, true);
        d.BezierSpline({1, -1}, bez, 7);
        d.Text({2, 0xFF00FF}, 3, 4, 2.5, 30, japanese);
        d.Text({9, -1}, 3, 4, 1, 0, awkward);
        EXPECT_EQ(d.EntitiesWritten(), 10u);
        EXPECT_TRUE(d.Finish());
    }
    std::vector<std::pair<int, std::string>> tags;
    ASSERT_TRUE(SplitTags(sink.out, tags));
    // Handles are unique and below $HANDSEED.
    std::set<std::uint64_t> handles;
    std::uint64_t seed = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].first == 9 && tags[i].second == "$HANDSEED") seed = std::stoull(tags[i + 1].second, nullptr, 16);
        if ((tags[i].first == 5 || tags[i].first == 105) && (i == 0 || tags[i - 1].second != "$HANDSEED")) {
            EXPECT_TRUE(handles.insert(std::stoull(tags[i].second, nullptr, 16)).second) << tags[i].second;
        }
    }
    ASSERT_FALSE(handles.empty());
    EXPECT_GT(seed, *handles.rbegin());

    const auto r = dxfread::Read(Write("all.dxf", sink.out));
    ASSERT_TRUE(r.ran) << r.error;
    const auto& j = r.doc;
    EXPECT_EQ(j["version"], "AC1021");
    EXPECT_TRUE(j["errors"].empty()) << j["errors"].dump();
    EXPECT_TRUE(j["fixes"].empty()) << j["fixes"].dump();
    EXPECT_EQ(j["comments"], nlohmann::json({"q6tool dxf: one comment", "assumption^Jwith a line break"}));
    for (const char* l : {"0", "Point", "Line", "テキスト"}) {
        EXPECT_NE(std::find(j["layers"].begin(), j["layers"].end(), l), j["layers"].end()) << l;
    }
    const auto& e = j["entities"];
    ASSERT_EQ(e.size(), 10u);
    const char* types[] = {"POINT", "LINE", "CIRCLE", "ARC", "ELLIPSE", "LWPOLYLINE", "LWPOLYLINE", "SPLINE", "TEXT", "TEXT"};
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(e[i]["type"], types[i]) << i;
    using dxfread::XY;
    EXPECT_EQ(e[0]["layer"], "Point");
    EXPECT_EQ(XY(e[0]["location"]), std::pair(a, b));
    EXPECT_FALSE(e[0].contains("true_color"));
    EXPECT_EQ(e[1]["true_color"], 0x123456);
    EXPECT_EQ(XY(e[1]["start"]), std::pair(a, b));
    EXPECT_EQ(XY(e[1]["end"]), std::pair(big, tiny));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(e[1]["end"][1].get<double>()), std::bit_cast<std::uint64_t>(tiny));
    EXPECT_EQ(XY(e[2]["center"]), std::pair(1.5, -2.5));
    EXPECT_EQ(e[2]["radius"].get<double>(), b);
    EXPECT_EQ(e[3]["start_angle"].get<double>(), 350.0);
    EXPECT_EQ(e[3]["end_angle"].get<double>(), 10.0);
    EXPECT_EQ(XY(e[4]["major_axis"]), std::pair(0.0, 3.0));
    EXPECT_EQ(e[4]["ratio"].get<double>(), 0.5);
    EXPECT_EQ(e[4]["start_param"].get<double>(), 0.25);
    EXPECT_EQ(e[4]["end_param"].get<double>(), 6.0);
    EXPECT_EQ(e[5]["closed"], false);
    EXPECT_EQ(e[6]["closed"], true);
    EXPECT_EQ(e[5]["points"], nlohmann::json({{a, b}, {big, tiny}, {-1.0, 7.0}}));
    EXPECT_EQ(e[7]["degree"], 3);
    EXPECT_EQ(e[7]["knots"], nlohmann::json({0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 2.0, 2.0, 2.0}));
    ASSERT_EQ(e[7]["control_points"].size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(XY(e[7]["control_points"][i]), std::pair(bez[2 * i], bez[2 * i + 1]));
    EXPECT_EQ(e[8]["layer"], "テキスト");
    EXPECT_EQ(e[8]["text"], japanese);
    EXPECT_EQ(e[8]["height"].get<double>(), 2.5);
    EXPECT_EQ(e[8]["rotation"].get<double>(), 30.0);
    EXPECT_EQ(e[8]["true_color"], 0xFF00FF);
    EXPECT_EQ(e[9]["layer"], "0");  // an index past the list
    EXPECT_EQ(e[9]["text"], awkward);
}

TEST_F(DxfDocument, AnEmptyDrawingIsValid)
{
    q6dxf::StringSink sink;
    {
        q6dxf::TagWriter w(sink);
        q6dxf::Document d(w, {});
        EXPECT_TRUE(d.Finish());
    }
    const auto r = dxfread::Read(Write("empty.dxf", sink.out));
    ASSERT_TRUE(r.ran) << r.error;
    EXPECT_TRUE(r.doc["errors"].empty()) << r.doc["errors"].dump();
    EXPECT_TRUE(r.doc["fixes"].empty()) << r.doc["fixes"].dump();
    EXPECT_TRUE(r.doc["entities"].empty());
}

TEST(DxfWriter, AFailedWriteIsReported)
{
    struct Full final : q6dxf::Sink {
        bool Write(const char*, std::size_t) override { return false; }
    } full;
    q6dxf::TagWriter w(full);
    w.Raw(0, "EOF");
    EXPECT_FALSE(w.Flush());
    EXPECT_TRUE(w.Failed());
}

}  // namespace
