// q6tool chunks: the file's structure, chunk by chunk, as the loader saw it.
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Q6Data.h"
#include "tools/Commands.h"

namespace {

// printf to standard output; a failed write is noted for the message at exit.
[[gnu::format(printf, 1, 2)]] void Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (std::vprintf(format, args) < 0) NoteStdoutError(errno);
    va_end(args);
}

std::string Describe(const ChunkEvent& e)
{
    const char* kind = q6kinds::ChunkName(e.id, e.version);
    char head[96];
    std::snprintf(head, sizeof head, "%12" PRIu64 "  %5d/%-5u %11d  ", e.offset, e.id, e.version, e.length);
    std::string s = head;
    s += kind ? kind : "unknown";
    s += ": ";
    switch (e.what) {
    case ChunkEvent::Read: s += "read"; break;
    case ChunkEvent::ReaderFailed: s += "refused by its reader; loading fails here"; break;
    case ChunkEvent::Unknown: s += "skipped (unknown kind)"; break;
    case ChunkEvent::OtherPass:
        s += e.pass == LoadPass::Entities ? "skipped (a settings chunk among the entities)" : "skipped";
        break;
    case ChunkEvent::HandOver: s += "the settings pass stops at this entity chunk"; break;
    case ChunkEvent::NegativeLength: s += "negative length; loading fails here"; break;
    case ChunkEvent::BadHeader: s += "stray bytes"; break;
    }
    if (e.pastEnd) s += "; its length runs past the end of the file";
    if (e.ends && !e.result && e.what != ChunkEvent::ReaderFailed && e.what != ChunkEvent::NegativeLength &&
        e.what != ChunkEvent::HandOver)
        s += e.pass == LoadPass::Entities ? "; the entities must start with a chunk that loads: loading fails here"
                         : "; the file must start with a settings chunk that loads: loading fails here";
    return s;
}

}  // namespace

int ChunksCommand(const std::string& file)
{
    FileSource src;
    if (!src.Open(file)) {
        Print("cannot open %s (missing, not a regular file, or locked by a writer)\n", file.c_str());
        Print("check: failed  load: failed\n");
        return 1;
    }
    const std::uint64_t size = src.Size();
    Print("%12s  %-11s %11s  %s\n", "offset", "id/version", "length", "kind: what loading did");
    TQ6Data check;
    std::string why;
    ChunkObserver checkObs = [&](const ChunkEvent& e) {
        if (e.what == ChunkEvent::BadHeader)
            why = size == 0 ? "the file is empty" : "the file is shorter than one chunk header";
        else if (e.what != ChunkEvent::Read)
            why = "the first chunk must be the title chunk 1000/10 with a length of 0 to 256";
    };
    const bool checked = check.Load(src, LoadMode::Check, &checkObs);
    TQ6Data doc;
    ChunkEvent pending;
    bool hasPending = false;
    ChunkObserver obs = [&](const ChunkEvent& e) {
        if (e.what == ChunkEvent::BadHeader) {
            Print("%12" PRIu64 "  %" PRIu64 " stray byte(s) at the end, too few for a chunk header; loading fails here\n",
                        e.offset, size - e.offset);
            return;
        }
        // The chunk that hands over to the entity pass is listed once, by that pass.
        if (e.what == ChunkEvent::HandOver) {
            pending = e;
            hasPending = true;
            return;
        }
        if (e.pass == LoadPass::Entities) hasPending = false;
        Print("%s\n", Describe(e).c_str());
    };
    const bool loaded = doc.Load(src, LoadMode::Whole, &obs);
    if (size == 0) Print("%12d  the file is empty: there is no chunk\n", 0);
    if (hasPending)  // the entity pass never started
        Print("%s; no settings chunk was read before it, so loading fails here\n",
                    Describe(pending).c_str());
    Print("file size %" PRIu64 " bytes; check: %s; load: %s; %d entities\n", size,
                checked ? "passed" : ("failed (" + why + ")").c_str(), loaded ? "passed" : "failed", doc.EntN);
    return checked && loaded ? 0 : 1;
}
