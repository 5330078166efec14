// The entity chunks: one normal chunk of every kind with its values, its
// report lines and what saving writes for it; then the edge cases of each kind.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>

#include "ChunkBuilder.h"
#include "Payloads.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Dump.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "Unit1/Report.h"

#if defined(__SANITIZE_ADDRESS__)
#define Q6_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define Q6_TEST_ASAN 1
#endif
#endif

namespace {

using fx::kHalfPi;
using fx::kPi;
using fx::Style;
using tb::Buf;
using tb::Bytes;
using tb::Cat;
using tb::Chunk;

constexpr std::size_t kSettingsBytes = 107797;

std::vector<std::string> EntityReport(const TQ6Data& d)
{
    std::vector<std::string> lines;
    WriteEntityReport(d, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

// The entity chunks of a saved file.
std::string SavedEntities(const TQ6Data& d)
{
    std::string out;
    EXPECT_TRUE(d.MemOut(out));
    EXPECT_GE(out.size(), kSettingsBytes);
    return out.size() >= kSettingsBytes ? out.substr(kSettingsBytes) : std::string();
}

// The settings part of every fixture: a title and a text-style table whose
// first entry is "STD" and whose last is "EPS".
Buf Head()
{
    std::vector<std::string> names(21);
    names[0] = "STD";
    names[20] = "EPS";
    return Cat({tb::Title("t"), fx::TextStyles(names)});
}

Bytes Points(std::initializer_list<std::pair<double, double>> pts)
{
    Bytes b;
    for (const auto& [x, y] : pts) b.pt(x, y);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) { return fx::Append(a, b); }

// The first n bytes.
Bytes Cut(Bytes b, std::size_t n)
{
    b.b.resize(n);
    return b;
}

struct KindCase {
    const char* name;
    std::int16_t id;
    std::uint16_t version;
    Bytes payload;
    std::int32_t INo;
    const char* countLabel;
    std::vector<std::string> lines;
};

std::vector<KindCase> KindCases()
{
    const Bytes edge = fx::Edge(5, 6, 0xAB, 7, 8, 0x0C);
    Bytes image300 = fx::Seq(300, 0x10);
    std::vector<KindCase> cases;
    cases.push_back({"point", 2001, 20, Bytes().obj(7, 1, 0x10, 0xFF0000).pt(10, 20.5), 200120, "点：",
                     {"■点オブジェクト　識別番号：200120 N:0", "　ID:7 co:1 wd:0010 Col:00FF0000 (10 , 20.5)"}});
    cases.push_back({"line", 2002, 20, Bytes().obj(-3, 255, 0xFFFF, 0xFFFFFFFF).pt(1.5, -2).pt(3, 4), 200220, "線：",
                     {"■線オブジェクト　識別番号：200220 N:0",
                      "　ID:-3 co:255 wd:FFFF Col:FFFFFFFF (1.5 , -2) - (3 , 4)"}});
    cases.push_back({"line with edge block", 2002, 30, Bytes().obj(8, 2, 0xA, 0x1234).pt(0, 0).pt(-1, -1e20) + edge,
                     200230, "線EX：",
                     {"■線EXオブジェクト　識別番号：200230 N:0",
                      "　ID:8 co:2 wd:000A Col:00001234 (0 , 0) - (-1 , -1E20)", "　St:5 6 00AB En:7 8 000C"}});
    cases.push_back({"circle", 2003, 20, Bytes().obj(1, 2, 3, 4).pt(0, 0).f64(5).f64(0).f64(kHalfPi), 200320, "円：",
                     {"■円オブジェクト　識別番号：200320 N:0",
                      "　ID:1 co:2 wd:0003 Col:00000004 (0 , 0) R:5、0 , 90.0000000000001"}});
    cases.push_back({"circle with edge block", 2003, 30,
                     Bytes().obj(2, 0, 0, 0xABCDEF).pt(1, 1).f64(0.5).f64(kPi).f64(-kHalfPi) +
                         fx::Edge(0, 255, 0xFF, 1, 2, 0),
                     200330, "円EX：",
                     {"■円オブジェクト　識別番号：200330 N:0",
                      "　ID:2 co:0 wd:0000 Col:00ABCDEF (1 , 1) R:0.5、180 , -90.0000000000001",
                      "　St:0 255 00FF En:1 2 0000"}});
    cases.push_back({"ellipse", 2005, 20, Bytes().obj(3, 4, 5, 6).pt(1, 2).f64(3).f64(4).f64(kPi).f64(0).f64(0.7),
                     200520, "楕円：",
                     {"■楕円オブジェクト　識別番号：200520 N:0",
                      "　ID:3 co:4 wd:0005 Col:00000006 (1 , 2) RX:3 RY:4、180 , 0"}});
    cases.push_back({"ellipse with edge block", 2005, 30,
                     Bytes().obj(4, 0, 0, 0).pt(0.1, 0.2).f64(1e-5).f64(1e15).f64(0).f64(0).f64(2) +
                         fx::Edge(9, 9, 9, 9, 9, 9),
                     200530, "楕円EX：",
                     {"■楕円EXオブジェクト　識別番号：200530 N:0",
                      "　ID:4 co:0 wd:0000 Col:00000000 (0.1 , 0.2) RX:1E-5 RY:1E15、0 , 0", "　St:9 9 0009 En:9 9 0009"}});
    cases.push_back({"text", 2007, 20,
                     Bytes().obj(5, 1, 2, 3).pt(1, 2).f64(kHalfPi).u8(1).u8(2).u8(3).raw(fx::kZu).raw(fx::kMen).u8(0),
                     200720, "文字：",
                     {"■文字オブジェクト　識別番号：200720 N:0",
                      "　ID:5 co:1 wd:0002 Col:00000003 (1 , 2) A:90.0000000000001、1 2 3■図面"}});
    {
        Bytes p = Bytes().obj(6, 0, 0, 0).pt(0, 0).f64(0).u8(0).u8(0).u8(0).raw("AB").u8(0);
        fx::StyleEntry(p, Style{"STD", std::string(fx::kZu) + std::string(fx::kMen), 2.5, 2, 0.5, 1, 1, 3, 4, 5, 6, 0x77, 9});
        cases.push_back({"text with style", 2007, 30, p, 200730, "文字EX：",
                         {"■文字EXオブジェクト　識別番号：200730 N:0",
                          "　ID:6 co:0 wd:0000 Col:00000000 (0 , 0) A:0、0 0 0■AB", "　【STD】図面,H2.5,W2,S0.5"}});
    }
    cases.push_back({"Bezier curve", 2017, 20, Bytes().obj(10, 0, 0, 0).u8(4).i16(2) + Points({{0, 0}, {10, 5.5}}),
                     201720, "ベジェ：",
                     {"■ベジェ曲線オブジェクト　識別番号：201720 N:0", "　ID:10 co:0 wd:0000 Col:00000000 tp:4 Vt:2",
                      "  (0) 0,0", "  (1) 10,5.5"}});
    cases.push_back({"Bezier curve with edge block", 2017, 30,
                     Bytes().obj(11, 0, 0, 0).u8(1).i16(2) + Points({{1, 2}, {3, 4}}) + edge, 201730, "ベジェEX：",
                     {"■ベジェ曲線EXオブジェクト　識別番号：201730 N:0", "　ID:11 co:0 wd:0000 Col:00000000 tp:1 Vt:2",
                      "  (0) 1,2", "  (1) 3,4", "　St:5 6 00AB En:7 8 000C"}});
    cases.push_back({"polyline", 2008, 20,
                     Bytes().obj(12, 0, 0, 0).u8(0).i16(3) + Points({{0, 0}, {10, 0}, {10, 5.5}}), 200820,
                     "ポリライン：",
                     {"■ポリラインオブジェクト　識別番号：200820 N:0", "　ID:12 co:0 wd:0000 Col:00000000 tp:0 Vt:3",
                      "  (0) 0,0", "  (1) 10,0", "  (2) 10,5.5"}});
    cases.push_back({"polyline with edge block", 2008, 30,
                     Bytes().obj(13, 0, 0, 0).u8(2).i16(1) + Points({{-0.5, 1e-4}}) + edge, 200830, "ポリラインEX：",
                     {"■ポリラインEXオブジェクト　識別番号：200830 N:0", "　ID:13 co:0 wd:0000 Col:00000000 tp:2 Vt:1",
                      "  (0) -0.5,0.0001", "　St:5 6 00AB En:7 8 000C"}});
    cases.push_back({"polygon", 2009, 40, Bytes().obj(14, 0, 0, 0).i32(7).i16(3) + Points({{0, 0}, {1, 0}, {0, 1}}),
                     200940, "ポリゴン：",
                     {"■ポリゴンオブジェクト　識別番号：200940 N:0", "　ID:14 co:0 wd:0000 Col:00000000 pt:7 Vt:3",
                      "  (0) 0,0", "  (1) 1,0", "  (2) 0,1"}});
    cases.push_back({"polygon with gradient fill", 2009, 50,
                     Bytes().obj(15, 0, 0, 0).i32(-1).i16(4) + Points({{0, 0}, {1, 0}, {1, 1}, {0, 1}}) +
                         Bytes().i32(2).i32(9).u32(0xFF).u32(0x123456).pt(1, 2).pt(3, 4).f64(0.5),
                     200950, "ポリゴンGrad：",
                     {"■ポリゴンGRADオブジェクト　識別番号：200950 N:0", "　ID:15 co:0 wd:0000 Col:00000000 pt:-1 Vt:4",
                      "  (0) 0,0", "  (1) 1,0", "  (2) 1,1", "  (3) 0,1", "　Typ:2 fc:0000FF bc:123456 p0:1,2 p1:3,4"}});
    cases.push_back({"polygon with mapped fill", 2009, 60,
                     Bytes().obj(16, 0, 0, 0).i32(0).i16(4) + Points({{0, 0}, {1, 0}, {1, 1}, {0, 1}}) +
                         Bytes().i32(77).pt(1, 2).pt(3, 4).i32(10).i32(20).i32(24) + fx::Seq(1024, 3) + image300,
                     200960, "ポリゴンMapp：",
                     {"■ポリゴンMAPPオブジェクト　識別番号：200960 N:0", "　ID:16 co:0 wd:0000 Col:00000000 pt:0 Vt:4",
                      "  (0) 0,0", "  (1) 1,0", "  (2) 1,1", "  (3) 0,1", "　Size:10×20 Depth:24bit p0:1,2 p1:3,4",
                      "  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ",
                      "  2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A 3B "}});
    cases.push_back({"bitmap", 2018, 90,
                     Bytes().obj(17, 0, 0, 0).i32(20).i32(3) + Points({{0, 0}, {1, 0}, {1, 1}, {0, 1}}) +
                         fx::Seq(20, 0xF0),
                     201890, "画像：",
                     {"■画像オブジェクト　識別番号：201890 N:0", "　ID:17 co:0 wd:0000 Col:00000000 byte:20 type:3",
                      "  (0) 0,0", "  (1) 1,0", "  (2) 1,1", "  (3) 0,1",
                      "  F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ",
                      "  F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF 00 01 02 03 "}});
    cases.push_back({"bitmap with extra data", 2018, 91,
                     Bytes().obj(18, 0, 0, 0).i32(100).i32(1) + Points({{0, 0}, {2, 0}, {2, 2}, {0, 2}}) +
                         fx::Seq(100) + fx::Seq(20, 0xA0),
                     201891, "画像EX：",
                     {"■画像EXオブジェクト　識別番号：201891 N:0", "　ID:18 co:0 wd:0000 Col:00000000 byte:100 type:1",
                      "  (0) 0,0", "  (1) 2,0", "  (2) 2,2", "  (3) 0,2",
                      "  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ",
                      "  54 55 56 57 58 59 5A 5B 5C 5D 5E 5F 60 61 62 63 ",
                      "  org:A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ",
                      "     A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF B0 B1 B2 B3 "}});
    cases.push_back({"symbol", 2020, 20,
                     Bytes().obj(19, 0, 0, 0).pt(1, 2).f64(3).pt(4, 5).f64(6).f64(7).f64(kHalfPi).f64(kPi).u8(1).u8(2).u8(
                         0xAB).f64(8).f64(9),
                     202020, "シンボル：",
                     {"■シンボルオブジェクト　識別番号：202020 N:0",
                      "　ID:19 co:0 wd:0000 Col:00000000 (1 , 2) len:3 o:(4 , 5) r0:6 r1:7 ea:90.0000000000001 a:180 St:1 2 00AB p0:8 p1:9"}});
    cases.push_back({"group", 2032, 20, Bytes().obj(20, 0, 0, 0).pt(1, 2).pt(3, 4).pt(5, 6).i32(3).raw("G1").u8(0), 203220,
                     "グループ：",
                     {"■グループオブジェクト　識別番号：203220 N:0",
                      "　ID:20 co:0 wd:0000 Col:00000000 (1 , 2) (3 , 4) (5 , 6) cnt:3■G1"}});
    {
        Bytes p = Bytes().obj(21, 0, 0, 0).pt(0, 0).pt(0, 0).pt(0, 0).i32(0).raw(fx::kZu).raw(fx::kMen).u8(0);
        fx::Append(p, fx::Seq(32)).f64(0.25);
        fx::Append(p, fx::Seq(64, 50));
        fx::Append(p, fx::Seq(16, 150)).f64(1).f64(2).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6);
        fx::StyleEntry(p, Style{"STD", "Gothic", 1, 2, 3, 0, 0, 1, 2, 3, 4, 0x11, 5});
        fx::StyleEntry(p, Style{"EPS", "Mincho", 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x22, 13});
        p.fill(10, 0xCD);
        cases.push_back({"dimension group", 2032, 30, p, 203230, "グループDIM：",
                         {"■グループDIMオブジェクト　識別番号：203230 N:0",
                          "　ID:21 co:0 wd:0000 Col:00000000 (0 , 0) (0 , 0) (0 , 0) cnt:0■図面", "　【STD】Gothic,H1,W2,S3",
                          "　【EPS】Mincho,H4,W5,S6"}});
    }
    {
        Bytes p = Bytes().obj(22, 0, 0, 0).pt(1, 1).pt(2, 2).pt(3, 3).i32(-1).u8(0);
        p.u8(1).u8(2).u8(3).u8(4).i16(-2).f64(0.5).f64(1.5);
        fx::StyleEntry(p, Style{"Q1", "F", 1.5, 0, 0});
        fx::StyleEntry(p, Style{"EPS", "F2", 7, 8, 9, 1, 2, 3, 4, 5, 6, 0x33, 7});
        fx::Append(p, fx::Seq(32, 9)).f64(-3);
        cases.push_back({"annotation group", 2032, 40, p, 203240, "グループQLE：",
                         {"■グループQLEオブジェクト　識別番号：203240 N:0",
                          "　ID:22 co:0 wd:0000 Col:00000000 (1 , 1) (2 , 2) (3 , 3) cnt:-1■", "　【Q1】F,H1.5,W0,S0",
                          "　【EPS】F2,H7,W8,S9"}});
    }
    {
        // The balloon group's text style is kept whatever its name.
        Bytes p = Bytes().obj(23, 0, 0, 0).pt(0, 0).pt(0, 0).pt(0, 0).i32(1).raw("B").u8(0);
        p.u8(7).u8(8).f64(2.5);
        fx::StyleEntry(p, Style{"NOPE", "F3", 1, 1, 1, 2, 2, 3, 3, 3, 3, 0x44, 1});
        fx::Append(p, fx::Seq(32, 70)).f64(4);
        cases.push_back({"balloon group", 2032, 50, p, 203250, "グループBAR：",
                         {"■グループBARオブジェクト　識別番号：203250 N:0",
                          "　ID:23 co:0 wd:0000 Col:00000000 (0 , 0) (0 , 0) (0 , 0) cnt:1■B", "　【NOPE】F3,H1,W1,S1"}});
    }
    return cases;
}

// One normal chunk of every kind: its index entry, its report lines, and the
// chunk that saving writes, which is the same bytes with the same length.
TEST(EntityChunks, EveryKindLoadsReportsAndSavesItsChunk)
{
    const auto cases = KindCases();
    ASSERT_EQ(cases.size(), 23u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Buf chunk = Chunk(c.id, c.version, c.payload);
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(Cat({Head(), chunk}))));
        ASSERT_EQ(d.EntN, 1);
        EXPECT_EQ(d.Ent[0], (TQ6EntNo{c.INo, 0}));
        EXPECT_EQ(EntityReport(d), fx::Concat(c.lines, fx::CountLines({{c.countLabel, 1}})));
        EXPECT_EQ(SavedEntities(d), fx::Str(chunk));
    }
}

