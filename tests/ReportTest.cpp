// The content report: whole reports of small fixture files, compared line for
// line with what the listing's templates give.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ChunkBuilder.h"
#include "Payloads.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Report.h"
#include "support/RandomDoc.h"

namespace {

using tb::Buf;
using tb::Bytes;
using tb::Cat;
using tb::Chunk;
using Lines = std::vector<std::string>;

// The settings half for a document that holds nothing but its defaults and a title.
Lines DefaultSettings(const std::string& title)
{
    Lines l;
    l.push_back("図面タイトル：" + title);
    l.push_back("■レイヤ情報");
    const char* hex = "0123456789ABCDEF";
    for (int g = 0; g < 16; ++g) {
        l.push_back(std::string("[") + hex[g] + "] st:2 sc:1 ");
        for (int k = 0; k < 17; ++k) l.push_back("　(" + std::to_string(k) + ") st:2 ");
    }
    for (const char* s : {"■用紙サイズ", "　タイプ:3", "　向き　:0", "　サイズ: (0,0) - (420,297)", "■アングル",
                          "　モード:0", "　角度　:0°", "■グリッド", "　グリッド原点:0,0", "　メイングリッド間隔:0,0",
                          "　サブグリッド分割数:5,5", "　表示モード:0", "　メイングリッド　スナップ:1",
                          "　サブグリッド　　スナップ:1", "　表示タイプ　 0方眼 1点　:0", "　アングル連動 0なし 1有　:1",
                          "　原点指定　　 0なし 1有　:0", "　図寸指定　　 0なし 1有　:0", "　前面指定　　 0なし 1有　:0",
                          "■文字スタイル"})
        l.push_back(s);
    for (int i = 0; i < 21; ++i) l.push_back("　【】,H0,W0,S0");
    l.push_back("■寸法スタイル");
    for (int i = 0; i < 20; ++i) l.push_back("　【】No:0,DL0,XL0,TL0,EL0");
    l.push_back("■共通寸法スタイル");
    for (int i = 0; i < 3; ++i) l.push_back("　1 0,0,0,0,0,0,0");
    l.push_back("■シンボルスタイル");
    l.push_back("　0 , 0");
    for (int i = 0; i < 22; ++i) l.push_back("　0,0,Pen:0");
    l.push_back("■印刷スタイル");
    for (int i = 0; i < 16; ++i) l.push_back("　線幅[" + std::to_string(i) + "] 0.01");
    for (int i = 0; i < 16; ++i) l.push_back("　線種[" + std::to_string(i) + "] 0 , 0[]");
    for (const char* s : {"■印刷情報", "　位置指定:0", "　基点    :0", "　印刷範囲:0", "　基点座標:0,0", "■カラーテーブル"})
        l.push_back(s);
    std::string row = "　";
    for (int c = 0; c < 16; ++c) row += "000000 ";
    for (int r = 0; r < 17; ++r) l.push_back(row);
    l.push_back("■画面マーク情報");
    for (int i = 0; i < 32; ++i) l.push_back("　【】1倍 0,0C:0Pen0LT0");
    return l;
}

// Index of line k after a heading.
std::size_t At(const Lines& l, const std::string& heading, std::size_t k)
{
    for (std::size_t i = 0; i < l.size(); ++i)
        if (l[i] == heading) return i + 1 + k;
    ADD_FAILURE() << "no heading " << heading;
    return 0;
}

Lines SettingsReport(const TQ6Data& d)
{
    Lines lines;
    WriteSettingsReport(d, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

Lines Report(const TQ6Data& d)
{
    Lines lines;
    WriteReport(d, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

TEST(Report, TitleOnlyFile)
{
    for (const char* title : {"ABC", ""}) {
        SCOPED_TRACE(title);
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(tb::Title(title))));
        const Lines settings = SettingsReport(d);
        EXPECT_EQ(settings.size(), 469u);
        EXPECT_EQ(settings, DefaultSettings(title));
        // The whole report: the settings, the separator and 23 zero counts.
        EXPECT_EQ(Report(d), fx::Concat(DefaultSettings(title), fx::CountLines()));
        std::string text;
        EXPECT_EQ(AppendReport(d, text), 469u + 24u);
        std::string joined;
        for (const auto& l : Report(d)) joined += l + "\n";
        EXPECT_EQ(text, joined);
    }
}

Bytes Axis(double angle) { return Bytes().i32(-2).f64(angle).zeros(128); }

struct LineType {
    std::int32_t first;
    std::int32_t count;
    std::vector<std::uint32_t> segments;
};

Bytes Print(const std::vector<LineType>& types, const std::vector<std::int32_t>& widths)
{
    Bytes p;
    for (std::size_t i = 0; i < 16; ++i) {
        const LineType t = i < types.size() ? types[i] : LineType{0, 0, {}};
        p.i32(t.first).i32(t.count);
        for (std::size_t j = 0; j < 10; ++j) p.u32(j < t.segments.size() ? t.segments[j] : 0);
    }
    for (std::size_t i = 0; i < 16; ++i) p.i32(i < widths.size() ? widths[i] : 1);
    return p;
}

Bytes Colours(const std::vector<std::pair<std::size_t, std::uint32_t>>& set)
{
    std::vector<std::uint32_t> c(272, 0);
    for (const auto& [i, v] : set) c[i] = v;
    Bytes p;
    for (auto v : c) p.u32(v);
    return p;
}

struct View {
    std::string name;
    double zoom = 1;
    std::int32_t x = 0, y = 0;
    std::uint32_t color = 0;
    std::int32_t pen = 0, ltype = 0;
};

Bytes Views(const std::vector<View>& views)
{
    Bytes p;
    for (std::size_t i = 0; i < 32; ++i) {
        const View v = i < views.size() ? views[i] : View{};
        p.field(v.name, 17).f64(v.zoom).i32(v.x).i32(v.y).u32(v.color).i32(v.pen).i32(v.ltype).fill(272, 0x33).zeros(8);
    }
    return p;
}

Bytes Layers(const std::function<void(int g, Bytes&)>& group, const std::function<void(int g, int l, Bytes&)>& layer)
{
    Bytes p;
    p.u8(0);
    for (int g = 0; g < 16; ++g) {
        group(g, p);
        p.zeros(128);
        for (int l = 0; l < 17; ++l) {
            layer(g, l, p);
            p.zeros(4 + 32);
        }
    }
    return p;
}

// Single settings chunks change single lines of the report.
TEST(Report, SettingsLines)
{
    struct Case {
        const char* name;
        Buf chunks;  // after the title chunk
        std::vector<std::pair<std::pair<const char*, std::size_t>, std::string>> changed;  // (heading, k) -> line
    };
    std::string tenSegments;
    for (int j = 1; j <= 10; ++j) tenSegments += "0." + std::string(j < 10 ? "0" : "") + std::to_string(j == 10 ? 1 : j) + " ";
    const Case cases[] = {
        {"an axis angle of pi/2", Chunk(1030, 10, Axis(fx::kHalfPi)),
         {{{"■アングル", 0}, "　モード:-2"}, {{"■アングル", 1}, "　角度　:90.0000000000001°"}}},
        {"an axis angle of pi", Chunk(1030, 10, Axis(fx::kPi)),
         {{{"■アングル", 0}, "　モード:-2"}, {{"■アングル", 1}, "　角度　:180°"}}},
        {"an axis angle of minus infinity", Chunk(1030, 10, Axis(-INFINITY)),
         {{{"■アングル", 0}, "　モード:-2"}, {{"■アングル", 1}, "　角度　:-INF°"}}},
        {"an axis angle that is not a number", Chunk(1030, 10, Axis(NAN)),
         {{{"■アングル", 0}, "　モード:-2"}, {{"■アングル", 1}, "　角度　:NAN°"}}},
        {"line widths and line types",
         Chunk(1080, 20,
               Print({{0, 0, {}},
                      {0, 0, {}},
                      {3, 2, {150, 50, 7}},
                      {9, -1, {150}},
                      {0, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
                      {-7, 1, {0xFFFFFFFF}}},
                     {25, -3, 1, 0, 100000})),
         {{{"■印刷スタイル", 0}, "　線幅[0] 0.25"},
          {{"■印刷スタイル", 1}, "　線幅[1] -0.03"},
          {{"■印刷スタイル", 3}, "　線幅[3] 0"},
          {{"■印刷スタイル", 4}, "　線幅[4] 1000"},
          {{"■印刷スタイル", 18}, "　線種[2] 3 , 2[1.5 0.5 ]"},
          {{"■印刷スタイル", 19}, "　線種[3] 9 , -1[]"},
          {{"■印刷スタイル", 20}, "　線種[4] 0 , 12[" + tenSegments + "]"},
          {{"■印刷スタイル", 21}, "　線種[5] -7 , 1[42949672.95 ]"}}},
        {"colour table", Chunk(1090, 20, Colours({{0, 0x1234567}, {17, 0xFF}, {271, 0xFFFFFFFF}})),
         {{{"■カラーテーブル", 0}, "　1234567 " + fx::Rep("000000 ", 15)},
          {{"■カラーテーブル", 1}, "　000000 0000FF " + fx::Rep("000000 ", 14)},
          {{"■カラーテーブル", 16}, "　" + fx::Rep("000000 ", 15) + "FFFFFFFF "}}},
        {"view marks",
         Chunk(1100, 20,
               Views({{"", 1, 0, 0, 0xFFFFFFFF, 0, 0},
                      {std::string(fx::kZu) + std::string(fx::kMen), 2.5, -3, 4, 0x1234567, 5, -6}})),
         {{{"■画面マーク情報", 0}, "　【】1倍 0,0C:-1Pen0LT0"},
          {{"■画面マーク情報", 1}, "　【図面】2.5倍 -3,4C:19088743Pen5LT-6"}}},
        {"paper", Chunk(1020, 20, Bytes().u8(4).u8(1).pt(-1.5, 0).pt(841, 594)),
         {{{"■用紙サイズ", 0}, "　タイプ:4"},
          {{"■用紙サイズ", 1}, "　向き　:1"},
          {{"■用紙サイズ", 2}, "　サイズ: (-1.5,0) - (841,594)"}}},
        {"grid",
         Chunk(1040, 10,
               Bytes().pt(1.5, -2).pt(10, 0.125).i32(2).i32(-3).i32(4).i32(0).i32(7).i32(1).i32(0).i32(1).i32(-1).i32(2147483647).zeros(108)),
         {{{"■グリッド", 0}, "　グリッド原点:1.5,-2"},
          {{"■グリッド", 1}, "　メイングリッド間隔:10,0.125"},
          {{"■グリッド", 2}, "　サブグリッド分割数:2,-3"},
          {{"■グリッド", 3}, "　表示モード:4"},
          {{"■グリッド", 4}, "　メイングリッド　スナップ:0"},
          {{"■グリッド", 5}, "　サブグリッド　　スナップ:7"},
          {{"■グリッド", 6}, "　表示タイプ　 0方眼 1点　:1"},
          {{"■グリッド", 7}, "　アングル連動 0なし 1有　:0"},
          {{"■グリッド", 8}, "　原点指定　　 0なし 1有　:1"},
          {{"■グリッド", 9}, "　図寸指定　　 0なし 1有　:-1"},
          {{"■グリッド", 10}, "　前面指定　　 0なし 1有　:2147483647"}}},
        {"text styles",
         [] {
             Bytes p;
             for (int i = 0; i < 21; ++i)
                 fx::StyleEntry(p, i == 3 ? fx::Style{"STD", "Gothic", 2.5, 2, 0.25, 9, 9, 1, 2, 3, 4, 5, 6}
                                          : fx::Style{});
             return Chunk(1050, 30, p);
         }(),
         {{{"■文字スタイル", 3}, "　【STD】Gothic,H2.5,W2,S0.25"}}},
        {"dimension styles",
         [] {
             Bytes p;
             for (int i = 0; i < 20; ++i) {
                 if (i == 19)
                     p.field("DIM", 16).i32(3).f64(1).f64(2).f64(3).u8(4).u8(5).fill(3, 6).f64(4.5).fill(16, 7);
                 else
                     p.zeros(73);
             }
             return Chunk(1060, 30, p);
         }(),
         {{{"■寸法スタイル", 19}, "　【DIM】No:3,DL1,XL2,TL3,EL4.5"}}},
        {"common dimension style",
         Chunk(1060, 40, Bytes().f64(1).zeros(70).f64(0.5).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(255).fill(63, 9)
                             .f64(1).zeros(70)),
         {{{"■共通寸法スタイル", 1}, "　0.5 1,2,3,4,5,6,255"}}},
        {"symbol style",
         [] {
             Bytes p;
             p.u8(3).u8(255).fill(8, 1);
             for (int i = 0; i < 22; ++i) {
                 if (i == 21)
                     p.f64(1e-5).f64(1e20).i32(-1).fill(32, 2);
                 else
                     p.zeros(52);
             }
             return Chunk(1070, 20, p);
         }(),
         {{{"■シンボルスタイル", 0}, "　3 , 255"}, {{"■シンボルスタイル", 22}, "　1E-5,1E20,Pen:-1"}}},
        {"print information", Chunk(1085, 10, Bytes().u8(1).u8(2).u8(3).u8(4).pt(0.1, 1e16).zeros(64)),
         {{{"■印刷情報", 0}, "　位置指定:1"},
          {{"■印刷情報", 1}, "　基点    :2"},
          {{"■印刷情報", 2}, "　印刷範囲:3"},
          {{"■印刷情報", 3}, "　基点座標:0.1,1E16"}}},
        {"layers",
         Chunk(1010, 20,
               Layers(
                   [](int g, Bytes& p) {
                       p.u8(g == 10 ? 1 : 2).u8(0).field(g == 10 ? "GRP" : "", 17).f64(g == 10 ? 0.5 : 1);
                   },
                   [](int g, int l, Bytes& p) {
                       p.u8(g == 15 && l == 16 ? 0 : 2).u8(9).u32(0xFF).i32(0);
                       p.field(g == 15 && l == 16 ? "LAST" : "", 257).field("MOD", 17);
                   })),
         {{{"■レイヤ情報", 10 * 18}, "[A] st:1 sc:0.5 GRP"}, {{"■レイヤ情報", 15 * 18 + 17}, "　(16) st:0 LAST"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("x"), c.chunks}))));
        Lines want = DefaultSettings("x");
        for (const auto& [where, line] : c.changed) want[At(want, where.first, where.second)] = line;
        EXPECT_EQ(SettingsReport(d), want);
    }
}

// Japanese names in every name field that the report shows, in UTF-8.
TEST(Report, JapaneseNamesAreShownInUtf8)
{
    constexpr std::string_view kSekkeizu = "\x90\xDD\x8C\x76\x90\x7D";  // 設計図
    constexpr std::string_view kMaru1 = "\x87\x40";                    // ①
    constexpr std::string_view kKata = "\xB6\xC0";                     // ｶﾀ (half-width)
    constexpr std::string_view kDai = "\x91\xE6";                      // 第
    constexpr std::string_view kGun = "\x8C\x51";                      // 群
    constexpr std::string_view kSou = "\x91\x77";                      // 層
    constexpr std::string_view kMincho = "\x96\xBE\x92\xA9";           // 明朝
    constexpr std::string_view kGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
    constexpr std::string_view kSunpou = "\x90\xA1\x96\x40\x83\x58\x83\x5E\x83\x43\x83\x8B";      // 寸法スタイル
    constexpr std::string_view kHyou = "\x95\x5C";                     // 表
    constexpr std::string_view kSo = "\x83\x5C";                       // ソ
    constexpr std::string_view kNou = "\x94\x5C";                      // 能
    constexpr std::string_view kGamen = "\x89\xE6\x96\xCA";            // 画面
    auto s = [](std::initializer_list<std::string_view> parts) {
        std::string r;
        for (auto p : parts) r += p;
        return r;
    };

    const std::string title = s({kSekkeizu, kMaru1, kKata});
    const Buf layers = Chunk(1010, 20,
                             Layers(
                                 [&](int g, Bytes& p) {
                                     p.u8(2).u8(0).field(s({kDai, std::to_string(g), kGun}), 17).f64(1);
                                 },
                                 [&](int, int l, Bytes& p) {
                                     p.u8(2).u8(0).u32(0).i32(0).field(s({kSou, std::to_string(l), kHyou}), 257);
                                     p.field(s({kSo}), 17);
                                 }));
    Bytes styles;
    for (int i = 0; i < 21; ++i) fx::StyleEntry(styles, fx::Style{s({kMincho, std::to_string(i)}), std::string(kGothic)});
    Bytes dims;
    for (int i = 0; i < 20; ++i) dims.field(s({kSunpou, std::to_string(i)}), 16).zeros(57);
    std::vector<View> views(32);
    for (int i = 0; i < 32; ++i) views[static_cast<std::size_t>(i)].name = s({kGamen, kNou, std::to_string(i)});
    const Buf file = Cat({Chunk(1000, 10, Bytes().raw(title)), layers, Chunk(1050, 30, styles), Chunk(1060, 30, dims),
                          Chunk(1100, 20, Views(views))});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));

