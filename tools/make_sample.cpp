// Writes the sample drawing that ships with the project: one entity of every
// kind, Japanese texts and names, and a few non-default settings.
//   make_sample OUT.q6
#include <cmath>
#include <cstdio>
#include <numbers>

#include "Q6Unit/Q6Data.h"

namespace {

TQ6ObjectHeader Obj(int id, std::uint32_t color) { return TQ6ObjectHeader{id, 1, 0x0010, color}; }

TQ6TextStyle Style(const char* name, const char* font, double h)
{
    TQ6TextStyle s;
    s.style = name;
    s.font = font;
    s.hight = h;
    s.width = h * 0.8;
    s.spce = 0.5;
    s.lfCharSet = 128;
    return s;
}

void Edge(TQ6ObjectEdge& e)
{
    e.symb[112] = 1;
    e.symb[113] = 3;
    e.symb[114] = 0xAB;
    e.symb[243] = 2;
    e.symb[244] = 4;
    e.symb[245] = 0x0C;
}

std::vector<TDPoint> Pts(std::initializer_list<TDPoint> l) { return std::vector<TDPoint>(l); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_sample OUT.q6\n");
        return 2;
    }
    TQ6Data d;
    const double pi = std::numbers::pi;
    d.Title = "サンプル図面 Q6";
    d.li.grp[0].text = "基本";
    d.li.grp[0].scale = 0.01;
    d.li.grp[0].tab[0].text = "外形線";
    d.li.grp[0].tab[1].text = "寸法線";
    d.li.grp[0].tab[2].text = "文字";
    d.li.grp[1].text = "詳細図";
    d.li.grp[1].scale = 0.05;
    d.ai.angle = pi / 2;
    d.gi.spc = TDPoint{10, 10};
    d.txtstl[0] = Style("標準", "ＭＳ ゴシック", 3.5);
    d.txtstl[1] = Style("見出し", "ＭＳ 明朝", 7);
    d.dimstl[0].style = "寸法標準";
    d.dimstl[0].dlen = 2;
    d.prnstl.width[1] = 25;
    d.prnstl.ltype[1] = TQ6LineType{3, 2, {150, 50}};
    d.coltbl[0] = 0xFF;
    d.coltbl[1] = 0x1234567;
    d.viewinfo[0].name = "全体";