// All kinds in one file, interleaved: index in file order, N per kind.
TEST(EntityChunks, InterleavedKindsKeepTheirOrder)
{
    const auto cases = KindCases();
    Buf file = Head();
    std::string chunks;
    std::vector<std::string> lines;
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases) {
            const Buf chunk = Chunk(c.id, c.version, c.payload);
            file.insert(file.end(), chunk.begin(), chunk.end());
            chunks += fx::Str(chunk);
            std::vector<std::string> l = c.lines;
            if (round == 1) l[0].replace(l[0].size() - 1, 1, "1");  // " N:0" -> " N:1"
            lines.insert(lines.end(), l.begin(), l.end());
        }
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    ASSERT_EQ(d.EntN, 46);
    for (std::size_t k = 0; k < 46; ++k)
        EXPECT_EQ(d.Ent[k], (TQ6EntNo{cases[k % 23].INo, static_cast<std::int32_t>(k / 23)}));
    std::vector<std::pair<std::string, int>> counts;
    for (const char* label : fx::kCountLabels) counts.emplace_back(label, 2);
    EXPECT_EQ(EntityReport(d), fx::Concat(lines, fx::CountLines(counts)));
    EXPECT_EQ(SavedEntities(d), chunks);
}

// ---- edge cases ----------------------------------------------------------------

