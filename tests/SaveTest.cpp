// Saving: the file a document gives, saving safely over an existing drawing,
// and the save flow with its messages, in the library and in q6tool.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ChunkBuilder.h"
#include "Payloads.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using tb::Buf;
using tb::Bytes;
using tb::Cat;
using tb::Chunk;

// The file of a new document, field by field: every default of a drawing.
Buf DefaultFile()
{
    Bytes layers;
    layers.u8(0);
    for (int g = 0; g < 16; ++g) {
        layers.u8(2).u8(0).zeros(17).f64(1.0).zeros(128);
        for (int l = 0; l < 17; ++l) layers.u8(2).u8(0).zeros(4 + 4 + 257 + 17 + 4 + 32);
    }
    Bytes dimex;
    for (int i = 0; i < 3; ++i) dimex.f64(1.0).zeros(70);
    Bytes print;
    print.zeros(16 * 48);
    for (int i = 0; i < 16; ++i) print.i32(1);
    Bytes views;
    for (int i = 0; i < 32; ++i) views.zeros(17).f64(1.0).zeros(300);
    return Cat({Chunk(1000, 10, Bytes().zeros(256)), Chunk(1010, 20, layers),
                Chunk(1020, 20, Bytes().u8(3).u8(0).pt(0, 0).pt(420, 297)), Chunk(1030, 10, Bytes().zeros(140)),
                Chunk(1040, 10, Bytes().zeros(32).i32(5).i32(5).i32(0).i32(1).i32(1).i32(0).i32(1).i32(0).i32(0).i32(0).zeros(108)),
                Chunk(1050, 30, Bytes().zeros(2310)), Chunk(1060, 30, Bytes().zeros(1460)), Chunk(1060, 40, dimex),
                Chunk(1070, 20, Bytes().zeros(1154)), Chunk(1080, 20, print), Chunk(1085, 10, Bytes().zeros(84)),
                Chunk(1090, 20, Bytes().zeros(1088)), Chunk(1100, 20, views)});
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Entries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Save : public tempdir::TempDirTest {};

TEST_F(Save, ANewDocumentGivesTheDefaultsIn107797Bytes)
{
    const Buf want = DefaultFile();
    ASSERT_EQ(want.size(), 107797u);
    TQ6Data d;
    const auto p = dir_ / "new.q6";
    ASSERT_TRUE(d.FileOut(p.string()));
    EXPECT_EQ(ReadFile(p), fx::Str(want));
    std::string mem;
    ASSERT_TRUE(d.MemOut(mem));
    EXPECT_EQ(mem, fx::Str(want));
    // After a load of a file without settings chunks, the same.
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn(tb::Span(tb::Title())));
    ASSERT_TRUE(loaded.MemOut(mem));
    EXPECT_EQ(mem, fx::Str(want));
}

// The 17- and 33-byte fields of a text with its own style are zero-filled
// after their texts, whatever a longer text written before them held.
TEST_F(Save, AStyledTextAfterALongTextHasCleanFields)
{
    const Bytes head = Bytes().obj(1, 0, 0, 0).pt(0, 0).f64(0).u8(0).u8(0).u8(0);
    Bytes styled = head;
    styled.raw("t").u8(0);
    fx::StyleEntry(styled, fx::Style{"S", "F", 1, 2, 3});
    const Buf file = Cat({tb::Title(), Chunk(2007, 20, Bytes(head).fill(2000, 'x').u8(0)), Chunk(2007, 30, styled)});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    const auto p = dir_ / "styled.q6";
    ASSERT_TRUE(d.FileOut(p.string()));
    EXPECT_EQ(ReadFile(p).substr(107797), fx::Str(Cat({Chunk(2007, 20, Bytes(head).fill(2000, 'x').u8(0)),
                                                      Chunk(2007, 30, styled)})));
}

TEST_F(Save, ToAMissingDirectoryFailsAndCreatesNothing)
{
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title(), tb::Point(1, 2, 3)}))));
    EXPECT_FALSE(d.FileOut((dir_ / "missing" / "x.q6").string()));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_TRUE(Entries(dir_).empty());
    EXPECT_EQ(SaveDrawing(&d, (dir_ / "missing" / "x.q6").string()), SaveOutcome::Failed);
    EXPECT_TRUE(Entries(dir_).empty());
}

TEST_F(Save, ReplacesAnExistingFile)
{
    const auto p = dir_ / "old.q6";
    WriteFile(p, std::string(300000, 'o'));
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("new"), tb::Point(1, 2, 3)}))));
    ASSERT_TRUE(d.FileOut(p.string()));
    std::string mem;
    ASSERT_TRUE(d.MemOut(mem));
    EXPECT_EQ(ReadFile(p), mem);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"old.q6"});
}

