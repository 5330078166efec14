// The drawing as JSON: lossless round trips through the export and the
// import, the values an import refuses, the schema, and the q6tool commands.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "ChunkBuilder.h"
#include "Q6Unit/Dump.h"
#include "Q6Unit/Q6Data.h"
#include "support/BadJson.h"
#include "support/RandomDoc.h"
#include "Q6Json/Json.h"
#include "support/TempDir.h"

namespace {

using tb::Bytes;
using tb::Cat;
using tb::Chunk;

std::span<const std::uint8_t> S(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

std::string ToJson(const TQ6Data& d)
{
    std::string j;
    EXPECT_TRUE(ExportJson(d, j));
    return j;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// For a drawing file x that loads: build(json(load(x))) is the document
// load(x) field for field and saves the bytes of save(load(x)); when
// `stable`, json(load(build(j))) is j again, character for character.
void CheckRoundTrip(std::span<const std::uint8_t> x, bool stable)
{
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn(x));
    std::string saved;
    ASSERT_TRUE(loaded.MemOut(saved));
    const std::string j = ToJson(loaded);
    TQ6Data built;
    std::string error;
    ASSERT_TRUE(ImportJson(j, built, error)) << error;
    ASSERT_EQ(DumpDocument(built), DumpDocument(loaded));
    std::string rebuilt;
    ASSERT_TRUE(built.MemOut(rebuilt));
    ASSERT_TRUE(rebuilt == saved);
    if (!stable) return;
    TQ6Data again;
    ASSERT_TRUE(again.MemIn(S(rebuilt)));
    ASSERT_EQ(ToJson(again), j);
}

TEST(Json, RandomDocumentsRoundTrip)
{
    for (std::uint64_t seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE(seed);
        RandomDocOptions opt;
        opt.normalized = seed % 4 != 0;  // texts too long for their fields, second text styles that fail
        if (seed % 50 == 0) opt.entities = 450;  // arrays and index past several steps of 100
        TQ6Data doc;
        RandomDocument(doc, seed, opt);
        std::string x;
        ASSERT_TRUE(doc.MemOut(x));
        CheckRoundTrip(S(x), true);
    }
}

// A layer table whose first group has the given scale; the rest is zero.
tb::Buf Layers(double scale)
{
    Bytes b;
    b.u8(0).u8(2).u8(0).field("", 17).f64(scale).zeros(128).zeros(17 * 320).zeros(15 * 5595);
    return Chunk(1010, 20, b);
}

TEST(Json, FixturesRoundTrip)
{
    const auto obj = [](std::int32_t id) { return Bytes().obj(id, 1, 0x10, 0xFF00FF); };
    Bytes style;  // a text-style entry named "ST"
    style.field("ST", 17).field("font", 33).f64(2.5).f64(2).f64(0.5).pt(0, 0).u8(1).u8(0).u8(128).u8(0).zeros(12).i32(3);
    Bytes other;  // one that the document lacks
    other.field("XX", 17).field("", 33).f64(7).zeros(48).i32(0);
    Bytes styles;
    styles.raw(style.b).zeros(20 * 110);
    Bytes gpart;
    gpart.raw(obj(30).b).pt(0, 1).pt(2, 3).pt(4, 5).i32(9);

    struct Case {
        const char* name;
        tb::Buf file;
        bool stable;
    };
    const std::string sample = ReadFile(Q6_SOURCE_DIR "/samples/sample.q6");
    const Case cases[] = {
        {"the sample drawing", tb::Buf(sample.begin(), sample.end()), true},
        {"doubles of every kind",
         Cat({tb::Title("d"),
              Chunk(2003, 20,
                    obj(1).f64(std::bit_cast<double>(0xFFF0000000000123ull)).f64(-0.0).f64(INFINITY).f64(-INFINITY)
                        .f64(5e-324)),
              Chunk(2001, 20, obj(2).f64(1.7976931348623157e308).f64(0.1))}),
         true},
        {"a short line chunk", Cat({tb::Title(), Chunk(2002, 20, obj(1).zeros(9)), tb::Point(2, 1, 2)}), true},
        {"texts with bytes after the zero byte and without one",
         Cat({tb::Title(), Chunk(2007, 20, obj(1).pt(1, 2).f64(0.5).u8(1).u8(2).u8(3).raw(std::string_view("AB\0C", 4))),
              Chunk(2007, 20, obj(2).pt(1, 2).f64(0.5).u8(1).u8(2).u8(3).raw("\x90\x7D\x96\xCA"))}),
         true},
        {"point counts below 1",
         Cat({tb::Title(), Chunk(2008, 20, obj(1).u8(3).i16(0).pt(1, 2)),
              Chunk(2009, 40, obj(2).i32(7).i16(-5).pt(3, 4))}),
         true},
        {"bitmaps with a negative byte count, trailing bytes and extra data",
         Cat({tb::Title(), Chunk(2018, 90, obj(1).i32(-5).i32(2).zeros(64).raw("xyz")),
              Chunk(2018, 90, obj(2).i32(3).i32(2).zeros(64).raw("abcdefg")),
              Chunk(2018, 91, obj(3).i32(-5).i32(2).zeros(64).raw("1234567"))}),
         true},
        {"a mapped polygon without image bytes",
         Cat({tb::Title(), Chunk(2009, 60, obj(1).i32(0).i16(1).pt(1, 1).i32(5).pt(0, 0).pt(1, 1).i32(8).i32(8).i32(24)
                                               .fill(1024, 0xAB))}),
         true},
        {"groups: a name without its zero byte, a second style that loading clears",
         Cat({tb::Title(), Chunk(1050, 30, styles), Chunk(2032, 20, Bytes().raw(gpart.b).raw("NAME")),
              Chunk(2032, 30,
                    Bytes().raw(gpart.b).raw(std::string_view("G\0", 2)).fill(32, 1).f64(1).fill(64, 2).fill(16, 3)
                        .f64(2).f64(3).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).raw(style.b).raw(other.b).fill(10, 4)),
              Chunk(2032, 40,
                    Bytes().raw(gpart.b).u8(0).u8(1).u8(2).u8(3).i16(-2).f64(1).f64(2).raw(other.b).raw(style.b)
                        .fill(32, 5).f64(6))}),
         true},
        {"short settings chunks, unknown chunks, a settings chunk among the entities",
         Cat({tb::Title("t"), Chunk(1090, 20, Bytes().fill(64, 0x11)), Chunk(1234, 1, Bytes().zeros(5)),
              Chunk(1040, 10, Bytes().pt(1, 2)), tb::Point(1, 0, 0), Chunk(1020, 20, Bytes().u8(9).u8(9).zeros(32)),
              Chunk(2001, 99, Bytes().zeros(27)), tb::Point(2, 0, 0)}),
         true},
        // Saving writes the character that replaced an invalid byte as "?",
        // and rounds the scale of a layer group: loading the saved file gives
        // other values than the export held.
        {"invalid Shift-JIS bytes in a text",
         Cat({tb::Title("\x81\x20\xFF"), Chunk(2007, 20, obj(1).pt(0, 0).f64(0).u8(0).u8(0).u8(0).raw("\xFF\x41"))}),
         false},
        {"an unrounded layer-group scale", Cat({tb::Title(), Layers(1.0 / 3), tb::Point(1, 0, 0)}), false},
        // A second title chunk is read as far as its length goes; saving
        // cuts the title at its field, and loading the saved file gives the
        // cut title. (No other text field can load longer than it saves:
        // a decoded field never encodes to more bytes than it had.)
        {"a second title chunk longer than the title's field",
         Cat({tb::Title("t"), Chunk(1000, 10, Bytes().raw("a").raw(std::string(298, 'b')).raw("\x90\x7D")),
              tb::Point(1, 0, 0)}),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CheckRoundTrip(tb::Span(c.file), c.stable);
    }
}

// The export as a user reads it: values under the model's names, doubles
// that keep their bits, the entity list in file order.
TEST(Json, ExportShowsEveryValueUnderItsName)
{
    const auto file = Cat({tb::Title("\x90\x7D"),
                           Chunk(2003, 20,
                                 Bytes().obj(7, 2, 0x10, 4294967295u).pt(std::bit_cast<double>(0x7FF8000000000001ull), -0.0)
                                     .f64(INFINITY).f64(-INFINITY).f64(0.1)),
                           Chunk(2018, 90, Bytes().obj(8, 1, 0, 0).i32(2).i32(-1).zeros(64).raw("\x01\xAB"))});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    const auto j = nlohmann::json::parse(ToJson(d));
    EXPECT_EQ(j["format"], 1);
    EXPECT_EQ(j["Title"], "図");
    EXPECT_EQ(j["psz"]["size"][1]["X"], 420);
    ASSERT_EQ(j["entities"].size(), 2u);
    const auto& cr = j["entities"][0];
    EXPECT_EQ(cr["kind"], "cr");
    EXPECT_EQ(cr["id"], 2003);
    EXPECT_EQ(cr["version"], 20);
    EXPECT_EQ(cr["obj"]["color"], 4294967295u);
    EXPECT_EQ(cr["pos"]["X"], "nan:0x7ff8000000000001");
    EXPECT_TRUE(std::signbit(cr["pos"]["Y"].get<double>()));
    EXPECT_EQ(cr["r"], "inf");
    EXPECT_EQ(cr["arc"][0], "-inf");
    EXPECT_EQ(cr["arc"][1], 0.1);
    EXPECT_EQ(j["entities"][1]["bmp"], "01ab");
    EXPECT_EQ(j["entities"][1]["typ"], -1);
}

TEST(Json, BuildTakesNewDocumentValuesForFieldsLeftOut)
{
    TQ6Data d;
    std::string error;
    ASSERT_TRUE(ImportJson(R"({"format": 1})", d, error)) << error;
    EXPECT_EQ(DumpDocument(d), DumpDocument(TQ6Data()));

    const char* j = R"({"format": 1, "psz": {"typ": 4}, "gi": {"dv": {"X": 7}},
        "entities": [
          {"kind": "pt"},
          {"kind": "pl", "pos": [{"X": 1, "Y": 2}, {"Y": -1}]},
          {"kind": "pt", "id": 2001, "version": 20, "obj": {"id": -2147483648, "color": 4294967295},
           "pos": {"X": "nan:0xfff0000000000001", "Y": -0.0}},
          {"kind": "bm", "bmp": "00ff"},
          {"kind": "bmx", "bm": {"byt": -3}, "exdata": "AbCd"},
          {"kind": "cr", "r": 18446744073709551615, "arc": [3, "-inf"]}
        ]})";
    ASSERT_TRUE(ImportJson(j, d, error)) << error;
    EXPECT_EQ(d.psz.typ, 4);
    EXPECT_EQ(d.psz.size[1], (TDPoint{420, 297}));
    EXPECT_EQ(d.gi.dv, (TPoint{7, 5}));
    EXPECT_EQ(d.li.grp[3].scale, 1.0);
    ASSERT_EQ(d.EntN, 6);
    EXPECT_EQ(d.Ent[0], (TQ6EntNo{200120, 0}));
    EXPECT_EQ(d.Ent[1], (TQ6EntNo{200820, 0}));
    EXPECT_EQ(d.Ent[2], (TQ6EntNo{200120, 1}));
    EXPECT_EQ(d.Ent[3], (TQ6EntNo{201890, 0}));
    EXPECT_EQ(d.Ent[4], (TQ6EntNo{201891, 0}));
    EXPECT_EQ(d.Ent[5], (TQ6EntNo{200320, 0}));
    EXPECT_EQ(d.ptN, 2);
    EXPECT_EQ(d.pt[0], TQ6ObjectPoint{});
    EXPECT_EQ(d.pt[1].obj.id, INT32_MIN);
    EXPECT_EQ(d.pt[1].obj.color, 4294967295u);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(d.pt[1].pos.X), 0xFFF0000000000001ull);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(d.pt[1].pos.Y), 0x8000000000000000ull);
    EXPECT_EQ(d.pl[0].cnt, 2);
    EXPECT_EQ(d.pl[0].pos, (std::vector<TDPoint>{{1, 2}, {0, -1}}));
    EXPECT_EQ(d.bm[0].byt, 2);  // left out: the number of image bytes
    EXPECT_EQ(d.bm[0].bmp, (TBytes{0x00, 0xFF}));
    EXPECT_EQ(d.bmx[0].bm.byt, -3);
    EXPECT_TRUE(d.bmx[0].bm.bmp.empty());
    EXPECT_EQ(d.bmx[0].exdata, (TBytes{0xAB, 0xCD}));
    EXPECT_EQ(d.cr[0].r, 18446744073709551615.0);
    EXPECT_EQ(d.cr[0].arc[0], 3.0);
    EXPECT_EQ(d.cr[0].arc[1], -INFINITY);

    // The arrays and the index keep their lengths in steps of 100.
    std::string many = R"({"format": 1, "entities": [)";
    for (int i = 0; i < 101; ++i) many += std::string(i ? "," : "") + R"({"kind": "ln"})";
    many += "]}";
    ASSERT_TRUE(ImportJson(many, d, error)) << error;
    EXPECT_EQ(d.lnN, 101);
    EXPECT_EQ(d.ln.Length(), 200u);
    EXPECT_EQ(d.Ent.Length(), 200u);
    EXPECT_EQ(d.Ent[100], (TQ6EntNo{200220, 100}));
    EXPECT_EQ(d.ptN, 0);  // the earlier document is gone
}

