// Saving what was loaded, over seeded random documents of every kind.
#include <gtest/gtest.h>

#include "Q6Unit/Dump.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Report.h"
#include "support/RandomDoc.h"

namespace {

std::span<const std::uint8_t> S(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

std::string ReportOf(const TQ6Data& d)
{
    std::string r;
    AppendReport(d, r);
    return r;
}

// A file our writer made loads and saves back byte for byte, and the loaded
// document equals the one that was saved, field for field (bits of every double).
TEST(RoundTrip, WriterFilesComeBackByteForByte)
{
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        TQ6Data doc;
        RandomDocument(doc, seed);
        std::string first;
        ASSERT_TRUE(doc.MemOut(first));
        TQ6Data loaded;
        ASSERT_TRUE(loaded.MemIn(S(first)));
        ASSERT_EQ(DumpDocument(loaded), DumpDocument(doc));
        std::string second;
        ASSERT_TRUE(loaded.MemOut(second));
        ASSERT_EQ(first, second);
    }
}

// Documents with overlong texts and second text styles that fail the name
// test change on the first save and load; from then on nothing changes.
TEST(RoundTrip, SaveThenLoadIsStableAfterTheFirstNormalisation)
{
    RandomDocOptions opt;
    opt.normalized = false;
    for (std::uint64_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        TQ6Data doc;
        RandomDocument(doc, seed, opt);
        std::string a;
        ASSERT_TRUE(doc.MemOut(a));
        TQ6Data once;
        ASSERT_TRUE(once.MemIn(S(a)));
        std::string b;
        ASSERT_TRUE(once.MemOut(b));
        TQ6Data twice;
        ASSERT_TRUE(twice.MemIn(S(b)));
        ASSERT_EQ(DumpDocument(twice), DumpDocument(once));
        ASSERT_EQ(ReportOf(twice), ReportOf(once));
        std::string c;
        ASSERT_TRUE(twice.MemOut(c));
        ASSERT_EQ(b, c);
    }
}

// The writer hands its output on in pieces of a few MiB; the bytes in
// memory are the whole file all the same.
TEST(RoundTrip, MemOutHoldsAllOfALargeDocument)
{
    TQ6Data doc;
    RandomDocument(doc, 5);
    std::string small;
    ASSERT_TRUE(doc.MemOut(small));
    const std::size_t before = doc.bm[0].bmp.size();
    doc.bm[0].byt = 5 << 20;
    doc.bm[0].bmp.assign(5u << 20, 0x5A);
    std::string big;
    ASSERT_TRUE(doc.MemOut(big));
    EXPECT_EQ(big.size(), small.size() - before + (5u << 20));
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn(S(big)));
    EXPECT_EQ(DumpDocument(loaded), DumpDocument(doc));
}

}  // namespace
