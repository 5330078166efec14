// Damaged drawings: the sample drawing (every settings chunk, every entity
// kind) cut at every length, and each of its chunk headers given hostile
// lengths and the identifiers around its own. Every case must end in the
// report or in one failure line, in bounded time; the sanitizer build checks
// that nothing leaks or reads out of bounds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ChunkBuilder.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "Unit1/Report.h"
#include "fuzz/FuzzChecks.h"

namespace {

using Clock = std::chrono::steady_clock;

// No case may take longer than this, even in the sanitizer build.
constexpr auto kBound = std::chrono::seconds(3);

struct ChunkAt {
    std::size_t offset;
    std::int16_t id;
    std::uint16_t version;
    std::int32_t length;
    std::size_t end() const { return offset + 8 + static_cast<std::size_t>(length); }
    bool entity() const { return id >= 2000; }
};

const tb::Buf& Sample()
{
    static const tb::Buf bytes = [] {
        std::ifstream in(std::string(Q6_SOURCE_DIR) + "/samples/sample.q6", std::ios::binary);
        return tb::Buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

// The sample's chunks, found by walking the headers.
const std::vector<ChunkAt>& Layout()
{
    static const std::vector<ChunkAt> chunks = [] {
        std::vector<ChunkAt> out;
        const tb::Buf& b = Sample();
        std::size_t at = 0;
        while (b.size() - at >= 8) {
            ChunkAt c{at, 0, 0, 0};
            std::memcpy(&c.id, &b[at], 2);
            std::memcpy(&c.version, &b[at + 2], 2);
            std::memcpy(&c.length, &b[at + 4], 4);
            out.push_back(c);
            at = c.end();
        }
        return out;
    }();
    return chunks;
}

TEST(DamageSample, HoldsEverySettingsChunkAndEveryEntityKindOnce)
{
    const auto& chunks = Layout();
    ASSERT_EQ(chunks.size(), 13u + 23u);
    EXPECT_EQ(chunks.back().end(), Sample().size());
    int known = 0;
    for (const auto& c : chunks) known += ChunkKindName(c.id, c.version) != nullptr;
    EXPECT_EQ(known, 36);
    EXPECT_EQ(chunks[0].id, 1000);
}

struct Opened {
    OpenOutcome outcome = OpenOutcome::CheckFailed;
    std::string title;  // as the check read it
    std::int32_t entities = 0;
    std::size_t reportLines = 0;
    std::string report;
    bool loaded = false;  // whether the load succeeded, run even when the check failed
};

// The viewer's open flow on bytes in memory: check, clear, load, report.
// `d` is cleared first, so that one document serves many cases. Unlike the
// viewer, it loads also after a failed check, for comparing with the file loader.
Opened Open(TQ6Data& d, std::span<const std::uint8_t> bytes, bool report)
{
    Opened o;
    d.DataFree();
    const bool checked = d.MemCheck(bytes);
    o.title = d.Title;
    d.DataFree();
    o.loaded = d.MemIn(bytes);
    if (!checked) return o;
    o.outcome = o.loaded ? OpenOutcome::Loaded : OpenOutcome::LoadFailed;
    o.entities = d.EntN;
    if (report && o.outcome == OpenOutcome::Loaded) o.reportLines = AppendReport(d, o.report);
    return o;
}

// Kinds whose readers refuse a chunk that the end of the file cuts short:
// their image or extra data would extend beyond it.
bool RefusesCutImage(const ChunkAt& c)
{
    return c.id == 2018 || (c.id == 2009 && c.version == 60);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Which cuts a run tries. The normal build tries every length of the file.
// The sanitizer build, where a load takes some ten times longer, tries every
// length within 24 bytes of a chunk's start or end (every header byte and
// the fields at both ends of every payload) and every 31st length elsewhere;
// 31 divides none of the sizes of the repeated entries (5595, 320, 110, 73,
// 325), so that the cuts still fall on every offset of such an entry, in one
// entry or another.
bool Tried(std::size_t cut, const ChunkAt* in)
{
    if (!kSanitized || !in) return true;
    const std::size_t fromStart = cut - in->offset;
    const std::size_t toEnd = in->end() >= cut ? in->end() - cut : 0;
    return fromStart <= 24 || toEnd <= 24 || cut % 31 == 0;
}

// Cut after `length` bytes. A cut at the end of a chunk leaves a whole
// drawing; a cut inside a header leaves stray bytes, which fail the load; a
// cut inside a payload leaves a chunk whose reader reads what there is.
// The load runs for every cut that the build tries, the report for each one
// that loads (in the settings chunks, whose report reads the same fields
// wherever the cut, for one cut in 37 and those around every boundary).
class Truncation : public testing::TestWithParam<int> {};

TEST_P(Truncation, EveryLengthEndsInAReportOrAFailureLine)
{
    constexpr int kShards = 4;
    const tb::Buf& b = Sample();
    const auto& chunks = Layout();
    const std::size_t settingsEnd = chunks[13].offset;
    auto slowest = Clock::duration::zero();
    std::size_t slowestAt = 0;
    auto doc = std::make_unique<TQ6Data>();
    for (std::size_t cut = static_cast<std::size_t>(GetParam()); cut <= b.size(); cut += kShards) {
        // The chunk in which the cut falls (the last one starting before it), and
        // the entity chunks whose headers are whole.
        const ChunkAt* in = nullptr;
        int entities = 0;
        for (const auto& c : chunks) {
            if (c.offset >= cut) break;
            in = &c;
            if (c.entity() && c.offset + 8 <= cut) ++entities;
        }
        if (!Tried(cut, in)) continue;
        const bool atBoundary = in && cut == in->end();
        const bool inHeader = in && !atBoundary && cut < in->offset + 8;
        const std::size_t fromBoundary = in ? std::min(cut - in->offset, in->end() - cut) : 0;
        const bool report = cut >= settingsEnd || cut % 37 == 0 || fromBoundary <= 8;

        const auto t0 = Clock::now();
        const Opened o = Open(*doc, {b.data(), cut}, report);
        const auto took = Clock::now() - t0;
        if (took > slowest) {
            slowest = took;
            slowestAt = cut;
        }
        // Messages are made only on failure: this loop runs over 100000 times.
        auto expect = [&](bool ok, const char* what) {
            if (!ok) ADD_FAILURE() << "cut after " << cut << " bytes: " << what;
            return ok;
        };
        bool ok;
        if (cut < 8) {
            ok = expect(o.outcome == OpenOutcome::CheckFailed, "the check must fail");
        } else if (inHeader) {
            ok = expect(o.outcome == OpenOutcome::LoadFailed, "a cut header must fail the load");
        } else {
            ok = expect(o.outcome != OpenOutcome::CheckFailed, "the title chunk's header is whole");
            if (ok && (atBoundary || !in->entity() || !RefusesCutImage(*in)))
                ok = expect(o.outcome == OpenOutcome::Loaded, "the drawing must load");
            if (ok && o.outcome == OpenOutcome::Loaded) {
                ok = expect(o.entities == entities, "wrong number of entities") &&
                     expect(!report || o.reportLines >= 469u + 1 + 23 + static_cast<std::size_t>(entities),
                            "the report is short");
            }
        }
        if (ok && o.outcome != OpenOutcome::Loaded) ok = expect(OpenFailureLine(o.outcome) != nullptr, "no failure line");
        if (!ok) break;
    }
    EXPECT_LT(slowest, kBound) << "slowest at a cut after " << slowestAt << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Shards, Truncation, testing::Range(0, 4));

// Every chunk header of the sample, one field changed at a time.
struct HeaderDamage {
    std::size_t chunk;
    std::string what;
    tb::Buf bytes;
    std::int16_t id;
    std::uint16_t version;
    std::int32_t length;
};

std::vector<HeaderDamage> HeaderDamages()
{
    std::vector<HeaderDamage> out;
    const auto& chunks = Layout();
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const ChunkAt& c = chunks[k];
        auto add = [&](std::string what, std::int16_t id, std::uint16_t version, std::int32_t length) {
            tb::Buf b = Sample();
            std::memcpy(&b[c.offset], &id, 2);
            std::memcpy(&b[c.offset + 2], &version, 2);
            std::memcpy(&b[c.offset + 4], &length, 4);
            out.push_back({k, std::move(what), std::move(b), id, version, length});
        };
        const std::int32_t lengths[] = {-1, 0, 1, c.length - 1, c.length + 1, 0x7FFFFFFF};
        for (const std::int32_t len : lengths) add("length " + std::to_string(len), c.id, c.version, len);
        add("identifier - 1", static_cast<std::int16_t>(c.id - 1), c.version, c.length);
        add("identifier + 1", static_cast<std::int16_t>(c.id + 1), c.version, c.length);
        add("version - 1", c.id, static_cast<std::uint16_t>(c.version - 1), c.length);
        add("version + 1", c.id, static_cast<std::uint16_t>(c.version + 1), c.length);
    }
    return out;
}

TEST(HeaderDamage, EveryChangedHeaderEndsInAReportOrAFailureLine)
{
    const auto& chunks = Layout();
    const std::size_t firstEntity = 13;
    auto doc = std::make_unique<TQ6Data>();
    for (const HeaderDamage& d : HeaderDamages()) {
        const ChunkAt& c = chunks[d.chunk];
        SCOPED_TRACE("chunk " + std::to_string(d.chunk) + " (" + std::to_string(c.id) + "/" +
                     std::to_string(c.version) + "): " + d.what);
        const auto t0 = Clock::now();
        const Opened o = Open(*doc, tb::Span(d.bytes), true);
        if (o.outcome == OpenOutcome::Loaded) {
            EXPECT_GE(o.reportLines, 469u + 1 + 23 + static_cast<std::size_t>(o.entities));
            EXPECT_TRUE(fuzzcheck::IsUtf8(o.report));
        } else {
            EXPECT_NE(OpenFailureLine(o.outcome), nullptr);
        }
        // The file loader, whose reads go through a buffer that the chunk
        // walk moves, reads the same bytes into the same document whatever
        // the lengths (a changed identifier moves the walk no differently).
        if (d.length != c.length) {
            EXPECT_EQ(fuzzcheck::CompareFileAndMemory(tb::Span(d.bytes), o.outcome != OpenOutcome::CheckFailed,
                                                      o.title, o.loaded, *doc),
                      "");
        }
        EXPECT_LT(Clock::now() - t0, kBound);

        // What the damage must lead to, where the chunk walk decides it.
        const bool known = ChunkKindName(d.id, d.version) != nullptr;
        if (d.chunk == 0) {
            // The title chunk: the check takes only 1000/10 with a length of 0 to 256.
            const bool titleOk = d.id == 1000 && d.version == 10 && d.length >= 0 && d.length <= 256;
            if (!titleOk) {
                EXPECT_EQ(o.outcome, OpenOutcome::CheckFailed);
            }
            continue;
        }
        if (d.length < 0) {  // a negative length ends the load
            EXPECT_EQ(o.outcome, OpenOutcome::LoadFailed);
        } else if (d.length == 0x7FFFFFFF) {
            // The walk ends after this chunk, whose reader reads what the file holds.
            if (!c.entity()) {
                EXPECT_EQ(o.outcome, OpenOutcome::Loaded);
                EXPECT_EQ(o.entities, 0);
            } else if (RefusesCutImage(c) && c.version != 90) {
                EXPECT_EQ(o.outcome, OpenOutcome::LoadFailed);  // image or extra data past the end
            } else {
                EXPECT_EQ(o.outcome, OpenOutcome::Loaded);
                EXPECT_EQ(o.entities, static_cast<std::int32_t>(d.chunk - firstEntity + 1));
            }
        } else if (d.length == c.length && !known) {
            // An unknown chunk is skipped, except as the first entity chunk,
            // which the entity pass must accept.
            if (d.chunk == firstEntity) {
                EXPECT_EQ(o.outcome, OpenOutcome::LoadFailed);
            } else {
                EXPECT_EQ(o.outcome, OpenOutcome::Loaded);
                EXPECT_EQ(o.entities, c.entity() ? 22 : 23);
            }
        }
    }
}

}  // namespace
