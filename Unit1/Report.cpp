#include "Unit1/Report.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <cstdint>
#include <string>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/DynArray.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Q6Data.h"

namespace {

// The divisor that turns stored radians into the degrees shown. It is not
// the double nearest to pi/180 (0x3F91DF46A2529D39): pi/2 shows as
// 90.0000000000001, as drawings have always been listed.
const double kDegree = std::bit_cast<double>(std::uint64_t{0x3F91DF46A2529D34});

// Writes the lines of the report straight into a text buffer, through a
// pointer: each piece makes sure of its room first, then is written without
// further checks. Emit decides what becomes of a line: kPerLine hands each
// line on its own to emit and reuses the buffer; otherwise lines stay in the
// buffer, each followed by "\n", and (kBlocks) go to emit in blocks of about
// 1 MiB that end at a line's end.
template <class Emit>
class Lines {
public:
    Lines(Emit& emit, std::string& buf) : emit_(emit), s_(buf), base_(buf.size())
    {
        Grow(256);
        line_ = p_;
    }

    Lines& operator<<(std::string_view s)
    {
        Need(s.size());
        std::memcpy(p_, s.data(), s.size());
        p_ += s.size();
        return *this;
    }
    Lines& operator<<(const std::string& s) { return *this << std::string_view(s); }
    // Literals: their length is known here, and so is the copy's.
    template <std::size_t N>
    Lines& operator<<(const char (&s)[N])
    {
        Need(N);
        std::memcpy(p_, s, N - 1);
        p_ += N - 1;
        return *this;
    }
    void End()
    {
        if constexpr (Emit::kPerLine) {
            emit_(std::string_view(line_, static_cast<std::size_t>(p_ - line_)));
            p_ = line_;
        } else {
            Need(1);
            *p_++ = '\n';
            ++lines_;
            if constexpr (Emit::kBlocks) {
                if (static_cast<std::size_t>(p_ - line_) >= kBlock) {
                    emit_(std::string_view(line_, static_cast<std::size_t>(p_ - line_)));
                    p_ = line_;
                }
            }
        }
    }
    // The buffer holds exactly what was written (kPerLine: nothing; kBlocks:
    // the last block, handed on).
    void Finish()
    {
        if constexpr (Emit::kBlocks) {
            if (p_ != line_) emit_(std::string_view(line_, static_cast<std::size_t>(p_ - line_)));
            p_ = line_;
        }
        s_.resize(static_cast<std::size_t>(Emit::kPerLine || Emit::kBlocks ? line_ - s_.data() : p_ - s_.data()));
    }
    std::size_t Count() const { return lines_; }

    Lines& dec(std::int64_t v)
    {
        Need(24);
        if (v >= 0 && v < 10) {  // most numbers of the report are small
            *p_++ = static_cast<char>('0' + v);
        } else if (v >= 10 && v < 100) {
            std::memcpy(p_, kPairs + 2 * v, 2);
            p_ += 2;
        } else {
            p_ = std::to_chars(p_, p_ + 24, v).ptr;
        }
        return *this;
    }
    // A Cardinal printed by dec shows as the signed value with the same bits.
    Lines& decCard(std::uint32_t v) { return dec(static_cast<std::int32_t>(v)); }
    Lines& real(double v)
    {
        Need(kFloatTextRoom);
        p_ = WriteFloat(p_, v);
        return *this;
    }
    Lines& deg(double v) { return real(v / kDegree); }
    Lines& cent(double x) { return real(x * 0.01); }
    Lines& hex(std::uint32_t v, int digits)
    {
        static constexpr char kHex[] = "0123456789ABCDEF";
        Need(16);
        const int own = v ? (35 - std::countl_zero(v)) / 4 : 1;  // the digits v needs
        const int n = std::max(own, digits);
        for (int i = n - 1; i >= 0; --i) {  // zeros in front, up to `digits`
            p_[i] = kHex[v & 0xF];
            v >>= 4;
        }
        p_ += n;
        return *this;
    }

private:
    static constexpr std::size_t kBlock = 1u << 20;
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";

