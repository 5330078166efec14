// The drawing model: defaults, growth and the disk sizes of the fixed records.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

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

// Grows and shrinks through block boundaries and into the blocks taken
// straight from the system (2 MiB and more: an element of 4 KiB reaches
// them at 1024 elements). After each step the elements kept hold what was
// written, the ones grown are value-initialised (empty strings, zero
// bytes), and growing never moved an element. Under the sanitizers a lost
// or twice destroyed string shows as a leak or a double free.
TEST(Model, ArraysKeepTheirElementsThroughEveryBlock)
{
    struct Page {
        std::string text;
        std::array<std::uint8_t, 4096 - sizeof(std::string)> bytes;
    };
    TDynArray<Page> a;
    std::size_t length = 0;
    std::vector<const Page*> where;
    const std::size_t steps[] = {1, 15, 16, 17, 33, 100, 1023, 1024, 1025, 5000, 2100, 2500, 2049, 16, 0, 3000, 700};
    for (const std::size_t n : steps) {
        a.SetLength(n);
        ASSERT_EQ(a.Length(), n);
        for (std::size_t i = 0; i < n; ++i) {
            Page& p = a[i];
            if (i < length) {
                ASSERT_EQ(p.text, "element " + std::to_string(i)) << n << " " << i;
                ASSERT_EQ(p.bytes[i % p.bytes.size()], static_cast<std::uint8_t>(i)) << n << " " << i;
                ASSERT_EQ(&p, where[i]) << "element " << i << " moved at length " << n;
            } else {
                ASSERT_TRUE(p.text.empty()) << n << " " << i;
                ASSERT_EQ(p.bytes[i % p.bytes.size()], 0) << n << " " << i;
                ASSERT_EQ(p.bytes[(i + 1) % p.bytes.size()], 0) << n << " " << i;
                p.text = "element " + std::to_string(i);
                p.bytes[i % p.bytes.size()] = static_cast<std::uint8_t>(i);
            }
        }
        where.resize(n);
        for (std::size_t i = 0; i < n; ++i) where[i] = &a[i];
        length = n;
        EXPECT_THROW(a.at(n), std::out_of_range);
    }

    // A copy holds equal elements of its own; a move takes the blocks and
    // leaves an empty array that grows again from nothing.
    TDynArray<Page> copy(a);
    ASSERT_EQ(copy.Length(), length);
    for (std::size_t i = 0; i < length; ++i) {
        ASSERT_EQ(copy[i].text, a[i].text);
        ASSERT_NE(&copy[i], &a[i]);
    }
    TDynArray<Page> moved(std::move(a));
    ASSERT_EQ(moved.Length(), length);
    EXPECT_EQ(&moved[length - 1], where[length - 1]);
    EXPECT_EQ(a.Length(), 0u);  // NOLINT(bugprone-use-after-move): a moved-from array is empty
    a.SetLength(2);
    EXPECT_TRUE(a[1].text.empty());
    copy = std::move(moved);
    EXPECT_EQ(copy[length - 1].text, "element " + std::to_string(length - 1));
}

}  // namespace
