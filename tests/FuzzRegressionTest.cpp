// Replays fuzz/regressions/<target>/: every input that a fuzz target once
// failed on, through the same check as that target (fuzz/FuzzChecks.h).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ChunkBuilder.h"
#include "fuzz/DxfCheck.h"
#include "fuzz/FuzzChecks.h"
#include "support/BadJson.h"

namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(std::span<const std::uint8_t>);

std::string LoadAndReport(std::span<const std::uint8_t> bytes)
{
    // The fuzz target compares with the file loader for some inputs; the replay for all.
    return fuzzcheck::CheckLoadAndReport(bytes, true);
}

struct Target {
    const char* name;
    Check check;
};

const Target kTargets[] = {
    {"load_report", LoadAndReport},
    {"save_stable", fuzzcheck::CheckSaveIsStable},
    {"text_numbers", fuzzcheck::CheckTextAndNumbers},
    {"build_json", fuzzcheck::CheckBuildJson},
    {"load_dxf", fuzzcheck::CheckLoadDxf},
};

TEST(FuzzRegressions, EveryInputPassesItsTargetsCheck)
{
    const fs::path root = fs::path(Q6_SOURCE_DIR) / "fuzz" / "regressions";
    ASSERT_TRUE(fs::is_directory(root)) << root;
    for (const Target& t : kTargets) {
        const fs::path dir = root / t.name;
        if (!fs::is_directory(dir)) continue;  // no input for this target yet
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(t.check(fuzzcheck::AsBytes(bytes)), "") << entry.path();
        }
    }
}

// A layer-group scale of about 4.4e9 once moved on every save (rounded to
// six decimals, it rounded to yet another value the next time). Such scales
// are now kept as they are, and two saves are the same bytes.
TEST(FuzzRegressions, ScalesSaveTheSameEveryTime)
{
    const double drifting = 4369108947.9012794;
    EXPECT_EQ(RoundOff(RoundOff(drifting, 6, 2), 6, 2), RoundOff(drifting, 6, 2));
    tb::Bytes layers;
    layers.u8(0).u8(2).u8(0).field("", 17).f64(drifting).zeros(89521 - 28);
    const auto file = tb::Cat({tb::Title("t"), tb::Chunk(1010, 20, layers), tb::Point(1, 2, 3)});
    EXPECT_EQ(fuzzcheck::CheckSaveIsStable(tb::Span(file)), "");

    // Any difference between two saves is reported.
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    std::string first;
    ASSERT_TRUE(d.MemOut(first));
    std::string other = first;
    other[1000] ^= 1;
    EXPECT_EQ(fuzzcheck::CompareSaves(first, other), "the second save differs from the first at byte 1000");
    EXPECT_NE(fuzzcheck::CompareSaves(first, first.substr(0, first.size() - 1)), "");
}

// The build target's check on what the JSON tests use: every refusal of the
// table names its place, and a refusal or warning without one is reported.
TEST(FuzzRegressions, TheBuildCheckPassesTheRefusedTextsAndCatchesPlacelessMessages)
{
    for (const BadJsonCase& c : BadJsonCases()) EXPECT_EQ(fuzzcheck::CheckBuildJson(fuzzcheck::AsBytes(c.json)), "") << c.json;
    EXPECT_EQ(fuzzcheck::CheckBuildJson(fuzzcheck::AsBytes(R"({"format": 1, "Title": ")" + std::string(300, 'x') +
                                                            R"(", "entities": [{"kind": "pt"}]})")),
              "");
    EXPECT_TRUE(fuzzcheck::NamesAPlace("entities[3].pos[1].X: expected a number"));
    EXPECT_TRUE(fuzzcheck::NamesAPlace("parse error at line 1, column 1: syntax error"));
    EXPECT_FALSE(fuzzcheck::NamesAPlace("out of memory"));
    EXPECT_FALSE(fuzzcheck::NamesAPlace(": expected a number"));
}

}  // namespace

// The DXF target's check takes our export of the sample and refuses output
// that breaks the tag structure.
TEST(FuzzRegressions, TheDxfCheckCatchesBrokenTagPairs)
{
    std::ifstream in(std::string(Q6_SOURCE_DIR) + "/samples/sample.q6", std::ios::binary);
    const std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(fuzzcheck::CheckLoadDxf(fuzzcheck::AsBytes(sample)), "");
    const std::string ok = "0\nSECTION\n2\nENTITIES\n0\nPOINT\n10\n1.0\n0\nENDSEC\n0\nEOF\n";
    std::uint64_t n = 0;
    EXPECT_EQ(fuzzcheck::CheckDxfTags(ok, n), "");
    EXPECT_EQ(n, 1u);
    const char* bad[] = {
        "",
        "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n",                       // no EOF
        "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n1\nx\n",          // after EOF
        "0\nSECTION\n2\nENTITIES\n1\na\nb\n0\nENDSEC\n0\nEOF\n",      // a value that broke its line
        "0\nSECTION\n2\nENTITIES\nx1\nv\n0\nENDSEC\n0\nEOF\n",
        "0\nSECTION\n2\nENTITIES\n1\na\tb\n0\nENDSEC\n0\nEOF\n",      // a control character
        "0\nSECTION\n2\nENTITIES\n1\n\xff\n0\nENDSEC\n0\nEOF\n",      // not UTF-8
        "0\nSECTION\n0\nSECTION\n0\nENDSEC\n0\nEOF\n",
        "0\nPOINT\n0\nEOF\n",
        "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF",                   // cut
    };
    for (const char* b : bad) EXPECT_NE(fuzzcheck::CheckDxfTags(b, n), "") << b;
}