TEST(Json, BadValuesAreRefusedWithTheirPlace)
{
    const auto ent = [](const std::string& e) { return R"({"format": 1, "entities": [)" + e + "]}"; };
    for (const auto& c : BadJsonCases()) {
        SCOPED_TRACE(c.json);
        TQ6Data d;
        std::string error;
        EXPECT_FALSE(ImportJson(c.json, d, error));
        EXPECT_EQ(error, c.error);
    }
    // 32767 points are the most a list holds.
    std::string pts;
    for (int i = 0; i < 32768; ++i) pts += i ? ",{}" : "{}";
    TQ6Data d;
    std::string error;
    EXPECT_TRUE(ImportJson(ent(R"({"kind": "pl", "pos": [)" + pts.substr(3) + "]}"), d, error)) << error;
    EXPECT_EQ(d.pl[0].cnt, 32767);
    EXPECT_FALSE(ImportJson(ent(R"({"kind": "pl", "pos": [)" + pts + "]}"), d, error));
    EXPECT_EQ(error, "entities[0].pos: expected an array of 1 to 32767 points");
}

// A text longer than its fixed field is no bad value: the document keeps it
// whole, saving cuts it at the field's width (before a double-byte
// character that would be split), and the warning names its place and both
// lengths.
TEST(Json, TextsLongerThanTheirFieldsAreSavedCutWithAWarning)
{
    const auto zu = [](int n) {  // n characters of two bytes each in code page 932
        std::string s;
        for (int i = 0; i < n; ++i) s += "図";
        return s;
    };
    std::string styles = R"("txtstl": [{}, {}, {}, {"font": ")" + zu(17) + "\"}";
    for (int i = 4; i < 21; ++i) styles += ", {}";
    styles += "]";
    struct Case {
        std::string json;
        std::string warning;
        std::string (*saved)(const TQ6Data&);  // the field as the saved file loads
        std::string expect;
    };
    const Case cases[] = {
        {R"({"format": 1, "Title": ")" + zu(129) + "\"}",
         "Title: takes 258 bytes in code page 932; the field holds 256: saved as its first 256 bytes",
         [](const TQ6Data& d) { return d.Title; }, zu(128)},
        {R"({"format": 1, "Title": "a)" + zu(129) + "\"}",
         "Title: takes 259 bytes in code page 932; the field holds 256: saved as its first 255 bytes",
         [](const TQ6Data& d) { return d.Title; }, "a" + zu(127)},
        {"{\"format\": 1, " + styles + "}",
         "txtstl[3].font: takes 34 bytes in code page 932; the field holds 33: saved as its first 32 bytes",
         [](const TQ6Data& d) { return d.txtstl[3].font; }, zu(16)},
        {R"({"format": 1, "entities": [{"kind": "pt"}, {"kind": "txx", "ex": {"style": "ABCDEFGHIJKLMNOPQR"}}]})",
         "entities[1].ex.style: takes 18 bytes in code page 932; the field holds 17: saved as its first 17 bytes",
         [](const TQ6Data& d) { return d.txx[0].ex.style; }, "ABCDEFGHIJKLMNOPQ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning);
        TQ6Data d;
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(ImportJson(c.json, d, error, &warnings)) << error;
        EXPECT_EQ(warnings, std::vector<std::string>{c.warning});
        std::string saved;
        ASSERT_TRUE(d.MemOut(saved));
        TQ6Data back;
        ASSERT_TRUE(back.MemIn(S(saved)));
        EXPECT_EQ(c.saved(back), c.expect);
        // Without a place for warnings the import takes it all the same.
        TQ6Data quiet;
        ASSERT_TRUE(ImportJson(c.json, quiet, error)) << error;
        EXPECT_EQ(DumpDocument(quiet), DumpDocument(d));
    }
}

