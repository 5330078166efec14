// Writes a synthetic drawing of about the requested size through our own
// writer, deterministic from the seed.
//   make_drawing OUT.q6 SIZE_MB [--seed N] [--fixed | --typical | --small]
// The default mix holds every kind: texts in Japanese and ASCII, point lists
// of 2 to 200 points, images of 0 to 64 KiB (so that its megabytes carry few
// entities). --typical is what most of a real drawing is: lines, circles and
// arcs, polylines of 2 to 20 points, short Japanese and ASCII texts, some
// points, symbols and groups, an image of at most 16 KiB in 0.4 % of the
// entities; about 110 bytes an entity. Its coordinates have three decimals,
// one in four is a full-precision double (a computed intersection, say).
// --fixed writes only fixed-size entities (points, lines, circles, symbols);
// --small the same kinds, each within 10 units, scattered over the sheet.
// By count instead of size:
//   make_drawing OUT.q6 --points N            N points in rows of 1000
//   make_drawing OUT.q6 --mixed N [--seed N]  N random entities of every kind
//                                             (point lists up to 8, images up to 64 bytes)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Q6Unit/Q6Data.h"
#include "support/RandomDoc.h"

namespace {

struct Rng {
    std::uint64_t s;
    std::uint64_t Next()
    {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    double Coord() { return static_cast<double>(Below(4200000)) / 1000.0; }
    // Three decimals mostly; one in four with every digit of a double.
    double Typical() { return Below(4) ? Coord() : static_cast<double>(Below(4200000)) / 1000.0 + static_cast<double>(Below(1000000)) / 3e6; }
};

TQ6ObjectHeader Obj(Rng& r, int id) { return TQ6ObjectHeader{id, static_cast<std::uint8_t>(r.Below(8)), static_cast<std::uint16_t>(r.Below(0x10000)), static_cast<std::uint32_t>(r.Next())}; }

void Points(Rng& r, std::vector<TDPoint>& pos, std::int16_t& cnt)
{
    cnt = static_cast<std::int16_t>(2 + r.Below(199));
    pos.resize(static_cast<std::size_t>(cnt));
    for (auto& p : pos) p = TDPoint{r.Coord(), r.Coord()};
}

// A small entity of fixed size (point, short line, small circle or symbol)
// anywhere on the sheet; returns its approximate size on disk.
std::size_t AddSmall(TQ6Data& d, Rng& r, int id)
{
    const int pick = r.Below(4);
    const TDPoint at{r.Coord(), r.Coord()};
    auto near = [&] { return TDPoint{at.X + r.Below(10000) / 1000.0, at.Y + r.Below(10000) / 1000.0}; };
    if (pick == 0) { d.AddEntity(d.pt, d.ptN, 200120) = TQ6ObjectPoint{Obj(r, id), at}; return 35; }
    if (pick == 1) { d.AddEntity(d.ln, d.lnN, 200220) = TQ6ObjectLine{Obj(r, id), {at, near()}}; return 51; }
    if (pick == 2) { d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(r, id), at, r.Below(5000) / 1000.0, {0, 3.14159}}; return 59; }
    auto& s = d.AddEntity(d.sy, d.syN, 202020);
    s.obj = Obj(r, id);
    s.pos = at;
    s.len = r.Below(8000) / 1000.0;
    return 110;
}

// Adds one entity; returns its approximate size on disk.
std::size_t AddOne(TQ6Data& d, Rng& r, int id, bool fixedOnly, std::uint64_t& textState)
{
    const int pick = fixedOnly ? r.Below(4) * 25 : r.Below(100);
    if (fixedOnly) {
        if (pick < 25) { d.AddEntity(d.pt, d.ptN, 200120) = TQ6ObjectPoint{Obj(r, id), {r.Coord(), r.Coord()}}; return 35; }
        if (pick < 50) { d.AddEntity(d.ln, d.lnN, 200220) = TQ6ObjectLine{Obj(r, id), {TDPoint{r.Coord(), r.Coord()}, TDPoint{r.Coord(), r.Coord()}}}; return 51; }
        if (pick < 75) { d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(r, id), {r.Coord(), r.Coord()}, r.Coord(), {0, 3.14159}}; return 59; }
        auto& s = d.AddEntity(d.sy, d.syN, 202020);
        s.obj = Obj(r, id);
        s.pos = TDPoint{r.Coord(), r.Coord()};
        s.len = r.Coord();
        return 110;
    }
    if (pick < 22) { d.AddEntity(d.ln, d.lnN, 200220) = TQ6ObjectLine{Obj(r, id), {TDPoint{r.Coord(), r.Coord()}, TDPoint{r.Coord(), r.Coord()}}}; return 51; }
    if (pick < 25) { auto& l = d.AddEntity(d.lnx, d.lnxN, 200230); l.ln.obj = Obj(r, id); l.ln.pos[1] = TDPoint{r.Coord(), 1}; l.e.symb[114] = 7; return 313; }
    if (pick < 30) { d.AddEntity(d.pt, d.ptN, 200120) = TQ6ObjectPoint{Obj(r, id), {r.Coord(), r.Coord()}}; return 35; }
    if (pick < 38) { d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(r, id), {r.Coord(), r.Coord()}, r.Coord(), {0, 6.283}}; return 59; }
    if (pick < 39) { auto& c = d.AddEntity(d.crx, d.crxN, 200330); c.cr.obj = Obj(r, id); c.cr.r = 3; return 321; }
    if (pick < 41) { d.AddEntity(d.ep, d.epN, 200520) = TQ6ObjectEllipse{Obj(r, id), {r.Coord(), r.Coord()}, {3, 2}, {0, 1}, 0.5}; return 75; }
    if (pick < 42) { auto& e = d.AddEntity(d.epx, d.epxN, 200530); e.ep.obj = Obj(r, id); return 337; }
    if (pick < 55) {
        auto& t = d.AddEntity(d.tx, d.txN, 200720);
        t.obj = Obj(r, id);
        t.pos = TDPoint{r.Coord(), r.Coord()};
        t.text = RandomText(textState, 60);
        return 48 + t.text.size();
    }
    if (pick < 60) {
        auto& t = d.AddEntity(d.txx, d.txxN, 200730);
        t.tx.obj = Obj(r, id);
        t.tx.text = RandomText(textState, 60);
        t.ex.style = "標準";
        t.ex.font = "ＭＳ ゴシック";
        t.ex.hight = 3.5;
        return 158 + t.tx.text.size();
    }
    if (pick < 70) { auto& p = d.AddEntity(d.pl, d.plN, 200820); p.obj = Obj(r, id); Points(r, p.pos, p.cnt); return 22 + 16u * p.pos.size(); }
    if (pick < 72) { auto& p = d.AddEntity(d.plx, d.plxN, 200830); p.pl.obj = Obj(r, id); Points(r, p.pl.pos, p.pl.cnt); return 284 + 16u * p.pl.pos.size(); }
    if (pick < 74) { auto& p = d.AddEntity(d.bz, d.bzN, 201720); p.obj = Obj(r, id); Points(r, p.pos, p.cnt); return 22 + 16u * p.pos.size(); }
    if (pick < 75) { auto& p = d.AddEntity(d.bzx, d.bzxN, 201730); p.bz.obj = Obj(r, id); Points(r, p.bz.pos, p.bz.cnt); return 284 + 16u * p.bz.pos.size(); }
    if (pick < 80) { auto& p = d.AddEntity(d.pg, d.pgN, 200940); p.obj = Obj(r, id); Points(r, p.pos, p.cnt); return 25 + 16u * p.pos.size(); }
    if (pick < 81) { auto& p = d.AddEntity(d.pgg, d.pggN, 200950); p.pg.obj = Obj(r, id); Points(r, p.pg.pos, p.pg.cnt); p.e.col = {0xFF, 0xFF00}; return 81 + 16u * p.pg.pos.size(); }
    if (pick < 82) {
        auto& p = d.AddEntity(d.pgm, d.pgmN, 200960);
        p.pg.obj = Obj(r, id);
        Points(r, p.pg.pos, p.pg.cnt);
        p.e.bmp.resize(static_cast<std::size_t>(r.Below(65537)));
        for (std::size_t i = 0; i < p.e.bmp.size(); i += 64) p.e.bmp[i] = static_cast<std::uint8_t>(r.Next());
        return 1097 + 16u * p.pg.pos.size() + p.e.bmp.size();
    }
    if (pick < 83) {
        auto& b = d.AddEntity(d.bm, d.bmN, 201890);
        b.obj = Obj(r, id);
        b.byt = r.Below(65537);
        b.bmp.resize(static_cast<std::size_t>(b.byt));
        for (std::size_t i = 0; i < b.bmp.size(); i += 64) b.bmp[i] = static_cast<std::uint8_t>(r.Next());
        return 91 + b.bmp.size();
    }
    if (pick < 84) {
        auto& b = d.AddEntity(d.bmx, d.bmxN, 201891);
        b.bm.obj = Obj(r, id);
        b.bm.byt = r.Below(65537);
        b.bm.bmp.resize(static_cast<std::size_t>(b.bm.byt));
        b.exdata.resize(static_cast<std::size_t>(r.Below(256)));
        return 91 + b.bm.bmp.size() + b.exdata.size();
    }
    if (pick < 90) { auto& s = d.AddEntity(d.sy, d.syN, 202020); s.obj = Obj(r, id); s.pos = TDPoint{r.Coord(), r.Coord()}; return 110; }
    if (pick < 94) { auto& g = d.AddEntity(d.gr, d.grN, 203220); g.obj = Obj(r, id); g.cnt = r.Below(10); g.gname = RandomText(textState, 16); return 72 + g.gname.size(); }
    if (pick < 96) { auto& g = d.AddEntity(d.grdim, d.grdimN, 203230); g.gr.obj = Obj(r, id); g.dim.txtstl.style = "標準"; g.dim.epsstl.style = "標準"; return 444; }
    if (pick < 98) { auto& g = d.AddEntity(d.grqle, d.grqleN, 203240); g.gr.obj = Obj(r, id); g.gr.gname = "注記"; return 358; }
    auto& g = d.AddEntity(d.grbar, d.grbarN, 203250);
    g.gr.obj = Obj(r, id);
    g.bar.txtstl.style = "風船";
    return 236;
}