    Lines want = DefaultSettings("設計図①ｶﾀ");
    const char* hex = "0123456789ABCDEF";
    for (int g = 0; g < 16; ++g) {
        want[At(want, "■レイヤ情報", static_cast<std::size_t>(g) * 18)] =
            std::string("[") + hex[g] + "] st:2 sc:1 第" + std::to_string(g) + "群";
        for (int l = 0; l < 17; ++l)
            want[At(want, "■レイヤ情報", static_cast<std::size_t>(g) * 18 + 1 + static_cast<std::size_t>(l))] =
                "　(" + std::to_string(l) + ") st:2 層" + std::to_string(l) + "表";
    }
    for (std::size_t i = 0; i < 21; ++i)
        want[At(want, "■文字スタイル", i)] = "　【明朝" + std::to_string(i) + "】ＭＳ ゴシック,H0,W0,S0";
    for (std::size_t i = 0; i < 20; ++i)
        want[At(want, "■寸法スタイル", i)] = "　【寸法スタイル" + std::to_string(i) + "】No:0,DL0,XL0,TL0,EL0";
    for (std::size_t i = 0; i < 32; ++i)
        want[At(want, "■画面マーク情報", i)] = "　【画面能" + std::to_string(i) + "】1倍 0,0C:0Pen0LT0";
    EXPECT_EQ(SettingsReport(d), want);
}