// ---- the schema ---------------------------------------------------------------------

TEST(JsonSchema, TheFileInTheRepositoryIsTheOneTheFieldListsDescribe)
{
    EXPECT_EQ(ReadFile(Q6_SOURCE_DIR "/docs/q6.schema.json"), JsonSchema())
        << "regenerate it: build/bin/q6tool schema > docs/q6.schema.json";
}

// Enough of JSON Schema for the keywords that the schema uses.
class Validator {
public:
    using oj = nlohmann::ordered_json;
    explicit Validator(const oj& root) : root_(root) {}

    bool Check(const oj& s, const oj& v, const std::string& at)
    {
        if (s.contains("$ref")) {
            const std::string ref = s["$ref"];
            if (!Check(root_["$defs"][ref.substr(ref.rfind('/') + 1)], v, at)) return false;
        }
        if (s.contains("const") && v != s["const"]) return Fail(at, "const");
        if (s.contains("type")) {
            const std::string t = s["type"];
            const bool ok = t == "object"    ? v.is_object()
                            : t == "array"   ? v.is_array()
                            : t == "string"  ? v.is_string()
                            : t == "integer" ? v.is_number_integer()
                            : t == "number"  ? v.is_number()
                                             : false;
            if (!ok) return Fail(at, "type " + t);
        }
        if (v.is_number_integer() && s.contains("minimum")) {
            const auto x = v.is_number_unsigned() ? static_cast<long double>(v.get<std::uint64_t>())
                                                  : static_cast<long double>(v.get<std::int64_t>());
            if (x < s["minimum"].get<long double>() || x > s["maximum"].get<long double>()) return Fail(at, "range");
        }
        if (v.is_string() && s.contains("pattern")) {
            const std::string p = s["pattern"];
            auto it = regex_.find(p);
            if (it == regex_.end()) it = regex_.emplace(p, std::regex(p)).first;
            if (!std::regex_match(v.get<std::string>(), it->second)) return Fail(at, "pattern");
        }
        if (v.is_object()) {
            if (s.contains("required"))
                for (const auto& r : s["required"])
                    if (!v.contains(r.get<std::string>())) return Fail(at, "required " + r.get<std::string>());
            for (const auto& [k, x] : v.items()) {
                if (s.contains("properties") && s["properties"].contains(k)) {
                    if (!Check(s["properties"][k], x, at + "." + k)) return false;
                } else if (s.value("additionalProperties", true) == false) {
                    return Fail(at + "." + k, "not allowed");
                }
            }
        }
        if (v.is_array()) {
            if (s.contains("minItems") && v.size() < s["minItems"].get<std::size_t>()) return Fail(at, "minItems");
            if (s.contains("maxItems") && v.size() > s["maxItems"].get<std::size_t>()) return Fail(at, "maxItems");
            if (s.contains("items"))
                for (std::size_t i = 0; i < v.size(); ++i)
                    if (!Check(s["items"], v[i], at + "[" + std::to_string(i) + "]")) return false;
        }
        if (s.contains("oneOf")) {
            int matches = 0;
            const std::string saved = error;
            for (const auto& sub : s["oneOf"]) matches += Check(sub, v, at);
            error = saved;
            if (matches != 1) return Fail(at, std::to_string(matches) + " of oneOf");
        }
        return true;
    }
    std::string error;

private:
    bool Fail(const std::string& at, const std::string& what)
    {
        error = at + ": " + what;
        return false;
    }
    const oj& root_;
    std::map<std::string, std::regex> regex_;
};

