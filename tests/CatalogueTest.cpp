// The catalogue of chunk kinds against what the loader and the report do.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "ChunkBuilder.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Report.h"
#include "support/RandomDoc.h"

namespace {

using q6kinds::ChunkKind;
using q6kinds::kChunkKinds;

// The loader keeps its own names until it takes them from the catalogue:
// both must say the same for every kind, and nothing for other chunks.
TEST(Catalogue, NamesAgreeWithTheLoader)
{
    for (const ChunkKind& k : kChunkKinds) {
        SCOPED_TRACE(std::string(k.member));
        const char* loader = ChunkKindName(k.id, k.version);
        ASSERT_NE(loader, nullptr);
        EXPECT_EQ(std::string_view(loader), k.name);
        EXPECT_EQ(q6kinds::FindChunkKind(k.id, k.version), &k);
    }
    const struct {
        std::int16_t id;
        std::uint16_t version;
    } unknown[] = {{1000, 20}, {1999, 10}, {2002, 40}, {2032, 60}, {0, 0}, {-1, 65535}};
    for (const auto& u : unknown) {
        EXPECT_EQ(q6kinds::ChunkName(u.id, u.version), nullptr) << u.id << "/" << u.version;
        EXPECT_EQ(ChunkKindName(u.id, u.version), nullptr) << u.id << "/" << u.version;
    }
}

// Every kind's section title is in the report of a document that holds
// every kind, after its "■" (the title's before its "：").
TEST(Catalogue, SectionTitlesAreTheReports)
{
    TQ6Data d;
    RandomDocOptions opt;
    opt.entities = static_cast<int>(q6kinds::kEntityKindCount);
    RandomDocument(d, 12, opt);
    std::string report;
    WriteReport(d, [&](std::string_view l) {
        report += l;
        report += '\n';
    });
    for (const ChunkKind& k : kChunkKinds) {
        SCOPED_TRACE(std::string(k.member));
        const std::string title = k.id == 1000 ? std::string(k.section) + "：" : "■" + std::string(k.section);
        EXPECT_NE(report.find(title), std::string::npos);
    }
}

}  // namespace
