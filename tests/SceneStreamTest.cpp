// The scene made one entity at a time as the load reads it: the same items,
// counts, extent and SVG bytes as the whole scene, at every batch size; a
// load that fails part way fails the same way with entities handed on.
#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "DrawFixtures.h"
#include "Q6Draw/Scene.h"
#include "Q6Draw/Svg.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Q6Data.h"

namespace {

using namespace q6draw;
using tb::Buf;
using tb::Cat;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void Hex(std::string& out, double v)
{
    char b[40];
    const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::hex);
    out.append(b, r.ptr);
    out += ' ';
}

// Everything a scene holds for its items, written out.
std::string Dump(const Scene& s)
{
    std::string out;
    for (const Item& it : s.Items()) {
        out += std::to_string(it.INo) + "/" + std::to_string(it.ENo) + " k" +
               std::to_string(static_cast<int>(it.kind)) + " s" + std::to_string(static_cast<int>(it.status)) +
               " r" + std::to_string(static_cast<int>(it.reason)) + " c" + std::to_string(it.rgb) + ":";
        for (const Prim& p : s.Prims(it)) {
            out += " [" + std::to_string(static_cast<int>(p.type)) + "," + std::to_string(p.flags) + "] ";
            for (const TDPoint& q : s.Points(p)) Hex(out, q.X), Hex(out, q.Y);
            if (p.type == PrimType::Text) out += "\"" + std::string(s.TextOf(p).text) + "\"";
        }
        out += '\n';
    }
    return out;
}

Buf File(const Buf& entities, const Buf& settings = {}) { return Cat({tb::Title("t"), settings, entities}); }

struct Streamed {
    bool loaded = false;
    std::int32_t entN = 0;
    std::size_t handed = 0;
    std::string dump;   // of every batch in turn
    std::string svg;    // head, every batch's items, tail
    std::vector<std::string> summary;
    Box extent;
};

// Loads `bytes` with every entity handed to a stream, in batches of `batch`
// items, each dumped and written as SVG as it fills.
Streamed Stream(const Buf& bytes, std::size_t batch, const Assumptions& a, const View& v,
                const std::vector<std::string>& describe)
{
    Streamed r;
    TQ6Data doc;
    SceneStream stream(doc, a);
    SvgWriter svg(a, v, 64, 48, [&](std::string_view p) {
        r.svg += p;
        return true;
    });
    EXPECT_TRUE(svg.Head(describe));
    // every other batch formatted apart and written afterwards, as the
    // reading thread of q6tool render does when the writing side is busy
    std::size_t batches = 0;
    auto take = [&] {
        r.dump += Dump(stream.Batch());
        if (batches++ % 2 == 0) {
            EXPECT_TRUE(svg.Items(stream.Batch()));
        } else {
            SvgText made;
            made.Append("x");
            svg.Format(stream.Batch(), made);
            EXPECT_TRUE(svg.Formatted(made.View().substr(1)));
        }
        stream.Clear();
    };
    const EntitySink sink = [&](const TQ6EntNo& en, const void* record) {
        ++r.handed;
        stream.Add(en, record);
        if (stream.BatchSize() >= batch) take();
        return true;
    };
    MemorySource m(bytes);
    r.loaded = doc.Load(m, LoadMode::Whole, nullptr, &sink);
    take();
    EXPECT_TRUE(svg.Tail());
    r.entN = doc.EntN;
    r.summary = stream.Batch().SummaryLines();
    r.extent = stream.Batch().Extent();
    // nothing of the entities stays in the document
    EXPECT_EQ(doc.Ent.Length(), 0u);
    EXPECT_EQ(doc.ln.Length() + doc.cr.Length() + doc.tx.Length() + doc.pl.Length(), 0u);
    return r;
}

struct Drawing {
    const char* what;
    Buf bytes;
    Assumptions a;
};