TEST(JsonSchema, ExportsFollowItAndBadDocumentsDoNot)
{
    using oj = nlohmann::ordered_json;
    const oj schema = oj::parse(JsonSchema());
    Validator val(schema);
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        TQ6Data doc;
        RandomDocument(doc, seed);
        std::string x;
        ASSERT_TRUE(doc.MemOut(x));
        TQ6Data loaded;
        ASSERT_TRUE(loaded.MemIn(S(x)));
        EXPECT_TRUE(val.Check(schema, oj::parse(ToJson(loaded)), "")) << val.error;
    }
    // Documents that the import refuses are outside the schema too.
    const char* bad[] = {
        R"({"format": 1, "li": {"current": 256}})",
        R"({"format": 1, "entities": [{"kind": "pt", "pos": {"X": "nan"}}]})",
        R"({"format": 1, "entities": [{"kind": "pl"}]})",
        R"({"format": 1, "entities": [{"kind": "plx"}]})",
        R"({"format": 1, "entities": [{"kind": "lnx", "e": {"symb": "00"}}]})",
        R"({"format": 1, "entities": [{"kind": "cr", "id": 2001}]})",
        R"({"format": 1, "entities": [{"kind": "pt", "colour": 1}]})",
        R"({"entities": []})",
    };
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        EXPECT_FALSE(val.Check(schema, oj::parse(b), ""));
        TQ6Data d;
        std::string error;
        EXPECT_FALSE(ImportJson(b, d, error));
    }
}

