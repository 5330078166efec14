// The checks that the fuzz targets run on every input. The test that replays
// fuzz/regressions/ calls the same functions, so that an input is judged the
// same way with and without libFuzzer.
//
// Each check returns an empty string when the input passed, and otherwise a
// description of what went wrong. Crashes, leaks and undefined behaviour are
// left to the sanitizers.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Walk.h"
#include "Unit1/Flows.h"
#include "Unit1/Report.h"
#include "Q6Json/FastImport.h"
#include "Q6Json/Json.h"

namespace fuzzcheck {

inline std::span<const std::uint8_t> AsBytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// True when s is well-formed UTF-8 (no surrogates, nothing above U+10FFFF,
// no overlong forms).
inline bool IsUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static constexpr std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// The same bytes as a regular file, without touching the disk: an anonymous
// memory file, opened by its /proc path as any other file is.
class MemFile {
public:
    explicit MemFile(std::span<const std::uint8_t> bytes)
    {
        fd_ = ::memfd_create("q6check", MFD_CLOEXEC);
        if (fd_ < 0) return;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t r = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (r <= 0) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
            done += static_cast<std::size_t>(r);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemFile()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    bool ok() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// ---- load and report ------------------------------------------------------------

// Every field of a document, bit for bit, as one byte string: two documents
// hold the same values exactly when their images are equal (NaN payloads and
// negative zeros included). A cheaper form of DumpDocument, for comparing.
class Imager : public q6layout::PlainWalk {
public:
    explicit Imager(std::string& out) : out_(out) {}
    template <class T>
    void Num(const char*, const T& x)
    {
        out_.append(reinterpret_cast<const char*>(&x), sizeof(T));
    }
    void Scale(const char* n, const double& x) { Num(n, x); }
    void Text(const char*, const std::string& s, std::int32_t) { Blob(s.data(), s.size()); }
    void VarText(const char*, const std::string& s, std::int32_t, bool) { Blob(s.data(), s.size()); }
    void Bytes(const char*, const std::uint8_t* p, std::size_t n) { out_.append(reinterpret_cast<const char*>(p), n); }
    void Points(const char*, const std::int16_t& cnt, const char*, const std::vector<TDPoint>& pos)
    {
        Num(nullptr, cnt);
        Blob(pos.data(), pos.size() * sizeof(TDPoint));
    }
    void CountedBytes(const char*, const std::vector<std::uint8_t>& b, std::int32_t) { Blob(b.data(), b.size()); }
    void TailBytes(const char*, const std::vector<std::uint8_t>& b) { Blob(b.data(), b.size()); }

private:
    void Blob(const void* p, std::size_t n)
    {
        const std::uint64_t len = n;
        Num(nullptr, len);
        out_.append(static_cast<const char*>(p), n);
    }
    std::string& out_;
};

inline std::string DocumentImage(const TQ6Data& d)
{
    using q6layout::Fields;
    std::string out;
    Imager v(out);
    q6walk::Settings(d, [&](const q6kinds::ChunkKind& k, const auto& m) { q6walk::SettingsFields(v, k, m); });
    v.Num(nullptr, d.EntN);
    for (std::int32_t k = 0; k < d.EntN && static_cast<std::size_t>(k) < d.Ent.Length(); ++k) {
        v.Num(nullptr, d.Ent[static_cast<std::size_t>(k)].INo);
        v.Num(nullptr, d.Ent[static_cast<std::size_t>(k)].ENo);
    }
    q6walk::EntityKinds(d, [&](const q6kinds::ChunkKind&, const auto& arr, std::int32_t count) {
        v.Num(nullptr, count);
        for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < arr.Length(); ++i)
            Fields(v, arr[static_cast<std::size_t>(i)]);
    });
    return out;
}

// Compares the file loader with the memory loader on the same bytes: the
// check, the whole load with the document it gives, and the chunk walk that
// an observer sees, which moves forward only. `checked`, `title`, `loaded`
// and `doc` are what the memory loader gave.
inline std::string CompareFileAndMemory(std::span<const std::uint8_t> bytes, bool checked, const std::string& title,
                                        bool loaded, const TQ6Data& doc)
{
    MemFile file(bytes);
    if (!file.ok()) return {};  // no memory files here: nothing to compare
    FileSource src;
    if (!src.Open(file.path())) return "the memory file cannot be opened";
    TQ6Data viaFile;
    if (viaFile.Load(src, LoadMode::Check) != checked) return "the file check and the memory check disagree";
    if (checked && viaFile.Title != title) return "the file check and the memory check read different titles";
    viaFile.DataFree();

    std::string walk;
    LoadPass lastPass = LoadPass::Check;
    std::uint64_t lastOffset = 0;
    bool first = true;
    ChunkObserver obs = [&](const ChunkEvent& e) {
        if (!walk.empty()) return;
        if (e.pass < lastPass)
            walk = "the entity pass reported before the settings pass";
        else if (!first && e.pass == lastPass && e.offset <= lastOffset)
            walk = "the chunk walk went backwards or stood still";
        else if (!first && e.pass != lastPass && e.offset != lastOffset)
            walk = "the entity pass did not start where the settings pass stopped";
        else if (e.offset >= bytes.size())
            walk = "a chunk was reported beyond the end of the file";
        first = false;
        lastPass = e.pass;
        lastOffset = e.offset;
    };
    const bool fileLoaded = viaFile.Load(src, LoadMode::Whole, &obs);
    if (!walk.empty()) return walk;
    if (fileLoaded != loaded) return "the file loader and the memory loader disagree";
    if (DocumentImage(viaFile) != DocumentImage(doc)) return "the file and the memory loaders fill different documents";
    return {};
}

// Which inputs the fuzz target also loads as a file: reading a file costs a
// read buffer of its own, so the fuzzer does it for one input in eight
// (always the same ones); the regression replay does it for every input.
inline bool SampledForFile(std::span<const std::uint8_t> bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const std::uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return (h >> 32) % 8 == 0;
}

// Any bytes: the viewer's open flow ends in a report or in one failure line,
// every text is valid UTF-8, and (for the inputs chosen by `fileToo`) the
// file loader agrees with the memory loader.
inline std::string CheckLoadAndReport(std::span<const std::uint8_t> bytes, bool fileToo)
{
    // The open flow of the viewer: check, clear, load, then the report.
    TQ6Data doc;
    const bool checked = doc.MemCheck(bytes);
    const std::string title = doc.Title;
    doc.DataFree();
    const bool loaded = doc.MemIn(bytes);
    if (checked && loaded) {
        std::string report;
        const std::size_t lines = AppendReport(doc, report);
        // The title line and the settings (469 lines), the separator and a count per entity kind.
        if (lines < 469 + 1 + q6kinds::kEntityKindCount) return "the report has only " + std::to_string(lines) + " lines";
        if (!IsUtf8(report)) return "the report is not valid UTF-8";
        // The report line by line and in blocks (q6tool's form) is the same text.
        std::string lineByLine;
        WriteReport(doc, [&](std::string_view l) {
            lineByLine += l;
            lineByLine += '\n';
        });
        if (lineByLine != report) return "the report line by line differs from the report into a string";
        std::string blocks;
        bool wholeLines = true;
        if (WriteReportText(doc, [&](std::string_view b) {
                wholeLines = wholeLines && !b.empty() && b.back() == '\n';
                blocks += b;
            }) != lines)
            return "the report in blocks counts other lines";
        if (!wholeLines) return "a block of the report does not end at a line's end";
        if (blocks != report) return "the report in blocks differs from the report into a string";
    } else {
        const char* line = OpenFailureLine(checked ? OpenOutcome::LoadFailed : OpenOutcome::CheckFailed);
        if (!line || !*line) return "a failed open has no failure line";
    }
    if (!IsUtf8(title) || !IsUtf8(doc.Title)) return "a title is not valid UTF-8";
    if (!fileToo) return {};
    return CompareFileAndMemory(bytes, checked, title, loaded, doc);
}

// ---- save, load, save -------------------------------------------------------------

// Two saves of one document must be the same bytes.
inline std::string CompareSaves(const std::string& first, const std::string& second)
{
    if (first.size() != second.size())
        return "the second save has " + std::to_string(second.size()) + " bytes, the first " +
               std::to_string(first.size());
    if (first == second) return {};
    std::size_t k = 0;
    while (first[k] == second[k]) ++k;
    return "the second save differs from the first at byte " + std::to_string(k);
}

// The import's quick reader takes only what the checking reader reads to the
// same document without a warning; whatever it declines, the checking reader
// decides alone.
inline std::string CompareJsonReaders(std::string_view text)
{
    TQ6Data fast;
    if (!q6json::ImportExportForm(text, fast)) return {};
    TQ6Data checked;
    std::string error;
    std::vector<std::string> warnings;
    if (!q6json::ImportJsonChecked(text, checked, error, &warnings))
        return "the quick JSON reader takes what the checking one refuses: " + error;
    if (!warnings.empty()) return "the quick JSON reader takes what the checking one warns about: " + warnings[0];
    std::string a, b;
    if (!fast.MemOut(a) || !checked.MemOut(b)) return "a document built from JSON cannot be saved";
    if (std::string e = CompareSaves(b, a); !e.empty()) return "the quick and the checking JSON reader differ: " + e;
    return {};
}

// A loaded document, exported as JSON and built again, saves the bytes that
// `saved` (its own save) holds: build(json(load(x))) = save(load(x)).
inline std::string CheckJsonSavesTheSame(const TQ6Data& loaded, const std::string& saved)
{
    std::string j;
    if (!ExportJson(loaded, j)) return "a loaded document cannot be exported as JSON";
    if (std::string e = CompareJsonReaders(j); !e.empty()) return e;
    TQ6Data built;
    std::string error;
    if (!ImportJson(j, built, error)) return "build refuses the JSON of a loaded document: " + error;
    std::string rebuilt;
    if (!built.MemOut(rebuilt)) return "a document built from the JSON of a loaded one cannot be saved";
    if (std::string e = CompareSaves(saved, rebuilt); !e.empty())
        return "build(json(load(x))) and save(load(x)) differ: " + e;
    return {};
}

// Any bytes that load: the saved file passes the check, loads with the same
// number of entities, and saving that again gives the same bytes; the
// loaded document through JSON and back saves the same bytes as well.
inline std::string CheckSaveIsStable(std::span<const std::uint8_t> bytes)
{
    TQ6Data loaded;
    if (!loaded.MemIn(bytes)) return {};
    std::string first;
    if (!loaded.MemOut(first)) return "a loaded document cannot be saved";
    if (std::string e = CheckJsonSavesTheSame(loaded, first); !e.empty()) return e;
    TQ6Data again;
    if (!again.MemCheck(AsBytes(first))) return "a saved file fails the check";
    again.DataFree();
    if (!again.MemIn(AsBytes(first))) return "a saved file does not load";
    if (again.EntN != loaded.EntN)
        return "saving and loading turned " + std::to_string(loaded.EntN) + " entities into " +
               std::to_string(again.EntN);
    std::string second;
    if (!again.MemOut(second)) return "a document loaded from a saved file cannot be saved";
    return CompareSaves(first, second);
}

// ---- JSON import ---------------------------------------------------------------------

// A refusal names its place: a path before ": " (a field, "entities[3].pos",
// the key of an unknown or duplicate field), the line and column of a
// syntax error, or the top level.
inline bool NamesAPlace(const std::string& error)
{
    if (error.rfind("parse error at line ", 0) == 0) return true;
    if (error == "expected a JSON object at the top level") return true;
    const std::size_t colon = error.find(": ");
    return colon != std::string::npos && colon > 0 && colon + 2 < error.size();
}

// Any bytes as JSON: a refusal names its place; what is accepted saves, the
// saved file loads, and its JSON is accepted again and saves as the loaded
// file saves (loading may change a value: it clears a second text style
// whose name the drawing lacks, so the first save is not the measure).
inline std::string CheckBuildJson(std::span<const std::uint8_t> bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (std::string e = CompareJsonReaders(text); !e.empty()) return e;
    TQ6Data built;
    std::string error;
    std::vector<std::string> warnings;
    if (!ImportJson(text, built, error, &warnings)) {
        if (!NamesAPlace(error)) return "a refusal names no place: \"" + error + "\"";
        if (!IsUtf8(error) && IsUtf8(text)) return "a refusal of UTF-8 text is not UTF-8";
        return {};
    }
    for (const std::string& w : warnings)
        if (!NamesAPlace(w)) return "a warning names no place: \"" + w + "\"";
    std::string saved;
    if (!built.MemOut(saved)) return "an accepted document cannot be saved";
    TQ6Data loaded;
    if (!loaded.MemIn(AsBytes(saved))) return "the save of an accepted document does not load";
    if (loaded.EntN != built.EntN)
        return "saving and loading turned " + std::to_string(built.EntN) + " built entities into " +
               std::to_string(loaded.EntN);
    std::string again;
    if (!loaded.MemOut(again)) return "a loaded document cannot be saved";
    return CheckJsonSavesTheSame(loaded, again);
}

// ---- number and text helpers ----------------------------------------------------------

// FloatStr's text built from printf's digits: "%.14e" gives the value rounded
// to 15 significant digits; the layout rules place them.
inline std::string RefFloatStr(double v)
{
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 14);
    const int exp10 = std::atoi(buf + 17);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int e = exp10 + 1;  // v = 0.d1d2... x 10^e
    const int nd = static_cast<int>(digits.size());
    std::string out = v < 0 ? "-" : "";
    if (e >= -3 && e <= 15) {
        if (e <= 0)
            out += "0." + std::string(static_cast<std::size_t>(-e), '0') + digits;
        else if (nd <= e)
            out += digits + std::string(static_cast<std::size_t>(e - nd), '0');
        else
            out += digits.substr(0, static_cast<std::size_t>(e)) + "." + digits.substr(static_cast<std::size_t>(e));
    } else {
        out += digits.substr(0, 1);
        if (nd > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp10);
    }
    return out;
}

// One fixed-width field of width n made from `text`.
inline std::string CheckFixedField(std::string_view text, std::int32_t n, bool decodedText)
{
    std::vector<std::uint8_t> enc;
    StrToAnsiBytes(enc, text);
    constexpr std::size_t kGuard = 16;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(n) + kGuard, 0xA5);
    StrToFixedAnsi(buf.data(), text, n);
    for (std::size_t i = 0; i < kGuard; ++i)
        if (buf[static_cast<std::size_t>(n) + i] != 0xA5) return "StrToFixedAnsi wrote past its field";
    const std::size_t w = static_cast<std::size_t>(n);
    const std::size_t m = std::min(w, enc.size());
    for (std::size_t i = m; i < w; ++i)
        if (buf[i] != 0) return "StrToFixedAnsi left a non-zero byte after the text";
    if (m > 0) {
        if (std::memcmp(buf.data(), enc.data(), m - 1) != 0) return "StrToFixedAnsi changed the text's bytes";
        // Only the last byte may be left zero: a double-byte character cut in half is dropped whole.
        if (buf[m - 1] != enc[m - 1] && !(buf[m - 1] == 0 && IsLeadByte(enc[m - 1])))
            return "StrToFixedAnsi changed the text's last byte";
    }
    if (!decodedText) return {};
    // A text that came from a file: the field holds whole characters, and
    // reading and writing the field again changes nothing.
    const std::string all = AnsiBytesToStr(enc);
    const std::string field = AnsiBytesToStr({buf.data(), w});
    if (all.compare(0, field.size(), field) != 0) return "a fixed field split a character";
    std::vector<std::uint8_t> again(w + kGuard, 0xA5);
    StrToFixedAnsi(again.data(), field, n);
    if (std::memcmp(again.data(), buf.data(), w) != 0) return "a fixed field changed when read and written again";
    return {};
}