Bytes TextHead(std::int32_t id = 1) { return Bytes().obj(id, 2, 3, 4).pt(1.5, 2.5).f64(0.25).u8(5).u8(6).u8(7); }

Bytes Bitmap(std::int32_t byt, std::size_t imageBytes)
{
    return Bytes().obj(1, 2, 3, 4).i32(byt).i32(8) + Points({{1, 2}, {3, 4}, {5, 6}, {7, 8}}) + fx::Seq(imageBytes, 1);
}

Bytes MappedPolygon(std::int16_t cnt, std::size_t points, std::size_t imageBytes)
{
    Bytes p = Bytes().obj(1, 0, 0, 0).i32(5).i16(cnt);
    for (std::size_t i = 0; i < points; ++i) p.pt(static_cast<double>(i), -static_cast<double>(i));
    p.i32(6).pt(1, 2).pt(3, 4).i32(8).i32(9).i32(32);
    fx::Append(p, fx::Seq(1024, 200));
    return fx::Append(p, fx::Seq(imageBytes, 40));
}

Bytes Group(std::string_view name) { return Bytes().obj(9, 1, 2, 3).pt(1, 2).pt(3, 4).pt(5, 6).i32(4).raw(name); }

Bytes DimBlock()
{
    Bytes p = fx::Seq(32);
    p.f64(1);
    fx::Append(p, fx::Seq(80, 1)).f64(2).f64(3).fill(6, 4);
    fx::StyleEntry(p, Style{"STD", "F", 1, 1, 1});
    fx::StyleEntry(p, Style{"EPS", "G", 2, 2, 2});
    return p.fill(10, 5);
}