// ---- q6tool ---------------------------------------------------------------------------

class JsonTool : public tempdir::TempDirTest {
protected:
    std::string P(const std::string& name) const { return PathOf(name); }
    // Runs q6tool with the arguments; returns its exit status. Its standard
    // output and error go to the files "out" and "err".
    int Tool(const std::string& args) const
    {
        const std::string cmd = std::string(Q6_BIN_DIR "/q6tool ") + args + " >" + P("out") + " 2>" + P("err");
        const int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
};

TEST_F(JsonTool, JsonThenBuildSavesWhatSaveSaves)
{
    TQ6Data doc;
    RandomDocument(doc, 77);
    std::string x;
    ASSERT_TRUE(doc.MemOut(x));
    Write("x.q6", x);
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn(S(x)));

    ASSERT_EQ(Tool("json " + P("x.q6") + " " + P("x.json")), 0) << ReadFile(P("err"));
    EXPECT_EQ(ReadFile(P("x.json")), ToJson(loaded));
    ASSERT_EQ(Tool("json " + P("x.q6")), 0);
    EXPECT_EQ(ReadFile(P("out")), ToJson(loaded));

    ASSERT_EQ(Tool("build " + P("x.json") + " " + P("b.q6")), 0) << ReadFile(P("err"));
    ASSERT_EQ(Tool("save " + P("x.q6") + " " + P("s.q6")), 0);
    EXPECT_TRUE(ReadFile(P("b.q6")) == ReadFile(P("s.q6")));
    EXPECT_TRUE(ReadFile(P("b.q6")) == x);
}

