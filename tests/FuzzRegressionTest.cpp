// Replays fuzz/regressions/<target>/: every input that a fuzz target once
// failed on, through the same check as that target (fuzz/FuzzChecks.h).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ChunkBuilder.h"
#include "fuzz/FuzzChecks.h"

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

// The one place where two saves may differ: a layer-group scale for which
// rounding to six decimals is not idempotent moves by one more rounding step.
// The check allows that step and nothing else.
TEST(FuzzRegressions, SavesMayDifferOnlyByOneMoreRoundingOfAScale)
{
    const double drifting = 4369108947.9012794;  // saved as ...804, then as ...814
    ASSERT_NE(RoundOff(RoundOff(drifting, 6, 2), 6, 2), RoundOff(drifting, 6, 2));
    tb::Bytes layers;
    layers.u8(0).u8(2).u8(0).field("", 17).f64(drifting).zeros(89521 - 28);
    const auto file = tb::Cat({tb::Title("t"), tb::Chunk(1010, 20, layers), tb::Point(1, 2, 3)});
    EXPECT_EQ(fuzzcheck::CheckSaveIsStable(tb::Span(file)), "");

    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    std::string first;
    ASSERT_TRUE(d.MemOut(first));
    const std::size_t at = fuzzcheck::kScaleAt;
    EXPECT_EQ(tb::ReadF64(first, at), RoundOff(drifting, 6, 2));
    TQ6Data again;
    ASSERT_TRUE(again.MemIn(fuzzcheck::AsBytes(first)));
    std::string second;
    ASSERT_TRUE(again.MemOut(second));
    ASSERT_NE(first, second);
    EXPECT_EQ(fuzzcheck::CompareSaves(first, second), "");

    // Any other difference is reported: a byte elsewhere, a scale moved by
    // something other than one more rounding, or a scale that was stable.
    std::string other = second;
    other[at + 100] ^= 1;
    EXPECT_NE(fuzzcheck::CompareSaves(first, other), "");
    std::string moved = second;
    const double far = RoundOff(drifting, 6, 2) + 1;
    std::memcpy(moved.data() + at, &far, 8);
    EXPECT_NE(fuzzcheck::CompareSaves(first, moved), "");
    std::string stable = first;
    const double one = 1.0, two = 2.0;
    std::memcpy(stable.data() + at + fuzzcheck::kGroupSize, &one, 8);
    std::string changed = stable;
    std::memcpy(changed.data() + at + fuzzcheck::kGroupSize, &two, 8);
    EXPECT_NE(fuzzcheck::CompareSaves(stable, changed), "");
    EXPECT_NE(fuzzcheck::CompareSaves(first, first.substr(0, first.size() - 1)), "");
}

}  // namespace
