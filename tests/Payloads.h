// Chunk payloads of a drawing file, composed field by field from the format's
// byte tables with the chunk builder, so that the tests never rely on the code
// under test to make their input.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ChunkBuilder.h"

namespace fx {

using tb::Buf;
using tb::Bytes;
using tb::Chunk;

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;

// Shift-JIS bytes of a few characters.
inline constexpr std::string_view kZu = "\x90\x7D";    // 図
inline constexpr std::string_view kMen = "\x96\xCA";   // 面
inline constexpr std::string_view kA = "\x82\xA0";     // あ
inline constexpr std::string_view kI = "\x82\xA2";     // い

inline std::string Rep(std::string_view s, int n)
{
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

// n bytes counting up from `start` (wrapping at 256).
inline Bytes Seq(std::size_t n, std::uint8_t start = 0)
{
    Bytes b;
    for (std::size_t i = 0; i < n; ++i) b.u8(static_cast<std::uint8_t>(start + i));
    return b;
}

// Deterministic filler bytes for reserved blocks and numbers.
struct Noise {
    std::uint64_t s;
    std::uint8_t next()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint8_t>(s >> 56);
    }
    Bytes bytes(std::size_t n)
    {
        Bytes b;
        for (std::size_t i = 0; i < n; ++i) b.u8(next());
        return b;
    }
};

inline Bytes& Append(Bytes& to, const Bytes& from)
{
    to.raw(tb::Span(from.b));
    return to;
}

// The 110-byte text-style entry.
struct Style {
    std::string style;
    std::string font;
    double hight = 0, width = 0, spce = 0, ox = 0, oy = 0;
    std::uint8_t penno = 0, txattr = 0, charset = 0, pitch = 0;
    std::uint8_t reservedFill = 0;
    std::int32_t count = 0;
};

inline Bytes& StyleEntry(Bytes& b, const Style& s)
{
    b.field(s.style, 17).field(s.font, 33).f64(s.hight).f64(s.width).f64(s.spce).pt(s.ox, s.oy);
    b.u8(s.penno).u8(s.txattr).u8(s.charset).u8(s.pitch).fill(12, s.reservedFill).i32(s.count);
    return b;
}

// The 262-byte edge block with the six bytes that the report shows.
inline Bytes Edge(std::uint8_t b112, std::uint8_t b113, std::uint8_t b114, std::uint8_t b243, std::uint8_t b244,
                  std::uint8_t b245, std::uint8_t fill = 0x5A)
{
    Bytes e;
    for (int i = 0; i < 262; ++i) e.u8(static_cast<std::uint8_t>(fill + i));
    e.b[112] = b112;
    e.b[113] = b113;
    e.b[114] = b114;
    e.b[243] = b243;
    e.b[244] = b244;
    e.b[245] = b245;
    return e;
}

// Text-style table chunk 1050/30 whose entry i has the style name names[i].
inline Buf TextStyles(const std::vector<std::string>& names)
{
    Bytes p;
    for (std::size_t i = 0; i < 21; ++i) {
        Style s;
        if (i < names.size()) s.style = names[i];
        StyleEntry(p, s);
    }
    return Chunk(1050, 30, p);
}

inline std::string Str(const Buf& b) { return std::string(b.begin(), b.end()); }

}  // namespace fx

namespace fx {

// ---- settings payloads ----------------------------------------------------------

inline std::string GroupName(int g) { return "G" + std::to_string(g) + std::string(kZu); }
inline std::string LayerName(int g, int l) { return "L" + std::to_string(g) + "-" + std::to_string(l) + std::string(kMen); }
inline std::string ModuleName(int l) { return "M" + std::to_string(l); }
inline std::string StyleName(int i) { return "S" + std::to_string(i) + std::string(kA); }
inline std::string FontName(int i) { return "F" + std::to_string(i) + std::string(kI); }
inline std::string DimName(int i) { return "D" + std::to_string(i); }
inline std::string ViewName(int i) { return "V" + std::to_string(i) + std::string(kZu); }
// Scales that six-decimal rounding leaves as they are.
inline double GroupScale(int g) { return (g + 1) * 0.25; }

// Every settings payload of a file, in the order in which files are written;
// texts are valid and fit their fields, every other byte is noise.
struct Settings {
    std::string title = "T" + std::string(kZu) + std::string(kMen);
    Bytes layers, paper, axis, grid, styles, dims, dimex, symbol, print, info, colours, views;