Bytes QleBlock()
{
    Bytes p;
    p.fill(4, 1).i16(2).f64(3).f64(4);
    fx::StyleEntry(p, Style{"STD", "F", 1, 1, 1});
    fx::StyleEntry(p, Style{"EPS", "G", 2, 2, 2});
    return fx::Append(p, fx::Seq(32)).f64(5);
}

Bytes BarBlock()
{
    Bytes p;
    p.u8(1).u8(2).f64(3);
    fx::StyleEntry(p, Style{"X", "F", 1, 1, 1});
    return fx::Append(p, fx::Seq(32)).f64(5);
}

struct EdgeCase {
    const char* name;
    Buf entities;                          // the entity chunks of the file
    bool loads;
    std::optional<Buf> saved;              // what saving writes for them, when they load
    std::function<void(const TQ6Data&)> check = nullptr;
};

void RunEdgeCases(const std::vector<EdgeCase>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TQ6Data d;
        ASSERT_EQ(d.MemIn(tb::Span(Cat({Head(), c.entities}))), c.loads);
        if (c.check) c.check(d);
        if (c.saved) {
            EXPECT_EQ(SavedEntities(d), fx::Str(*c.saved));
        }
    }
}

TEST(EntityChunks, TextEdgeCases)
{
    const Buf point = tb::Point(99, 1, 1);
    Bytes style;
    fx::StyleEntry(style, Style{"STD", "F", 1, 2, 3});
    // A style name of 17 non-zero bytes, and a font field that follows without a zero byte between.
    Bytes fullName;
    fullName.raw("ABCDEFGHIJKLMNOPQ").raw(fx::Rep(fx::kZu, 16)).raw("R");
    fullName.f64(1).f64(2).f64(3).pt(4, 5).u8(6).u8(7).u8(8).u8(9).fill(12, 10).i32(11);
    Bytes shortEx = TextHead() + style;
    shortEx.b.resize(100);
    std::vector<EdgeCase> cases = {
        {"text AB is saved with length 41", Chunk(2007, 20, TextHead().raw("AB").u8(0)), true,
         Chunk(2007, 20, TextHead().raw("AB").u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, "AB"); }},
        {"bytes after the zero byte are dropped", Chunk(2007, 20, TextHead().raw(std::string_view("AB\0C", 4))), true,
         Chunk(2007, 20, TextHead().raw("AB").u8(0)), [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, "AB"); }},
        {"a text field without zero byte", Chunk(2007, 20, TextHead().raw("AB")), true,
         Chunk(2007, 20, TextHead().raw("AB").u8(0)), [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, "AB"); }},
        {"the empty text has length 39", Chunk(2007, 20, TextHead().u8(0)), true, Chunk(2007, 20, TextHead().u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, ""); }},
        {"two double-byte characters give length 43",
         Chunk(2007, 20, TextHead().raw(fx::kZu).raw(fx::kMen).u8(0)), true,
         Chunk(2007, 20, TextHead().raw(fx::kZu).raw(fx::kMen).u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, "図面"); }},
        {"a text payload shorter than 38 bytes reads its fixed fields and no text",
         Cat({Chunk(2007, 20, Cut(TextHead(), 20)), point}), true, std::nullopt,
         [](const TQ6Data& d) {
             EXPECT_EQ(d.txN, 1);
             EXPECT_EQ(d.tx[0].text, "");
             EXPECT_EQ(d.tx[0].obj.id, 1);
             EXPECT_EQ(d.ptN, 1) << "the next chunk is found by the length";
             EXPECT_EQ(d.pt[0].obj.id, 99);
         }},
        {"a text running past the end of the file is read as far as it goes",
         Chunk(2007, 20, TextHead().raw("ABC"), 5000), true, Chunk(2007, 20, TextHead().raw("ABC").u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.tx[0].text, "ABC"); }},
        {"text with style of 30 text bytes is saved with length 179",
         Chunk(2007, 30, TextHead().raw(std::string(30, 't')).u8(0) + style), true,
         Chunk(2007, 30, TextHead().raw(std::string(30, 't')).u8(0) + style),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.txx[0].tx.text, std::string(30, 't'));
             EXPECT_EQ(d.txx[0].ex.style, "STD");
             EXPECT_EQ(d.txx[0].ex.spce, 3);
         }},
        {"a 17-byte style name and a 33-byte font name without zero bytes",
         Chunk(2007, 30, TextHead().u8(0) + fullName), true, Chunk(2007, 30, TextHead().u8(0) + fullName),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.txx[0].ex.style, "ABCDEFGHIJKLMNOPQ");
             EXPECT_EQ(d.txx[0].ex.font, fx::Rep("図", 16) + "R");
             EXPECT_EQ(d.txx[0].ex.count, 11);
         }},
        {"a text with style shorter than 148 bytes reads its fixed fields and style, and no text",
         Cat({Chunk(2007, 30, shortEx), point}), true, std::nullopt,
         [](const TQ6Data& d) {
             EXPECT_EQ(d.txx[0].tx.text, "");
             EXPECT_EQ(d.txx[0].tx.lout, 7);
             EXPECT_EQ(d.txx[0].ex.style, "STD");
             EXPECT_EQ(d.txx[0].ex.hight, 1);
             EXPECT_EQ(d.ptN, 1);
         }},
    };
    RunEdgeCases(cases);
}