// One entity of the typical mix; returns its size on disk.
std::size_t AddTypical(TQ6Data& d, Rng& r, int id, std::uint64_t& textState)
{
    auto pt = [&r] { return TDPoint{r.Typical(), r.Typical()}; };
    const int pick = r.Below(1000);
    if (pick < 400) { d.AddEntity(d.ln, d.lnN, 200220) = TQ6ObjectLine{Obj(r, id), {pt(), pt()}}; return 51; }
    if (pick < 480) {  // whole circles
        d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(r, id), pt(), 0.5 + r.Below(20000) / 100.0, {0, 6.283185307179586}};
        return 59;
    }
    if (pick < 560) {  // arcs: angles in radians, full precision
        const double a0 = r.Below(36000) * 0.00017453292519943295;
        d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(r, id), pt(), 0.5 + r.Below(20000) / 100.0, {a0, a0 + 0.1 + r.Below(600) / 100.0}};
        return 59;
    }
    if (pick < 700) {
        auto& p = d.AddEntity(d.pl, d.plN, 200820);
        p.obj = Obj(r, id);
        p.cnt = static_cast<std::int16_t>(2 + r.Below(19));
        p.pos.resize(static_cast<std::size_t>(p.cnt));
        for (auto& q : p.pos) q = pt();
        return 22 + 16u * p.pos.size();
    }
    if (pick < 850) {
        auto& t = d.AddEntity(d.tx, d.txN, 200720);
        t.obj = Obj(r, id);
        t.pos = pt();
        t.angle = r.Below(4) ? 0 : 1.5707963267948966;
        t.text = RandomText(textState, 24);
        return 48 + t.text.size();
    }
    if (pick < 900) { d.AddEntity(d.pt, d.ptN, 200120) = TQ6ObjectPoint{Obj(r, id), pt()}; return 35; }
    if (pick < 950) {
        auto& s = d.AddEntity(d.sy, d.syN, 202020);
        s.obj = Obj(r, id);
        s.pos = pt();
        s.len = 1 + r.Below(10);
        s.r[0] = s.r[1] = 1;
        return 110;
    }
    if (pick < 996) {
        auto& g = d.AddEntity(d.gr, d.grN, 203220);
        g.obj = Obj(r, id);
        g.pos[0] = pt();
        g.pos[1] = pt();
        g.cnt = 2 + r.Below(30);
        g.gname = RandomText(textState, 12);
        return 72 + g.gname.size();
    }
    auto& b = d.AddEntity(d.bm, d.bmN, 201890);
    b.obj = Obj(r, id);
    b.byt = r.Below(16385);
    b.bmp.resize(static_cast<std::size_t>(b.byt));
    for (std::size_t i = 0; i < b.bmp.size(); i += 64) b.bmp[i] = static_cast<std::uint8_t>(r.Next());
    for (auto& q : b.pos) q = pt();
    return 91 + b.bmp.size();
}

