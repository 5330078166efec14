// Loading: the file check, the two passes, the chunk walk and hostile lengths.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ChunkBuilder.h"
#include "Q6Unit/Q6Data.h"
#include "support/TempDir.h"

namespace {

using tb::Bytes;
using tb::Cat;
using tb::Chunk;

tb::Buf Paper(std::uint8_t typ)
{
    return Chunk(1020, 20, Bytes().u8(typ).u8(0).pt(0, 0).pt(1, 1));
}

struct LoadCase {
    const char* name;
    tb::Buf file;
    bool check;
    bool load;
    int entities;
};

TEST(Load, OutcomesOfTheChunkWalk)
{
    const tb::Buf stray = {1, 2, 3};
    const LoadCase cases[] = {
        {"empty file", {}, false, false, 0},
        {"seven bytes", {0xE8, 0x03, 0x0A, 0, 0, 0, 0}, false, false, 0},
        {"title only", tb::Title("ABC"), true, true, 0},
        {"title of length 0", tb::Title(), true, true, 0},
        {"title of length 256", Chunk(1000, 10, Bytes().fill(256, 'a')), true, true, 0},
        {"title of length 257 fails the check", Chunk(1000, 10, Bytes().fill(257, 'a')), false, true, 0},
        {"title of length 300 fails the check", Chunk(1000, 10, Bytes().fill(300, 'a')), false, true, 0},
        {"negative title length", Chunk(1000, 10, Bytes(), -1), false, false, 0},
        {"first chunk unknown", Cat({Chunk(1234, 1, Bytes().zeros(4)), tb::Title()}), false, false, 0},
        {"first chunk an entity", Cat({tb::Point(1, 0, 0), tb::Title()}), false, false, 0},
        {"unknown settings chunk skipped", Cat({tb::Title(), Chunk(1234, 1, Bytes().zeros(13)), Paper(4)}), true, true, 0},
        {"identifiers from 0x8000 count as below 2000",
         Cat({tb::Title(), Chunk(static_cast<std::int16_t>(0x9000), 1, Bytes().zeros(3)), tb::Point(1, 0, 0)}), true, true, 1},
        {"two points", Cat({tb::Title(), tb::Point(1, 0, 0), tb::Point(2, 0, 0)}), true, true, 2},
        {"first entity chunk unknown", Cat({tb::Title(), Chunk(2001, 99, Bytes().zeros(27)), tb::Point(1, 0, 0)}), true, false, 0},
        {"unknown entity chunk after a known one",
         Cat({tb::Title(), tb::Point(1, 0, 0), Chunk(2001, 99, Bytes().zeros(27)), tb::Point(2, 0, 0)}), true, true, 2},
        {"2000/120 is not a point", Cat({tb::Title(), Chunk(2000, 120, Bytes().obj(1, 0, 0, 0).pt(0, 0))}), true, false, 0},
        {"stray bytes after the last chunk", Cat({tb::Title(), tb::Point(1, 0, 0), stray}), true, false, 1},
        {"stray bytes after the settings", Cat({tb::Title(), stray}), true, false, 0},
        {"negative length among the settings", Cat({tb::Title(), Chunk(1234, 1, Bytes(), -8), Paper(4)}), true, false, 0},
        {"negative length among the entities", Cat({tb::Title(), tb::Point(1, 0, 0), Chunk(2001, 20, Bytes(), -35)}), true, false, 1},
        {"length past the end of the file", Cat({tb::Title(), Chunk(2001, 20, Bytes().obj(1, 0, 0, 0), 1000)}), true, true, 1},
        {"length 2^31-1 on the last chunk", Cat({tb::Title(), Chunk(2001, 20, Bytes().obj(1, 0, 0, 0), 0x7FFFFFFF)}), true, true, 1},
        // The settings pass hands over at the first entity chunk's header, not
        // where the last settings reader stopped reading:
        {"settings only, last chunk unknown", Cat({tb::Title(), Chunk(1234, 1, Bytes().zeros(10))}), true, true, 0},
        {"settings only, grid chunk longer than its record", Cat({tb::Title(), Chunk(1040, 10, Bytes().zeros(200))}), true, true, 0},
        {"empty entity chunk ending the file", Cat({tb::Title(), Chunk(2007, 20, Bytes())}), true, true, 1},
        {"entity pass after a long grid chunk",
         Cat({tb::Title(), Chunk(1040, 10, Bytes().zeros(200)), tb::Point(1, 0, 0)}), true, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TQ6Data d;
        EXPECT_EQ(d.MemCheck(tb::Span(c.file)), c.check);
        TQ6Data e;
        EXPECT_EQ(e.MemIn(tb::Span(c.file)), c.load);
        EXPECT_EQ(e.EntN, c.entities);
    }
}

TEST(Load, IndexListsEntitiesInFileOrder)
{
    Bytes layers;
    layers.zeros(89521);
    const auto file = Cat({tb::Title(), Chunk(1010, 20, layers), tb::Point(7, 1, 2), tb::Point(8, 3, 4)});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    ASSERT_EQ(d.EntN, 2);
    EXPECT_EQ(d.Ent[0], (TQ6EntNo{200120, 0}));
    EXPECT_EQ(d.Ent[1], (TQ6EntNo{200120, 1}));
    EXPECT_EQ(d.pt[1].obj.id, 8);
    EXPECT_EQ(d.pt[1].pos.Y, 4);
}

TEST(Load, SettingsChunkAmongTheEntitiesIsSkipped)
{
    const auto file = Cat({tb::Title(), Paper(5), tb::Point(1, 0, 0), Paper(9), tb::Point(2, 0, 0)});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    EXPECT_EQ(d.psz.typ, 5);
    EXPECT_EQ(d.ptN, 2);
}

TEST(Load, RepeatedSettingsChunksOverwrite)
{
    const auto file = Cat({tb::Title("first"), Paper(5), Paper(6), tb::Title("second")});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    EXPECT_EQ(d.psz.typ, 6);
    EXPECT_EQ(d.Title, "second");
}

TEST(Load, HeaderInRunsTheSettingsPassOnly)
{
    const auto file = Cat({tb::Title("t"), Paper(5), tb::Point(1, 0, 0)});
    TQ6Data d;
    EXPECT_TRUE(d.MemHeaderIn(tb::Span(file)));
    EXPECT_EQ(d.psz.typ, 5);
    EXPECT_EQ(d.EntN, 0);
}

TEST(Load, TitleIsReadAsFarAsThePayloadAndTheFileGo)
{
    struct Case {
        tb::Buf file;
        const char* title;
    };
    const Case cases[] = {
        {Chunk(1000, 10, Bytes().raw("\x90\x7D\x96\xCA")), "図面"},
        {Chunk(1000, 10, Bytes().raw(std::string_view("AB\0CD", 5))), "AB"},
        {Chunk(1000, 10, Bytes().raw("ABC"), 250), "ABC"},  // the file ends inside the title
        {Cat({Chunk(1000, 10, Bytes().raw("AB"), 2), Paper(3)}), "AB"},
    };
    for (const auto& c : cases) {
        TQ6Data d;
        EXPECT_TRUE(d.MemCheck(tb::Span(c.file)));
        EXPECT_EQ(d.Title, c.title);
    }
}

// Readers that ignore a short length read on into the following chunks; a
// file built to make them do that over and over must not take time or memory
// out of proportion to its size.
TEST(Load, RepeatedOverreadingFailsFast)
{
    tb::Buf file = tb::Title();
    for (int i = 0; i < 4000; ++i) {
        auto c = Chunk(1010, 20, Bytes().zeros(4000));
        file.insert(file.end(), c.begin(), c.end());
    }
    const auto t0 = std::chrono::steady_clock::now();
    TQ6Data d;
    EXPECT_FALSE(d.MemIn(tb::Span(file)));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    // One short layer chunk in an ordinary file still loads.
    const auto one = Cat({tb::Title(), Chunk(1010, 20, Bytes().zeros(10)), Paper(4), tb::Point(1, 2, 3)});
    TQ6Data e;
    EXPECT_TRUE(e.MemIn(tb::Span(one)));
}

class FileLoad : public tempdir::TempDirTest {};

TEST_F(FileLoad, FileAndMemoryLoadTheSame)
{
    tb::Buf file = tb::Title("big");
    for (int i = 0; i < 50000; ++i) {  // spans several read buffers
        auto c = tb::Point(i, i * 0.5, -i);
        file.insert(file.end(), c.begin(), c.end());
    }
    auto t = Chunk(2007, 20, Bytes().obj(1, 0, 0, 0).pt(0, 0).f64(0).u8(0).u8(0).u8(0).fill(3 << 20, 'x').u8(0));
    file.insert(file.end(), t.begin(), t.end());
    const auto p = Write("big.q6", file);
    TQ6Data a, b;
    ASSERT_TRUE(a.FileIn(p));
    ASSERT_TRUE(b.MemIn(tb::Span(file)));
    ASSERT_EQ(a.EntN, 50001);
    EXPECT_EQ(a.pt[49999].pos.Y, -49999);
    EXPECT_EQ(a.tx[0].text.size(), 3u << 20);
    EXPECT_EQ(a.tx[0].text, b.tx[0].text);
}

TEST_F(FileLoad, OnlyRegularFilesThatNoWriterHoldsAreRead)
{
    TQ6Data d;
    EXPECT_FALSE(d.FileCheck((dir_ / "missing.q6").string()));
    EXPECT_FALSE(d.FileIn(dir_.string()));
    EXPECT_FALSE(d.FileIn("/dev/zero"));
    EXPECT_FALSE(d.FileCheck("/dev/null"));
    const auto fifo = (dir_ / "fifo.q6").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(d.FileIn(fifo));

    const auto p = Write("locked.q6", Cat({tb::Title("x"), tb::Point(1, 0, 0)}));
    EXPECT_TRUE(d.FileCheck(p));
    const int fd = ::open(p.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(d.FileCheck(p));
    EXPECT_FALSE(d.FileIn(p));
    ::close(fd);
    EXPECT_TRUE(d.FileIn(p));
}

}  // namespace