// ---- the entity half ---------------------------------------------------------------

Lines EntityReport(const TQ6Data& d)
{
    Lines lines;
    WriteEntityReport(d, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

Buf Line(std::int32_t id, double x)
{
    return Chunk(2002, 20, Bytes().obj(id, 0, 0, 0).pt(x, 0).pt(x, 1));
}

TEST(Report, EntitiesInFileOrderWithTheirNumbers)
{
    const Buf file = Cat({tb::Title(), Line(1, 0), tb::Point(2, 5, 6), Line(3, 7)});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    const Lines want = fx::Concat(
        {
            "■線オブジェクト　識別番号：200220 N:0",
            "　ID:1 co:0 wd:0000 Col:00000000 (0 , 0) - (0 , 1)",
            "■点オブジェクト　識別番号：200120 N:0",
            "　ID:2 co:1 wd:0000 Col:00000000 (5 , 6)",
            "■線オブジェクト　識別番号：200220 N:1",
            "　ID:3 co:0 wd:0000 Col:00000000 (7 , 0) - (7 , 1)",
        },
        fx::CountLines({{"点：", 1}, {"線：", 2}}));
    EXPECT_EQ(EntityReport(d), want);
    EXPECT_EQ(Report(d), fx::Concat(DefaultSettings(""), want));
}

// Dumps show the first and the last 16 bytes of an array; a shorter array
// shows bytes 0 to min(16, n) - 1 and max(0, n - 16) to n - 1.
TEST(Report, DumpsOfByteArrays)
{
    auto bitmap = [](std::int32_t byt, std::size_t image, std::size_t extra, std::uint16_t version) {
        Bytes p = Bytes().obj(1, 0, 0, 0).i32(byt).i32(0).zeros(64);
        fx::Append(p, fx::Seq(image + extra, 0xA0));
        return Chunk(2018, version, p);
    };
    struct Case {
        const char* name;
        Buf chunk;
        Lines dump;  // the lines after the four corner lines, or after the mapping line
    };
    const Case cases[] = {
        {"1000 image bytes of a mapped polygon",
         [] {
             Bytes p = Bytes().obj(1, 0, 0, 0).i32(0).i16(1).pt(0, 0).i32(0).zeros(32).i32(0).i32(0).i32(0).zeros(1024);
             fx::Append(p, fx::Seq(1000));
             return Chunk(2009, 60, p);
         }(),
         {"  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ", "  D8 D9 DA DB DC DD DE DF E0 E1 E2 E3 E4 E5 E6 E7 "}},
        {"16 image bytes", bitmap(16, 16, 0, 90),
         {"  A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ", "  A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF "}},
        {"17 image bytes", bitmap(17, 17, 0, 90),
         {"  A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ", "  A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF B0 "}},
        {"5 image bytes", bitmap(5, 5, 0, 90), {"  A0 A1 A2 A3 A4 ", "  A0 A1 A2 A3 A4 "}},
        {"no image bytes", bitmap(0, 0, 0, 90), {"  ", "  "}},
        {"a negative byte count", bitmap(-5, 0, 0, 90), {"  ", "  "}},
        {"extra data of 3 bytes", bitmap(2, 2, 3, 91), {"  A0 A1 ", "  A0 A1 ", "  org:A2 A3 A4 ", "     A2 A3 A4 "}},
        {"no extra data and no image", bitmap(0, 0, 0, 91), {"  ", "  ", "  org:", "     "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title(), c.chunk}))));
        const Lines report = EntityReport(d);
        const std::size_t before = report.size() - 24 - c.dump.size();
        EXPECT_EQ(Lines(report.begin() + static_cast<std::ptrdiff_t>(before), report.end() - 24), c.dump);
    }
}