// An existing file is replaced only where it could have been overwritten in
// place; a file that another program holds under a lock, or that we may not
// write, is refused and keeps its bytes.
TEST_F(Save, RefusesATargetItCouldNotOverwrite)
{
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("new"), tb::Point(1, 2, 3)}))));
    const std::string old = "the old drawing";
    struct Case {
        const char* name;
        int lock;     // a lock that another open file holds on the target, or 0
        bool readOnly;
    };
    const Case cases[] = {
        {"read by another program (shared lock)", LOCK_SH, false},
        {"written by another program (exclusive lock)", LOCK_EX, false},
        {"read-only", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readOnly && ::geteuid() == 0) continue;  // permissions do not bind root
        const auto target = dir_ / "held.q6";
        fs::remove(target);
        WriteFile(target, old);
        int holder = -1;
        if (c.lock) {
            holder = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(holder, 0);
            ASSERT_EQ(::flock(holder, c.lock | LOCK_NB), 0);
        }
        if (c.readOnly) ::chmod(target.c_str(), 0444);
        EXPECT_FALSE(d.FileOut(target.string()));
        EXPECT_EQ(ReadFile(target), old);
        EXPECT_EQ(Entries(dir_), std::vector<std::string>{"held.q6"});
        if (holder >= 0) ::close(holder);
        ::chmod(target.c_str(), 0644);
        // Once the other program lets go, the same save succeeds.
        if (c.lock) {
            EXPECT_TRUE(d.FileOut(target.string()));
        }
    }
}

// Names at the edges of what the system allows: a name of 255 bytes (the
// temporary file beside it must not need more), and a symbolic link to a
// file that does not exist yet, which the save creates.
TEST_F(Save, LongNamesAndLinksToNewFiles)
{
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("new"), tb::Point(1, 2, 3)}))));
    std::string mem;
    ASSERT_TRUE(d.MemOut(mem));

    const auto longName = dir_ / (std::string(252, 'n') + ".q6");
    ASSERT_TRUE(d.FileOut(longName.string()));
    EXPECT_EQ(ReadFile(longName), mem);
    fs::remove(longName);

    const auto link = dir_ / "link.q6";
    fs::create_symlink("real.q6", link);
    ASSERT_TRUE(d.FileOut(link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(dir_ / "real.q6"), mem);
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"link.q6", "real.q6"}));
}

// A save that fails part-way (here: the file-size limit is reached) returns
// false, leaves no temporary file, and keeps an existing file as it was. The
// limit's signal keeps its default disposition, which would end the process:
// the save itself must keep it from doing so (the viewer saves through here).
TEST_F(Save, AWriteFailurePartWayLosesNothing)
{
    TQ6Data d;
    Bytes payload = Bytes().obj(1, 0, 0, 0).i32(3 << 20).i32(0).zeros(64);
    fx::Append(payload, fx::Seq(3 << 20));
    const Buf bitmap = Chunk(2018, 90, payload);
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("drawing"), bitmap}))));
    const std::string old = "the old drawing, which must survive";
    struct Case {
        const char* name;
        rlim_t limit;  // bytes a file may have
        bool existing;
    };
    const Case cases[] = {
        {"inside the settings, over an existing file", 50000, true},
        {"inside the entities, over an existing file", 1 << 20, true},
        {"inside the settings, new file", 50000, false},
        {"at the first byte, new file", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto target = dir_ / "target.q6";
        fs::remove(target);
        if (c.existing) WriteFile(target, old);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit rl{c.limit, c.limit};
            if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(3);
            ::_exit(d.FileOut(target.string()) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "1: FileOut reported success";
        if (c.existing) {
            EXPECT_EQ(Entries(dir_), std::vector<std::string>{"target.q6"});
            EXPECT_EQ(ReadFile(target), old);
        } else {
            EXPECT_TRUE(Entries(dir_).empty());
        }
    }
    // Without the limit the same save succeeds.
    ASSERT_TRUE(d.FileOut((dir_ / "target.q6").string()));
    EXPECT_EQ(fs::file_size(dir_ / "target.q6"), 107797u + 8u + 83u + (3u << 20));
}

TEST_F(Save, SaveFlowMessages)
{
    const auto out = (dir_ / "out.q6").string();
    EXPECT_EQ(SaveDrawing(nullptr, out), SaveOutcome::NoDocument);
    EXPECT_STREQ(SaveMessage(SaveOutcome::NoDocument), "Q6データが生成されていません。");
    TQ6Data fresh;
    EXPECT_EQ(SaveDrawing(&fresh, out), SaveOutcome::NotOpened);
    EXPECT_STREQ(SaveMessage(SaveOutcome::NotOpened), "Q6データが開かれていません。");
    TQ6Data settingsOnly;
    ASSERT_TRUE(settingsOnly.MemIn(tb::Span(Cat({tb::Title("s"), Chunk(1020, 20, Bytes().u8(4).zeros(33))}))));
    EXPECT_EQ(SaveDrawing(&settingsOnly, out), SaveOutcome::NotOpened);
    EXPECT_TRUE(Entries(dir_).empty());
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(Cat({tb::Title("s"), tb::Point(1, 2, 3)}))));
    EXPECT_EQ(SaveDrawing(&d, out), SaveOutcome::Saved);
    EXPECT_STREQ(SaveMessage(SaveOutcome::Saved), "Q6データを保存しました。");
    EXPECT_STREQ(SaveMessage(SaveOutcome::Failed), "Q6データが保存出来ませんでした。");
    TQ6Data back;
    ASSERT_TRUE(back.FileIn(out));
    EXPECT_EQ(back.pt[0].pos, (TDPoint{2, 3}));
}

