// Entity chunks at chosen coordinates, for the drawing tests.
#pragma once

#include <string_view>

#include "ChunkBuilder.h"

namespace df {

using tb::Buf;
using tb::Bytes;
using tb::Chunk;

inline Buf Line(double x0, double y0, double x1, double y1, std::uint32_t color = 0)
{
    return Chunk(2002, 20, Bytes().obj(1, 0, 0, color).pt(x0, y0).pt(x1, y1));
}
inline Buf Circle(double x, double y, double r, double a0, double a1)
{
    return Chunk(2003, 20, Bytes().obj(2, 0, 0, 0).pt(x, y).f64(r).f64(a0).f64(a1));
}
inline Buf Ellipse(double x, double y, double rx, double ry, double a0, double a1, double angle)
{
    return Chunk(2005, 20, Bytes().obj(3, 0, 0, 0).pt(x, y).f64(rx).f64(ry).f64(a0).f64(a1).f64(angle));
}
// A text without its own style; `sjis` is the text's code page 932 bytes.
inline Buf Text(double x, double y, double angle, std::uint8_t style, std::string_view sjis)
{
    return Chunk(2007, 20, Bytes().obj(4, 0, 0, 0).pt(x, y).f64(angle).u8(style).u8(0).u8(0).raw(sjis).u8(0));
}
// The 110-byte text-style entry with a height.
inline Bytes& StyleEntry(Bytes& b, double height)
{
    return b.field("S", 17).field("MS Gothic", 33).f64(height).f64(0).f64(0).pt(0, 0).u8(0).u8(0).u8(0).u8(0).zeros(12).i32(0);
}
inline Buf TextEx(double x, double y, double angle, double height, std::string_view sjis)
{
    Bytes b;
    b.obj(5, 0, 0, 0).pt(x, y).f64(angle).u8(0).u8(0).u8(0).raw(sjis).u8(0);
    StyleEntry(b, height);
    return Chunk(2007, 30, b);
}
// The text-style table, every entry of the given height.
inline Buf TextStyles(double height)
{
    Bytes b;
    for (int i = 0; i < 21; ++i) StyleEntry(b, height);
    return Chunk(1050, 30, b);
}
inline Bytes& Points(Bytes& b, std::initializer_list<std::pair<double, double>> pts)
{
    b.i16(static_cast<std::int16_t>(pts.size()));
    for (auto [x, y] : pts) b.pt(x, y);
    return b;
}
inline Buf Path(std::int16_t id, std::initializer_list<std::pair<double, double>> pts)
{
    Bytes b;
    b.obj(6, 0, 0, 0).u8(0);
    return Chunk(id, 20, Points(b, pts));
}
inline Buf Bezier(std::initializer_list<std::pair<double, double>> pts) { return Path(2017, pts); }
inline Buf Polyline(std::initializer_list<std::pair<double, double>> pts) { return Path(2008, pts); }
inline Buf Polygon(std::initializer_list<std::pair<double, double>> pts)
{
    Bytes b;
    b.obj(7, 0, 0, 0).i32(0);
    return Chunk(2009, 40, Points(b, pts));
}
inline Buf Group()
{
    return Chunk(2032, 20, Bytes().obj(8, 0, 0, 0).pt(0, 0).pt(0, 0).pt(0, 0).i32(0).raw("g").u8(0));
}
inline Buf Bitmap(std::initializer_list<std::pair<double, double>> quad)
{
    Bytes b;
    b.obj(9, 0, 0, 0).i32(3).i32(0);
    for (auto [x, y] : quad) b.pt(x, y);
    b.raw("BM!");
    return Chunk(2018, 90, b);
}

}  // namespace df