// A text's own text ends its ID line; groups end theirs with count and name.
TEST(Report, TextAndGroupTails)
{
    auto text = [](std::string_view sjis) {
        return Chunk(2007, 20, Bytes().obj(1, 0, 0, 0).pt(0, 0).f64(0).u8(0).u8(0).u8(0).raw(sjis).u8(0));
    };
    auto group = [](std::int32_t cnt, std::string_view sjis) {
        return Chunk(2032, 20, Bytes().obj(1, 0, 0, 0).pt(0, 0).pt(0, 0).pt(0, 0).i32(cnt).raw(sjis).u8(0));
    };
    const std::pair<Buf, std::string> cases[] = {
        {text(std::string(fx::kZu) + std::string(fx::kMen)), "　ID:1 co:0 wd:0000 Col:00000000 (0 , 0) A:0、0 0 0■図面"},
        {text(""), "　ID:1 co:0 wd:0000 Col:00000000 (0 , 0) A:0、0 0 0■"},
        {group(3, "G1"), "　ID:1 co:0 wd:0000 Col:00000000 (0 , 0) (0 , 0) (0 , 0) cnt:3■G1"},
        {group(-1, ""), "　ID:1 co:0 wd:0000 Col:00000000 (0 , 0) (0 , 0) (0 , 0) cnt:-1■"},
    };
    for (const auto& [chunk, line] : cases) {
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title(), chunk}))));
        const Lines report = EntityReport(d);
        ASSERT_EQ(report.size(), 2u + 24u);
        EXPECT_EQ(report[1], line);
    }
}