// q6tool save IN OUT: the load of the open flow, then the save flow's message.
TEST_F(Save, CommandLineSave)
{
    const std::string tool = std::string(Q6_BIN_DIR) + "/q6tool";
    ASSERT_TRUE(fs::exists(tool));
    const auto drawing = dir_ / "in.q6";
    const Buf in = Cat({tb::Title("t"), tb::Point(1, 2, 3), Chunk(2002, 20, Bytes().obj(2, 0, 0, 0).pt(0, 0).pt(1, 1))});
    WriteFile(drawing, fx::Str(in));
    const auto settingsOnly = dir_ / "settings.q6";
    WriteFile(settingsOnly, fx::Str(tb::Title("t")));
    const auto notADrawing = dir_ / "text.q6";
    WriteFile(notADrawing, "hello, world");
    const auto broken = dir_ / "broken.q6";
    WriteFile(broken, fx::Str(Cat({tb::Title("t"), Chunk(2001, 99, Bytes().zeros(27))})));

    struct Case {
        const char* name;
        fs::path in;
        fs::path out;
        std::string line;
        int status;
        bool written;
    };
    const Case cases[] = {
        {"a drawing", drawing, dir_ / "a.q6", "Q6データを保存しました。", 0, true},
        {"no entities", settingsOnly, dir_ / "b.q6", "Q6データが開かれていません。", 1, false},
        {"not a drawing", notADrawing, dir_ / "c.q6",
         "◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。", 1, false},
        {"a drawing that does not load", broken, dir_ / "d.q6", "◆ファイル読み込みエラーです。中止します。", 1, false},
        {"a missing directory", drawing, dir_ / "none" / "e.q6", "Q6データが保存出来ませんでした。", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cmd = "'" + tool + "' save '" + c.in.string() + "' '" + c.out.string() + "' 2>/dev/null";
        FILE* p = ::popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string output;
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
        const int status = ::pclose(p);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_EQ(output, c.line + "\n");
        EXPECT_EQ(fs::exists(c.out), c.written);
    }
    // What the tool wrote is what the library writes for the loaded drawing.
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(in)));
    std::string mem;
    ASSERT_TRUE(d.MemOut(mem));
    EXPECT_EQ(ReadFile(dir_ / "a.q6"), mem);
    EXPECT_EQ(mem.substr(107797), fx::Str(Cat({tb::Point(1, 2, 3), Chunk(2002, 20, Bytes().obj(2, 0, 0, 0).pt(0, 0).pt(1, 1))})));
}

// q6tool save under a file-size limit, with the limit's signal at its default
// disposition as a shell leaves it: the failure message and exit status 1,
// the old drawing as it was, no temporary file.
TEST_F(Save, CommandLineSaveUnderAFileSizeLimit)
{
    const std::string tool = std::string(Q6_BIN_DIR) + "/q6tool";
    Bytes payload = Bytes().obj(1, 0, 0, 0).i32(1 << 20).i32(0).zeros(64);
    fx::Append(payload, fx::Seq(1 << 20));
    const auto drawing = dir_ / "in.q6";
    WriteFile(drawing, fx::Str(Cat({tb::Title("t"), Chunk(2018, 90, payload)})));
    const auto target = dir_ / "old.q6";
    const std::string old = "the old drawing";
    WriteFile(target, old);
    const auto output = dir_ / "output";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(10);
        ::signal(SIGXFSZ, SIG_DFL);
        // Larger than the settings and the message, smaller than the drawing.
        const rlimit rl{500000, 500000};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(11);
        ::execl(tool.c_str(), tool.c_str(), "save", drawing.c_str(), target.c_str(), static_cast<char*>(nullptr));
        ::_exit(12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFile(output), "Q6データが保存出来ませんでした。\n");
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"in.q6", "old.q6", "output"}));
}

}  // namespace
