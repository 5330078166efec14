#include "Unit1/Report.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <cstdint>
#include <vector>

#include "Func_/Func_.h"
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

template <class Emit>
void Settings(const TQ6Data& d, Lines<Emit>& o)
{
    (o << "図面タイトル：" << d.Title).End();

    (o << "■レイヤ情報").End();
    for (int g = 0; g < 16; ++g) {
        const auto& grp = d.li.grp[static_cast<std::size_t>(g)];
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

    (o << "■用紙サイズ").End();
    (o << "　タイプ:").dec(d.psz.typ).End();
    (o << "　向き　:").dec(d.psz.lout).End();
    o << "　サイズ: (";
    o.real(d.psz.size[0].X) << ",";
    o.real(d.psz.size[0].Y) << ") - (";
    o.real(d.psz.size[1].X) << ",";
    o.real(d.psz.size[1].Y) << ")";
    o.End();

    (o << "■アングル").End();
    (o << "　モード:").dec(d.ai.mode).End();
    ((o << "　角度　:").deg(d.ai.angle) << "°").End();

    (o << "■グリッド").End();
    ((o << "　グリッド原点:").real(d.gi.org.X) << ",").real(d.gi.org.Y).End();
    ((o << "　メイングリッド間隔:").real(d.gi.spc.X) << ",").real(d.gi.spc.Y).End();
    ((o << "　サブグリッド分割数:").dec(d.gi.dv.X) << ",").dec(d.gi.dv.Y).End();
    (o << "　表示モード:").dec(d.gi.disp).End();
    (o << "　メイングリッド　スナップ:").dec(d.gi.snapmain).End();
    (o << "　サブグリッド　　スナップ:").dec(d.gi.snapsub).End();
    (o << "　表示タイプ　 0方眼 1点　:").dec(d.gi.typ).End();
    (o << "　アングル連動 0なし 1有　:").dec(d.gi.angle).End();
    (o << "　原点指定　　 0なし 1有　:").dec(d.gi.ind).End();
    (o << "　図寸指定　　 0なし 1有　:").dec(d.gi.abs).End();
    (o << "　前面指定　　 0なし 1有　:").dec(d.gi.top).End();

    (o << "■文字スタイル").End();
    for (const auto& t : d.txtstl) TextStyleLine(o, t);

    (o << "■寸法スタイル").End();
    for (const auto& s : d.dimstl) {
        o << "　【" << s.style << "】No:";
        o.dec(s.txtstlno) << ",DL";
        o.real(s.dlen) << ",XL";
        o.real(s.xlen) << ",TL";
        o.real(s.tlen) << ",EL";
        o.real(s.elen).End();
    }

    (o << "■共通寸法スタイル").End();
    for (const auto& x : d.dimstlex) {
        o << "　";
        o.real(x.value) << " ";
        for (std::size_t i = 0; i < 7; ++i) {
            if (i) o << ",";
            o.dec(x.set[i]);
        }
        o.End();
    }

    (o << "■シンボルスタイル").End();
    ((o << "　").dec(d.symstl.current_pstl) << " , ").dec(d.symstl.current_astl).End();
    for (const auto& f : d.symstl.form) {
        o << "　";
        o.real(f.d1) << ",";
        o.real(f.d2) << ",Pen:";
        o.dec(f.pen).End();
    }

    (o << "■印刷スタイル").End();
    for (int i = 0; i < 16; ++i) {
        o << "　線幅[";
        o.dec(i) << "] ";
        o.cent(static_cast<double>(d.prnstl.width[static_cast<std::size_t>(i)])).End();
    }
    for (int i = 0; i < 16; ++i) {
        const auto& t = d.prnstl.ltype[static_cast<std::size_t>(i)];
        o << "　線種[";
        o.dec(i) << "] ";
        o.dec(t.typ) << " , ";
        o.dec(t.cnt) << "[";
        // At most the ten segments that the entry holds.
        const int n = std::min(t.cnt, 10);
        for (int j = 0; j < n; ++j) o.cent(static_cast<double>(t.seg[static_cast<std::size_t>(j)])) << " ";
        (o << "]").End();
    }

    (o << "■印刷情報").End();
    (o << "　位置指定:").dec(d.pri.ind).End();
    (o << "　基点    :").dec(d.pri.base).End();
    (o << "　印刷範囲:").dec(d.pri.area).End();
    ((o << "　基点座標:").real(d.pri.pos.X) << ",").real(d.pri.pos.Y).End();

    (o << "■カラーテーブル").End();
    for (std::size_t r = 0; r < 17; ++r) {
        o << "　";
        for (std::size_t c = 0; c < 16; ++c) o.hex(d.coltbl[r * 16 + c], 6) << " ";
        o.End();
    }

    (o << "■画面マーク情報").End();
    for (const auto& v : d.viewinfo) {
        o << "　【" << v.name << "】";
        o.real(v.zoom) << "倍 ";
        o.dec(v.ofset.X) << ",";
        o.dec(v.ofset.Y) << "C:";
        o.decCard(v.color) << "Pen";
        o.dec(v.penno) << "LT";
        o.dec(v.ltype).End();
    }
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

template <class Emit>
void BitmapLines(Lines<Emit>& o, const TQ6ObjectBitmap& b)
{
    Id(o, b.obj);
    o << " byte:";
    o.dec(b.byt) << " type:";
    o.dec(b.typ).End();
    for (int i = 0; i < 4; ++i) PointLine(o, i, b.pos[static_cast<std::size_t>(i)]);
    Dump(o, b.bmp, "  ", "  ");
}

template <class Emit>
void GroupLine(Lines<Emit>& o, const TQ6ObjectGroup& g)
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
// With `sections`, where each entry's section begins (-1: it shows nothing).
void MarkedEntities(const TQ6Data& d, Lines<Emit>& o, std::vector<std::int64_t>* sections)
{
    const std::size_t n = d.EntN > 0 ? std::min<std::size_t>(static_cast<std::size_t>(d.EntN), d.Ent.Length()) : 0;
    if (sections) sections->assign(n, -1);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t before = o.Count();
        const TQ6EntNo& en = d.Ent[k];
        // An entry must name an element of its kind's array; nothing else is shown.
        auto valid = [&](std::int32_t count) { return en.ENo >= 0 && en.ENo < count; };
        const auto i = static_cast<std::size_t>(en.ENo);
        switch (en.INo) {
        case 200120:
            if (!valid(d.ptN)) break;
            Header(o, "■点オブジェクト　識別番号：", en);
            Id(o, d.pt[i].obj);
            o << " (";
            Pt(o, d.pt[i].pos);
            (o << ")").End();
            break;
        case 200220:
            if (!valid(d.lnN)) break;
            Header(o, "■線オブジェクト　識別番号：", en);
            Id(o, d.ln[i].obj);
            LineTail(o, d.ln[i]);
            break;
        case 200230:
            if (!valid(d.lnxN)) break;
            Header(o, "■線EXオブジェクト　識別番号：", en);
            Id(o, d.lnx[i].ln.obj);
            LineTail(o, d.lnx[i].ln);
            Edge(o, d.lnx[i].e);
            break;
        case 200320:
            if (!valid(d.crN)) break;
            Header(o, "■円オブジェクト　識別番号：", en);
            Id(o, d.cr[i].obj);
            CircleTail(o, d.cr[i]);
            break;
        case 200330:
            if (!valid(d.crxN)) break;
            Header(o, "■円オブジェクト　識別番号：", en);
            Id(o, d.crx[i].cr.obj);
            CircleTail(o, d.crx[i].cr);
            Edge(o, d.crx[i].e);
            break;
        case 200520:
            if (!valid(d.epN)) break;
            Header(o, "■楕円オブジェクト　識別番号：", en);
            Id(o, d.ep[i].obj);
            EllipseTail(o, d.ep[i]);
            break;
        case 200530:
            if (!valid(d.epxN)) break;
            Header(o, "■楕円EXオブジェクト　識別番号：", en);
            Id(o, d.epx[i].ep.obj);
            EllipseTail(o, d.epx[i].ep);
            Edge(o, d.epx[i].e);
            break;
        case 200720:
            if (!valid(d.txN)) break;
            Header(o, "■文字オブジェクト　識別番号：", en);
            Id(o, d.tx[i].obj);
            TextTail(o, d.tx[i]);
            break;
        case 200730:
            if (!valid(d.txxN)) break;
            Header(o, "■文字EXオブジェクト　識別番号：", en);
            Id(o, d.txx[i].tx.obj);
            TextTail(o, d.txx[i].tx);
            TextStyleLine(o, d.txx[i].ex);
            break;
        case 201720:
            if (!valid(d.bzN)) break;
            Header(o, "■ベジェ曲線オブジェクト　識別番号：", en);
            Id(o, d.bz[i].obj);
            PathTail(o, d.bz[i]);
            PointLines(o, d.bz[i].cnt, d.bz[i].pos);
            break;
        case 201730:
            if (!valid(d.bzxN)) break;
            Header(o, "■ベジェ曲線EXオブジェクト　識別番号：", en);
            Id(o, d.bzx[i].bz.obj);
            PathTail(o, d.bzx[i].bz);
            PointLines(o, d.bzx[i].bz.cnt, d.bzx[i].bz.pos);
            Edge(o, d.bzx[i].e);
            break;
        case 200820:
            if (!valid(d.plN)) break;
            Header(o, "■ポリラインオブジェクト　識別番号：", en);
            Id(o, d.pl[i].obj);
            PathTail(o, d.pl[i]);
            PointLines(o, d.pl[i].cnt, d.pl[i].pos);
            break;
        case 200830:
            if (!valid(d.plxN)) break;
            Header(o, "■ポリラインEXオブジェクト　識別番号：", en);
            Id(o, d.plx[i].pl.obj);
            PathTail(o, d.plx[i].pl);
            PointLines(o, d.plx[i].pl.cnt, d.plx[i].pl.pos);
            Edge(o, d.plx[i].e);
            break;
        case 200940:
            if (!valid(d.pgN)) break;
            Header(o, "■ポリゴンオブジェクト　識別番号：", en);
            Id(o, d.pg[i].obj);
            PolygonTail(o, d.pg[i]);
            PointLines(o, d.pg[i].cnt, d.pg[i].pos);
            break;
        case 200950: {
            if (!valid(d.pggN)) break;
            const auto& g = d.pgg[i];
            Header(o, "■ポリゴンGRADオブジェクト　識別番号：", en);
            Id(o, g.pg.obj);
            PolygonTail(o, g.pg);
            PointLines(o, g.pg.cnt, g.pg.pos);
            o << "　Typ:";
            o.dec(g.e.typ) << " fc:";
            o.hex(g.e.col[0], 6) << " bc:";
            o.hex(g.e.col[1], 6) << " p0:";
            o.real(g.e.pos[0].X) << ",";
            o.real(g.e.pos[0].Y) << " p1:";
            o.real(g.e.pos[1].X) << ",";
            o.real(g.e.pos[1].Y).End();
            break;
        }
        case 200960: {
            if (!valid(d.pgmN)) break;
            const auto& m = d.pgm[i];
            Header(o, "■ポリゴンMAPPオブジェクト　識別番号：", en);
            Id(o, m.pg.obj);
            PolygonTail(o, m.pg);
            PointLines(o, m.pg.cnt, m.pg.pos);
            o << "　Size:";
            o.dec(m.e.size.X) << "×";
            o.dec(m.e.size.Y) << " Depth:";
            o.dec(m.e.depth) << "bit" << " p0:";
            o.real(m.e.pos[0].X) << ",";
            o.real(m.e.pos[0].Y) << " p1:";
            o.real(m.e.pos[1].X) << ",";
            o.real(m.e.pos[1].Y).End();
            Dump(o, m.e.bmp, "  ", "  ");
            break;
        }
        case 201890:
            if (!valid(d.bmN)) break;
            Header(o, "■画像オブジェクト　識別番号：", en);
            BitmapLines(o, d.bm[i]);
            break;
        case 201891:
            if (!valid(d.bmxN)) break;
            Header(o, "■画像EXオブジェクト　識別番号：", en);
            BitmapLines(o, d.bmx[i].bm);
            Dump(o, d.bmx[i].exdata, "  org:", "     ");
            break;
        case 202020: {
            if (!valid(d.syN)) break;
            const auto& s = d.sy[i];
            Header(o, "■シンボルオブジェクト　識別番号：", en);
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
            break;
        }
        case 203220:
            if (!valid(d.grN)) break;
            Header(o, "■グループオブジェクト　識別番号：", en);
            GroupLine(o, d.gr[i]);
            break;
        case 203230:
            if (!valid(d.grdimN)) break;
            Header(o, "■グループDIMオブジェクト　識別番号：", en);
            GroupLine(o, d.grdim[i].gr);
            TextStyleLine(o, d.grdim[i].dim.txtstl);
            TextStyleLine(o, d.grdim[i].dim.epsstl);
            break;
        case 203240:
            if (!valid(d.grqleN)) break;
            Header(o, "■グループQLEオブジェクト　識別番号：", en);
            GroupLine(o, d.grqle[i].gr);
            TextStyleLine(o, d.grqle[i].qle.txtstl);
            TextStyleLine(o, d.grqle[i].qle.epsstl);
            break;
        case 203250:
            if (!valid(d.grbarN)) break;
            Header(o, "■グループBARオブジェクト　識別番号：", en);
            GroupLine(o, d.grbar[i].gr);
            TextStyleLine(o, d.grbar[i].bar.txtstl);
            break;
        default: break;  // no kind has this number: nothing is written
        }
        if (sections && o.Count() != before) (*sections)[k] = static_cast<std::int64_t>(before);
    }

    (o << "----------").End();
    const std::pair<std::string_view, std::int32_t> counts[] = {
        {"点：", d.ptN},           {"線：", d.lnN},           {"線EX：", d.lnxN},
        {"円：", d.crN},           {"円EX：", d.crxN},        {"楕円：", d.epN},
        {"楕円EX：", d.epxN},      {"文字：", d.txN},         {"文字EX：", d.txxN},
        {"ベジェ：", d.bzN},       {"ベジェEX：", d.bzxN},    {"ポリライン：", d.plN},
        {"ポリラインEX：", d.plxN}, {"ポリゴン：", d.pgN},     {"ポリゴンGrad：", d.pggN},
        {"ポリゴンMapp：", d.pgmN}, {"画像：", d.bmN},         {"画像EX：", d.bmxN},
        {"シンボル：", d.syN},     {"グループ：", d.grN},     {"グループDIM：", d.grdimN},
        {"グループQLE：", d.grqleN}, {"グループBAR：", d.grbarN},
    };
    for (const auto& [label, count] : counts) (o << label).dec(count).End();
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
        } catch (const std::exception&) {
        }
    }
    StringEmit e;
    return Write(doc, e, out, Settings<StringEmit>, [sections](const TQ6Data& d, Lines<StringEmit>& o) {
        MarkedEntities(d, o, sections);
    });
}
