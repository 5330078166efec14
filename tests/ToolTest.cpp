// q6tool as a script sees it: output, exit status, files written.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ChunkBuilder.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace {

using toolrun::ReadFile;
using toolrun::Tool;
using toolrun::ToolRun;

class ToolTest : public tempdir::TempDirTest {};

const std::string kSample = std::string(Q6_SOURCE_DIR) + "/samples/sample.q6";

TEST_F(ToolTest, ReportOfTheSample)
{
    const ToolRun r = Tool("report " + kSample);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("図面タイトル：サンプル図面 Q6\n", 0), 0u);
    EXPECT_NE(r.out.find("\n----------\n点：1\n線：1\n"), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("グループBAR：1\n"));
}

TEST_F(ToolTest, FailureLinesAndExitStatus)
{
    const std::string notQ6 = Write("not.q6", tb::Buf{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    const std::string badLoad = Write("bad.q6", tb::Cat({tb::Title("x"), tb::Buf{1, 2, 3}}));
    const std::string checkLine = "◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。\n";
    const std::string loadLine = "◆ファイル読み込みエラーです。中止します。\n";
    struct Case {
        std::string args;
        int status;
        std::string out;
        std::string err;  // what standard error says of the cause
    };
    const Case cases[] = {
        {"report " + notQ6, 1, checkLine, "not.q6: it does not begin with the title chunk of a drawing"},
        {"report " + (dir_ / "missing.q6").string(), 1, checkLine, "missing.q6: No such file or directory"},
        {"report " + dir_.string(), 1, checkLine, ": not a regular file"},
        {"report " + badLoad, 1, loadLine, "bad.q6: the drawing is damaged"},
        {"save " + badLoad + " " + (dir_ / "out.q6").string(), 1, loadLine, "bad.q6: the drawing is damaged"},
        {"report", 2, "", "report takes one file"},
        {"frobnicate x", 2, "", "unknown command: frobnicate"},
        {"", 2, "", "no command given"},
    };
    const std::string errFile = (dir_ / "stderr.txt").string();
    for (const auto& c : cases) {
        const ToolRun r = Tool(c.args, errFile);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_NE(ReadFile(errFile).find(c.err), std::string::npos) << c.args << ": " << ReadFile(errFile);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.q6"));
    const ToolRun help = Tool("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"report", "save", "chunks"}) EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST_F(ToolTest, SaveWritesTheSameBytesAndRefusesADrawingWithoutEntities)
{
    const std::string out = (dir_ / "copy.q6").string();
    ToolRun r = Tool("save " + kSample + " " + out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Q6データを保存しました。\n");
    EXPECT_EQ(ReadFile(out), ReadFile(kSample));

    const std::string settingsOnly = Write("settings.q6", tb::Title("only settings"));
    const std::string none = (dir_ / "none.q6").string();
    r = Tool("save " + settingsOnly + " " + none);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Q6データが開かれていません。\n");
    EXPECT_FALSE(std::filesystem::exists(none));

    r = Tool("save " + kSample + " " + (dir_ / "no-such-dir" / "x.q6").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Q6データが保存出来ませんでした。\n");
}

TEST_F(ToolTest, ChunksExplainWhyAFileDoesNotLoad)
{
    const std::string good = Write("good.q6", tb::Cat({tb::Title("t"), tb::Chunk(1234, 1, tb::Bytes().zeros(4)), tb::Point(1, 0, 0)}));
    ToolRun r = Tool("chunks " + good);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("1234/1"), std::string::npos);
    EXPECT_NE(r.out.find("unknown: skipped (unknown kind)"), std::string::npos);
    EXPECT_NE(r.out.find("point: read"), std::string::npos);
    EXPECT_NE(r.out.find("check: passed; load: passed; 1 entities"), std::string::npos);

    const std::string stray = Write("stray.q6", tb::Cat({tb::Title("t"), tb::Point(1, 0, 0), tb::Buf{9, 9, 9}}));
    r = Tool("chunks " + stray);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("3 stray byte(s) at the end"), std::string::npos);
    EXPECT_NE(r.out.find("load: failed"), std::string::npos);

    const std::string entityFirst = Write("entity-first.q6", tb::Point(1, 0, 0));
    r = Tool("chunks " + entityFirst);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no settings chunk was read before it"), std::string::npos);
}

// Every damaged file gets a line that says where and why loading fails.
TEST_F(ToolTest, ChunksOfDamagedFiles)
{
    using tb::Bytes;
    using tb::Cat;
    using tb::Chunk;
    struct Case {
        const char* name;
        tb::Buf file;
        const char* says;
    };
    const Case cases[] = {
        {"empty", {}, "the file is empty"},
        {"short", tb::Buf{1, 2, 3}, "failed (the file is shorter than one chunk header)"},
        {"first chunk unknown", Cat({Chunk(1234, 1, Bytes().zeros(4)), tb::Title()}),
         "unknown: skipped (unknown kind); the file must start with a settings chunk that loads: loading fails here"},
        {"title too long for the check", Chunk(1000, 10, Bytes().fill(300, 'a')),
         "check: failed (the first chunk must be the title chunk 1000/10 with a length of 0 to 256)"},
        {"first entity chunk unknown", Cat({tb::Title(), Chunk(2001, 99, Bytes().zeros(27))}),
         "unknown: skipped (unknown kind); the entities must start with a chunk that loads: loading fails here"},
        {"negative length", Cat({tb::Title(), tb::Point(1, 0, 0), Chunk(2001, 20, Bytes(), -35)}),
         "point: negative length; loading fails here"},
        {"group too short", Cat({tb::Title(), Chunk(2032, 30, Bytes().zeros(400))}),
         "dimension group: refused by its reader; loading fails here"},
        {"length past the end", Cat({tb::Title(), Chunk(2001, 20, Bytes().obj(1, 0, 0, 0), 1000)}),
         "point: read; its length runs past the end of the file"},
        {"settings chunk among the entities", Cat({tb::Title(), tb::Point(1, 0, 0), tb::Title()}),
         "title: skipped (a settings chunk among the entities)"},
    };
    for (const auto& c : cases) {
        const ToolRun r = Tool("chunks " + Write("damaged.q6", c.file));
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.name << "\n" << r.out;
    }
}

// Output that does not reach its file is a failure: every command whose
// standard output is a full disk (/dev/full), and an output file on one,
// ends with exit status 1 and says why on standard error.
TEST_F(ToolTest, OutputToAFullDiskFails)
{
    namespace fs = std::filesystem;
    const std::string full = (dir_ / "full").string();  // a link, so that no failure can remove the device
    fs::create_symlink("/dev/full", full);
    const std::string json = (dir_ / "ok.json").string();
    std::ofstream(json) << R"({"format": 1, "entities": [{"kind": "pt"}]})";
    const std::string noSpace = "q6tool: cannot write to standard output: No space left on device\n";
    struct Case {
        std::string args;
        std::string err;  // all of standard error
    };
    const Case cases[] = {
        {"report " + kSample, noSpace},
        {"report " + (dir_ / "missing.q6").string(),  // the failure line is lost too
         "q6tool: " + (dir_ / "missing.q6").string() + ": No such file or directory\n" + noSpace},
        {"save " + kSample + " " + (dir_ / "saved.q6").string(), noSpace},
        {"chunks " + kSample, noSpace},
        {"json " + kSample, noSpace},
        {"json " + kSample + " " + full, "q6tool: cannot write " + full + ": No space left on device\n"},
        {"build " + json + " " + full, "q6tool: cannot save " + full + "\n"},
        {"schema", noSpace},
        {"--help", noSpace},
    };
    const std::string err = (dir_ / "err").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string cmd = std::string(Q6_BIN_DIR) + "/q6tool " + c.args + " >/dev/full 2>" + err;
        const int st = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(st));
        EXPECT_EQ(WEXITSTATUS(st), 1);
        EXPECT_EQ(ReadFile(err), c.err);
    }
    EXPECT_TRUE(fs::is_symlink(full));
    // The save itself was made; only its message was lost.
    EXPECT_EQ(ReadFile((dir_ / "saved.q6").string()), ReadFile(kSample));
}

}  // namespace
