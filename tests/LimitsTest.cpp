// Limits under load: the memory a very large drawing takes, a drawing that
// another process holds locked, and one that another process cuts short
// while it is being read.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ChunkBuilder.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "fuzz/FuzzChecks.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

tb::Buf SampleBytes()
{
    std::ifstream in(std::string(Q6_SOURCE_DIR) + "/samples/sample.q6", std::ios::binary);
    return tb::Buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The sample's settings chunks and its entity chunks, one of every kind.
struct SampleParts {
    tb::Buf settings;
    tb::Buf entities;
};

SampleParts SplitSample()
{
    const tb::Buf b = SampleBytes();
    std::size_t at = 0;
    while (b.size() - at >= 8) {
        std::int16_t id;
        std::int32_t len;
        std::memcpy(&id, &b[at], 2);
        std::memcpy(&len, &b[at + 4], 4);
        if (id >= 2000) break;
        at += 8 + static_cast<std::size_t>(len);
    }
    return {tb::Buf(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(at)),
            tb::Buf(b.begin() + static_cast<std::ptrdiff_t>(at), b.end())};
}

class Limits : public tempdir::TempDirTest {
protected:
    // Writes the settings, then the entity chunks again and again until the
    // file holds at least `size` bytes.
    std::string WriteRepeated(const std::string& name, const tb::Buf& head, const tb::Buf& body, std::size_t size)
    {
        const std::string p = (dir_ / name).string();
        std::ofstream f(p, std::ios::binary);
        f.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
        tb::Buf block;
        while (block.size() < (4u << 20)) block.insert(block.end(), body.begin(), body.end());
        std::size_t written = head.size();
        while (written < size) {
            f.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
            written += block.size();
        }
        f.close();
        EXPECT_TRUE(f) << "cannot write " << p;
        return p;
    }

};

// A drawing of 500 MB or more, every entity kind over and over, loads from
// the file with a peak memory below twice the file's size. Measured in a
// child process, whose peak resident size the kernel reports when it ends.
// Not in the sanitizer build: its shadow memory and quarantine would be
// measured too.
TEST_F(Limits, HalfAGigabyteDrawingLoadsInLessThanTwiceItsSizeOfMemory)
{
    if (kSanitized) GTEST_SKIP() << "peak memory is not meaningful under AddressSanitizer";
    if (fs::space(dir_).available < (1200u << 20)) GTEST_SKIP() << "less than 1.2 GB free in " << dir_;
    const SampleParts parts = SplitSample();
    const std::string p = WriteRepeated("large.q6", parts.settings, parts.entities, 500u << 20);
    const auto size = fs::file_size(p);
    ASSERT_GE(size, 500u << 20);
    const std::int32_t expected = static_cast<std::int32_t>((size - parts.settings.size()) / parts.entities.size() * 23);

    const auto t0 = Clock::now();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        TQ6Data d;
        const bool ok = d.FileIn(p) && d.EntN == expected;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage ru{};
    ASSERT_EQ(::wait4(pid, &status, 0, &ru), pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the drawing did not load with " << expected << " entities";
    const double peak = static_cast<double>(ru.ru_maxrss) * 1024.0;  // ru_maxrss is in KiB
    EXPECT_LT(peak, 2.0 * static_cast<double>(size));
    std::printf("[ figures  ] file %.0f MB, %d entities, peak memory %.0f MB (%.2f x the file), %.1f s\n",
                static_cast<double>(size) / 1e6, expected, peak / 1e6, peak / static_cast<double>(size), seconds);
}

// A damaged drawing made of chunks far shorter than their records cannot
// make a load fill the memory: an empty chunk of an ellipse with edge block
// makes a 336-byte record out of 8 bytes, 40 times as much. The records of
// a load may take twice the file's size (and 16 MiB); beyond that the load
// fails. What our writer makes needs less: the smallest chunks against
// their records are empty texts (47 bytes for an 80-byte record).
TEST(RecordMemory, ChunksFarShorterThanTheirRecordsCannotFillTheMemory)
{
    tb::Buf damaged = tb::Title();
    const auto empty = tb::Chunk(2005, 30, tb::Bytes());
    for (int i = 0; i < 300000; ++i) damaged.insert(damaged.end(), empty.begin(), empty.end());
    TQ6Data d;
    EXPECT_FALSE(d.MemIn(tb::Span(damaged)));  // 300000 records would take 100 MB for a 2.4 MB file
    EXPECT_LT(d.epxN, 300000 / 4);

    tb::Buf texts = tb::Title();
    const auto text = tb::Chunk(2007, 20, tb::Bytes().obj(1, 0, 0, 0).pt(0, 0).f64(0).u8(0).u8(0).u8(0).u8(0));
    for (int i = 0; i < 300000; ++i) texts.insert(texts.end(), text.begin(), text.end());
    TQ6Data t;
    EXPECT_TRUE(t.MemIn(tb::Span(texts)));
    EXPECT_EQ(t.txN, 300000);
}

// A child process that runs `work` and then waits until the parent closes
// its end of a pipe; the parent waits until `work` is done.
class Helper {
public:
    template <class F>
    explicit Helper(F&& work)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const char ok = work() ? 1 : 0;
            if (::write(ready[1], &ok, 1) != 1) ::_exit(2);
            char c;
            while (::read(release[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        char ok = 0;
        ready_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        release_ = release[1];
    }
    ~Helper() { Finish(); }
    bool ready() const { return ready_; }
    void Finish()
    {
        if (release_ >= 0) ::close(release_);
        release_ = -1;
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool ready_ = false;
};

std::string RunCommand(const std::string& command, int& exitCode)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = ::pclose(p);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// Another process holds the drawing with an exclusive lock (as a writer
// does): opening it is refused with the check-failure line, by the open flow
// and by q6tool; once the lock is gone the drawing opens.
TEST_F(Limits, DrawingLockedExclusivelyByAnotherProcessIsRefused)
{
    const tb::Buf sample = SampleBytes();
    const std::string p = (dir_ / "locked.q6").string();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(sample.data()), static_cast<std::streamsize>(sample.size()));
    {
        Helper holder([&] {
            const int fd = ::open(p.c_str(), O_RDWR);
            return fd >= 0 && ::flock(fd, LOCK_EX) == 0;  // held until the process ends
        });
        ASSERT_TRUE(holder.ready());
        TQ6Data d;
        const OpenOutcome r = OpenDrawing(d, p);
        EXPECT_EQ(r, OpenOutcome::CheckFailed);
        EXPECT_STREQ(OpenFailureLine(r), kCheckFailedLine);
        int code = -1;
        const std::string out = RunCommand(std::string(Q6_BIN_DIR) + "/q6tool report '" + p + "'", code);
        EXPECT_EQ(out, std::string(kCheckFailedLine) + "\n");
        EXPECT_EQ(code, 1);
    }
    TQ6Data d;
    EXPECT_EQ(OpenDrawing(d, p), OpenOutcome::Loaded);
    EXPECT_EQ(d.EntN, 23);
}

// Another process cuts the drawing short while it is being read (the shared
// lock keeps our own writers out, not a truncate()): the load fails cleanly,
// in bounded time, wherever the cut lands; unless the cut falls inside the
// last chunk, which then loads as far as the file goes, as it would from a
// file that had been short from the start.
TEST_F(Limits, DrawingCutShortByAnotherProcessWhileReadFailsCleanly)
{
    const SampleParts parts = SplitSample();
    auto write = [&] { return WriteRepeated("shrinking.q6", parts.settings, parts.entities, 24u << 20); };
    const std::string p = write();
    const auto fullSize = static_cast<std::int64_t>(fs::file_size(p));
    struct Case {
        const char* name;
        std::uint64_t when;  // the cut happens once the loader has passed this offset
        std::int64_t to;     // the new size, or with `behind` that many bytes behind the loader
        bool behind;
        bool loads;
    };
    const Case cases[] = {
        {"to nothing, early", 200000, 0, false, false},
        {"to nothing, late", 20u << 20, 0, false, false},
        {"behind the loader, inside its read buffer", 3u << 20, 1000, true, false},
        {"far behind the loader", 12u << 20, 6 << 20, true, false},
        {"ahead of the loader", 2u << 20, (9 << 20) + 3, false, false},
        {"inside the last chunk", 1u << 20, fullSize - 5, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(write(), p);
        FileSource src;
        ASSERT_TRUE(src.Open(p));
        // The cutting process waits for the size to cut to, cuts, and answers.
        int order[2], done[2];
        ASSERT_EQ(::pipe(order), 0);
        ASSERT_EQ(::pipe(done), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(order[1]);
            ::close(done[0]);
            std::int64_t to;
            if (::read(order[0], &to, sizeof to) != sizeof to) ::_exit(1);
            const char ok = ::truncate(p.c_str(), static_cast<off_t>(to)) == 0 ? 1 : 0;
            ::_exit(::write(done[1], &ok, 1) == 1 && ok ? 0 : 1);
        }
        ::close(order[0]);
        ::close(done[1]);
        bool cut = false;
        std::int64_t cutTo = 0;
        ChunkObserver obs = [&](const ChunkEvent& e) {
            if (cut || e.offset < c.when) return;
            cutTo = c.behind ? static_cast<std::int64_t>(e.offset) - c.to : c.to;
            char ok = 0;
            cut = ::write(order[1], &cutTo, sizeof cutTo) == sizeof cutTo && ::read(done[0], &ok, 1) == 1 && ok == 1;
        };
        TQ6Data d;
        const auto t0 = Clock::now();
        const bool loaded = d.Load(src, LoadMode::Whole, &obs);
        const auto took = Clock::now() - t0;
        ::close(order[1]);
        ::close(done[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(cut) << "the file was not cut";
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(p)), cutTo);
        EXPECT_LT(cutTo, fullSize);
        EXPECT_EQ(loaded, c.loads);
        EXPECT_LT(took, std::chrono::seconds(60));
        if (loaded) {
            TQ6Data fresh;
            ASSERT_TRUE(fresh.FileIn(p));
            EXPECT_EQ(fuzzcheck::DocumentImage(d), fuzzcheck::DocumentImage(fresh));
        }
    }
}

}  // namespace