    d.AddEntity(d.pt, d.ptN, 200120) = TQ6ObjectPoint{Obj(1, 0xFF0000), {10, 20.5}};
    d.AddEntity(d.ln, d.lnN, 200220) = TQ6ObjectLine{Obj(2, 0), {TDPoint{0, 0}, TDPoint{100, 50}}};
    auto& lx = d.AddEntity(d.lnx, d.lnxN, 200230);
    lx.ln = TQ6ObjectLine{Obj(3, 0x00FF00), {TDPoint{0, 10}, TDPoint{80, 10}}};
    Edge(lx.e);
    d.AddEntity(d.cr, d.crN, 200320) = TQ6ObjectCircle{Obj(4, 0x0000FF), {50, 50}, 25, {0, pi / 2}};
    auto& cx = d.AddEntity(d.crx, d.crxN, 200330);
    cx.cr = TQ6ObjectCircle{Obj(5, 0), {60, 60}, 5, {0, 2 * pi}};
    Edge(cx.e);
    d.AddEntity(d.ep, d.epN, 200520) = TQ6ObjectEllipse{Obj(6, 0), {30, 40}, {20, 10}, {0, pi}, 0.25};
    auto& ex = d.AddEntity(d.epx, d.epxN, 200530);
    ex.ep = TQ6ObjectEllipse{Obj(7, 0), {35, 45}, {12, 6}, {0, pi / 4}, 0};
    Edge(ex.e);
    auto& t = d.AddEntity(d.tx, d.txN, 200720);
    t.obj = Obj(8, 0);
    t.pos = TDPoint{5, 280};
    t.text = "図面タイトル：サンプル";
    auto& tx = d.AddEntity(d.txx, d.txxN, 200730);
    tx.tx.obj = Obj(9, 0);
    tx.tx.pos = TDPoint{5, 270};
    tx.tx.angle = pi / 6;
    tx.tx.text = "縮尺 1/100 ｶﾀｶﾅ";
    tx.ex = Style("見出し", "ＭＳ 明朝", 7);
    auto& bz = d.AddEntity(d.bz, d.bzN, 201720);
    bz.obj = Obj(10, 0);
    bz.pos = Pts({{0, 0}, {10, 20}, {30, 20}, {40, 0}});
    bz.cnt = 4;
    auto& bzx = d.AddEntity(d.bzx, d.bzxN, 201730);
    bzx.bz.obj = Obj(11, 0);
    bzx.bz.pos = Pts({{0, 5}, {40, 5}});
    bzx.bz.cnt = 2;
    Edge(bzx.e);
    auto& pl = d.AddEntity(d.pl, d.plN, 200820);
    pl.obj = Obj(12, 0);
    pl.pos = Pts({{0, 0}, {10, 0}, {10, 5.5}});
    pl.cnt = 3;
    auto& plx = d.AddEntity(d.plx, d.plxN, 200830);
    plx.pl.obj = Obj(13, 0);
    plx.pl.pos = Pts({{0, 0}, {5, 5}});
    plx.pl.cnt = 2;
    Edge(plx.e);
    auto& pg = d.AddEntity(d.pg, d.pgN, 200940);
    pg.obj = Obj(14, 0);
    pg.ptn = 1;
    pg.pos = Pts({{0, 0}, {20, 0}, {10, 15}});
    pg.cnt = 3;
    auto& pgg = d.AddEntity(d.pgg, d.pggN, 200950);
    pgg.pg.obj = Obj(15, 0);
    pgg.pg.pos = Pts({{0, 0}, {20, 0}, {20, 20}, {0, 20}});
    pgg.pg.cnt = 4;
    pgg.e = TQ6ObjectGrad{1, 0, {0xFF0000, 0x0000FF}, {TDPoint{0, 0}, TDPoint{20, 20}}, 0};
    auto& pgm = d.AddEntity(d.pgm, d.pgmN, 200960);
    pgm.pg.obj = Obj(16, 0);
    pgm.pg.pos = Pts({{0, 0}, {8, 0}, {8, 8}, {0, 8}});
    pgm.pg.cnt = 4;
    pgm.e.pos = {TDPoint{0, 0}, TDPoint{8, 8}};
    pgm.e.size = TPoint{4, 4};
    pgm.e.depth = 24;
    for (int i = 0; i < 48; ++i) pgm.e.bmp.push_back(static_cast<std::uint8_t>(i * 5));
    auto& bm = d.AddEntity(d.bm, d.bmN, 201890);
    bm.obj = Obj(17, 0);
    bm.byt = 40;
    bm.pos = {TDPoint{0, 0}, TDPoint{10, 0}, TDPoint{10, 10}, TDPoint{0, 10}};
    for (int i = 0; i < 40; ++i) bm.bmp.push_back(static_cast<std::uint8_t>(255 - i));
    auto& bmx = d.AddEntity(d.bmx, d.bmxN, 201891);
    bmx.bm.obj = Obj(18, 0);
    bmx.bm.byt = 20;
    bmx.bm.pos = bm.pos;
    for (int i = 0; i < 20; ++i) bmx.bm.bmp.push_back(static_cast<std::uint8_t>(i));
    for (int i = 0; i < 10; ++i) bmx.exdata.push_back(static_cast<std::uint8_t>(0xE0 + i));
    auto& sy = d.AddEntity(d.sy, d.syN, 202020);
    sy.obj = Obj(19, 0);
    sy.pos = TDPoint{70, 70};
    sy.len = 5;
    sy.angle = pi / 4;
    sy.exattr = 0x12;
    auto& gr = d.AddEntity(d.gr, d.grN, 203220);
    gr.obj = Obj(20, 0);
    gr.cnt = 3;
    gr.gname = "部品グループ";
    auto& gd = d.AddEntity(d.grdim, d.grdimN, 203230);
    gd.gr.obj = Obj(21, 0);
    gd.gr.gname = "寸法";
    gd.dim.txtstl = Style("標準", "ＭＳ ゴシック", 3.5);
    gd.dim.epsstl = Style("見出し", "ＭＳ 明朝", 7);
    auto& gq = d.AddEntity(d.grqle, d.grqleN, 203240);
    gq.gr.obj = Obj(22, 0);
    gq.gr.gname = "注記";
    gq.qle.txtstl = Style("標準", "ＭＳ ゴシック", 3.5);
    auto& gb = d.AddEntity(d.grbar, d.grbarN, 203250);
    gb.gr.obj = Obj(23, 0);
    gb.gr.gname = "バルーン";
    gb.bar.txtstl = Style("風船", "ＭＳ ゴシック", 2.5);

    if (!d.FileOut(argv[1])) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
