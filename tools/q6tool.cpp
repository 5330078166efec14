// q6tool: the drawing library for scripts.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Files.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "Unit1/Report.h"
#include "tools/Commands.h"

namespace {

const char* const kUsage =
    "Usage: q6tool COMMAND ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  report FILE          Print the content report of a drawing, as the viewer shows it.\n"
    "                       Exit 0 when the report was printed, 1 when the failure line was.\n"
    "  save IN OUT          Load IN and save it as OUT; prints the viewer's message.\n"
    "                       Exit 0 when saved, 1 when IN does not load or nothing was saved.\n"
    "  chunks FILE          List every chunk: offset, identifier/version, length, kind and\n"
    "                       what loading did with it, then the outcome. Exit 0 when it loads.\n"
    "  json FILE [OUT]      Write the whole drawing as JSON to OUT (or standard output):\n"
    "                       title, settings and every entity in file order, every field.\n"
    "                       Exit 0 when written, 1 when FILE does not load.\n"
    "  build IN.json OUT    Build a drawing from JSON as json writes it and save it as OUT.\n"
    "                       Fields left out take the values of a new document. A bad value\n"
    "                       is refused with its place in the JSON: exit 1, nothing written.\n"
    "                       A text longer than its field is saved cut, with a warning.\n"
    "  schema               Print the JSON Schema of what json writes and build reads.\n"
    "  render FILE OUT [--size WxH] [--view X0,Y0,X1,Y1] [--assume KEY=VALUE]...\n"
    "                       Draw the drawing into OUT: SVG, PNG or PDF by its suffix. Prints\n"
    "                       \"drawn N, approximated M, skipped K\", then per kind and reason.\n"
    "                       Every interpretation is an assumption: q6tool render --help.\n"
    "                       Exit 0 when written, 1 when FILE does not load.\n"
    "  dxf FILE OUT.dxf [--assume KEY=VALUE]...\n"
    "                       Write the drawing as DXF (R2007, UTF-8 texts), one layer per\n"
    "                       kind; prints what was drawn, approximated and skipped.\n"
    "                       Exit 0 when written, 1 when FILE does not load. dxf --help\n"
    "                       lists the mapping and the assumptions.\n"
    "  --help               Show this text.\n"
    "\n"
    "Output is UTF-8, one \"\\n\" after each line. Exit 2 means a usage error; exit 1\n"
    "also when the output could not be written.\n";

int Usage(const char* message)
{
    if (message) std::fprintf(stderr, "q6tool: %s\n\n", message);
    std::fputs(kUsage, stderr);
    return 2;
}

// Why a write to standard output failed, when a write said so.
int g_stdoutErrno = 0;

}  // namespace

TQ6Data& CommandDocument()
{
    static TQ6Data* const doc = new TQ6Data;
    return *doc;
}

void NoteStdoutError(int err)
{
    if (!g_stdoutErrno) g_stdoutErrno = err;
}

namespace {

// Buffered standard output.
class Out {
public:
    ~Out() { Flush(); }
    void Line(std::string_view l)
    {
        buf_ += l;
        buf_ += '\n';
        if (buf_.size() >= (1u << 20)) Flush();
    }
    void Flush()
    {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), stdout) != buf_.size()) NoteStdoutError(errno);
        buf_.clear();
    }

private:
    std::string buf_;
};

// Why a drawing did not open, for the person at the terminal; standard output
// keeps the viewer's line alone.
void ExplainOpenFailure(const std::string& fn, OpenOutcome r)
{
    // The loader's own rule, asked again: the reason is the one that refused the file.
    const OpenedFile f = OpenForReading(fn);
    std::string why = DescribeRefusal(f.refusal, f.err);
    if (f.fd >= 0) {
        ::close(f.fd);
        why = r == OpenOutcome::CheckFailed
                  ? "it does not begin with the title chunk of a drawing (q6tool chunks tells more)"
                  : "the drawing is damaged (q6tool chunks tells where)";
    }
    std::fprintf(stderr, "q6tool: %s: %s\n", fn.c_str(), why.c_str());
}