// q6tool report FILE prints the whole report as UTF-8 lines, or the failure line.
// The report's three forms give the same text: line by line, in blocks of
// whole lines, and appended to a string that already holds text. The
// document is large enough for several blocks and holds long texts, which
// need more room than a line usually takes.
TEST(Report, LinesBlocksAndStringAgree)
{
    TQ6Data d;
    RandomDocOptions opt;
    opt.entities = 9000;
    opt.normalized = false;
    RandomDocument(d, 99, opt);
    d.Title = std::string(5000, 'T');

    std::string lines;
    std::size_t lineCount = 0;
    WriteReport(d, [&](std::string_view l) {
        EXPECT_EQ(l.find('\n'), std::string_view::npos);
        lines += l;
        lines += '\n';
        ++lineCount;
    });
    ASSERT_GT(lines.size(), 3u << 20);

    std::string blocks;
    std::size_t blockCount = 0;
    const std::size_t n = WriteReportText(d, [&](std::string_view b) {
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(b.back(), '\n');
        blocks += b;
        ++blockCount;
    });
    EXPECT_EQ(n, lineCount);
    EXPECT_GE(blockCount, 3u);
    EXPECT_TRUE(blocks == lines);

    std::string appended = "before\n";
    EXPECT_EQ(AppendReport(d, appended), lineCount);
    EXPECT_TRUE(appended == "before\n" + lines);
}