// Input: 8 bytes of a double, one byte of field width, then bytes of a text.
// FloatStr agrees with the reference; decoding never fails and gives UTF-8;
// encoding what was decoded and decoding again gives the same text, but for
// the replacement characters, which come back as "?"; fixed fields hold a
// prefix of the text's bytes that ends on a character boundary.
// ShortestChars against std::to_chars: an empty text when they agree, and
// what each wrote when they do not. The end of the room is filled first, so
// that a text longer than the room is caught.
inline std::string CheckShortestChars(double v)
{
    char ours[kShortestRoom + 8], theirs[64];
    std::memset(ours, 0x7F, sizeof ours);
    char* end = ShortestChars(ours, v);
    const auto ref = std::to_chars(theirs, theirs + sizeof theirs, v);
    const std::string_view got(ours, static_cast<std::size_t>(end - ours));
    const std::string_view want(theirs, static_cast<std::size_t>(ref.ptr - theirs));
    bool overrun = false;
    for (std::size_t i = kShortestRoom; i < sizeof ours; ++i) overrun = overrun || ours[i] != 0x7F;
    if (got == want && got.size() < kShortestRoom && !overrun) return {};
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    char msg[200];
    std::snprintf(msg, sizeof msg, "ShortestChars(0x%016" PRIx64 ") gives \"%.*s\"%s, std::to_chars \"%.*s\"", bits,
                  static_cast<int>(std::min<std::size_t>(got.size(), 64)), got.data(), overrun ? " past its room" : "",
                  static_cast<int>(want.size()), want.data());
    return msg;
}