// The open flow: true when fn loaded; otherwise the viewer's failure line
// on standard output and the cause on standard error.
bool Open(TQ6Data& doc, const std::string& fn, Out& out, const EntitySink* entities = nullptr)
{
    const OpenOutcome r = entities ? OpenDrawing(doc, fn, *entities) : OpenDrawing(doc, fn);
    if (r == OpenOutcome::Loaded) return true;
    out.Line(OpenFailureLine(r));
    out.Flush();
    ExplainOpenFailure(fn, r);
    return false;
}

}  // namespace

bool OpenOrExplain(TQ6Data& doc, const std::string& fn)
{
    Out out;
    return Open(doc, fn, out);
}

bool OpenOrExplain(TQ6Data& doc, const std::string& fn, const EntitySink& entities)
{
    Out out;
    return Open(doc, fn, out, &entities);
}

namespace {

int Report(const std::string& fn)
{
    TQ6Data& doc = CommandDocument();
    Out out;
    if (!Open(doc, fn, out)) return 1;
    out.Flush();
    // The report in blocks of whole lines, straight to standard output.
    WriteReportText(doc, [](std::string_view b) {
        if (std::fwrite(b.data(), 1, b.size(), stdout) != b.size()) NoteStdoutError(errno);
    });
    if (std::fflush(stdout) == 0) return 0;
    NoteStdoutError(errno);  // said when q6tool closes standard output
    return 1;
}

int Save(const std::string& in, const std::string& outName)
{
    TQ6Data& doc = CommandDocument();
    Out out;
    if (!Open(doc, in, out)) return 1;
    const SaveOutcome s = SaveDrawing(&doc, outName);
    out.Line(SaveMessage(s));
    return s == SaveOutcome::Saved ? 0 : 1;
}

// Run at exit: what a command printed must have reached standard output,
// the last buffered bytes and the close included; otherwise the program
// says so and exits with 1, whatever the command returned. (A closed pipe
// ends the program with SIGPIPE before, as it ends other tools.)
void CloseStdout()
{
    const bool failed = std::ferror(stdout) != 0;
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (!flushed && !g_stdoutErrno) g_stdoutErrno = errno;
    errno = 0;
    const bool closed = std::fclose(stdout) == 0;
    // A command that printed nothing may run with standard output closed.
    if (!closed && errno == EBADF && !failed && flushed && !g_stdoutErrno) return;
    if (!closed && !g_stdoutErrno) g_stdoutErrno = errno;
    if (!failed && flushed && closed) return;
    if (g_stdoutErrno)
        std::fprintf(stderr, "q6tool: cannot write to standard output: %s\n", std::strerror(g_stdoutErrno));
    else
        std::fprintf(stderr, "q6tool: cannot write to standard output\n");
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    std::atexit(CloseStdout);
    // Past a file-size limit a write fails (EFBIG) instead of ending the
    // program, so that a save or an output file fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command given");
    const std::string& cmd = args[0];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "report") {
        if (args.size() != 2) return Usage("report takes one file");
        return Report(args[1]);
    }
    if (cmd == "save") {
        if (args.size() != 3) return Usage("save takes an input and an output file");
        return Save(args[1], args[2]);
    }
    if (cmd == "chunks") {
        if (args.size() != 2) return Usage("chunks takes one file");
        return ChunksCommand(args[1]);
    }
    if (cmd == "json") {
        if (args.size() != 2 && args.size() != 3) return Usage("json takes a drawing and, optionally, an output file");
        return JsonCommand(args[1], args.size() == 3 ? args[2] : std::string());
    }
    if (cmd == "build") {
        if (args.size() != 3) return Usage("build takes a JSON file and an output file");
        return BuildCommand(args[1], args[2]);
    }
    if (cmd == "render") return RenderCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    if (cmd == "dxf") return DxfCommand({args.begin() + 1, args.end()});
    if (cmd == "schema") {
        if (args.size() != 1) return Usage("schema takes no arguments");
        return SchemaCommand();
    }
    return Usage(("unknown command: " + cmd).c_str());
}
