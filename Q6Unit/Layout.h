// The byte layout of every record as it stands in a drawing file, described
// once. Each `Fields` function visits a record's fields in file order; the
// chunk reader, the chunk writer, the size counter and the dumps are visitors,
// so that they agree byte for byte by construction.
//
// A visitor provides:
//   Num(name, x)                  integer or double, little-endian, sizeof(x) bytes
//   Scale(name, x)                a double that the writer rounds to 6 decimals
//   Text(name, s, width)          fixed-width code page 932 text field
//   Bytes(name, p, n)             block of n bytes held as they were read
//   Nest(name, fn)                a nested record (fn visits its fields)
//   Array(name, n, fn)            n items (fn(i) visits item i; item names are null)
//   VarText(name, s, after, refuseShort)
//                                 text and one zero byte; on reading, the field takes
//                                 what the payload holds before its last `after` bytes
//   Points(cntName, cnt, posName, pos)
//                                 SmallInt count, then that many points (at least 1)
//   CountedBytes(name, bytes, count)
//                                 max(count, 0) bytes
//   TailBytes(name, bytes)        whatever remains of the payload
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Q6Unit/Model.h"

namespace q6layout {

// R is T or const T: one field list serves readers (T) and writers (const T).
template <class R, class T>
concept Rec = std::same_as<std::remove_const_t<R>, T>;

template <class V, class A>
constexpr void Raw(V& v, const char* name, A& a)
{
    using Byte = std::conditional_t<std::is_const_v<A>, const std::uint8_t, std::uint8_t>;
    static_assert(std::is_trivially_copyable_v<std::remove_const_t<A>>);
    if (std::is_constant_evaluated())
        v.Bytes(name, nullptr, sizeof(A));  // only sizes are counted at compile time
    else
        v.Bytes(name, reinterpret_cast<Byte*>(&a), sizeof(A));
}

template <class V, class R>
constexpr void Nested(V& v, const char* name, R& r);

template <class V, class A>
constexpr void Arr(V& v, const char* name, A& a)
{
    v.Array(name, a.size(), [&](std::size_t i) {
        auto& item = a[i];
        if constexpr (std::is_arithmetic_v<std::remove_cvref_t<decltype(item)>>)
            v.Num(nullptr, item);
        else
            Nested(v, nullptr, item);
    });
}

template <class V, Rec<TDPoint> R>
constexpr void Fields(V& v, R& r)
{
    v.Num("X", r.X);
    v.Num("Y", r.Y);
}

template <class V, Rec<TPoint> R>
constexpr void Fields(V& v, R& r)
{
    v.Num("X", r.X);
    v.Num("Y", r.Y);
}

// ---- settings ---------------------------------------------------------------

template <class V, Rec<TQ6LayerField> R>
constexpr void Fields(V& v, R& r)  // 320 bytes
{
    v.Num("state", r.state);
    v.Num("attr", r.attr);
    v.Num("color", r.color);
    v.Num("reserved", r.reserved);
    v.Text("text", r.text, 257);
    v.Text("module", r.module, 17);
    v.Num("comid", r.comid);
    Raw(v, "dmmy", r.dmmy);
}

template <class V, Rec<TQ6LayerGroupField> R>
constexpr void Fields(V& v, R& r)  // 155 + 17 x 320 bytes
{
    v.Num("state", r.state);
    v.Num("current", r.current);
    v.Text("text", r.text, 17);
    v.Scale("scale", r.scale);
    Raw(v, "reserved", r.reserved);
    Arr(v, "tab", r.tab);
}

template <class V, Rec<TQ6LayerInfo> R>
constexpr void Fields(V& v, R& r)  // chunk 1010/20, 89521 bytes
{
    v.Num("current", r.current);
    Arr(v, "grp", r.grp);
}

template <class V, Rec<TQ6PaperSize> R>
constexpr void Fields(V& v, R& r)  // chunk 1020/20, 34 bytes
{
    v.Num("typ", r.typ);
    v.Num("lout", r.lout);
    Arr(v, "size", r.size);
}

template <class V, Rec<TQ6AxisInfo> R>
constexpr void Fields(V& v, R& r)  // chunk 1030/10, 140 bytes
{
    v.Num("mode", r.mode);
    v.Num("angle", r.angle);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6GridInfo> R>
constexpr void Fields(V& v, R& r)  // chunk 1040/10, 180 bytes
{
    Nested(v, "org", r.org);
    Nested(v, "spc", r.spc);
    Nested(v, "dv", r.dv);
    v.Num("disp", r.disp);
    v.Num("snapmain", r.snapmain);
    v.Num("snapsub", r.snapsub);
    v.Num("typ", r.typ);
    v.Num("angle", r.angle);
    v.Num("ind", r.ind);
    v.Num("abs", r.abs);
    v.Num("top", r.top);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6TextStyle> R>
constexpr void Fields(V& v, R& r)  // text-style entry, 110 bytes
{
    v.Text("style", r.style, 17);
    v.Text("font", r.font, 33);
    v.Num("hight", r.hight);
    v.Num("width", r.width);
    v.Num("spce", r.spce);
    Nested(v, "ofset", r.ofset);
    v.Num("penno", r.penno);
    v.Num("txattr", r.txattr);
    v.Num("lfCharSet", r.lfCharSet);
    v.Num("lfPitchAndFamily", r.lfPitchAndFamily);
    Raw(v, "reserved", r.reserved);
    v.Num("count", r.count);
}

template <class V, Rec<TQ6DimStyle> R>
constexpr void Fields(V& v, R& r)  // dimension-style entry, 73 bytes
{
    v.Text("style", r.style, 16);
    v.Num("txtstlno", r.txtstlno);
    v.Num("dlen", r.dlen);
    v.Num("xlen", r.xlen);
    v.Num("tlen", r.tlen);
    v.Num("pen", r.pen);
    v.Num("term", r.term);
    Raw(v, "dmmy", r.dmmy);
    v.Num("elen", r.elen);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6DimStyleEx> R>
constexpr void Fields(V& v, R& r)  // 78 bytes
{
    v.Num("value", r.value);
    Arr(v, "set", r.set);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6SymbolForm> R>
constexpr void Fields(V& v, R& r)  // 52 bytes
{
    v.Num("d1", r.d1);
    v.Num("d2", r.d2);
    v.Num("pen", r.pen);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6SymbolStyle> R>
constexpr void Fields(V& v, R& r)  // chunk 1070/20, 1154 bytes
{
    v.Num("current_pstl", r.current_pstl);
    v.Num("current_astl", r.current_astl);
    Raw(v, "reserved", r.reserved);
    Arr(v, "form", r.form);
}

template <class V, Rec<TQ6LineType> R>
constexpr void Fields(V& v, R& r)  // 48 bytes
{
    v.Num("typ", r.typ);
    v.Num("cnt", r.cnt);
    Arr(v, "seg", r.seg);
}

template <class V, Rec<TQ6PrintStyle> R>
constexpr void Fields(V& v, R& r)  // chunk 1080/20, 832 bytes
{
    Arr(v, "ltype", r.ltype);
    Arr(v, "width", r.width);
}

template <class V, Rec<TQ6PrintInfo> R>
constexpr void Fields(V& v, R& r)  // chunk 1085/10, 84 bytes
{
    v.Num("ind", r.ind);
    v.Num("base", r.base);
    v.Num("area", r.area);
    v.Num("dmmy", r.dmmy);
    Nested(v, "pos", r.pos);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6ViewInfo> R>
constexpr void Fields(V& v, R& r)  // view-mark entry, 325 bytes
{
    static_assert(sizeof(r.grp) == 16 * 17);
    v.Text("name", r.name, 17);
    v.Num("zoom", r.zoom);
    Nested(v, "ofset", r.ofset);
    v.Num("color", r.color);
    v.Num("penno", r.penno);
    v.Num("ltype", r.ltype);
    Raw(v, "grp", r.grp);
    Raw(v, "dummy", r.dummy);
}

// ---- entities -----------------------------------------------------------------

template <class V, Rec<TQ6ObjectHeader> R>
constexpr void Fields(V& v, R& r)  // 11 bytes, the head of every entity payload
{
    v.Num("id", r.id);
    v.Num("cotype", r.cotype);
    v.Num("attr", r.attr);
    v.Num("color", r.color);
}

template <class V, Rec<TQ6ObjectEdge> R>
constexpr void Fields(V& v, R& r)  // 262 bytes
{
    Raw(v, "symb", r.symb);
}

template <class V, Rec<TQ6ObjectPoint> R>
constexpr void Fields(V& v, R& r)  // 2001/20, 27 bytes
{
    Nested(v, "obj", r.obj);
    Nested(v, "pos", r.pos);
}

template <class V, Rec<TQ6ObjectLine> R>
constexpr void Fields(V& v, R& r)  // 2002/20, 43 bytes
{
    Nested(v, "obj", r.obj);
    Arr(v, "pos", r.pos);
}

template <class V, Rec<TQ6ObjectLineEx> R>
constexpr void Fields(V& v, R& r)  // 2002/30, 305 bytes
{
    Nested(v, "ln", r.ln);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectCircle> R>
constexpr void Fields(V& v, R& r)  // 2003/20, 51 bytes
{
    Nested(v, "obj", r.obj);
    Nested(v, "pos", r.pos);
    v.Num("r", r.r);
    Arr(v, "arc", r.arc);
}

template <class V, Rec<TQ6ObjectCircleEx> R>
constexpr void Fields(V& v, R& r)  // 2003/30, 313 bytes
{
    Nested(v, "cr", r.cr);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectEllipse> R>
constexpr void Fields(V& v, R& r)  // 2005/20, 67 bytes
{
    Nested(v, "obj", r.obj);
    Nested(v, "pos", r.pos);
    Arr(v, "r", r.r);
    Arr(v, "arc", r.arc);
    v.Num("angle", r.angle);
}

template <class V, Rec<TQ6ObjectEllipseEx> R>
constexpr void Fields(V& v, R& r)  // 2005/30, 329 bytes
{
    Nested(v, "ep", r.ep);
    Nested(v, "e", r.e);
}

// A text payload: 38 fixed bytes, then the text and its zero byte; `after`
// bytes of style follow the text in the variant with its own style.
template <class V, Rec<TQ6ObjectText> R>
constexpr void TextFields(V& v, R& r, std::int32_t after)
{
    Nested(v, "obj", r.obj);
    Nested(v, "pos", r.pos);
    v.Num("angle", r.angle);
    v.Num("style", r.style);
    v.Num("base", r.base);
    v.Num("lout", r.lout);
    v.VarText("text", r.text, after, false);
}

template <class V, Rec<TQ6ObjectText> R>
constexpr void Fields(V& v, R& r)  // 2007/20, 39 + L bytes
{
    TextFields(v, r, 0);
}

template <class V, Rec<TQ6ObjectTextEx> R>
constexpr void Fields(V& v, R& r)  // 2007/30, 149 + L bytes
{
    v.Nest("tx", [&] { TextFields(v, r.tx, 110); });
    Nested(v, "ex", r.ex);
}

template <class V, Rec<TQ6ObjectBezier> R>
constexpr void Fields(V& v, R& r)  // 2017/20 and 2008/20, 14 + 16n bytes
{
    Nested(v, "obj", r.obj);
    v.Num("typ", r.typ);
    v.Points("cnt", r.cnt, "pos", r.pos);
}

template <class V, Rec<TQ6ObjectBezierEx> R>
constexpr void Fields(V& v, R& r)  // 2017/30, 276 + 16n bytes
{
    Nested(v, "bz", r.bz);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectPolylineEx> R>
constexpr void Fields(V& v, R& r)  // 2008/30, 276 + 16n bytes
{
    Nested(v, "pl", r.pl);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectPolygon> R>
constexpr void Fields(V& v, R& r)  // 2009/40, 17 + 16n bytes
{
    Nested(v, "obj", r.obj);
    v.Num("ptn", r.ptn);
    v.Points("cnt", r.cnt, "pos", r.pos);
}

template <class V, Rec<TQ6ObjectGrad> R>
constexpr void Fields(V& v, R& r)  // 56 bytes
{
    v.Num("typ", r.typ);
    v.Num("reserved", r.reserved);
    Arr(v, "col", r.col);
    Arr(v, "pos", r.pos);
    v.Num("angle", r.angle);
}

template <class V, Rec<TQ6ObjectPolygonGrad> R>
constexpr void Fields(V& v, R& r)  // 2009/50, 73 + 16n bytes
{
    Nested(v, "pg", r.pg);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectMapping> R>
constexpr void Fields(V& v, R& r)  // 1072 bytes, then the image: the rest of the payload
{
    v.Num("reserved", r.reserved);
    Arr(v, "pos", r.pos);
    Nested(v, "size", r.size);
    v.Num("depth", r.depth);
    Raw(v, "pe", r.pe);
    v.TailBytes("bmp", r.bmp);
}

template <class V, Rec<TQ6ObjectPolygonMapping> R>
constexpr void Fields(V& v, R& r)  // 2009/60, 1089 + 16n + m bytes
{
    Nested(v, "pg", r.pg);
    Nested(v, "e", r.e);
}

template <class V, Rec<TQ6ObjectBitmap> R>
constexpr void Fields(V& v, R& r)  // 2018/90, 83 + b bytes
{
    Nested(v, "obj", r.obj);
    v.Num("byt", r.byt);
    v.Num("typ", r.typ);
    Arr(v, "pos", r.pos);
    v.CountedBytes("bmp", r.bmp, r.byt);
}

template <class V, Rec<TQ6ObjectBitmapEx> R>
constexpr void Fields(V& v, R& r)  // 2018/91, 83 + b + x bytes
{
    Nested(v, "bm", r.bm);
    v.TailBytes("exdata", r.exdata);
}

template <class V, Rec<TQ6ObjectSymbol> R>
constexpr void Fields(V& v, R& r)  // 2020/20, 102 bytes
{
    Nested(v, "obj", r.obj);
    Nested(v, "pos", r.pos);
    v.Num("len", r.len);
    Nested(v, "o", r.o);
    Arr(v, "r", r.r);
    v.Num("elipang", r.elipang);
    v.Num("angle", r.angle);
    v.Num("style", r.style);
    v.Num("extype", r.extype);
    v.Num("exattr", r.exattr);
    Arr(v, "param", r.param);
}

// The group part: 63 fixed bytes, then the name and its zero byte; `after`
// bytes of the version's block follow the name.
template <class V, Rec<TQ6ObjectGroup> R>
constexpr void GroupFields(V& v, R& r, std::int32_t after, bool refuseShort)
{
    Nested(v, "obj", r.obj);
    Arr(v, "pos", r.pos);
    v.Num("cnt", r.cnt);
    v.VarText("gname", r.gname, after, refuseShort);
}

template <class V, Rec<TQ6ObjectGroup> R>
constexpr void Fields(V& v, R& r)  // 2032/20, 64 + L bytes
{
    GroupFields(v, r, 0, false);
}

template <class V, Rec<TQ6ObjectGroupDimension> R>
constexpr void Fields(V& v, R& r)  // 372 bytes
{
    Raw(v, "rc", r.rc);
    v.Num("angle", r.angle);
    Raw(v, "pos", r.pos);
    Raw(v, "ang", r.ang);
    v.Num("r", r.r);
    v.Num("funit", r.funit);
    v.Num("base", r.base);
    v.Num("bunit", r.bunit);
    v.Num("point", r.point);
    v.Num("strip", r.strip);
    v.Num("camma", r.camma);
    v.Num("jtype", r.jtype);
    Nested(v, "txtstl", r.txtstl);
    Nested(v, "epsstl", r.epsstl);
    Raw(v, "reserved", r.reserved);
}

template <class V, Rec<TQ6ObjectGroupDim> R>
constexpr void Fields(V& v, R& r)  // 2032/30, 436 + L bytes
{
    v.Nest("gr", [&] { GroupFields(v, r.gr, 372, true); });
    Nested(v, "dim", r.dim);
}

template <class V, Rec<TQ6ObjectGroupAnno> R>
constexpr void Fields(V& v, R& r)  // 282 bytes
{
    v.Num("align", r.align);
    v.Num("symb", r.symb);
    v.Num("camma", r.camma);
    v.Num("jtype", r.jtype);
    v.Num("line", r.line);
    v.Num("spce", r.spce);
    v.Num("angle", r.angle);
    Nested(v, "txtstl", r.txtstl);
    Nested(v, "epsstl", r.epsstl);
    Raw(v, "rc", r.rc);
    v.Num("rcang", r.rcang);
}

template <class V, Rec<TQ6ObjectGroupQle> R>
constexpr void Fields(V& v, R& r)  // 2032/40, 346 + L bytes
{
    v.Nest("gr", [&] { GroupFields(v, r.gr, 282, true); });
    Nested(v, "qle", r.qle);
}

template <class V, Rec<TQ6ObjectGroupBalloon> R>
constexpr void Fields(V& v, R& r)  // 160 bytes
{
    v.Num("aux", r.aux);
    v.Num("symb", r.symb);
    v.Num("angle", r.angle);
    Nested(v, "txtstl", r.txtstl);
    Raw(v, "rc", r.rc);
    v.Num("rcang", r.rcang);
}

template <class V, Rec<TQ6ObjectGroupBar> R>
constexpr void Fields(V& v, R& r)  // 2032/50, 224 + L bytes
{
    v.Nest("gr", [&] { GroupFields(v, r.gr, 160, true); });
    Nested(v, "bar", r.bar);
}

template <class V, class R>
constexpr void Nested(V& v, const char* name, R& r)
{
    v.Nest(name, [&] { Fields(v, r); });
}

// Nesting and arrays for visitors that only need the fields in file order.
struct PlainWalk {
    template <class F>
    constexpr void Nest(const char*, F&& f)
    {
        f();
    }
    template <class F>
    constexpr void Array(const char*, std::size_t n, F&& f)
    {
        for (std::size_t i = 0; i < n; ++i) f(i);
    }
};

// ---- sizes of the fixed records -------------------------------------------------

// Counts the bytes of a record without variable parts.
struct SizeCounter : PlainWalk {
    std::size_t n = 0;
    template <class T>
    constexpr void Num(const char*, const T&) { n += sizeof(T); }
    constexpr void Scale(const char*, const double&) { n += 8; }
    template <class S>
    constexpr void Text(const char*, const S&, std::int32_t width) { n += static_cast<std::size_t>(width); }
    constexpr void Bytes(const char*, const std::uint8_t*, std::size_t k) { n += k; }
};

template <class T>
constexpr std::size_t FixedSize()
{
    const T r{};
    SizeCounter c;
    Fields(c, r);
    return c.n;
}

}  // namespace q6layout
