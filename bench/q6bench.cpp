// Measures loading, saving, the report and JSON on one drawing, next to the
// raw speed of reading and writing the same bytes on this machine in the same
// run (a read from the page cache, a write + fsync, and dd with conv=fsync),
// in MB/s and per entity.
//   q6bench FILE [--runs N]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include "Func_/Func_.h"
#include "Q6Unit/DynArray.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Report.h"
#include "Q6Json/FastImport.h"
#include "Q6Json/Json.h"

#include "bench/Timing.h"

// jemalloc's control, when the program is linked with it (Func_/Allocator.cpp).
extern "C" int mallctl(const char*, void*, std::size_t*, void*, std::size_t) __attribute__((weak));

namespace {

using bench::Best;
using bench::Clock;

// Reads the file into buf (allocated once, outside the timing).
bool ReadInto(const std::string& path, std::vector<char>& buf)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
    if (buf.size() != size) buf.resize(size);
    std::size_t done = 0;
    while (done < buf.size()) {
        const ssize_t r = ::pread(fd, buf.data() + done, buf.size() - done, static_cast<off_t>(done));
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return done == size;
}

bool WriteAllSync(const std::string& path, const std::vector<char>& buf)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (done < buf.size()) {
        const ssize_t r = ::write(fd, buf.data() + done, std::min<std::size_t>(buf.size() - done, 8u << 20));
        if (r <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(r);
    }
    ok = ::fsync(fd) == 0 && ok;
    ::close(fd);
    return ok;
}

// Fresh memory from the system: n bytes mapped, one byte written in each
// page (each write a fault), released. With `huge` the mapping is advised
// for transparent huge pages, as the programs' allocator and the large
// array blocks get it: one fault each 2 MiB, where the system gives them.
void TouchFresh(std::size_t n, bool huge)
{
    n = q6mem::HugeRound(n);
    void* m = huge ? q6mem::MapHuge(n) : ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return;
    auto* p = static_cast<volatile char*>(m);
    for (std::size_t i = 0; i < n; i += 4096) p[i] = 1;
    huge ? q6mem::UnmapHuge(m, n) : static_cast<void>(::munmap(m, n));
}

// Takes every event of the JSON reader's library and keeps nothing: its
// parse alone, the bound of an import that reads through it.
struct NullSax final : nlohmann::json_sax<nlohmann::ordered_json> {
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

// The allocator this program runs with, as the figures depend on it.
std::string AllocatorName()
{
    if (!mallctl) return "the C library's malloc";
    const char* thp = nullptr;
    std::size_t n = sizeof thp;
    if (mallctl("opt.thp", &thp, &n, nullptr, 0) == 0 && thp) return std::string("jemalloc, thp:") + thp;
    return "jemalloc";
}

// The process's peak resident memory (VmHWM), in KiB.
long MaxRssKiB()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

// Runs the program `argv[0]` with `env` added to the environment and
// returns what it writes to standard output (standard error is dropped).
std::string Output(const std::vector<std::string>& argv, const char* env = nullptr)
{
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 2);
        if (env) ::putenv(const_cast<char*>(env));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        _exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    return out;
}

// A program beside this one (q6tool, q6viewer_timing), or "" when there is none.
std::string Sibling(const char* name)
{
    char self[4096];
    const ssize_t k = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (k <= 0) return {};
    std::string p(self, static_cast<std::size_t>(k));
    p = p.substr(0, p.rfind('/') + 1) + name;
    return ::access(p.c_str(), X_OK) == 0 ? p : std::string();
}

// Runs a whole process with its output to /dev/null; the seconds from the
// fork to its end, or a negative value when it did not exit with 0. `cpu`
// gets the processor time it used (user + system), which other work on the
// machine changes less than the wall time.
double TimedRun(const std::vector<std::string>& argv, double& cpu)
{
    const auto t0 = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return -1;
    int st = 0;
    rusage ru{};
    ::wait4(pid, &st, 0, &ru);
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0 ? t : -1;
}

// The best of `runs` whole-process runs, in wall time and (apart) in
// processor time; negative when one failed.
struct RunTimes {
    double wall = -2;  // -2: not run
    double cpu = 0;
};
RunTimes BestRun(int runs, const std::vector<std::string>& argv, const std::function<void()>& after = {})
{
    RunTimes best{1e300, 1e300};
    for (int i = 0; i < runs; ++i) {
        double cpu = 0;
        const double t = TimedRun(argv, cpu);
        if (after) after();
        if (t < 0) return {-1, 0};
        best.wall = std::min(best.wall, t);
        best.cpu = std::min(best.cpu, cpu);
    }
    return best;
}

// Peak resident memory of a load, measured in a fresh process (this program
// run again with --load-peak), so that nothing else it holds is counted.
long LoadPeakKiB(const char* self, const std::string& path, long& before)
{
    long peak = -1;
    const std::string out = Output({self, "--load-peak", path});
    if (std::sscanf(out.c_str(), "%ld %ld", &before, &peak) != 2) return -1;
    return peak;
}

// The viewer's part for the same file: q6viewer_timing (built with the
// viewer, beside this program) fills the real window's memo with the report
// on the offscreen platform, and tells the time from a click on the open
// button to the report on screen.
bool ViewerTimes(const std::string& path, double& openMs, double& fillMs)
{
    const std::string timing = Sibling("q6viewer_timing");
    if (timing.empty()) return false;
    static char offscreen[] = "QT_QPA_PLATFORM=offscreen";
    const std::string out = Output({timing, path}, offscreen);
    const std::size_t f = out.find("memo fill ");
    const std::size_t c = out.find("click to shown ");
    if (f == std::string::npos || c == std::string::npos) return false;
    return std::sscanf(out.c_str() + f, "memo fill %lf ms", &fillMs) == 1 &&
           std::sscanf(out.c_str() + c, "click to shown %lf ms", &openMs) == 1;
}

int LoadPeakChild(const char* path)
{
    const long before = MaxRssKiB();
    TQ6Data d;
    const bool ok = d.FileIn(path);
    std::printf("%ld %ld\n", before, ok ? MaxRssKiB() : -1L);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "Usage: q6bench FILE [--runs N]\n");
        return 2;
    }
    if (!std::strcmp(argv[1], "--load-peak") && argc == 3) return LoadPeakChild(argv[2]);
    const std::string path = argv[1];
    int runs = 3;
    for (int i = 2; i < argc; ++i)
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));

    std::vector<char> bytes;
    if (!ReadInto(path, bytes) || bytes.empty()) {  // also warms the page cache
        std::fprintf(stderr, "q6bench: cannot read %s\n", path.c_str());
        return 1;
    }
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    const std::string outPath = path + ".bench-out.q6";
    const std::string rawPath = path + ".bench-raw";

    const double tRead = Best(runs, [&] { ReadInto(path, bytes); });

    // The previous run's document is released outside the timing.
    std::unique_ptr<TQ6Data> doc;
    bool loaded = true;
    double tLoad = 1e300;
    for (int i = 0; i < runs; ++i) {
        doc.reset();
        auto fresh = std::make_unique<TQ6Data>();
        const auto t0 = Clock::now();
        loaded = fresh->FileIn(path) && loaded;
        tLoad = std::min(tLoad, std::chrono::duration<double>(Clock::now() - t0).count());
        doc = std::move(fresh);
    }
    if (!loaded) {
        std::fprintf(stderr, "q6bench: %s does not load\n", path.c_str());
        return 1;
    }
    // Writing comes after all reading: the disk's work after a write (and
    // the page cache it frees) would otherwise slow the loads down.
    const double tWrite = Best(runs, [&] { WriteAllSync(rawPath, bytes); });
    ::unlink(rawPath.c_str());
    bool saved = true;
    const double tSave = Best(runs, [&] { saved = doc->FileOut(outPath) && saved; });
    ::unlink(outPath.c_str());
    std::string saveMem;
    const double tSaveMem = Best(runs, [&] { doc->MemOut(saveMem); });
    saveMem = std::string();

    std::string report;
    std::size_t lines = 0;
    const double tReport = Best(runs, [&] {
        report.clear();
        lines = AppendReport(*doc, report);
    });
    const double reportMb = static_cast<double>(report.size()) / 1e6;

    // JSON, in memory: the export of the loaded drawing, and the import of that text.
    std::string json;
    bool exported = true;
    const double tJsonOut = Best(runs, [&] { exported = ExportJson(*doc, json) && exported; });
    bool imported = true;
    const double tJsonIn = Best(runs, [&] {
        TQ6Data back;
        std::string error;
        imported = ImportJson(json, back, error) && imported;
    });
    bool checkedIn = true;
    const double tJsonChecked = Best(runs, [&] {
        TQ6Data back;
        std::string error;
        checkedIn = q6json::ImportJsonChecked(json, back, error) && checkedIn;
    });
    bool fastIn = true;
    const double tJsonFast = Best(runs, [&] {
        TQ6Data back;
        fastIn = q6json::ImportExportForm(json, back) && fastIn;
    });
    // simdjson's own pass over the whole text (stage 1, every token), the
    // bound of the quick reader.
    bool simdParsed = true;
    const double tSimdParse = Best(runs, [&] {
        simdjson::dom::parser p;
        simdjson::dom::element e;
        simdParsed = p.parse(json.data(), json.size(), true).get(e) == simdjson::SUCCESS && simdParsed;
    });
    bool parsed = true;
    const double tJsonParse = Best(runs, [&] {
        NullSax sax;
        parsed = nlohmann::ordered_json::sax_parse(json.data(), json.data() + json.size(), &sax) && parsed;
    });
    const double jsonMb = static_cast<double>(json.size()) / 1e6;
    json = std::string();

    // FloatStr on full-precision doubles of every magnitude, and on values
    // of few digits (coordinates with up to three decimals).
    std::vector<double> values(1 << 20);
    std::mt19937_64 rng(7);
    for (auto& v : values) v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 80) - 60);
    std::vector<double> shortValues(1 << 20);
    for (auto& v : shortValues) v = static_cast<double>(rng() % 10000000) / 1000.0;
    std::string sink;
    sink.reserve(32u << 20);
    const double tFloat = Best(runs, [&] {
        sink.clear();
        for (double v : values) AppendFloat(sink, v);
    });
    const double tFloatShort = Best(runs, [&] {
        sink.clear();
        for (double v : shortValues) AppendFloat(sink, v);
    });
    // The shortest round-trip text: the standard library's and ours, on the
    // same values (written into one buffer, as the writers do).
    std::vector<char> chars(values.size() * kShortestRoom);
    std::size_t charsSum = 0;
    const auto shortest = [&](const std::vector<double>& from, bool ours) {
        return Best(runs, [&] {
            char* p = chars.data();
            if (ours) {
                for (double v : from) p = ShortestChars(p, v);
            } else {
                for (double v : from) p = std::to_chars(p, p + kShortestRoom, v).ptr;
            }
            charsSum += static_cast<std::size_t>(p - chars.data());
        });
    };
    const double tStdChars = shortest(values, false), tStdCharsShort = shortest(shortValues, false);
    const double tOurChars = shortest(values, true), tOurCharsShort = shortest(shortValues, true);
    chars = std::vector<char>();
    sink = std::string();

    // Whole processes: q6tool as a user runs it, next to dd of the same file.
    const std::string tool = Sibling("q6tool");
    const std::string ddOut = path + ".bench-dd";
    const std::string toolOut = path + ".bench-tool.q6";
    const RunTimes dd = BestRun(runs, {"dd", "if=" + path, "of=" + ddOut, "bs=4M", "conv=fsync", "status=none"},
                               [&] { ::unlink(ddOut.c_str()); });
    const double tDd = dd.wall;
    RunTimes toolReport, toolSave, toolJson;
    if (!tool.empty()) {
        toolReport = BestRun(runs, {tool, "report", path});
        toolSave = BestRun(runs, {tool, "save", path, toolOut}, [&] { ::unlink(toolOut.c_str()); });
        toolJson = BestRun(runs, {tool, "json", path, "/dev/null"});
    }
    const double tToolReport = toolReport.wall, tToolSave = toolSave.wall, tToolJson = toolJson.wall;

    long before = 0;
    const long peak = LoadPeakKiB("/proc/self/exe", path, before);
    // The machine's limit for the memory that a load in a new process takes.
    const std::size_t loadBytes = peak > before ? static_cast<std::size_t>(peak - before) * 1024 : bytes.size();
    const double tFresh = Best(runs, [&] { TouchFresh(loadBytes, false); });
    const double tFreshHuge = Best(runs, [&] { TouchFresh(loadBytes, true); });

    const double ents = std::max(1, doc->EntN);
    const auto row = [&](const char* what, double t, double mbs, const char* extra = "") {
        std::printf("%-37s %9.4f %9.0f %9.0f  %s\n", what, t, mbs / t, t / ents * 1e9, extra);
    };
    const auto missing = [](const char* what, double t) {
        std::printf("%-37s %9s  %s\n", what, "-", t == -2 ? "not measured: q6tool is not built beside q6bench" : "FAILED");
    };
    // "<unit>; processor time X s" for a whole process.
    const auto cpuNote = [](const char* unit, const RunTimes& r) {
        char b[96];
        std::snprintf(b, sizeof b, "%s%sprocessor time %.3f s", unit, *unit ? "; " : "", r.cpu);
        return std::string(b);
    };
    std::printf("file            %s\n", path.c_str());
    std::printf("size            %.1f MB, %d entities (%.0f bytes an entity), report %zu lines (%.1f MB), JSON %.1f MB\n",
                mb, doc->EntN, static_cast<double>(bytes.size()) / ents, lines, reportMb, jsonMb);
    std::printf("best of %d; MB/s of the file unless said otherwise; allocator %s\n", runs, AllocatorName().c_str());
    std::printf("%-37s %9s %9s %9s\n", "operation", "seconds", "MB/s", "ns/entity");
    row("raw read (page cache)", tRead, mb);
    row("raw write + fsync", tWrite, mb);
    if (tDd > 0) row("dd bs=4M conv=fsync (process)", tDd, mb, cpuNote("", dd).c_str());
    else missing("dd bs=4M conv=fsync (process)", tDd);
    row("fresh memory of a load (4 KiB pages)", tFresh, static_cast<double>(loadBytes) / 1e6, "MB/s of memory");
    row("fresh memory of a load (huge pages)", tFreshHuge, static_cast<double>(loadBytes) / 1e6, "MB/s of memory");
    row("FileIn", tLoad, mb);
    row("FileOut (+ fsync, rename)", tSave, mb, saved ? "" : "FAILED");
    row("save into memory", tSaveMem, mb);
    row("report into a string", tReport, reportMb, "MB/s of text");
    if (tToolReport > 0) row("q6tool report > /dev/null (process)", tToolReport, reportMb, cpuNote("MB/s of text", toolReport).c_str());
    else missing("q6tool report > /dev/null (process)", tToolReport);
    if (tToolSave > 0) row("q6tool save IN OUT (process)", tToolSave, mb, cpuNote("", toolSave).c_str());
    else missing("q6tool save IN OUT (process)", tToolSave);
    row("JSON export into a string", tJsonOut, jsonMb, exported ? "MB/s of JSON" : "FAILED");
    row("JSON import from a string", tJsonIn, jsonMb, imported ? "MB/s of JSON" : "FAILED");
    row("JSON import, quick reader alone", tJsonFast, jsonMb, fastIn ? "MB/s of JSON" : "FAILED (declined)");
    row("JSON import, checking reader alone", tJsonChecked, jsonMb, checkedIn ? "MB/s of JSON" : "FAILED");
    row("JSON parse alone (simdjson DOM)", tSimdParse, jsonMb,
        simdParsed ? "MB/s of JSON: the bound of the quick reader" : "FAILED");
    row("JSON parse alone (nlohmann SAX)", tJsonParse, jsonMb, parsed ? "MB/s of JSON: the bound of the checking reader" : "FAILED");
    if (tToolJson > 0) row("q6tool json FILE /dev/null (process)", tToolJson, jsonMb, cpuNote("MB/s of JSON", toolJson).c_str());
    else missing("q6tool json FILE /dev/null (process)", tToolJson);
    double openMs = 0, fillMs = 0;
    if (ViewerTimes(path, openMs, fillMs)) {
        const double fill = fillMs / 1e3;
        if (fill > 0) row("memo fill (viewer, offscreen)", fill, reportMb, "MB/s of text");
        row("viewer: click to shown", openMs / 1e3, mb);
    } else {
        std::printf("%-37s %9s  %s\n", "memo fill (viewer)", "-", "not measured: q6viewer_timing is not built");
    }
    std::printf("%-37s %9.1f ns/value (full precision), %.1f ns/value (three decimals)\n", "FloatStr",
                tFloat / static_cast<double>(values.size()) * 1e9, tFloatShort / static_cast<double>(shortValues.size()) * 1e9);
    const auto perValue = [&](double t) { return t / static_cast<double>(values.size()) * 1e9; };
    std::printf("%-37s %9.1f ns/value (full precision), %.1f ns/value (three decimals)\n", "std::to_chars (shortest)",
                perValue(tStdChars), perValue(tStdCharsShort));
    std::printf("%-37s %9.1f ns/value (full precision), %.1f ns/value (three decimals); %.1fx, %.1fx faster%s\n",
                "ShortestChars", perValue(tOurChars), perValue(tOurCharsShort), tStdChars / tOurChars,
                tStdCharsShort / tOurCharsShort, charsSum > 0 ? "" : " (no output)");
    std::printf("lines/s         report into a string %.2f M, q6tool report %.2f M\n", static_cast<double>(lines) / tReport / 1e6,
                tToolReport > 0 ? static_cast<double>(lines) / tToolReport / 1e6 : 0.0);
    std::printf("ratios          load/raw read %.2f, FileOut/raw write %.2f", tRead / tLoad, tWrite / tSave);
    if (tDd > 0 && tToolSave > 0) std::printf(", q6tool save/dd %.2f (time)", tToolSave / tDd);
    std::printf("\n");
    if (peak > 0)
        std::printf("peak memory     %.1f MB for the load (%.2f x file size; process before load %.1f MB)\n",
                    static_cast<double>(peak - before) / 1024.0, static_cast<double>(peak - before) * 1024.0 / static_cast<double>(bytes.size()),
                    static_cast<double>(before) / 1024.0);
    return 0;
}