TEST(Report, CommandLineReport)
{
    namespace fs = std::filesystem;
    const std::string tool = std::string(Q6_BIN_DIR) + "/q6tool";
    const fs::path dir = fs::temp_directory_path() / ("q6report-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](const char* name, const Buf& bytes) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    };
    auto run = [&](const std::string& file, std::string& output) {
        FILE* p = ::popen(("'" + tool + "' report '" + file + "' 2>/dev/null").c_str(), "r");
        if (!p) return -1;
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
        const int status = ::pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const Buf drawing = Cat({tb::Title("\x90\x7D"), Line(1, 0), tb::Point(2, 5, 6)});
    std::string output;
    EXPECT_EQ(run(write("a.q6", drawing), output), 0);
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(drawing)));
    std::string want;
    for (const auto& l : Report(d)) want += l + "\n";
    EXPECT_EQ(output, want);
    EXPECT_TRUE(output.starts_with("図面タイトル：図\n■レイヤ情報\n"));

    const std::pair<Buf, const char*> failures[] = {
        {Cat({tb::Point(1, 0, 0), tb::Title()}), "◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。\n"},
        {Cat({tb::Title(), Chunk(2001, 99, Bytes().zeros(27))}), "◆ファイル読み込みエラーです。中止します。\n"},
    };
    for (const auto& [bytes, line] : failures) {
        output.clear();
        EXPECT_EQ(run(write("bad.q6", bytes), output), 1);
        EXPECT_EQ(output, line);
    }
    fs::remove_all(dir);
}

}  // namespace
