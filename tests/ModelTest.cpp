// The drawing model: defaults, growth and the disk sizes of the fixed records.
#include <gtest/gtest.h>

#include "ChunkBuilder.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace {

using q6layout::FixedSize;

static_assert(FixedSize<TQ6PaperSize>() == 34);
static_assert(FixedSize<TQ6AxisInfo>() == 140);
static_assert(FixedSize<TQ6GridInfo>() == 180);
static_assert(FixedSize<TQ6DimStyleEx>() == 78);
static_assert(FixedSize<TQ6SymbolForm>() == 52);
static_assert(FixedSize<TQ6SymbolStyle>() == 1154);
static_assert(FixedSize<TQ6LineType>() == 48);
static_assert(FixedSize<TQ6PrintStyle>() == 832);
static_assert(FixedSize<TQ6PrintInfo>() == 84);
static_assert(FixedSize<TQ6ObjectHeader>() == 11);
static_assert(FixedSize<TQ6ObjectPoint>() == 27);
static_assert(FixedSize<TQ6ObjectLine>() == 43);
static_assert(FixedSize<TQ6ObjectEdge>() == 262);
static_assert(FixedSize<TQ6ObjectLineEx>() == 305);
static_assert(FixedSize<TQ6ObjectCircle>() == 51);
static_assert(FixedSize<TQ6ObjectCircleEx>() == 313);
static_assert(FixedSize<TQ6ObjectEllipse>() == 67);
static_assert(FixedSize<TQ6ObjectEllipseEx>() == 329);
static_assert(FixedSize<TQ6ObjectSymbol>() == 102);
static_assert(FixedSize<TQ6ObjectGrad>() == 56);

TEST(Layout, RecordsWithTextsHaveTheirDiskSizes)
{
    EXPECT_EQ(FixedSize<TQ6TextStyle>(), 110u);
    EXPECT_EQ(FixedSize<TQ6DimStyle>(), 73u);
    EXPECT_EQ(FixedSize<TQ6ViewInfo>(), 325u);
    EXPECT_EQ(FixedSize<TQ6LayerField>(), 320u);
    EXPECT_EQ(FixedSize<TQ6LayerGroupField>(), 5595u);
    EXPECT_EQ(FixedSize<TQ6LayerInfo>(), 89521u);
    EXPECT_EQ(FixedSize<TQ6ObjectGroupDimension>(), 372u);
    EXPECT_EQ(FixedSize<TQ6ObjectGroupAnno>(), 282u);
    EXPECT_EQ(FixedSize<TQ6ObjectGroupBalloon>(), 160u);
}

void ExpectDefaults(const TQ6Data& d)
{
    EXPECT_EQ(d.Title, "");
    EXPECT_EQ(d.li.current, 0);
    for (const auto& g : d.li.grp) {
        EXPECT_EQ(g.state, 2);
        EXPECT_EQ(g.scale, 1.0);
        EXPECT_EQ(g.text, "");
        for (const auto& l : g.tab) {
            EXPECT_EQ(l.state, 2);
            EXPECT_EQ(l.color, 0u);
            EXPECT_EQ(l.text, "");
        }
    }
    EXPECT_EQ(d.psz.typ, 3);
    EXPECT_EQ(d.psz.size[0], (TDPoint{0, 0}));
    EXPECT_EQ(d.psz.size[1], (TDPoint{420, 297}));
    EXPECT_EQ(d.gi.dv, (TPoint{5, 5}));
    EXPECT_EQ(d.gi.snapmain, 1);
    EXPECT_EQ(d.gi.snapsub, 1);
    EXPECT_EQ(d.gi.angle, 1);
    EXPECT_EQ(d.gi.disp, 0);
    for (auto w : d.prnstl.width) EXPECT_EQ(w, 1);
    for (const auto& v : d.viewinfo) EXPECT_EQ(v.zoom, 1.0);
    for (const auto& x : d.dimstlex) EXPECT_EQ(x.value, 1.0);
    for (auto c : d.coltbl) EXPECT_EQ(c, 0u);
    EXPECT_EQ(d.EntN, 0);
    EXPECT_EQ(d.Ent.Length(), 0u);
    EXPECT_EQ(d.ptN, 0);
    EXPECT_EQ(d.pt.Length(), 0u);
    EXPECT_EQ(d.grbarN, 0);
}

TEST(Model, NewDocumentHoldsTheDefaults) { ExpectDefaults(TQ6Data()); }

TEST(Model, DataFreeAfterALoadRestoresEveryDefault)
{
    tb::Bytes paper;
    paper.u8(9).u8(1).pt(1, 2).pt(3, 4);
    tb::Bytes grid;
    grid.pt(1, 1).pt(2, 2).i32(7).i32(7).zeros(180 - 40);
    const auto file = tb::Cat({tb::Title("T"), tb::Chunk(1020, 20, paper), tb::Chunk(1040, 10, grid),
                               tb::Point(1, 0, 0), tb::Point(2, 0, 0)});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    EXPECT_EQ(d.psz.typ, 9);
    EXPECT_EQ(d.ptN, 2);
    d.DataFree();
    ExpectDefaults(d);
    d.DataFree();  // on an empty document too
    ExpectDefaults(d);
}

// The index and every kind's array grow in steps of 100.
TEST(Model, ArraysGrowInStepsOfAHundred)
{
    const std::pair<int, std::size_t> steps[] = {{1, 100}, {100, 100}, {101, 200}, {200, 200}, {201, 300}};
    for (const auto& [n, length] : steps) {
        tb::Buf file = tb::Title();
        for (int i = 0; i < n; ++i) {
            auto c = tb::Point(i, i, -i);
            file.insert(file.end(), c.begin(), c.end());
        }
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        EXPECT_EQ(d.ptN, n);
        EXPECT_EQ(d.pt.Length(), length) << n;
        EXPECT_EQ(d.EntN, n);
        EXPECT_EQ(d.Ent.Length(), length) << n;
        // Slots beyond the count are zero.
        EXPECT_EQ(d.pt[length - 1].obj.id, n == static_cast<int>(length) ? n - 1 : 0);
        EXPECT_EQ(d.pt[static_cast<std::size_t>(n - 1)].pos.Y, -(n - 1));
    }
}

// A count that ran ahead of the length (a growth that failed for want of
// memory, or a count set by hand) makes the next append grow the array to the
// count rounded up to 100, never write past its end.
TEST(Model, AppendCatchesUpWithACountAheadOfTheLength)
{
    const std::pair<std::int32_t, std::size_t> cases[] = {{0, 100}, {100, 200}, {101, 200}, {150, 200}, {299, 300}};
    for (const auto& [count, length] : cases) {
        TDynArray<TQ6ObjectPoint> a;
        std::int32_t n = count;
        a.AppendAt(n).obj.id = 7;
        EXPECT_EQ(n, count + 1);
        EXPECT_EQ(a.Length(), length) << count;
        EXPECT_EQ(a.at(static_cast<std::size_t>(count)).obj.id, 7);
    }
}

TEST(Model, AMillionAppendsStayCheap)
{
    TDynArray<TQ6ObjectPoint> a;
    for (std::size_t n = 1; n <= 1000000; ++n) {
        if (n % 100 == 1) a.SetLength(n + 99);
        a[n - 1].obj.id = static_cast<std::int32_t>(n);
    }
    const TQ6ObjectPoint* first = &a[0];
    a.SetLength(1000100 + 99);
    EXPECT_EQ(&a[0], first) << "growing never moves the elements";
    EXPECT_EQ(a[999999].obj.id, 1000000);
    EXPECT_EQ(a[1000050].obj.id, 0);
}

}  // namespace