TEST(EntityChunks, FixedKindEdgeCases)
{
    const Buf point = tb::Point(99, 1, 1);
    const Bytes line = Bytes().obj(1, 2, 3, 4).pt(5, 6).pt(7, 8);
    Bytes line20 = line;
    line20.b.resize(20);
    Bytes line20saved = line20;
    line20saved.zeros(23);
    const Bytes sym = Bytes().obj(1, 2, 3, 4).pt(1, 2).f64(3).pt(4, 5).f64(6).f64(7).f64(8).f64(9).u8(1).u8(2).u8(3)
                          .f64(10).f64(11);
    std::vector<EdgeCase> cases = {
        {"a line chunk of length 20", Cat({Chunk(2002, 20, line20), point}), true,
         Cat({Chunk(2002, 20, line20saved), point}),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.ln[0].obj.id, 1);
             EXPECT_EQ(d.ln[0].pos[1], (TDPoint{0, 0}));
             EXPECT_EQ(d.pt[0].obj.id, 99);
         }},
        {"a point payload longer than its record", Cat({Chunk(2001, 20, Bytes().obj(5, 0, 0, 0).pt(1, 2).fill(10, 0xFF)), point}),
         true, Cat({Chunk(2001, 20, Bytes().obj(5, 0, 0, 0).pt(1, 2)), point}), nullptr},
        {"a symbol payload longer than its record", Cat({Chunk(2020, 20, sym + fx::Seq(8)), point}), true,
         Cat({Chunk(2020, 20, sym), point}), nullptr},
        {"an ellipse cut by the end of the file", Chunk(2005, 20, Bytes().obj(1, 0, 0, 0).pt(1, 2).f64(3), 67), true,
         Chunk(2005, 20, Bytes().obj(1, 0, 0, 0).pt(1, 2).f64(3).zeros(32)), nullptr},
    };
    RunEdgeCases(cases);
}

TEST(EntityChunks, PointListEdgeCases)
{
    const Buf point = tb::Point(99, 1, 1);
    Bytes big = Bytes().obj(1, 0, 0, 0).i32(0).i16(32767);
    for (int i = 0; i < 32767; ++i) big.pt(i, 1);
    std::vector<EdgeCase> cases = {
        {"a polyline whose count is 0 holds the point after the count",
         Cat({Chunk(2008, 20, Bytes().obj(1, 0, 0, 0).u8(2).i16(0).pt(5, 6).pt(7, 8)), point}), true,
         Cat({Chunk(2008, 20, Bytes().obj(1, 0, 0, 0).u8(2).i16(1).pt(5, 6)), point}),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.pl[0].cnt, 1);
             ASSERT_EQ(d.pl[0].pos.size(), 1u);
             EXPECT_EQ(d.pl[0].pos[0], (TDPoint{5, 6}));
         }},
        {"a polygon whose count is -5 loads like one whose count is 0",
         Chunk(2009, 40, Bytes().obj(1, 0, 0, 0).i32(3).i16(-5).pt(5, 6)), true,
         Chunk(2009, 40, Bytes().obj(1, 0, 0, 0).i32(3).i16(1).pt(5, 6)), nullptr},
        {"a gradient polygon with count 0 takes its block 16 bytes further on",
         Chunk(2009, 50, Bytes().obj(1, 0, 0, 0).i32(3).i16(0).pt(5, 6).i32(7).zeros(52)), true,
         Chunk(2009, 50, Bytes().obj(1, 0, 0, 0).i32(3).i16(1).pt(5, 6).i32(7).zeros(52)),
         [](const TQ6Data& d) { EXPECT_EQ(d.pgg[0].e.typ, 7); }},
        {"a mapped polygon with 4 vertices and 300 image bytes has length 1453", Chunk(2009, 60, MappedPolygon(4, 4, 300)),
         true, Chunk(2009, 60, MappedPolygon(4, 4, 300)),
         [](const TQ6Data& d) { EXPECT_EQ(d.pgm[0].e.bmp.size(), 300u); }},
        {"a mapped polygon of length 1089 + 16n has no image", Chunk(2009, 60, MappedPolygon(4, 4, 0)), true,
         Chunk(2009, 60, MappedPolygon(4, 4, 0)), [](const TQ6Data& d) { EXPECT_TRUE(d.pgm[0].e.bmp.empty()); }},
        {"a mapped polygon shorter than its fields has no image",
         Cat({Chunk(2009, 60, Cut(MappedPolygon(4, 4, 0), 1089 + 64 - 10)), point}), true, std::nullopt,
         [](const TQ6Data& d) {
             EXPECT_TRUE(d.pgm[0].e.bmp.empty());
             EXPECT_EQ(d.ptN, 1);
         }},
        {"a mapped polygon of 5000 image bytes", Chunk(2009, 60, MappedPolygon(2, 2, 5000)), true,
         Chunk(2009, 60, MappedPolygon(2, 2, 5000)), nullptr},
        {"a polygon with 32767 vertices has length 524289", Chunk(2009, 40, big), true, Chunk(2009, 40, big),
         [](const TQ6Data& d) { EXPECT_EQ(d.pg[0].pos[32766], (TDPoint{32766, 1})); }},
    };
    RunEdgeCases(cases);
    EXPECT_EQ(MappedPolygon(4, 4, 300).size(), 1453u);
    EXPECT_EQ(big.size(), 524289u);
}

