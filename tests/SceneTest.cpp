// The scene: how each kind is interpreted, classified and counted, the
// declared assumptions, and extents and views that stay usable on any values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "DrawFixtures.h"
#include "Q6Draw/Scene.h"
#include "Q6Unit/Q6Data.h"

namespace {

using namespace q6draw;
using tb::Buf;
using tb::Cat;

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TQ6Data Load(const Buf& entities, const Buf& settings = {})
{
    TQ6Data d;
    const Buf bytes = Cat({tb::Title("t"), settings, entities});
    EXPECT_TRUE(d.MemIn(tb::Span(bytes)));
    return d;
}

Scene Make(const Buf& entities, const Assumptions& a = {}, const Buf& settings = {})
{
    return Scene::Build(Load(entities, settings), a);
}

Assumptions With(std::initializer_list<const char*> kvs)
{
    Assumptions a;
    for (const char* kv : kvs) EXPECT_EQ(a.Set(kv), "") << kv;
    return a;
}

TEST(Scene, EachKindIsClassifiedWithItsReason)
{
    struct Case {
        const char* what;
        Buf chunk;
        Kind kind;
        Status status;
        Reason reason;
        PrimType prim;  // of the first primitive, when not skipped
    };
    const Case cases[] = {
        {"point", tb::Point(1, 2, 3), Kind::pt, Status::Drawn, Reason::None, PrimType::Marker},
        {"line", df::Line(0, 0, 1, 1), Kind::ln, Status::Drawn, Reason::None, PrimType::Polyline},
        {"circle", df::Circle(0, 0, 1, 0, 0), Kind::cr, Status::Drawn, Reason::None, PrimType::Arc},
        {"ellipse", df::Ellipse(0, 0, 2, 1, 0, 0, 0), Kind::ep, Status::Drawn, Reason::None, PrimType::Arc},
        {"turned ellipse", df::Ellipse(0, 0, 2, 1, 0, 0, 0.5), Kind::ep, Status::Approximated,
         Reason::EllipseAngleUnused, PrimType::Arc},
        {"text, table style without height", df::Text(0, 0, 0, 0, "A"), Kind::tx, Status::Approximated,
         Reason::TextHeightDefault, PrimType::Text},
        {"text with style", df::TextEx(0, 0, 0, 5, "A"), Kind::txx, Status::Drawn, Reason::None, PrimType::Text},
        {"text with style of height 0", df::TextEx(0, 0, 0, 0, "A"), Kind::txx, Status::Approximated,
         Reason::TextHeightDefault, PrimType::Text},
        {"cubic Bezier", df::Bezier({{0, 0}, {1, 1}, {2, 1}, {3, 0}}), Kind::bz, Status::Drawn, Reason::None,
         PrimType::Bezier},
        {"Bezier of 5 points", df::Bezier({{0, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 4}}), Kind::bz,
         Status::Approximated, Reason::BezierControlPolygon, PrimType::Polyline},
        {"polyline", df::Polyline({{0, 0}, {1, 1}, {2, 0}}), Kind::pl, Status::Drawn, Reason::None,
         PrimType::Polyline},
        {"polygon", df::Polygon({{0, 0}, {1, 1}, {2, 0}}), Kind::pg, Status::Drawn, Reason::None, PrimType::Polyline},
        {"bitmap", df::Bitmap({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), Kind::bm, Status::Approximated,
         Reason::BitmapPlaceholder, PrimType::Image},
        {"group", df::Group(), Kind::gr, Status::Skipped, Reason::GroupNoMembers, PrimType::Polyline},
        {"line with NaN", df::Line(0, kNaN, 1, 1), Kind::ln, Status::Skipped, Reason::NotFinite, PrimType::Polyline},
        {"circle of infinite radius", df::Circle(0, 0, kInf, 0, 0), Kind::cr, Status::Skipped, Reason::NotFinite,
         PrimType::Arc},
        {"circle of negative radius", df::Circle(0, 0, -1, 0, 0), Kind::cr, Status::Skipped,
         Reason::NegativeRadius, PrimType::Arc},
        {"ellipse with NaN angle", df::Ellipse(0, 0, 1, 1, 0, 0, kNaN), Kind::ep, Status::Skipped,
         Reason::NotFinite, PrimType::Arc},
        {"text at infinity", df::Text(kInf, 0, 0, 0, "A"), Kind::tx, Status::Skipped, Reason::NotFinite,
         PrimType::Text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Scene s = Make(c.chunk);
        ASSERT_EQ(s.Items().size(), 1u);
        const Item& it = s.Items()[0];
        EXPECT_EQ(it.kind, c.kind);
        EXPECT_EQ(it.status, c.status);
        EXPECT_EQ(it.reason, c.reason);
        EXPECT_EQ(it.ENo, 0);
        if (c.status == Status::Skipped) {
            EXPECT_EQ(it.primCount, 0u);
            EXPECT_TRUE(s.Extent().empty);
        } else {
            ASSERT_GE(it.primCount, 1u);
            EXPECT_EQ(s.Prims(it)[0].type, c.prim);
            EXPECT_FALSE(s.Extent().empty);
        }
        EXPECT_EQ(s.Count(c.status), 1u);
        EXPECT_EQ(s.Count(c.kind, c.status, c.reason), 1u);
    }
}

TEST(Scene, ItemsFollowTheIndexAndTheCountsAddUp)
{
    const Scene s = Make(Cat({df::Line(0, 0, 1, 1), tb::Point(1, 5, 5), df::Line(2, 2, 3, 3), df::Group(),
                              df::Line(kNaN, 0, 0, 0), df::Bezier({{0, 0}, {1, 1}})}));
    ASSERT_EQ(s.Items().size(), 6u);
    const std::pair<std::int32_t, std::int32_t> want[] = {{200220, 0}, {200120, 0}, {200220, 1},
                                                          {203220, 0}, {200220, 2}, {201720, 0}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(s.Items()[i].INo, want[i].first) << i;
        EXPECT_EQ(s.Items()[i].ENo, want[i].second) << i;
    }
    const auto line2 = s.Points(s.Prims(s.Items()[2])[0]);
    ASSERT_EQ(line2.size(), 2u);
    EXPECT_EQ(line2[0], (TDPoint{2, 2}));
    EXPECT_EQ(line2[1], (TDPoint{3, 3}));
    EXPECT_EQ(s.SummaryLine(), "drawn 3, approximated 1, skipped 2");
    const auto lines = s.SummaryLines();
    const std::vector<std::string> expect = {
        "drawn 3, approximated 1, skipped 2",
        "point: drawn 1",
        "line: drawn 2",
        "line: skipped 1 (a NaN or infinite value)",
        "Bezier curve: approximated 1 (not a cubic point count: drawn as its control polygon)",
        "group: skipped 1 (groups store no member list and no shape)",
    };
    EXPECT_EQ(lines, expect);
}

TEST(Scene, IndexEntriesThatNameNoEntityAreSkipped)
{
    TQ6Data d;
    auto& ln = d.AddEntity(d.ln, d.lnN, 200220);
    ln.pos = {TDPoint{0, 0}, TDPoint{1, 1}};
    d.Ent.AppendAt(d.EntN) = TQ6EntNo{200220, 5};   // past the array
    d.Ent.AppendAt(d.EntN) = TQ6EntNo{999999, 0};   // no such kind
    d.Ent.AppendAt(d.EntN) = TQ6EntNo{200220, -1};  // negative
    const Scene s = Scene::Build(d);
    ASSERT_EQ(s.Items().size(), 4u);
    EXPECT_EQ(s.Items()[0].status, Status::Drawn);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(s.Items()[i].status, Status::Skipped);
        EXPECT_EQ(s.Items()[i].reason, Reason::NoEntity);
    }
    EXPECT_EQ(s.Items()[2].kind, Kind::Invalid);
    EXPECT_EQ(s.SummaryLine(), "drawn 1, approximated 0, skipped 3");
}

// The middle of the arc as drawn, from its stored form.
TDPoint Middle(const Arc& a) { return a.At(a.start + a.sweep / 2); }

TEST(Scene, ArcsRunFromTheFirstAngleToTheSecondInTheAssumedDirection)
{
    struct Case {
        const char* what;
        double a0, a1;
        Assumptions a;
        bool full;
        double midX, midY;  // of a unit circle about the origin
    };
    const double h = std::sqrt(0.5);
    const Case cases[] = {
        {"quarter, counter-clockwise", 0, kPi / 2, {}, false, h, h},
        {"from 90 to 0 degrees goes the long way", kPi / 2, 0, {}, false, -h, -h},
        {"equal angles", 1, 1, {}, true, 0, 0},
        {"a whole turn apart", 0.5, 0.5 + 2 * kPi, {}, true, 0, 0},
        {"two whole turns apart", -1, -1 + 4 * kPi, {}, true, 0, 0},
        {"clockwise", 0, kPi / 2, With({"direction=cw"}), false, h, -h},
        {"degrees", 0, 90, With({"angles=degrees"}), false, h, h},
        {"degrees, a whole turn", 10, 370, With({"angles=degrees"}), true, 0, 0},
        {"clockwise degrees", 90, 180, With({"angles=degrees", "direction=cw"}), false, -h, -h},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Scene s = Make(df::Circle(0, 0, 1, c.a0, c.a1), c.a);
        ASSERT_EQ(s.Items()[0].primCount, 1u);
        const Arc arc = s.ArcOf(s.Prims(s.Items()[0])[0]);
        EXPECT_EQ(arc.Full(), c.full);
        if (!c.full) {
            const TDPoint m = Middle(arc);
            EXPECT_NEAR(m.X, c.midX, 1e-12);
            EXPECT_NEAR(m.Y, c.midY, 1e-12);
        }
    }
}

TEST(Scene, EllipsesAreAxisAlignedUnlessTurnedByAssumption)
{
    const Buf e = df::Ellipse(10, 20, 4, 2, 0, 0, kPi / 2);
    const Scene plain = Make(e);
    const Box b = plain.Extent();
    EXPECT_NEAR(b.x0, 6, 1e-12);
    EXPECT_NEAR(b.x1, 14, 1e-12);
    EXPECT_NEAR(b.y0, 18, 1e-12);
    EXPECT_NEAR(b.y1, 22, 1e-12);
    const Scene turned = Make(e, With({"ellipse-angle=rotate"}));
    EXPECT_EQ(turned.Items()[0].status, Status::Drawn);
    const Box t = turned.Extent();
    EXPECT_NEAR(t.x0, 8, 1e-9);
    EXPECT_NEAR(t.x1, 12, 1e-9);
    EXPECT_NEAR(t.y0, 16, 1e-9);
    EXPECT_NEAR(t.y1, 24, 1e-9);
    // the extent of an arc is that of its part only: the upper half
    const Scene half = Make(df::Ellipse(0, 0, 4, 2, 0, kPi, 0));
    EXPECT_NEAR(half.Extent().y0, 0, 1e-12);
    EXPECT_NEAR(half.Extent().y1, 2, 1e-12);
    EXPECT_NEAR(half.Extent().x0, -4, 1e-12);
    EXPECT_NEAR(half.Extent().x1, 4, 1e-12);
}

TEST(Scene, TextHeightsSayWhereTheyCameFrom)
{
    const Buf styles = df::TextStyles(7);
    struct Case {
        const char* what;
        Buf chunk;
        Assumptions a;
        double height;
        Reason reason;
    };
    const Case cases[] = {
        {"own style", df::TextEx(0, 0, 0, 5, "A"), {}, 5, Reason::None},
        {"the table's style", df::Text(0, 0, 0, 3, "A"), {}, 7, Reason::TextHeightFromStyle},
        {"style number past the table", df::Text(0, 0, 0, 200, "A"), {}, 2.5, Reason::TextHeightDefault},
        {"assumed height", df::Text(0, 0, 0, 3, "A"), With({"text-height=4"}), 4, Reason::TextHeightAssumed},
        {"assumed default", df::Text(0, 0, 0, 200, "A"), With({"default-text-height=9"}), 9,
         Reason::TextHeightDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Scene s = Make(c.chunk, c.a, styles);
        const TextRun t = s.TextOf(s.Prims(s.Items()[0])[0]);
        EXPECT_EQ(t.height, c.height);
        EXPECT_EQ(s.Items()[0].reason, c.reason);
        EXPECT_EQ(t.text, "A");
    }
    // the UTF-8 text of Shift-JIS bytes, and the angle as stored
    const Scene j = Make(df::TextEx(1, 2, 0.25, 5, "\x90\x7D\x96\xCA"));
    const TextRun t = j.TextOf(j.Prims(j.Items()[0])[0]);
    EXPECT_EQ(t.text, "図面");
    EXPECT_EQ(t.pos, (TDPoint{1, 2}));
    EXPECT_EQ(t.angle, 0.25);
}

TEST(Scene, ColourIsBlackUnlessAnEncodingIsAssumed)
{
    const Buf l = df::Line(0, 0, 1, 1, 0x00112233);
    EXPECT_EQ(Make(l).Items()[0].rgb, 0u);
    EXPECT_EQ(Make(l, With({"colour=rgb"})).Items()[0].rgb, 0x112233u);
    EXPECT_EQ(Make(l, With({"colour=bgr"})).Items()[0].rgb, 0x332211u);
}

TEST(Scene, AssumptionsRefuseUnknownKeysAndValues)
{
    Assumptions a;
    EXPECT_NE(a.Set("colour"), "");
    EXPECT_NE(a.Set("color=bgr"), "");
    EXPECT_NE(a.Set("colour=cmyk"), "");
    EXPECT_NE(a.Set("text-height=-1"), "");
    EXPECT_NE(a.Set("text-height=nan"), "");
    EXPECT_NE(a.Set("text-height=1x"), "");
    EXPECT_NE(a.Set("point-size=inf"), "");
    EXPECT_NE(a.Set("=up"), "");
    EXPECT_EQ(a.Set("y=down"), "");
    EXPECT_EQ(a.y, Assumptions::YAxis::Down);
    EXPECT_EQ(a.Set("text-height=1.5"), "");
    EXPECT_EQ(a.Value("text-height"), "1.5");
    // every key is described, with its value, and a changed one says so
    const auto lines = a.Describe();
    for (const auto& k : Assumptions::Keys()) {
        const auto hit = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.rfind(std::string(k.key) + "=", 0) == 0;
        });
        ASSERT_NE(hit, lines.end()) << k.key;
        // every default is among the values the key takes, and Set takes it back
        Assumptions b;
        EXPECT_EQ(b.Set(std::string(k.key) + "=" + k.byDefault), "") << k.key;
        EXPECT_EQ(b.Value(k.key), k.byDefault);
    }
    EXPECT_NE(lines[0].find("y=down (changed)"), std::string::npos);
}

TEST(Scene, ExtentsAndViewsStayFiniteOnHugeValues)
{
    const double big = std::numeric_limits<double>::max();
    const Scene s = Make(Cat({df::Line(-big, -big, big, big), df::Circle(0, 0, big, 0, 0),
                              df::Text(big, big, 1, 0, "AAAA"), df::Line(0, 0, kInf, 0)}));
    EXPECT_EQ(s.Count(Status::Skipped), 1u);
    const Box& e = s.Extent();
    ASSERT_FALSE(e.empty);
    EXPECT_TRUE(std::isfinite(e.x0) && std::isfinite(e.x1) && std::isfinite(e.y0) && std::isfinite(e.y1));
    for (const View v : {DefaultView(e), FitAspect(DefaultView(e), 300, 100), FitAspect(DefaultView(e), 1, 5000)}) {
        EXPECT_TRUE(std::isfinite(v.x1 - v.x0) && std::isfinite(v.y1 - v.y0));
        EXPECT_LT(v.x0, v.x1);
        EXPECT_LT(v.y0, v.y1);
    }
    // a single point, and nothing at all
    for (const Box& b : {Make(tb::Point(1, 1e300, -1e300)).Extent(), Make(tb::Point(1, 0, 0)).Extent(), Box{}}) {
        const View v = DefaultView(b);
        EXPECT_LT(v.x0, v.x1);
        EXPECT_LT(v.y0, v.y1);
        EXPECT_TRUE(std::isfinite(v.x1 - v.x0));
    }
}

TEST(Scene, ViewsGrowAboutTheirCentreToTheImageAspect)
{
    const View v = FitAspect(View{0, 0, 10, 10}, 200, 100);
    EXPECT_DOUBLE_EQ(v.x0, -5);
    EXPECT_DOUBLE_EQ(v.x1, 15);
    EXPECT_DOUBLE_EQ(v.y0, 0);
    EXPECT_DOUBLE_EQ(v.y1, 10);
    const Mapping m(v, 200, 100, Assumptions::YAxis::Up);
    EXPECT_DOUBLE_EQ(m.X(-5), 0);
    EXPECT_DOUBLE_EQ(m.X(15), 200);
    EXPECT_DOUBLE_EQ(m.Y(10), 0);
    EXPECT_DOUBLE_EQ(m.Y(0), 100);
    const Mapping down(v, 200, 100, Assumptions::YAxis::Down);
    EXPECT_DOUBLE_EQ(down.Y(0), 0);
    EXPECT_DOUBLE_EQ(down.Y(10), 100);
    int w = 0, h = 0;
    SizeFor(View{0, 0, 30, 10}, 900, w, h);
    EXPECT_EQ(w, 900);
    EXPECT_EQ(h, 300);
    SizeFor(View{0, 0, 1, 1e9}, 900, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 900);
}

}  // namespace
