// Writes the seed corpus of the fuzz targets, every file made by our own writer:
//   make_fuzz_seeds SAMPLE.q6 OUTDIR
// OUTDIR/drawings: the sample drawing, a few random documents of every kind,
// and small files cut from them, each holding the title chunk and one chunk
// of one kind (every settings chunk and every entity kind).
// OUTDIR/text: inputs of the number and text target (a double, a field
// width, then code page 932 bytes).
// OUTDIR/json: inputs of the build target: the JSON export of the small
// drawings above, hand-written documents, and the texts that build refuses
// (the table of the JSON tests).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/Q6Data.h"
#include "support/BadJson.h"
#include "support/RandomDoc.h"
#include "Q6Json/Json.h"

namespace {

namespace fs = std::filesystem;

bool Put(const fs::path& p, const std::string& bytes)
{
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

struct Slice {
    std::int16_t id;
    std::uint16_t version;
    std::string bytes;  // header and payload
};

// The chunks of a file our writer made, in file order.
std::vector<Slice> Chunks(const std::string& file)
{
    std::vector<Slice> out;
    std::size_t at = 0;
    while (file.size() - at >= 8) {
        Slice s;
        std::int32_t len;
        std::memcpy(&s.id, file.data() + at, 2);
        std::memcpy(&s.version, file.data() + at + 2, 2);
        std::memcpy(&len, file.data() + at + 4, 4);
        if (len < 0 || file.size() - at - 8 < static_cast<std::size_t>(len)) break;
        s.bytes = file.substr(at, 8 + static_cast<std::size_t>(len));
        at += s.bytes.size();
        out.push_back(std::move(s));
    }
    return out;
}

std::string Name(const char* prefix, const Slice& s)
{
    return std::string(prefix) + "-" + std::to_string(s.id) + "-" + std::to_string(s.version) + ".q6";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds SAMPLE.q6 OUTDIR\n");
        return 2;
    }
    const fs::path out = argv[2];
    const fs::path drawings = out / "drawings";
    const fs::path text = out / "text";
    const fs::path json = out / "json";
    fs::create_directories(drawings);
    fs::create_directories(text);
    fs::create_directories(json);
    bool ok = true;

    std::ifstream in(argv[1], std::ios::binary);
    const std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (sample.empty()) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot read %s\n", argv[1]);
        return 1;
    }
    ok &= Put(drawings / "sample.q6", sample);

    // Small random documents: every kind, few points, short images.
    std::vector<std::string> files;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        RandomDocOptions opt;
        opt.entities = 30;
        opt.maxPoints = 4;
        opt.maxImage = 64;
        opt.normalized = seed <= 2;
        TQ6Data d;
        RandomDocument(d, seed, opt);
        std::string bytes;
        if (!d.MemOut(bytes)) return 1;
        ok &= Put(drawings / ("random-" + std::to_string(seed) + ".q6"), bytes);
        files.push_back(bytes);
    }

    // One small file per kind: the title chunk and the kind's first chunk in
    // the sample (settings chunks are followed by the sample's point chunk).
    const auto chunks = Chunks(sample);
    if (chunks.empty() || chunks[0].id != 1000) return 1;
    const std::string& title = chunks[0].bytes;
    std::string point;
    for (const auto& c : chunks)
        if (c.id == 2001 && point.empty()) point = c.bytes;
    std::map<std::pair<int, int>, bool> seen;
    for (const auto& c : chunks) {
        if (c.id == 1000 || seen[{c.id, c.version}]) continue;
        seen[{c.id, c.version}] = true;
        if (c.id < 2000)
            ok &= Put(drawings / Name("settings", c), title + c.bytes + point);
        else
            ok &= Put(drawings / Name("entity", c), title + c.bytes);
    }
    // The same from a random document, whose entities carry other values.
    for (const auto& c : Chunks(files[0]))
        if (c.id >= 2000) ok &= Put(drawings / Name("random-entity", c), title + c.bytes);

    // JSON: the export of every small drawing (the sample is too large for a
    // quick input), documents that give a few values, and refused ones.
    int j = 0;
    for (const auto& entry : fs::directory_iterator(drawings)) {
        if (entry.path().filename() == "sample.q6") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        TQ6Data d;
        std::string exported;
        if (d.MemIn({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}) && ExportJson(d, exported))
            ok &= Put(json / ("export-" + entry.path().stem().string() + ".json"), exported);
    }
    const char* const written[] = {
        R"({"format": 1})",
        R"({"format": 1, "Title": "図面", "entities": [{"kind": "pt", "pos": {"X": 1, "Y": 2}}]})",
        R"({"format": 1, "entities": [{"kind": "ln", "pos": [{"X": 0, "Y": 0}, {"X": "inf", "Y": -0.0}]},)"
        R"( {"kind": "pl", "pos": [{"X": 1}, {"Y": 2}, {}]}, {"kind": "bm", "bmp": "00ff"},)"
        R"( {"kind": "txx", "ex": {"style": "ABCDEFGHIJKLMNOPQRSTU"}, "tx": {"text": "文字"}},)"
        R"( {"kind": "grdim", "dim": {"epsstl": {"style": "ST"}}, "gname": "G"}]})",
        R"({"format": 1, "Title": "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa図"})",
    };
    for (const char* w : written) ok &= Put(json / ("written-" + std::to_string(j++) + ".json"), w);
    for (const BadJsonCase& c : BadJsonCases()) ok &= Put(json / ("refused-" + std::to_string(j++) + ".json"), c.json);

    // Numbers and texts.
    const double numbers[] = {420, 0.1, 1.0 / 3, 0.0001, 0.00001, 1e20, 1e15, 123456789012345.0, -2.5,
                              999999999999999.9, 4.9e-324, -0.0, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(), 1.7976931348623157e308};
    const std::int32_t widths[] = {16, 17, 33, 256, 3};
    std::uint64_t state = 7;
    int k = 0;
    for (const double v : numbers) {
        for (const std::int32_t w : widths) {
            std::string t(8, '\0');
            std::memcpy(t.data(), &v, 8);
            t += static_cast<char>(w);
            std::vector<std::uint8_t> sjis;
            StrToAnsiBytes(sjis, RandomText(state, 40));
            t.append(sjis.begin(), sjis.end());
            ok &= Put(text / ("text-" + std::to_string(k++)), t);
        }
    }
    if (!ok) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write to %s\n", argv[2]);
        return 1;
    }
    return 0;
}