// A drawing of n points, 1000 to a row half a unit apart, rows a quarter apart.
void AddPointRows(TQ6Data& d, std::size_t n)
{
    d.Title = "大きな図面";
    d.pt.SetLength(n);
    d.Ent.SetLength(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto& p = d.pt[i];
        p.obj.id = static_cast<std::int32_t>(i + 1);
        p.obj.cotype = 1;
        p.pos = TDPoint{static_cast<double>(i % 1000) * 0.5, static_cast<double>(i / 1000) * 0.25};
        d.Ent[i] = TQ6EntNo{200120, static_cast<std::int32_t>(i)};
    }
    d.ptN = static_cast<std::int32_t>(n);
    d.EntN = static_cast<std::int32_t>(n);
}

const char* const kUsage =
    "Usage: make_drawing OUT.q6 SIZE_MB [--seed N] [--fixed | --typical | --small]\n"
    "       make_drawing OUT.q6 --points N\n"
    "       make_drawing OUT.q6 --mixed N [--seed N]\n";

bool Save(const TQ6Data& d, const std::string& out, const char* size)
{
    if (!d.FileOut(out)) {
        std::fprintf(stderr, "make_drawing: cannot write %s\n", out.c_str());
        return false;
    }
    std::printf("%s: %d entities%s\n", out.c_str(), d.EntN, size);
    return true;
}