    void Need(std::size_t n)
    {
        if (static_cast<std::size_t>(end_ - p_) < n) Grow(n);
    }
    // Makes room for n more bytes; the buffer grows by 1 MiB or more at a
    // time, and the string's own growth keeps the copies few.
    void Grow(std::size_t n)
    {
        const std::size_t used = p_ ? static_cast<std::size_t>(p_ - s_.data()) : base_;
        const std::size_t line = line_ ? static_cast<std::size_t>(line_ - s_.data()) : base_;
        s_.resize(used + n + (Emit::kPerLine ? 256 : kBlock));
        p_ = s_.data() + used;
        line_ = s_.data() + line;
        end_ = s_.data() + s_.size();
    }

    Emit& emit_;
    std::string& s_;
    std::size_t base_;
    char* p_ = nullptr;
    char* end_ = nullptr;
    char* line_ = nullptr;  // kPerLine: where the current line begins; kBlocks: where the block begins
    std::size_t lines_ = 0;
};

template <class Emit>
void TextStyleLine(Lines<Emit>& o, const TQ6TextStyle& t)
{
    o << "　【" << t.style << "】" << t.font << ",H";
    o.real(t.hight) << ",W";
    o.real(t.width) << ",S";
    o.real(t.spce).End();
}

// ---- settings -----------------------------------------------------------------
// One Record overload per settings record writes the lines below its section
// line; the title's Record ends the title line.

template <class Emit>
void Record(Lines<Emit>& o, const std::string& title)
{
    (o << title).End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6LayerInfo& li)
{
    for (int g = 0; g < 16; ++g) {
        const auto& grp = li.grp[static_cast<std::size_t>(g)];
        o << "[";
        o.hex(static_cast<std::uint32_t>(g), 1) << "] st:";
        o.dec(grp.state) << " sc:";
        o.real(grp.scale) << " " << grp.text;
        o.End();
        for (int l = 0; l < 17; ++l) {
            const auto& lay = grp.tab[static_cast<std::size_t>(l)];
            o << "　(";
            o.dec(l) << ") st:";
            o.dec(lay.state) << " " << lay.text;
            o.End();
        }
    }
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6PaperSize& psz)
{
    (o << "　タイプ:").dec(psz.typ).End();
    (o << "　向き　:").dec(psz.lout).End();
    o << "　サイズ: (";
    o.real(psz.size[0].X) << ",";
    o.real(psz.size[0].Y) << ") - (";
    o.real(psz.size[1].X) << ",";
    o.real(psz.size[1].Y) << ")";
    o.End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6AxisInfo& ai)
{
    (o << "　モード:").dec(ai.mode).End();
    ((o << "　角度　:").deg(ai.angle) << "°").End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6GridInfo& gi)
{
    ((o << "　グリッド原点:").real(gi.org.X) << ",").real(gi.org.Y).End();
    ((o << "　メイングリッド間隔:").real(gi.spc.X) << ",").real(gi.spc.Y).End();
    ((o << "　サブグリッド分割数:").dec(gi.dv.X) << ",").dec(gi.dv.Y).End();
    (o << "　表示モード:").dec(gi.disp).End();
    (o << "　メイングリッド　スナップ:").dec(gi.snapmain).End();
    (o << "　サブグリッド　　スナップ:").dec(gi.snapsub).End();
    (o << "　表示タイプ　 0方眼 1点　:").dec(gi.typ).End();
    (o << "　アングル連動 0なし 1有　:").dec(gi.angle).End();
    (o << "　原点指定　　 0なし 1有　:").dec(gi.ind).End();
    (o << "　図寸指定　　 0なし 1有　:").dec(gi.abs).End();
    (o << "　前面指定　　 0なし 1有　:").dec(gi.top).End();
}

template <class Emit, std::size_t N>
void Record(Lines<Emit>& o, const std::array<TQ6TextStyle, N>& styles)
{
    for (const auto& t : styles) TextStyleLine(o, t);
}

template <class Emit, std::size_t N>
void Record(Lines<Emit>& o, const std::array<TQ6DimStyle, N>& styles)
{
    for (const auto& s : styles) {
        o << "　【" << s.style << "】No:";
        o.dec(s.txtstlno) << ",DL";
        o.real(s.dlen) << ",XL";
        o.real(s.xlen) << ",TL";
        o.real(s.tlen) << ",EL";
        o.real(s.elen).End();
    }
}

template <class Emit, std::size_t N>
void Record(Lines<Emit>& o, const std::array<TQ6DimStyleEx, N>& styles)
{
    for (const auto& x : styles) {
        o << "　";
        o.real(x.value) << " ";
        for (std::size_t i = 0; i < 7; ++i) {
            if (i) o << ",";
            o.dec(x.set[i]);
        }
        o.End();
    }
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6SymbolStyle& symstl)
{
    ((o << "　").dec(symstl.current_pstl) << " , ").dec(symstl.current_astl).End();
    for (const auto& f : symstl.form) {
        o << "　";
        o.real(f.d1) << ",";
        o.real(f.d2) << ",Pen:";
        o.dec(f.pen).End();
    }
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6PrintStyle& prnstl)
{
    for (int i = 0; i < 16; ++i) {
        o << "　線幅[";
        o.dec(i) << "] ";
        o.cent(static_cast<double>(prnstl.width[static_cast<std::size_t>(i)])).End();
    }
    for (int i = 0; i < 16; ++i) {
        const auto& t = prnstl.ltype[static_cast<std::size_t>(i)];
        o << "　線種[";
        o.dec(i) << "] ";
        o.dec(t.typ) << " , ";
        o.dec(t.cnt) << "[";
        // At most the ten segments that the entry holds.
        const int n = std::min(t.cnt, 10);
        for (int j = 0; j < n; ++j) o.cent(static_cast<double>(t.seg[static_cast<std::size_t>(j)])) << " ";
        (o << "]").End();
    }
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6PrintInfo& pri)
{
    (o << "　位置指定:").dec(pri.ind).End();
    (o << "　基点    :").dec(pri.base).End();
    (o << "　印刷範囲:").dec(pri.area).End();
    ((o << "　基点座標:").real(pri.pos.X) << ",").real(pri.pos.Y).End();
}

template <class Emit, std::size_t N>
void Record(Lines<Emit>& o, const std::array<std::uint32_t, N>& coltbl)
{
    static_assert(N % 16 == 0, "the colour table shows 16 colours a line");
    for (std::size_t r = 0; r < N / 16; ++r) {
        o << "　";
        for (std::size_t c = 0; c < 16; ++c) o.hex(coltbl[r * 16 + c], 6) << " ";
        o.End();
    }
}

template <class Emit, std::size_t N>
void Record(Lines<Emit>& o, const std::array<TQ6ViewInfo, N>& marks)
{
    for (const auto& v : marks) {
        o << "　【" << v.name << "】";
        o.real(v.zoom) << "倍 ";
        o.dec(v.ofset.X) << ",";
        o.dec(v.ofset.Y) << "C:";
        o.decCard(v.color) << "Pen";
        o.dec(v.penno) << "LT";
        o.dec(v.ltype).End();
    }
}

// The settings records in file order, each under its section line: the
// title's line begins with its section and "：", every other record has a
// line "■" and its section of its own.
template <class Emit>
void Settings(const TQ6Data& d, Lines<Emit>& o)
{
    std::size_t k = 0;
    auto section = [&o, &k] {
        const q6kinds::ChunkKind& kind = q6kinds::kChunkKinds[k++];
        if (kind.policy == q6kinds::ReadPolicy::Text)
            o << kind.section << "：";
        else
            (o << "■" << kind.section).End();
    };
#define Q6_REPORT_SETTINGS(m, cid, cver, reader) \
    section();                                  \
    Record(o, d.m);
    Q6_SETTINGS_KINDS(Q6_REPORT_SETTINGS)
#undef Q6_REPORT_SETTINGS
}

// ---- entities -----------------------------------------------------------------

template <class Emit>
void Header(Lines<Emit>& o, std::string_view text, const TQ6EntNo& e)
{
    o << text;
    o.dec(e.INo) << " N:";
    o.dec(e.ENo).End();
}

// The ID line without its end: the kind's tail follows.
template <class Emit>
void Id(Lines<Emit>& o, const TQ6ObjectHeader& h)
{
    o << "　ID:";
    o.dec(h.id) << " co:";
    o.dec(h.cotype) << " wd:";
    o.hex(h.attr, 4) << " Col:";
    o.hex(h.color, 8);
}

template <class Emit>
void Pt(Lines<Emit>& o, const TDPoint& p)  // "(x , y)" without the parentheses
{
    o.real(p.X) << " , ";
    o.real(p.Y);
}

template <class Emit>
void Edge(Lines<Emit>& o, const TQ6ObjectEdge& e)
{
    o << "　St:";
    o.dec(e.symb[112]) << " ";
    o.dec(e.symb[113]) << " ";
    o.hex(e.symb[114], 4) << " En:";
    o.dec(e.symb[243]) << " ";
    o.dec(e.symb[244]) << " ";
    o.hex(e.symb[245], 4).End();
}

template <class Emit>
void PointLine(Lines<Emit>& o, int i, const TDPoint& p)
{
    o << "  (";
    o.dec(i) << ") ";
    o.real(p.X) << ",";
    o.real(p.Y).End();
}

template <class Emit>
void PointLines(Lines<Emit>& o, std::int16_t cnt, const std::vector<TDPoint>& pos)
{
    for (int i = 0; i < cnt; ++i)
        PointLine(o, i, static_cast<std::size_t>(i) < pos.size() ? pos[static_cast<std::size_t>(i)] : TDPoint{});
}

// The first 16 and the last 16 bytes of an array (fewer when it is shorter).
template <class Emit>
void Dump(Lines<Emit>& o, const std::vector<std::uint8_t>& b, std::string_view first, std::string_view second)
{
    const std::size_t n = b.size();
    o << first;
    for (std::size_t i = 0; i < std::min<std::size_t>(16, n); ++i) o.hex(b[i], 2) << " ";
    o.End();
    o << second;
    for (std::size_t i = n > 16 ? n - 16 : 0; i < n; ++i) o.hex(b[i], 2) << " ";
    o.End();
}

template <class Emit>
void LineTail(Lines<Emit>& o, const TQ6ObjectLine& l)
{
    o << " (";
    Pt(o, l.pos[0]);
    o << ") - (";
    Pt(o, l.pos[1]);
    (o << ")").End();
}

template <class Emit>
void CircleTail(Lines<Emit>& o, const TQ6ObjectCircle& c)
{
    o << " (";
    Pt(o, c.pos);
    o << ") R:";
    o.real(c.r) << "、";
    o.deg(c.arc[0]) << " , ";
    o.deg(c.arc[1]).End();
}

template <class Emit>
void EllipseTail(Lines<Emit>& o, const TQ6ObjectEllipse& e)
{
    o << " (";
    Pt(o, e.pos);
    o << ") RX:";
    o.real(e.r[0]) << " RY:";
    o.real(e.r[1]) << "、";
    o.deg(e.arc[0]) << " , ";
    o.deg(e.arc[1]).End();
}

template <class Emit>
void TextTail(Lines<Emit>& o, const TQ6ObjectText& t)
{
    o << " (";
    Pt(o, t.pos);
    o << ") A:";
    o.deg(t.angle) << "、";
    o.dec(t.style) << " ";
    o.dec(t.base) << " ";
    o.dec(t.lout) << "■" << t.text;
    o.End();
}

template <class Emit>
void PathTail(Lines<Emit>& o, const TQ6ObjectBezier& b)
{
    o << " tp:";
    o.dec(b.typ) << " Vt:";
    o.dec(b.cnt).End();
}

template <class Emit>
void PolygonTail(Lines<Emit>& o, const TQ6ObjectPolygon& p)
{
    o << " pt:";
    o.dec(p.ptn) << " Vt:";
    o.dec(p.cnt).End();
}

// One Record overload per entity record writes its lines below the header
// line; a Bezier curve and a polyline share a record type and its lines.

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectPoint& p)
{
    Id(o, p.obj);
    o << " (";
    Pt(o, p.pos);
    (o << ")").End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectLine& l)
{
    Id(o, l.obj);
    LineTail(o, l);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectLineEx& l)
{
    Record(o, l.ln);
    Edge(o, l.e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectCircle& c)
{
    Id(o, c.obj);
    CircleTail(o, c);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectCircleEx& c)
{
    Record(o, c.cr);
    Edge(o, c.e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectEllipse& e)
{
    Id(o, e.obj);
    EllipseTail(o, e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectEllipseEx& e)
{
    Record(o, e.ep);
    Edge(o, e.e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectText& t)
{
    Id(o, t.obj);
    TextTail(o, t);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectTextEx& t)
{
    Record(o, t.tx);
    TextStyleLine(o, t.ex);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectBezier& b)
{
    Id(o, b.obj);
    PathTail(o, b);
    PointLines(o, b.cnt, b.pos);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectBezierEx& b)
{
    Record(o, b.bz);
    Edge(o, b.e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectPolylineEx& p)
{
    Record(o, p.pl);
    Edge(o, p.e);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectPolygon& p)
{
    Id(o, p.obj);
    PolygonTail(o, p);
    PointLines(o, p.cnt, p.pos);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectPolygonGrad& g)
{
    Record(o, g.pg);
    o << "　Typ:";
    o.dec(g.e.typ) << " fc:";
    o.hex(g.e.col[0], 6) << " bc:";
    o.hex(g.e.col[1], 6) << " p0:";
    o.real(g.e.pos[0].X) << ",";
    o.real(g.e.pos[0].Y) << " p1:";
    o.real(g.e.pos[1].X) << ",";
    o.real(g.e.pos[1].Y).End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectPolygonMapping& m)
{
    Record(o, m.pg);
    o << "　Size:";
    o.dec(m.e.size.X) << "×";
    o.dec(m.e.size.Y) << " Depth:";
    o.dec(m.e.depth) << "bit" << " p0:";
    o.real(m.e.pos[0].X) << ",";
    o.real(m.e.pos[0].Y) << " p1:";
    o.real(m.e.pos[1].X) << ",";
    o.real(m.e.pos[1].Y).End();
    Dump(o, m.e.bmp, "  ", "  ");
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectBitmap& b)
{
    Id(o, b.obj);
    o << " byte:";
    o.dec(b.byt) << " type:";
    o.dec(b.typ).End();
    for (int i = 0; i < 4; ++i) PointLine(o, i, b.pos[static_cast<std::size_t>(i)]);
    Dump(o, b.bmp, "  ", "  ");
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectBitmapEx& b)
{
    Record(o, b.bm);
    Dump(o, b.exdata, "  org:", "     ");
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectSymbol& s)
{
    Id(o, s.obj);
    o << " (";
    Pt(o, s.pos);
    o << ") len:";
    o.real(s.len) << " o:(";
    Pt(o, s.o);
    o << ") r0:";
    o.real(s.r[0]) << " r1:";
    o.real(s.r[1]) << " ea:";
    o.deg(s.elipang) << " a:";
    o.deg(s.angle) << " St:";
    o.dec(s.style) << " ";
    o.dec(s.extype) << " ";
    o.hex(s.exattr, 4) << " p0:";
    o.real(s.param[0]) << " p1:";
    o.real(s.param[1]).End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectGroup& g)
{
    Id(o, g.obj);
    for (const auto& p : g.pos) {
        o << " (";
        Pt(o, p);
        o << ")";
    }
    o << " cnt:";
    o.dec(g.cnt) << "■" << g.gname;
    o.End();
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectGroupDim& g)
{
    Record(o, g.gr);
    TextStyleLine(o, g.dim.txtstl);
    TextStyleLine(o, g.dim.epsstl);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectGroupQle& g)
{
    Record(o, g.gr);
    TextStyleLine(o, g.qle.txtstl);
    TextStyleLine(o, g.qle.epsstl);
}

template <class Emit>
void Record(Lines<Emit>& o, const TQ6ObjectGroupBar& g)
{
    Record(o, g.gr);
    TextStyleLine(o, g.bar.txtstl);
}

// Each entity kind's header text, "■" and its section and "　識別番号：", in
// the order of the entity kinds.
const std::array<std::string, q6kinds::kEntityKindCount>& EntityHeaders()
{
    static const std::array<std::string, q6kinds::kEntityKindCount> headers = [] {
        std::array<std::string, q6kinds::kEntityKindCount> h;
        for (std::size_t i = 0; i < h.size(); ++i)
            h[i] = "■" + std::string(q6kinds::kChunkKinds[q6kinds::kSettingsKindCount + i].section) + "　識別番号：";
        return h;
    }();
    return headers;
}

template <class Emit>
// With `sections`, where each entry's section begins (-1: it shows nothing).
void MarkedEntities(const TQ6Data& d, Lines<Emit>& o, std::vector<std::int64_t>* sections)
{
    const auto& headers = EntityHeaders();
    const std::size_t n = d.EntN > 0 ? std::min<std::size_t>(static_cast<std::size_t>(d.EntN), d.Ent.Length()) : 0;
    if (sections) sections->assign(n, -1);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t before = o.Count();
        const TQ6EntNo& en = d.Ent[k];
        // An entry must name an element of its kind's array; nothing else is shown.
        const auto i = static_cast<std::size_t>(en.ENo);
        switch (en.INo) {
#define Q6_REPORT_ENTITY(a, T, cid, cver, reader)                                              \
    case (cid) * 100 + (cver): {                                                               \
        if (en.ENo < 0 || en.ENo >= d.a##N) break;                                             \
        static constexpr std::size_t kKind = q6kinds::EntityKindIndex(cid, cver);              \
        static_assert(kKind < q6kinds::kEntityKindCount);                                      \
        Header(o, headers[kKind], en);                                                         \
        Record(o, d.a[i]);                                                                     \
        break;                                                                                 \
    }
            Q6_ENTITY_KINDS(Q6_REPORT_ENTITY)
#undef Q6_REPORT_ENTITY
        default: break;  // no kind has this number: nothing is written
        }
        if (sections && o.Count() != before) (*sections)[k] = static_cast<std::int64_t>(before);
    }

    // The count of each kind's records, in the order of the kinds.
    (o << "----------").End();
    std::size_t kind = 0;
#define Q6_REPORT_COUNT(a, T, cid, cver, reader) \
    (o << q6kinds::kEntityRows[kind++].tally).dec(d.a##N).End();
    Q6_ENTITY_KINDS(Q6_REPORT_COUNT)
#undef Q6_REPORT_COUNT
}

template <class Emit>
void Entities(const TQ6Data& d, Lines<Emit>& o)
{
    MarkedEntities(d, o, nullptr);
}

struct SinkEmit {
    static constexpr bool kPerLine = true;
    static constexpr bool kBlocks = false;
    const LineSink& sink;
    void operator()(std::string_view l) const { sink(l); }
};

struct StringEmit {
    static constexpr bool kPerLine = false;
    static constexpr bool kBlocks = false;
    void operator()(std::string_view) const {}
};

struct BlockEmit {
    static constexpr bool kPerLine = false;
    static constexpr bool kBlocks = true;
    const TextSink& sink;
    void operator()(std::string_view b) const { sink(b); }
};

template <class Emit, class... Parts>
std::size_t Write(const TQ6Data& doc, Emit& e, std::string& buf, Parts... parts)
{
    Lines<Emit> o(e, buf);
    (parts(doc, o), ...);
    o.Finish();
    return o.Count();
}

}  // namespace

void WriteSettingsReport(const TQ6Data& doc, const LineSink& sink)
{
    SinkEmit e{sink};
    std::string buf;
    Write(doc, e, buf, Settings<SinkEmit>);
}

void WriteEntityReport(const TQ6Data& doc, const LineSink& sink)
{
    SinkEmit e{sink};
    std::string buf;
    Write(doc, e, buf, Entities<SinkEmit>);
}

void WriteReport(const TQ6Data& doc, const LineSink& sink)
{
    SinkEmit e{sink};
    std::string buf;
    Write(doc, e, buf, Settings<SinkEmit>, Entities<SinkEmit>);
}

std::size_t WriteReportText(const TQ6Data& doc, const TextSink& sink)
{
    BlockEmit e{sink};
    std::string buf;
    return Write(doc, e, buf, Settings<BlockEmit>, Entities<BlockEmit>);
}

std::size_t AppendReport(const TQ6Data& doc, std::string& out, std::vector<std::int64_t>* sections)
{
    // Room for the whole report at once, as far as a typical drawing goes
    // (about 190 bytes of text an entity): a string that doubles as it grows
    // copies itself and touches twice the memory. Room that stays unused is
    // never touched, so it takes no memory; where it cannot be had, the
    // string grows as it must.
    if (doc.EntN > 0) {
        try {
            out.reserve(out.size() + (64u << 10) + std::min<std::size_t>(static_cast<std::size_t>(doc.EntN), 1u << 24) * 224);
            // The room is fresh memory, filled page by page: in huge pages
            // where the system gives them, a fault each 2 MiB, not each 4 KiB.
            q6mem::AdviseHuge(out.data() + out.size(), out.capacity() - out.size());
        } catch (const std::exception&) {
        }
    }
    StringEmit e;
    return Write(doc, e, out, Settings<StringEmit>, [sections](const TQ6Data& d, Lines<StringEmit>& o) {
        MarkedEntities(d, o, sections);
    });
}