inline std::string CheckTextAndNumbers(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 9) return {};
    double v;
    std::memcpy(&v, bytes.data(), 8);
    if (std::string e = CheckShortestChars(v); !e.empty()) return e;
    const std::string got = FloatStr(v);
    if (got != RefFloatStr(v)) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        char msg[160];
        std::snprintf(msg, sizeof msg, "FloatStr(0x%016" PRIx64 ") gives %s, the reference %s", bits, got.c_str(),
                      RefFloatStr(v).c_str());
        return msg;
    }
    const std::int32_t width = bytes[8];
    const auto raw = bytes.subspan(9);

    const std::string text = AnsiBytesToStr(raw);
    if (!IsUtf8(text)) return "AnsiBytesToStr gave invalid UTF-8";
    if (text.find('\0') != std::string::npos) return "AnsiBytesToStr kept a zero byte";
    std::vector<std::uint8_t> enc;
    StrToAnsiBytes(enc, text);
    if (AnsiLen(text) != static_cast<std::int32_t>(enc.size())) return "AnsiLen disagrees with StrToAnsiBytes";
    std::string expect;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 3, "\xEF\xBF\xBD") == 0) {
            expect += '?';
            i += 3;
        } else {
            expect += text[i++];
        }
    }
    if (AnsiBytesToStr(enc) != expect) return "decoding the encoded text does not give it back";

    if (std::string e = CheckFixedField(text, width, true); !e.empty()) return e;
    // The raw bytes taken as a UTF-8 text, which they mostly are not.
    const std::string_view asText(reinterpret_cast<const char*>(raw.data()), raw.size());
    return CheckFixedField(asText, width, false);
}

}  // namespace fuzzcheck
