// Opening a drawing for reading: which files the loader refuses, and that
// q6tool's message names the refusal the loader met.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "ChunkBuilder.h"
#include "Q6Unit/Files.h"
#include "Q6Unit/Q6Data.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace {

using toolrun::ReadFile;
using toolrun::Tool;

class OpenForReadingTest : public tempdir::TempDirTest {};

TEST_F(OpenForReadingTest, EachRefusalIsTheOneQ6toolGives)
{
    const tb::Buf drawing = tb::Cat({tb::Title("x"), tb::Point(1, 0, 0)});
    const std::string good = Write("good.q6", drawing);
    const std::string locked = Write("locked.q6", drawing);
    const std::string fifo = (dir_ / "fifo.q6").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A socket cannot be opened at all; it is still told as not a regular file.
    const std::string sock = (dir_ / "sock.q6").string();
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // Another program's exclusive lock, as one of our writers holds while it replaces the file.
    const int holder = ::open(locked.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    const struct {
        std::string path;
        OpenRefusal refusal;
        int err;
        std::string text;
    } cases[] = {
        {good, OpenRefusal::None, 0, ""},
        {(dir_ / "missing.q6").string(), OpenRefusal::System, ENOENT, "No such file or directory"},
        {good + "/inside.q6", OpenRefusal::System, ENOTDIR, "Not a directory"},
        {dir_.string(), OpenRefusal::NotRegular, 0, "not a regular file"},
        {fifo, OpenRefusal::NotRegular, 0, "not a regular file"},
        {sock, OpenRefusal::NotRegular, 0, "not a regular file"},
        {"/dev/null", OpenRefusal::NotRegular, 0, "not a regular file"},
        {locked, OpenRefusal::Locked, 0, "another program holds it open for writing"},
    };
    const std::string errFile = (dir_ / "stderr.txt").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const OpenedFile f = OpenForReading(c.path);
        EXPECT_EQ(f.refusal, c.refusal);
        EXPECT_EQ(f.err, c.err);
        EXPECT_EQ(f.fd >= 0, c.refusal == OpenRefusal::None);
        EXPECT_EQ(DescribeRefusal(f.refusal, f.err), c.text);
        if (f.fd >= 0) {
            EXPECT_EQ(f.size, drawing.size());
            ::close(f.fd);
        }
        TQ6Data d;
        EXPECT_EQ(d.FileCheck(c.path), c.refusal == OpenRefusal::None);
        EXPECT_EQ(d.FileIn(c.path), c.refusal == OpenRefusal::None);
        if (c.refusal == OpenRefusal::None) continue;
        const auto r = Tool("report '" + c.path + "'", errFile);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(ReadFile(errFile), "q6tool: " + c.path + ": " + c.text + "\n");
    }
    ::close(holder);
    ::close(s);
    // Once the writer is gone the file opens, and its shared lock keeps a writer out.
    const OpenedFile f = OpenForReading(locked);
    ASSERT_GE(f.fd, 0);
    const int writer = ::open(locked.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    EXPECT_NE(::flock(writer, LOCK_EX | LOCK_NB), 0);
    ::close(f.fd);
    EXPECT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
    ::close(writer);
}

}  // namespace