    explicit Settings(std::uint64_t seed)
    {
        Noise n{seed};
        layers.u8(n.next());
        for (int g = 0; g < 16; ++g) {
            layers.u8(n.next()).u8(n.next()).field(GroupName(g), 17).f64(GroupScale(g));
            Append(layers, n.bytes(128));
            for (int l = 0; l < 17; ++l) {
                layers.u8(n.next()).u8(n.next());
                Append(layers, n.bytes(8));
                layers.field(LayerName(g, l), 257).field(ModuleName(l), 17);
                Append(layers, n.bytes(36));
            }
        }
        paper = n.bytes(34);
        axis = n.bytes(140);
        grid = n.bytes(180);
        for (int i = 0; i < 21; ++i) {
            styles.field(StyleName(i), 17).field(FontName(i), 33);
            Append(styles, n.bytes(60));
        }
        for (int i = 0; i < 20; ++i) {
            dims.field(DimName(i), 16);
            Append(dims, n.bytes(57));
        }
        dimex = n.bytes(234);
        symbol = n.bytes(1154);
        print = n.bytes(832);
        info = n.bytes(84);
        colours = n.bytes(1088);
        for (int i = 0; i < 32; ++i) {
            views.field(ViewName(i), 17);
            Append(views, n.bytes(308));
        }
    }

    Buf File() const
    {
        return tb::Cat({Chunk(1000, 10, Bytes().field(title, 256)), Chunk(1010, 20, layers), Chunk(1020, 20, paper),
                        Chunk(1030, 10, axis), Chunk(1040, 10, grid), Chunk(1050, 30, styles),
                        Chunk(1060, 30, dims), Chunk(1060, 40, dimex), Chunk(1070, 20, symbol),
                        Chunk(1080, 20, print), Chunk(1085, 10, info), Chunk(1090, 20, colours),
                        Chunk(1100, 20, views)});
    }
};

// Offset of the payload of the first chunk (id, version) in a file, or npos.
inline std::size_t PayloadAt(const std::string& file, std::int16_t id, std::uint16_t version)
{
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        std::int16_t i;
        std::uint16_t v;
        std::int32_t len;
        std::memcpy(&i, file.data() + at, 2);
        std::memcpy(&v, file.data() + at + 2, 2);
        std::memcpy(&len, file.data() + at + 4, 4);
        if (i == id && v == version) return at + 8;
        if (len < 0) break;
        at += 8 + static_cast<std::size_t>(len);
    }
    return std::string::npos;
}

}  // namespace fx

namespace fx {

// ---- the report ------------------------------------------------------------------

inline const char* const kCountLabels[23] = {
    "点：",          "線：",          "線EX：",        "円：",          "円EX：",     "楕円：",
    "楕円EX：",      "文字：",        "文字EX：",      "ベジェ：",      "ベジェEX：", "ポリライン：",
    "ポリラインEX：", "ポリゴン：",    "ポリゴンGrad：", "ポリゴンMapp：", "画像：",     "画像EX：",
    "シンボル：",    "グループ：",    "グループDIM：", "グループQLE：", "グループBAR：",
};

// The separator and the 23 count lines; kinds not named count 0.
inline std::vector<std::string> CountLines(const std::vector<std::pair<std::string, int>>& counts = {})
{
    std::vector<std::string> out{"----------"};
    for (const char* label : kCountLabels) {
        int n = 0;
        for (const auto& [l, c] : counts)
            if (l == label) n = c;
        out.push_back(std::string(label) + std::to_string(n));
    }
    return out;
}

inline std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace fx