TEST(EntityChunks, BitmapEdgeCases)
{
    const Buf point = tb::Point(99, 1, 1);
    std::vector<EdgeCase> cases = {
        {"byt 1000 gives length 1083", Chunk(2018, 90, Bitmap(1000, 1000)), true, Chunk(2018, 90, Bitmap(1000, 1000)),
         nullptr},
        {"byt 0 gives length 83 and no image", Chunk(2018, 90, Bitmap(0, 0)), true, Chunk(2018, 90, Bitmap(0, 0)),
         [](const TQ6Data& d) { EXPECT_TRUE(d.bm[0].bmp.empty()); }},
        {"byt -5 means no image and is kept", Cat({Chunk(2018, 90, Bitmap(-5, 0)), point}), true,
         Cat({Chunk(2018, 90, Bitmap(-5, 0)), point}),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.bm[0].byt, -5);
             EXPECT_TRUE(d.bm[0].bmp.empty());
         }},
        {"bytes after the image of a plain bitmap are dropped", Cat({Chunk(2018, 90, Bitmap(10, 17)), point}), true,
         Cat({Chunk(2018, 90, Bitmap(10, 10)), point}),
         [](const TQ6Data& d) { EXPECT_EQ(d.bm[0].bmp.size(), 10u); }},
        {"a bitmap of 5000 image bytes", Chunk(2018, 90, Bitmap(5000, 5000)), true, Chunk(2018, 90, Bitmap(5000, 5000)),
         nullptr},
        {"extra data: byt 100 and 20 bytes give length 203", Chunk(2018, 91, Bitmap(100, 120)), true,
         Chunk(2018, 91, Bitmap(100, 120)),
         [](const TQ6Data& d) {
             EXPECT_EQ(d.bmx[0].bm.bmp.size(), 100u);
             ASSERT_EQ(d.bmx[0].exdata.size(), 20u);
             EXPECT_EQ(d.bmx[0].exdata[0], 101);
         }},
        {"extra data: length 83 + b leaves none", Chunk(2018, 91, Bitmap(30, 30)), true, Chunk(2018, 91, Bitmap(30, 30)),
         [](const TQ6Data& d) { EXPECT_TRUE(d.bmx[0].exdata.empty()); }},
        {"extra data: byt -5 and length 90", Cat({Chunk(2018, 91, Bitmap(-5, 7)), point}), true,
         Cat({Chunk(2018, 91, Bitmap(-5, 7)), point}),
         [](const TQ6Data& d) {
             EXPECT_TRUE(d.bmx[0].bm.bmp.empty());
             EXPECT_EQ(d.bmx[0].exdata.size(), 7u);
         }},
        {"extra data of 5000 bytes after 5000 image bytes", Chunk(2018, 91, Bitmap(5000, 10000)), true,
         Chunk(2018, 91, Bitmap(5000, 10000)), nullptr},
        {"an image exactly as long as the rest of the file", Chunk(2018, 90, Bitmap(100, 100), 1000), true,
         Chunk(2018, 90, Bitmap(100, 100)), nullptr},
    };
    RunEdgeCases(cases);
}

TEST(EntityChunks, GroupEdgeCases)
{
    const Buf point = tb::Point(99, 1, 1);
    std::vector<EdgeCase> cases = {
        {"a plain group with an empty name has 64 bytes", Chunk(2032, 20, Group("").u8(0)), true,
         Chunk(2032, 20, Group("").u8(0)), [](const TQ6Data& d) { EXPECT_EQ(d.gr[0].gname, ""); }},
        {"a dimension group with an empty name has 436 bytes", Chunk(2032, 30, Group("").u8(0) + DimBlock()), true,
         Chunk(2032, 30, Group("").u8(0) + DimBlock()), nullptr},
        {"a name of three double-byte characters gives 70 bytes",
         Chunk(2032, 20, Group(fx::Rep(fx::kZu, 3)).u8(0)), true, Chunk(2032, 20, Group(fx::Rep(fx::kZu, 3)).u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.gr[0].gname, "図図図"); }},
        {"a plain group longer than its name", Cat({Chunk(2032, 20, Group("AB").u8(0).raw("CD").u8(0)), point}), true,
         Cat({Chunk(2032, 20, Group("AB").u8(0)), point}), [](const TQ6Data& d) { EXPECT_EQ(d.gr[0].gname, "AB"); }},
        {"a plain group shorter than 63 bytes has no name", Cat({Chunk(2032, 20, Cut(Group(""), 40)), point}), true,
         std::nullopt,
         [](const TQ6Data& d) {
             EXPECT_EQ(d.gr[0].gname, "");
             EXPECT_EQ(d.gr[0].obj.id, 9);
             EXPECT_EQ(d.ptN, 1);
         }},
        {"a group name running past the end of the file is read as far as it goes",
         Chunk(2032, 20, Group("NAME"), 4000), true, Chunk(2032, 20, Group("NAME").u8(0)),
         [](const TQ6Data& d) { EXPECT_EQ(d.gr[0].gname, "NAME"); }},
        {"a dimension group of length 435 has an empty name",
         Chunk(2032, 30, Group("") + DimBlock()), true, Chunk(2032, 30, Group("").u8(0) + DimBlock()),
         [](const TQ6Data& d) { EXPECT_EQ(d.grdim[0].dim.txtstl.style, "STD"); }},
        {"a dimension group of length 434 is refused", Chunk(2032, 30, Cut(Group("") + DimBlock(), 434)), false,
         std::nullopt, nullptr},
        {"an annotation group of length 345 has an empty name", Chunk(2032, 40, Group("") + QleBlock()), true,
         Chunk(2032, 40, Group("").u8(0) + QleBlock()), nullptr},
        {"an annotation group of length 344 is refused", Chunk(2032, 40, Cut(Group("") + QleBlock(), 344)), false,
         std::nullopt, nullptr},
        {"a balloon group of length 223 has an empty name", Chunk(2032, 50, Group("") + BarBlock()), true,
         Chunk(2032, 50, Group("").u8(0) + BarBlock()), nullptr},
        {"a balloon group of length 222 is refused", Chunk(2032, 50, Cut(Group("") + BarBlock(), 222)), false,
         std::nullopt, nullptr},
        {"a refused group after a good entity", Cat({point, Chunk(2032, 40, Bytes())}), false,
         std::nullopt, [](const TQ6Data& d) { EXPECT_EQ(d.EntN, 1); }},
    };
    RunEdgeCases(cases);
}