std::vector<Drawing> Drawings()
{
    Assumptions bgr;
    EXPECT_EQ(bgr.Set("colour=bgr"), "");
    Assumptions cw;
    EXPECT_EQ(cw.Set("direction=cw"), "");
    EXPECT_EQ(cw.Set("bezier=polygon"), "");
    const Buf mixed = Cat({tb::Point(1, 2, 3), df::Line(0, 0, 10, 5, 0x0000FF), df::Circle(3, 3, 2, 0, 1),
                           df::Ellipse(1, 1, 4, 2, 0.5, 0.5, 0.3), df::Text(1, 1, 0.2, 3, "AB"),
                           df::TextEx(2, 2, 0, 1.5, "xyz"), df::Bezier({{0, 0}, {1, 1}, {2, 1}, {3, 0}}),
                           df::Bezier({{0, 0}, {1, 1}, {2, 1}}), df::Polyline({{0, 0}, {1, 4}, {2, 0}}),
                           df::Polygon({{5, 5}, {6, 7}, {7, 5}}), df::Bitmap({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                           df::Group(), df::Line(0, kNaN, 1, 1), df::Circle(0, 0, -1, 0, 0), df::Line(-7, -8, 9, 30)});
    Buf many;
    for (int i = 0; i < 40; ++i) {
        const Buf one = i % 3 == 0   ? df::Line(i, 0, i + 1, i)
                        : i % 3 == 1 ? df::Circle(i, i, 0.5 * i, 0, 0)
                                     : df::Text(i, -i, 0, 0, "t");
        many.insert(many.end(), one.begin(), one.end());
    }
    return {
        {"every kind, with skipped ones", File(mixed, df::TextStyles(2.5)), {}},
        {"every kind, inks read as BGR", File(mixed), bgr},
        {"every kind, clockwise, Beziers as polygons", File(mixed), cw},
        {"forty entities", File(many), {}},
        {"one line", File(df::Line(0, 0, 1, 1)), {}},
        {"no entities", File({}), {}},
    };
}

TEST(SceneStream, GivesTheWholeScenesItemsCountsExtentAndSvgAtEveryBatchSize)
{
    for (const Drawing& d : Drawings()) {
        TQ6Data doc;
        ASSERT_TRUE(doc.MemIn(tb::Span(d.bytes))) << d.what;
        const Scene whole = Scene::Build(doc, d.a);
        const View v = FitAspect(DefaultView(whole.Extent()), 64, 48);
        const std::vector<std::string> describe = {"a <description>", "&"};
        std::string svg;
        ASSERT_TRUE(WriteSvg(whole, v, 64, 48, describe, [&](std::string_view p) {
            svg += p;
            return true;
        }));
        for (const std::size_t batch : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                        std::size_t{1000}}) {
            const Streamed s = Stream(d.bytes, batch, d.a, v, describe);
            const std::string at = std::string(d.what) + ", batches of " + std::to_string(batch);
            EXPECT_TRUE(s.loaded) << at;
            EXPECT_EQ(s.entN, doc.EntN) << at;
            EXPECT_EQ(s.handed, static_cast<std::size_t>(doc.EntN)) << at;
            EXPECT_EQ(s.dump, Dump(whole)) << at;
            EXPECT_EQ(s.summary, whole.SummaryLines()) << at;
            EXPECT_EQ(s.extent.empty, whole.Extent().empty) << at;
            EXPECT_EQ(s.extent.x0, whole.Extent().x0) << at;
            EXPECT_EQ(s.extent.y0, whole.Extent().y0) << at;
            EXPECT_EQ(s.extent.x1, whole.Extent().x1) << at;
            EXPECT_EQ(s.extent.y1, whole.Extent().y1) << at;
            EXPECT_EQ(s.svg, svg) << at;
        }
    }
}

// A load that fails part way fails with the entities before the failure
// handed on and nothing after it; the decision is the whole load's.
TEST(SceneStream, ALoadThatFailsPartWayFailsAsTheWholeLoadDoes)
{
    const Buf good = Cat({df::Line(0, 0, 1, 1), df::Circle(0, 0, 1, 0, 0), df::Line(2, 2, 3, 3)});
    struct Case {
        const char* what;
        Buf bytes;
        std::size_t handed;
    };
    const Case cases[] = {
        {"a negative length after three entities",
         File(Cat({good, tb::Chunk(2001, 10, tb::Bytes().pt(0, 0), -5), df::Line(5, 5, 6, 6)})), 3},
        {"a header cut by the end after three entities", File(Cat({good, Buf{0x01, 0x02, 0x03}})), 3},
        {"a negative length first", File(Cat({tb::Chunk(2001, 10, tb::Bytes().pt(0, 0), -5), good})), 0},
    };
    for (const Case& c : cases) {
        TQ6Data whole;
        EXPECT_FALSE(whole.MemIn(tb::Span(c.bytes))) << c.what;
        const Streamed s = Stream(c.bytes, 2, {}, View{}, {});
        EXPECT_FALSE(s.loaded) << c.what;
        EXPECT_EQ(s.handed, c.handed) << c.what;
    }
}

TEST(SceneStream, ASinkThatRefusesEndsTheLoad)
{
    const Buf bytes = File(Cat({df::Line(0, 0, 1, 1), df::Line(1, 1, 2, 2), df::Line(2, 2, 3, 3)}));
    std::size_t seen = 0;
    const EntitySink sink = [&](const TQ6EntNo& en, const void*) {
        EXPECT_EQ(en.ENo, static_cast<std::int32_t>(seen));
        return ++seen < 2;
    };
    TQ6Data doc;
    MemorySource m(bytes);
    EXPECT_FALSE(doc.Load(m, LoadMode::Whole, nullptr, &sink));
    EXPECT_EQ(seen, 2u);
}

}  // namespace
