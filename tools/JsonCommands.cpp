// q6tool json, build and schema.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "tools/Commands.h"
#include "Q6Json/Json.h"

namespace {

bool ReadWhole(const std::string& fn, std::string& text)
{
    std::FILE* f = std::fopen(fn.c_str(), "rb");
    if (!f) return false;
    text.clear();
    // A regular file in one read of its size, into a string of that size:
    // one copy of the text, however long; then whatever follows (what a pipe
    // gives, or what a file gained meanwhile).
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        text.resize(static_cast<std::size_t>(st.st_size));
        text.resize(std::fread(text.data(), 1, text.size(), f));
    }
    char buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

int JsonCommand(const std::string& file, const std::string& out)
{
    TQ6Data& doc = CommandDocument();
    const OpenOutcome r = OpenDrawing(doc, file);
    if (r != OpenOutcome::Loaded) {
        std::fprintf(stderr, "%s\n", OpenFailureLine(r));
        return 1;
    }
    std::FILE* f = out.empty() ? stdout : std::fopen(out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "q6tool: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    int err = 0;  // why a write failed
    const auto note = [&err](bool ok) {
        if (!ok && !err) err = errno;
        return ok;
    };
    bool ok = ExportJson(doc, [&](std::string_view s) { return note(std::fwrite(s.data(), 1, s.size(), f) == s.size()); });
    ok = note(std::fflush(f) == 0) && ok;
    if (!out.empty()) {
        // A cut file is removed; a device, a pipe or the file a link names is not.
        struct stat st {};
        struct stat name {};
        const bool regular = ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) &&
                             ::lstat(out.c_str(), &name) == 0 && S_ISREG(name.st_mode);
        ok = note(std::fclose(f) == 0) && ok;
        if (!ok && regular) std::remove(out.c_str());
    } else if (!ok && std::ferror(stdout)) {
        NoteStdoutError(err);  // said when q6tool closes standard output
        return 1;
    }
    if (!ok)
        std::fprintf(stderr, "q6tool: cannot write %s%s%s\n", out.empty() ? "the JSON" : out.c_str(), err ? ": " : "",
                     err ? std::strerror(err) : "");
    return ok ? 0 : 1;
}

int BuildCommand(const std::string& in, const std::string& out)
{
    std::string text;
    if (!ReadWhole(in, text)) {
        std::fprintf(stderr, "q6tool: cannot read %s: %s\n", in.c_str(), std::strerror(errno));
        return 1;
    }
    TQ6Data& doc = CommandDocument();
    std::string error;
    std::vector<std::string> warnings;
    if (!ImportJson(text, doc, error, &warnings)) {
        std::fprintf(stderr, "q6tool: %s: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    for (const std::string& w : warnings) std::fprintf(stderr, "q6tool: %s: warning: %s\n", in.c_str(), w.c_str());
    text = std::string();
    if (!doc.FileOut(out)) {
        std::fprintf(stderr, "q6tool: cannot save %s\n", out.c_str());
        return 1;
    }
    return 0;
}

int SchemaCommand()
{
    const std::string s = JsonSchema();
    if (std::fwrite(s.data(), 1, s.size(), stdout) != s.size() || std::fflush(stdout) != 0) {
        NoteStdoutError(errno);  // said when q6tool closes standard output
        return 1;
    }
    return 0;
}