// The second text style of a dimension or annotation group survives only if
// its name is exactly one of the document's text-style names.
TEST(EntityChunks, SecondTextStyleNameTest)
{
    struct Case {
        const char* name;
        std::optional<std::vector<std::string>> table;  // no text-style chunk when empty
        std::string eps;
        bool kept;
    };
    const Case cases[] = {
        {"the first name of the table", std::vector<std::string>{"STD"}, "STD", true},
        {"the last name of the table", [] { std::vector<std::string> v(21); v[20] = "EPS"; return v; }(), "EPS", true},
        {"a Japanese name", std::vector<std::string>{"A", std::string(fx::kZu) + std::string(fx::kMen)}, "図面", true},
        {"a name the table lacks", std::vector<std::string>{"STD"}, "OTHER", false},
        {"case matters", std::vector<std::string>{"STD"}, "std", false},
        {"no trimming", std::vector<std::string>{"STD"}, "STD ", false},
        {"an empty name", std::vector<std::string>{"STD"}, "", false},
        {"no text-style chunk", std::nullopt, "STD", false},
        {"no text-style chunk, empty name", std::nullopt, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string eps = c.eps;
        if (eps == "図面") eps = std::string(fx::kZu) + std::string(fx::kMen);
        Bytes epsEntry;
        fx::StyleEntry(epsEntry, Style{eps, "Font", 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xEE, 11});
        Bytes first;
        fx::StyleEntry(first, Style{"UNKNOWN", "F", 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
        Bytes dim = Group("D").u8(0) + fx::Seq(32);
        dim.f64(1);
        fx::Append(dim, fx::Seq(80)).f64(2).f64(3).fill(6, 4);
        dim = dim + first + epsEntry;
        dim.fill(10, 5);
        Bytes qle = Group("Q").u8(0);
        qle.fill(4, 1).i16(2).f64(3).f64(4);
        qle = qle + first + epsEntry + fx::Seq(32);
        qle.f64(5);
        Bytes bar = Group("B").u8(0).u8(1).u8(2).f64(3) + epsEntry + fx::Seq(32);
        bar.f64(5);
        Buf head = tb::Title();
        if (c.table) head = Cat({head, fx::TextStyles(*c.table)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(Cat({head, Chunk(2032, 30, dim), Chunk(2032, 40, qle), Chunk(2032, 50, bar)}))));
        const TQ6TextStyle read{c.eps, "Font", 2, 3, 4, TDPoint{5, 6}, 7, 8, 9, 10,
                                {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, 11};
        const TQ6TextStyle want = c.kept ? read : TQ6TextStyle{};
        EXPECT_EQ(d.grdim[0].dim.epsstl, want);
        EXPECT_EQ(d.grqle[0].qle.epsstl, want);
        EXPECT_EQ(d.grbar[0].bar.txtstl, read) << "the balloon group's style is never tested";
        EXPECT_EQ(d.grdim[0].dim.txtstl.style, "UNKNOWN") << "the first style is never tested";
        EXPECT_EQ(d.grqle[0].qle.txtstl.style, "UNKNOWN");
        // A cleared style is saved as an empty entry.
        const Bytes savedEps = c.kept ? epsEntry : Bytes().zeros(110);
        Bytes dimSaved = dim, qleSaved = qle;
        std::copy(savedEps.b.begin(), savedEps.b.end(), dimSaved.b.begin() + 65 + 252);
        std::copy(savedEps.b.begin(), savedEps.b.end(), qleSaved.b.begin() + 65 + 132);
        EXPECT_EQ(SavedEntities(d),
                  fx::Str(Cat({Chunk(2032, 30, dimSaved), Chunk(2032, 40, qleSaved), Chunk(2032, 50, bar)})));
    }
}

// Texts and group names that hold U+0000 are saved up to it.
TEST(EntityChunks, TextsWithANulCharacterAreSavedUpToIt)
{
    TQ6Data d;
    d.tx.SetLength(100);
    d.txN = 1;
    d.tx[0].text = std::string("AB\0CD", 5);
    d.gr.SetLength(100);
    d.grN = 1;
    d.gr[0].gname = std::string("G\0H", 3);
    d.Ent.SetLength(100);
    d.EntN = 2;
    d.Ent[0] = TQ6EntNo{200720, 0};
    d.Ent[1] = TQ6EntNo{203220, 0};
    const std::string saved = SavedEntities(d);
    EXPECT_EQ(saved, fx::Str(Cat({Chunk(2007, 20, Bytes().zeros(38).raw("AB").u8(0)),
                                  Chunk(2032, 20, Bytes().zeros(63).raw("G").u8(0))})));
}

// ---- damaged counts and memory ------------------------------------------------------

// Image, extra-data and mapped-image counts larger than what the file still
// holds make the load fail, instead of inventing zero bytes.
TEST(EntityChunks, CountsBeyondTheEndOfTheFileFailTheLoad)
{
    const Buf point = tb::Point(99, 1, 1);
    const std::pair<const char*, Buf> cases[] = {
        {"image count one byte larger than the rest of the file", Chunk(2018, 90, Bitmap(101, 100))},
        {"image count 2147483647 and 100 image bytes", Chunk(2018, 90, Bitmap(2147483647, 100))},
        {"the same after a good entity", Cat({point, Chunk(2018, 90, Bitmap(2147483647, 100))})},
        {"image count beyond the end, extra data", Chunk(2018, 91, Bitmap(1000, 50), 83 + 1000)},
        {"extra data beyond the end", Chunk(2018, 91, Bitmap(10, 15), 83 + 10 + 100)},
        {"mapped image beyond the end", Chunk(2009, 60, MappedPolygon(1, 1, 50), 1089 + 16 + 500)},
        {"mapped image count near 2^31", Chunk(2009, 60, MappedPolygon(1, 1, 50), 0x7FFFFFF0)},
    };
    for (const auto& [name, entities] : cases) {
        SCOPED_TRACE(name);
        const auto t0 = std::chrono::steady_clock::now();
        TQ6Data d;
        EXPECT_FALSE(d.MemIn(tb::Span(Cat({Head(), entities}))));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
        EXPECT_EQ(d.EntN, name == std::string("the same after a good entity") ? 1 : 0);
    }
}

TEST(EntityChunks, AHugeImageCountShowsTheLoadFailureLine)
{
    const auto dir = std::filesystem::temp_directory_path() / ("q6ent-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "huge.q6").string();
    const Buf file = Cat({Head(), Chunk(2018, 90, Bitmap(2147483647, 100))});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    TQ6Data d;
    const OpenOutcome r = OpenDrawing(d, path);
    EXPECT_EQ(r, OpenOutcome::LoadFailed);
    ASSERT_NE(OpenFailureLine(r), nullptr);
    EXPECT_STREQ(OpenFailureLine(r), "◆ファイル読み込みエラーです。中止します。");
    std::filesystem::remove_all(dir);
}

#ifndef Q6_TEST_ASAN
std::size_t VirtualMemorySize()
{
    std::ifstream st("/proc/self/status");
    std::string key;
    while (st >> key) {
        if (key == "VmSize:") {
            std::size_t kb = 0;
            st >> kb;
            return kb * 1024;
        }
        st.ignore(1 << 20, '\n');
    }
    return 0;
}

// Runs fn in a child process whose address space may grow by `extra` bytes
// only; an allocation that this refuses ends the child with status 42.
int RunWithAddressLimit(std::size_t extra, const std::function<int()>& fn)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlim_t limit = VirtualMemorySize() + extra;
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(43);
        std::set_new_handler([] { ::_exit(42); });
        ::_exit(fn());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EntityChunks, AHugeImageCountAllocatesNothing)
{
    const Buf file = Cat({Head(), Chunk(2018, 90, Bitmap(2147483647, 100))});
    const Buf good = Cat({Head(), Chunk(2018, 90, Bitmap(5000, 5000))});
    const auto t0 = std::chrono::steady_clock::now();
    const int status = RunWithAddressLimit(64u << 20, [&] {
        TQ6Data ok;
        if (!ok.MemIn(tb::Span(good))) return 2;  // the limit leaves room for ordinary loads
        TQ6Data d;
        return d.MemIn(tb::Span(file)) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "42: an allocation beyond the limit was attempted";
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}
#endif

// Point lists are held in full whatever the file holds; chunks that claim
// the largest count near the end of a small file must not make the document
// hold memory out of proportion to the file.
TEST(EntityChunks, PointCountsNearTheEndOfAFileDoNotMultiplyMemory)
{
    Buf file = Head();
    for (int i = 0; i < 1000; ++i) {
        const Buf c = Chunk(2008, 20, Bytes().obj(i, 0, 0, 0).u8(0).i16(32767));
        file.insert(file.end(), c.begin(), c.end());
    }
    const std::size_t limit = 2 * file.size() + (32u << 20);
    TQ6Data d;
    d.MemIn(tb::Span(file));
    std::size_t held = 0;
    for (std::int32_t i = 0; i < d.plN; ++i) held += d.pl[static_cast<std::size_t>(i)].pos.size() * sizeof(TDPoint);
    EXPECT_LE(held, limit) << d.plN << " polylines hold " << held << " bytes of points for a file of " << file.size();
#ifndef Q6_TEST_ASAN
    EXPECT_EQ(RunWithAddressLimit(limit + (16u << 20), [&] {
                  TQ6Data e;
                  e.MemIn(tb::Span(file));
                  return 0;
              }),
              0);
#endif
}

// A source that serves bytes from memory but, like a file, only through
// reads, so that the loader takes them in windows.
class WindowedSource final : public ByteSource {
public:
    explicit WindowedSource(const Buf& b) : b_(b) {}
    std::uint64_t Size() const override { return b_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) override
    {
        if (offset >= b_.size()) return 0;
        const std::size_t k = std::min<std::size_t>(n, b_.size() - static_cast<std::size_t>(offset));
        std::memcpy(dst, b_.data() + offset, k);
        return k;
    }

private:
    const Buf& b_;
};

// Every field of every kind, and the chunks that read on past their length,
// placed across the end of the loader's first read window.
TEST(EntityChunks, WindowedReadsMatchReadsFromMemory)
{
    Buf kinds;
    for (const auto& c : KindCases()) {
        const Buf chunk = Chunk(c.id, c.version, c.payload);
        kinds.insert(kinds.end(), chunk.begin(), chunk.end());
    }
    const Buf odd = Cat({Chunk(2007, 20, Cut(TextHead(), 20)), Chunk(2002, 20, Cut(Bytes().obj(1, 2, 3, 4).pt(5, 6), 20)),
                         Chunk(2008, 20, Bytes().obj(1, 0, 0, 0).u8(2).i16(0)), Chunk(2032, 20, Cut(Group(""), 40)),
                         Chunk(2007, 30, Cut(TextHead() + fx::Seq(200), 100)), tb::Point(5, 1, 2)});
    const Buf tail = Cat({kinds, odd});
    const Buf head = Head();
    const std::size_t window = 1 << 20;
    for (std::size_t shift = 1; shift < tail.size(); shift += 17) {
        SCOPED_TRACE(shift);
        // A text chunk that ends `shift` bytes before the end of the first window.
        const std::size_t text = window - shift - head.size() - 8 - 38 - 1;
        const Buf file = Cat({head, Chunk(2007, 20, TextHead().fill(text, 'w').u8(0)), tail});
        TQ6Data mem, win;
        const bool a = mem.MemIn(tb::Span(file));
        WindowedSource src(file);
        const bool b = win.Load(src, LoadMode::Whole);
        ASSERT_TRUE(a);
        ASSERT_EQ(a, b);
        ASSERT_EQ(win.EntN, 1 + 23 + 6);
        ASSERT_EQ(win.tx[0].text, mem.tx[0].text);
        win.tx[0].text = mem.tx[0].text = "";  // keeps the dumps small
        ASSERT_EQ(DumpDocument(win), DumpDocument(mem));
    }
}

}  // namespace