// --points N and --mixed N [--seed N].
int ByCount(int argc, char** argv)
{
    const std::string out = argv[1];
    const bool points = !std::strcmp(argv[2], "--points");
    char* end = nullptr;
    const long n = argc > 3 ? std::strtol(argv[3], &end, 10) : -1;
    std::uint64_t seed = 1;
    bool ok = argc > 3 && *argv[3] && !*end && n >= 0 && n <= 100'000'000;
    if (ok && argc == 6 && !points && !std::strcmp(argv[4], "--seed")) seed = std::strtoull(argv[5], nullptr, 10);
    else if (argc != 4) ok = false;
    if (!ok) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    TQ6Data d;
    if (points) {
        AddPointRows(d, static_cast<std::size_t>(n));
    } else {
        RandomDocOptions opt;
        opt.entities = static_cast<int>(n);
        opt.maxPoints = 8;
        opt.maxImage = 64;
        RandomDocument(d, seed, opt);
    }
    return Save(d, out, "") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!std::strcmp(argv[2], "--points") || !std::strcmp(argv[2], "--mixed")) return ByCount(argc, argv);
    const std::string out = argv[1];
    const double mb = std::atof(argv[2]);
    std::uint64_t seed = 1;
    bool fixedOnly = false;
    bool typical = false;
    bool small = false;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--fixed")) fixedOnly = true;
        else if (!std::strcmp(argv[i], "--typical")) typical = true;
        else if (!std::strcmp(argv[i], "--small")) small = true;
        else {
            std::fprintf(stderr, "make_drawing: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    TQ6Data d;
    d.Title = "ベンチマーク図面";
    d.txtstl[0].style = "標準";
    Rng r{seed};
    std::uint64_t textState = seed;
    const std::size_t target = static_cast<std::size_t>(mb * 1e6);
    std::size_t size = 107797;
    int id = 0;
    if (int(fixedOnly) + int(typical) + int(small) > 1) {
        std::fprintf(stderr, "make_drawing: --fixed, --typical and --small exclude each other\n");
        return 2;
    }
    while (size < target)
        size += small     ? AddSmall(d, r, ++id)
                : typical ? AddTypical(d, r, ++id, textState)
                          : AddOne(d, r, ++id, fixedOnly, textState);
    char about[48];
    std::snprintf(about, sizeof about, ", about %.1f MB", static_cast<double>(size) / 1e6);
    return Save(d, out, about) ? 0 : 1;
}