// The title of a second title chunk loads longer than its field: build of
// its JSON saves what save saves, with a warning.
TEST_F(JsonTool, BuildOfALongLoadedTitleSavesWhatSaveSaves)
{
    std::string title = "a";
    for (int i = 0; i < 149; ++i) title += "\x90\x7D";  // 299 bytes
    const auto file = Cat({tb::Title("t"), Chunk(1000, 10, Bytes().raw(title)), tb::Point(1, 2, 3)});
    Write("long.q6", std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    ASSERT_EQ(Tool("json " + P("long.q6") + " " + P("long.json")), 0) << ReadFile(P("err"));
    ASSERT_EQ(Tool("build " + P("long.json") + " " + P("b.q6")), 0) << ReadFile(P("err"));
    EXPECT_EQ(ReadFile(P("err")), "q6tool: " + P("long.json") +
                                      ": warning: Title: takes 299 bytes in code page 932; the field holds 256: "
                                      "saved as its first 255 bytes\n");
    ASSERT_EQ(Tool("save " + P("long.q6") + " " + P("s.q6")), 0);
    const std::string saved = ReadFile(P("s.q6"));
    EXPECT_TRUE(ReadFile(P("b.q6")) == saved);
    EXPECT_EQ(saved.substr(8, 256), title.substr(0, 255) + std::string(1, '\0'));
}

TEST_F(JsonTool, FailuresWriteNothing)
{
    Write("bad.json", R"({"format": 1, "entities": [{"kind": "pt"}, {"kind": "pt", "pos": {"X": []}}]})");
    EXPECT_EQ(Tool("build " + P("bad.json") + " " + P("new.q6")), 1);
    EXPECT_EQ(ReadFile(P("err")), "q6tool: " + P("bad.json") + ": entities[1].pos.X: expected a number\n");
    EXPECT_FALSE(std::filesystem::exists(P("new.q6")));
    Write("old.q6", "keep");
    EXPECT_EQ(Tool("build " + P("bad.json") + " " + P("old.q6")), 1);
    EXPECT_EQ(ReadFile(P("old.q6")), "keep");

    EXPECT_EQ(Tool("build " + P("missing.json") + " " + P("new.q6")), 1);
    EXPECT_FALSE(std::filesystem::exists(P("new.q6")));
    Write("ok.json", R"({"format": 1})");
    EXPECT_EQ(Tool("build " + P("ok.json") + " " + P("no/such/dir/new.q6")), 1);
    EXPECT_EQ(ReadFile(P("err")), "q6tool: cannot save " + P("no/such/dir/new.q6") + "\n");

    // A drawing that does not load: the viewer's failure line, no JSON.
    const auto damaged = Cat({tb::Title(), tb::Point(1, 0, 0), tb::Buf{1, 2, 3}});
    Write("damaged.q6", std::string_view(reinterpret_cast<const char*>(damaged.data()), damaged.size()));
    EXPECT_EQ(Tool("json " + P("damaged.q6") + " " + P("d.json")), 1);
    EXPECT_EQ(ReadFile(P("err")), "◆ファイル読み込みエラーです。中止します。\n");
    EXPECT_FALSE(std::filesystem::exists(P("d.json")));
}

TEST_F(JsonTool, HelpListsTheCommands)
{
    ASSERT_EQ(Tool("--help"), 0);
    const std::string help = ReadFile(P("out"));
    for (const char* c : {"report FILE", "save IN OUT", "chunks FILE", "json FILE [OUT]", "build IN.json OUT", "schema"})
        EXPECT_NE(help.find(c), std::string::npos) << c;
    EXPECT_EQ(Tool("build onlyone.json"), 2);
    EXPECT_EQ(Tool("json"), 2);
}

// The speed of export and import on a drawing of about 100 MB. Run it with
// --gtest_also_run_disabled_tests; it prints MB/s of drawing file.
TEST(JsonSpeed, DISABLED_HundredMegabyteDrawing)
{
    RandomDocOptions opt;
    opt.entities = 340000;
    TQ6Data doc;
    RandomDocument(doc, 2024, opt);
    std::string x;
    ASSERT_TRUE(doc.MemOut(x));
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn(S(x)));
    const double mb = static_cast<double>(x.size()) / 1e6;
    // CPU time of this thread: the machine's other work does not count.
    struct Clock {
        static double now()
        {
            timespec ts{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
        }
    };
    const auto t0 = Clock::now();
    std::string j;
    ASSERT_TRUE(ExportJson(loaded, j));
    const auto t1 = Clock::now();
    TQ6Data built;
    std::string error;
    ASSERT_TRUE(ImportJson(j, built, error)) << error;
    const auto t2 = Clock::now();
    std::string rebuilt;
    ASSERT_TRUE(built.MemOut(rebuilt));
    EXPECT_TRUE(rebuilt == x);
    const double ex = t1 - t0;
    const double im = t2 - t1;
    std::printf("drawing %.1f MB, JSON %.1f MB; CPU time: export %.2f s = %.0f MB/s; import %.2f s = %.0f MB/s (of drawing)\n", mb,
                static_cast<double>(j.size()) / 1e6, ex, mb / ex, im, mb / im);
}

}  // namespace
