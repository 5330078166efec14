// q6tool dxf read back by ezdxf: entity types and counts as the mapping
// predicts, LINE, CIRCLE, ARC, POINT, polyline and spline coordinates equal to
// the doubles of q6tool json, texts equal to its texts, on the sample, random
// documents and drawings made with q6tool build; the assumptions; exit codes;
// hostile files.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <random>
#include <sstream>

#include "ChunkBuilder.h"
#include "DxfRead.h"
#include "Q6Draw/Scene.h"
#include "Q6Dxf/Export.h"
#include "Q6Unit/Q6Data.h"
#include "support/RandomDoc.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace {

using nlohmann::json;
using q6draw::Kind;

using toolrun::Tool;
using toolrun::ToolRun;
const auto Slurp = toolrun::ReadFile;

const std::string kSample = std::string(Q6_SOURCE_DIR) + "/samples/sample.q6";

// Two angles (radians) name the same direction.
bool SameDirection(double a, double b)
{
    return std::fabs(std::cos(a) - std::cos(b)) < 1e-9 && std::fabs(std::sin(a) - std::sin(b)) < 1e-9;
}
constexpr double kRad = std::numbers::pi / 180;

std::pair<double, double> P(const json& p) { return {p.at("X").get<double>(), p.at("Y").get<double>()}; }

// The record that holds a kind's own fields in the JSON entity.
const json& Inner(const json& e)
{
    static const std::map<std::string, std::string> wrap = {{"lnx", "ln"}, {"crx", "cr"}, {"epx", "ep"},
                                                            {"txx", "tx"}, {"bzx", "bz"}, {"plx", "pl"},
                                                            {"pgg", "pg"}, {"pgm", "pg"}, {"bmx", "bm"}};
    const auto w = wrap.find(e.at("kind").get<std::string>());
    return w == wrap.end() ? e : e.at(w->second);
}

// Walks the scene's items with the JSON entities beside them and consumes
// the DXF entities that the mapping gives each; `flip` is -1 under y=down.
class Checker {
public:
    Checker(const json& dxf, double flip) : ents_(dxf.at("entities")), flip_(flip) {}

    void Item(const q6draw::Scene& scene, const q6draw::Item& it, const json& e)
    {
        SCOPED_TRACE("entity " + e.dump().substr(0, 300));
        if (it.status == q6draw::Status::Skipped) return;  // nothing for it
        const std::string layer = q6draw::KindName(it.kind);
        const json& in = Inner(e);
        const auto take = [&](const char* type) -> const json& {
            static const json none = json::object();
            if (k_ >= ents_.size()) {
                ADD_FAILURE() << "no DXF entity left for a " << type;
                return none;
            }
            const json& d = ents_[k_++];
            EXPECT_EQ(d.at("type"), type);
            EXPECT_EQ(d.at("layer"), layer);
            return d;
        };
        const auto xy = [&](const json& p) { return std::pair(P(p).first, flip_ * P(p).second); };
        const auto pts = [&](const json& arr) {
            json out = json::array();
            for (const json& p : arr) out.push_back({xy(p).first, xy(p).second});
            return out;
        };
        const auto placeholder = [&](const json& four) {
            const json& f = take("LWPOLYLINE");
            if (f.empty()) return;
            EXPECT_TRUE(f.at("closed").get<bool>());
            EXPECT_EQ(f.at("points").size(), 4u);
            const json& d0 = take("LINE");
            const json& d1 = take("LINE");
            if (four.is_array() && !d0.empty() && !d1.empty()) {
                EXPECT_EQ(f.at("points"), pts(four));
                EXPECT_EQ(dxfread::XY(d0.at("start")), xy(four[0]));
                EXPECT_EQ(dxfread::XY(d0.at("end")), xy(four[2]));
                EXPECT_EQ(dxfread::XY(d1.at("start")), xy(four[1]));
                EXPECT_EQ(dxfread::XY(d1.at("end")), xy(four[3]));
            }
        };
        switch (it.kind) {
        case Kind::pt: {
            const json& d = take("POINT");
            if (!d.empty()) {
                EXPECT_EQ(dxfread::XY(d.at("location")), xy(in.at("pos")));
            }
            break;
        }
        case Kind::ln:
        case Kind::lnx: {
            const json& d = take("LINE");
            if (d.empty()) break;
            EXPECT_EQ(dxfread::XY(d.at("start")), xy(in.at("pos")[0]));
            EXPECT_EQ(dxfread::XY(d.at("end")), xy(in.at("pos")[1]));
            break;
        }
        case Kind::cr:
        case Kind::crx: {
            const double r = in.at("r").get<double>();
            const bool full = scene.ArcOf(scene.Prims(it)[0]).Full();
            if (r == 0) {
                const json& d = take("POINT");
                if (!d.empty()) {
                    EXPECT_EQ(dxfread::XY(d.at("location")), xy(in.at("pos")));
                }
                break;
            }
            const json& d = take(full ? "CIRCLE" : "ARC");
            if (d.empty()) break;
            EXPECT_EQ(dxfread::XY(d.at("center")), xy(in.at("pos")));
            EXPECT_EQ(d.at("radius").get<double>(), r);
            if (!full) {
                // counter-clockwise from arc[0] to arc[1]; mirrored under y=down
                const double a0 = in.at("arc")[0].get<double>(), a1 = in.at("arc")[1].get<double>();
                const double s = d.at("start_angle").get<double>() * kRad, t = d.at("end_angle").get<double>() * kRad;
                EXPECT_TRUE(SameDirection(s, flip_ > 0 ? a0 : -a1)) << s << " " << a0;
                EXPECT_TRUE(SameDirection(t, flip_ > 0 ? a1 : -a0)) << t << " " << a1;
            }
            break;
        }
        case Kind::ep:
        case Kind::epx: {
            const double r0 = in.at("r")[0].get<double>(), r1 = in.at("r")[1].get<double>();
            if (r0 == 0 && r1 == 0) {
                take("POINT");
                break;
            }
            if (std::min(r0, r1) < 1e-6 * std::max(r0, r1)) {  // flatter than DXF holds
                take("LWPOLYLINE");
                break;
            }
            const json& d = take("ELLIPSE");
            if (d.empty()) break;
            EXPECT_EQ(dxfread::XY(d.at("center")), xy(in.at("pos")));
            const auto [mx, my] = dxfread::XY(d.at("major_axis"));
            EXPECT_DOUBLE_EQ(std::hypot(mx, my), std::max(r0, r1));
            EXPECT_DOUBLE_EQ(d.at("ratio").get<double>(), std::min(r0, r1) / std::max(r0, r1));
            // axis-aligned by default: the major axis along X when r[0] is the larger
            EXPECT_EQ(r0 >= r1 ? my : mx, 0.0);
            break;
        }
        case Kind::tx:
        case Kind::txx: {
            const json& d = take("TEXT");
            if (d.empty()) break;
            EXPECT_EQ(dxfread::XY(d.at("insert")), xy(in.at("pos")));
            EXPECT_EQ(d.at("text"), in.at("text"));  // as ezdxf decodes it
            EXPECT_EQ(d.at("height").get<double>(), scene.TextOf(scene.Prims(it)[0]).height);
            const double a = in.at("angle").get<double>();
            EXPECT_TRUE(SameDirection(d.at("rotation").get<double>() * kRad, flip_ * a)) << d.at("rotation") << " " << a;
            break;
        }
        case Kind::bz:
        case Kind::bzx: {
            const std::size_t n = in.at("pos").size();
            if (n >= 4 && (n - 1) % 3 == 0) {
                const json& d = take("SPLINE");
                if (d.empty()) break;
                EXPECT_EQ(d.at("degree"), 3);
                EXPECT_EQ(d.at("control_points"), pts(in.at("pos")));
                EXPECT_EQ(d.at("knots").size(), n + 4);
            } else {
                const json& d = take("LWPOLYLINE");
                if (d.empty()) break;
                EXPECT_FALSE(d.at("closed").get<bool>());
                EXPECT_EQ(d.at("points"), pts(in.at("pos")));
            }
            break;
        }
        case Kind::pl:
        case Kind::plx:
        case Kind::pg:
        case Kind::pgg:
        case Kind::pgm: {
            const json& d = take("LWPOLYLINE");
            if (!d.empty()) {
                EXPECT_EQ(d.at("closed").get<bool>(), it.kind != Kind::pl && it.kind != Kind::plx);
                EXPECT_EQ(d.at("points"), pts(in.at("pos")));
            }
            if (it.kind == Kind::pgm) {
                const json& p = e.at("e").at("pos");
                const json four = {p[0], {{"X", p[1]["X"]}, {"Y", p[0]["Y"]}}, p[1], {{"X", p[0]["X"]}, {"Y", p[1]["Y"]}}};
                placeholder(four);
            }
            break;
        }
        case Kind::bm:
        case Kind::bmx: placeholder(in.at("pos")); break;
        case Kind::sy:
            if (in.at("len").get<double>() > 0)
                placeholder(nullptr);
            else
                take("POINT");
            break;
        case Kind::gr:
        case Kind::grdim:
        case Kind::grqle:
        case Kind::grbar:
        case Kind::Invalid: ADD_FAILURE() << "drawn, but it has nothing to draw"; break;
        }
    }
    std::size_t Consumed() const { return k_; }

private:
    const json& ents_;
    double flip_;
    std::size_t k_ = 0;
};

class DxfExport : public tempdir::TempDirTest {
protected:
    // Exports `drawing`, reads the DXF back with ezdxf and checks it against
    // q6tool json; returns what ezdxf read.
    json ExportAndCheck(const std::string& drawing, const std::string& assume = "")
    {
        const std::string out = PathOf("out.dxf");
        const ToolRun r = Tool("dxf '" + drawing + "' '" + out + "' " + assume);
        EXPECT_EQ(r.status, 0);
        const ToolRun j = Tool("json '" + drawing + "'");
        EXPECT_EQ(j.status, 0);
        const json doc = json::parse(j.out);
        TQ6Data d;
        EXPECT_TRUE(d.FileIn(drawing));
        q6draw::Assumptions a;
        std::istringstream words(assume);
        for (std::string w; words >> w;)
            if (w == "--text-font") {
                words >> w;
            } else if (w != "--assume") {
                EXPECT_EQ(a.Set(w.rfind("--assume=", 0) == 0 ? w.substr(9) : w), "");
            }
        const q6draw::Scene scene = q6draw::Scene::Build(d, a);

        // The summary on standard output is the scene's.
        std::string summary;
        for (const std::string& l : scene.SummaryLines()) summary += l + "\n";
        EXPECT_EQ(r.out.substr(0, summary.size()), summary);

        const auto rd = dxfread::Read(out);
        EXPECT_TRUE(rd.ran) << rd.error;
        if (!rd.ran) return {};
        const json& x = rd.doc;
        EXPECT_EQ(x.at("version"), "AC1021");
        EXPECT_TRUE(x.at("errors").empty()) << x.at("errors").dump();
        EXPECT_TRUE(x.at("fixes").empty()) << x.at("fixes").dump();
        EXPECT_EQ(x.at("comments").at(0), "q6tool dxf: DXF R2007 (AC1021), texts in UTF-8");

        const auto items = scene.Items();
        const json& ents = doc.at("entities");
        EXPECT_EQ(items.size(), ents.size());
        Checker c(x, a.y == q6draw::Assumptions::YAxis::Down ? -1.0 : 1.0);
        for (std::size_t i = 0; i < items.size() && i < ents.size(); ++i) c.Item(scene, items[i], ents[i]);
        EXPECT_EQ(c.Consumed(), x.at("entities").size());

        // The counts on standard output are the counts of what ezdxf read.
        std::map<std::string, int> byType;
        for (const json& e : x.at("entities")) ++byType[e.at("type").get<std::string>()];
        std::string line = "dxf entities " + std::to_string(x.at("entities").size());
        const char* sep = ": ";
        for (const char* t : {"POINT", "LINE", "CIRCLE", "ARC", "ELLIPSE", "LWPOLYLINE", "SPLINE", "TEXT"}) {
            if (!byType[t]) continue;
            line += sep + std::string(t) + " " + std::to_string(byType[t]);
            sep = ", ";
        }
        EXPECT_EQ(r.out.substr(std::min(summary.size(), r.out.size())), line + "\n");
        return x;
    }
};

TEST_F(DxfExport, TheSample)
{
    const json x = ExportAndCheck(kSample);
    ASSERT_TRUE(x.is_object());
    std::map<std::string, int> byType;
    for (const json& e : x.at("entities")) ++byType[e.at("type").get<std::string>()];
    // one of each kind; four lines of placeholders' diagonals besides the two lines,
    // five placeholder frames and polygons besides three polylines
    const std::map<std::string, int> expected = {{"POINT", 1},   {"LINE", 10},       {"CIRCLE", 1}, {"ARC", 1},
                                                 {"ELLIPSE", 2}, {"LWPOLYLINE", 10}, {"SPLINE", 1}, {"TEXT", 2}};
    EXPECT_EQ(byType, expected);
    const json& e = x.at("entities");
    EXPECT_EQ(e[7].at("text"), "図面タイトル：サンプル");
    EXPECT_EQ(e[8].at("text"), "縮尺 1/100 ｶﾀｶﾅ");
    EXPECT_EQ(e[8].at("layer"), "text with style");
    EXPECT_FALSE(e[0].contains("true_color"));
}

TEST_F(DxfExport, RandomDocuments)
{
    for (std::uint64_t seed : {1u, 2u, 3u, 17u, 4242u, 99991u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TQ6Data d;
        RandomDocument(d, seed);
        std::string bytes;
        ASSERT_TRUE(d.MemOut(bytes));
        const std::string p = PathOf("random.q6");
        std::ofstream(p, std::ios::binary) << bytes;
        ExportAndCheck(p);
    }
}

// A drawing made with q6tool build from JSON we write here.
TEST_F(DxfExport, DrawingsFromBuild)
{
    const double third = 1.0 / 3.0;
    json ents = json::array();
    const auto pt = [](double x, double y) { return json{{"X", x}, {"Y", y}}; };
    ents.push_back({{"kind", "pt"}, {"pos", pt(0.1, -0.0)}});
    ents.push_back({{"kind", "ln"}, {"pos", {pt(third, 1e-300), pt(1e300, -2.5e-310)}}});
    ents.push_back({{"kind", "cr"}, {"pos", pt(1, 2)}, {"r", 0.7}, {"arc", {0, 2 * std::numbers::pi}}});
    ents.push_back({{"kind", "cr"}, {"pos", pt(1, 2)}, {"r", 3.25}, {"arc", {6, 0.5}}});         // across 0
    ents.push_back({{"kind", "cr"}, {"pos", pt(-1, -2)}, {"r", 2}, {"arc", {-1, -1 + 4 * std::numbers::pi}}});
    ents.push_back({{"kind", "cr"}, {"pos", pt(5, 5)}, {"r", 0}, {"arc", {0, 1}}});               // a dot
    ents.push_back({{"kind", "ep"}, {"pos", pt(3, 4)}, {"r", {2, 5}}, {"arc", {0.5, 2}}});        // taller than wide
    ents.push_back({{"kind", "ep"}, {"pos", pt(3, 4)}, {"r", {4, 0}}, {"arc", {0, 0}}});          // a segment
    ents.push_back({{"kind", "ep"}, {"pos", pt(3, 4)}, {"r", {0, 0}}, {"arc", {0, 0}}});
    ents.push_back({{"kind", "tx"}, {"pos", pt(10, 20)}, {"angle", -0.5}, {"text", "日本語 テキスト ①②"}});
    ents.push_back({{"kind", "tx"}, {"pos", pt(10, 30)}, {"text", "caret ^ and ^J, 100%%d"}});
    ents.push_back({{"kind", "bz"}, {"pos", {pt(0, 0), pt(1, 1), pt(2, 1), pt(3, 0), pt(4, -1), pt(5, -1), pt(6, 0)}}});
    ents.push_back({{"kind", "bz"}, {"pos", {pt(0, 0), pt(1, 1), pt(2, 1)}}});
    ents.push_back({{"kind", "pl"}, {"pos", {pt(0, 0), pt(third, 2 * third), pt(1, 0)}}});
    ents.push_back({{"kind", "pg"}, {"pos", {pt(0, 0), pt(4, 0), pt(4, 3)}}});
    ents.push_back({{"kind", "bm"}, {"pos", {pt(0, 0), pt(2, 0), pt(2, 1), pt(0, 1)}}});
    ents.push_back({{"kind", "sy"}, {"pos", pt(7, 7)}, {"len", 2}, {"angle", 0}});
    ents.push_back({{"kind", "sy"}, {"pos", pt(8, 8)}, {"len", 0}});
    ents.push_back({{"kind", "gr"}, {"gname", "部品"}});
    ents.push_back({{"kind", "pt"}, {"pos", {{"X", "nan:0x7ff8000000000000"}, {"Y", 0}}}});  // skipped
    const json doc = {{"format", 1}, {"Title", "DXF の試験"}, {"entities", ents}};
    const std::string in = PathOf("build.json"), drawing = PathOf("build.q6");
    std::ofstream(in) << doc.dump();
    ASSERT_EQ(Tool("build '" + in + "' '" + drawing + "'").status, 0);

    const json x = ExportAndCheck(drawing);
    ASSERT_TRUE(x.is_object());
    const json& e = x.at("entities");
    // A whole turn is a circle; an arc across 0 keeps its angles.
    EXPECT_EQ(e[2]["type"], "CIRCLE");
    EXPECT_EQ(e[3]["type"], "ARC");
    EXPECT_NEAR(e[3]["start_angle"].get<double>(), 6 / kRad, 1e-9);
    EXPECT_NEAR(e[3]["end_angle"].get<double>(), 0.5 / kRad, 1e-9);
    EXPECT_EQ(e[4]["type"], "CIRCLE");
    EXPECT_EQ(e[5]["type"], "POINT");
    EXPECT_EQ(e[6]["type"], "ELLIPSE");
    EXPECT_EQ(e[6]["major_axis"], json({0.0, 5.0}));
    // the parameters shift by a quarter turn with the major axis
    EXPECT_NEAR(e[6]["start_param"].get<double>(), 0.5 - std::numbers::pi / 2 + 2 * std::numbers::pi, 1e-12);
    EXPECT_NEAR(e[6]["end_param"].get<double>(), 2 - std::numbers::pi / 2 + 2 * std::numbers::pi, 1e-12);
    EXPECT_EQ(e[7]["type"], "LWPOLYLINE");
    EXPECT_EQ(e[7]["points"], json({{7.0, 4.0}, {-1.0, 4.0}, {7.0, 4.0}}));
    EXPECT_EQ(e[8]["type"], "POINT");
    EXPECT_EQ(e[10]["raw"], "caret ^  and ^ J, 100%%d");
    EXPECT_EQ(e.size(), 22u);

    // y=down mirrors every Y and every angle; colours become true colours.
    const json y = ExportAndCheck(drawing, "--assume y=down");
    ASSERT_TRUE(y.is_object());
    EXPECT_EQ(y.at("entities")[0]["location"], json({0.1, 0.0}));
}

TEST_F(DxfExport, ColourAssumptionGivesTrueColours)
{
    const json rgb = ExportAndCheck(kSample, "--assume colour=rgb");
    const json bgr = ExportAndCheck(kSample, "--assume=colour=bgr");
    ASSERT_TRUE(rgb.is_object() && bgr.is_object());
    // the point's color is 0xFF0000, the first line's 0, the second line's 0x00FF00
    EXPECT_EQ(rgb["entities"][0]["true_color"], 0xFF0000);
    EXPECT_EQ(bgr["entities"][0]["true_color"], 0x0000FF);
    EXPECT_EQ(rgb["entities"][1]["true_color"], 0);
    EXPECT_EQ(bgr["entities"][2]["true_color"], 0x00FF00);
    // the circle: 0xFF
    EXPECT_EQ(rgb["entities"][3]["true_color"], 0x0000FF);
    EXPECT_EQ(bgr["entities"][3]["true_color"], 0xFF0000);
    EXPECT_NE(rgb["comments"].dump().find("colour=rgb (changed)"), std::string::npos);
    EXPECT_EQ(rgb["styles"]["Standard"], "txt");
    const json font = ExportAndCheck(kSample, "--text-font kst32b");
    ASSERT_TRUE(font.is_object());
    EXPECT_EQ(font["styles"]["kst32b"], "kst32b");
    for (const json& e : font["entities"]) {
        if (e["type"] == "TEXT") {
            EXPECT_EQ(e["style"], "kst32b");
        }
    }
}

TEST_F(DxfExport, ExitStatusAndOutputFile)
{
    const std::string out = PathOf("kept.dxf");
    std::ofstream(out) << "old";
    const std::string bad = PathOf("bad.q6");
    std::ofstream(bad) << "not a drawing";
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"dxf", 2},
        {"dxf '" + kSample + "'", 2},
        {"dxf '" + kSample + "' '" + out + "' extra", 2},
        {"dxf '" + kSample + "' '" + out + "' --assume", 2},
        {"dxf '" + kSample + "' '" + out + "' --assume nokey=1", 2},
        {"dxf '" + kSample + "' '" + out + "' --assume y=sideways", 2},
        {"dxf '" + kSample + "' '" + out + "' --frobnicate", 2},
        {"dxf '" + kSample + "' '" + out + "' --text-font", 2},
        {"dxf '" + kSample + "' '" + out + "' --text-font=", 2},
        {"dxf '" + kSample + "' '" + out + "' --text-font 'a/b'", 2},
        {"dxf '" + bad + "' '" + out + "'", 1},
        {"dxf '" + PathOf("missing.q6") + "' '" + out + "'", 1},
        {"dxf '" + kSample + "' '" + PathOf("no/such/dir/x.dxf") + "'", 1},
        {"dxf '" + kSample + "' '" + dir_.string() + "'", 1},
    };
    for (const Case& c : cases) {
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(Slurp(out), "old") << c.args;
    }
    // Nothing is left beside the output.
    std::size_t files = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir_)) files += f.is_regular_file();
    EXPECT_EQ(files, 2u);

    const ToolRun help = Tool("dxf --help");
    EXPECT_EQ(help.status, 0);
    for (const auto& k : q6draw::Assumptions::Keys()) EXPECT_NE(help.out.find(k.key), std::string::npos) << k.key;
    EXPECT_NE(Tool("--help").out.find("dxf FILE OUT.dxf"), std::string::npos);

    // Written: the old file is replaced, keeping its permissions.
    ::chmod(out.c_str(), 0640);
    EXPECT_EQ(Tool("dxf '" + kSample + "' '" + out + "'").status, 0);
    EXPECT_TRUE(Slurp(out).ends_with("\n0\nEOF\n"));
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Well-formed tag pairs: an integer code line, then a value line; EOF last.
bool WellFormed(const std::string& s)
{
    std::size_t at = 0, lines = 0;
    std::string last;
    while (at < s.size()) {
        const std::size_t nl = s.find('\n', at);
        if (nl == std::string::npos) return false;
        const std::string line = s.substr(at, nl - at);
        if (lines % 2 == 0) {
            if (line.empty() || line.size() > 4) return false;
            for (char c : line)
                if (c < '0' || c > '9') return false;
        }
        last = line;
        at = nl + 1;
        ++lines;
    }
    return lines % 2 == 0 && last == "EOF";
}

TEST(DxfHostile, DamagedDrawingsNeverBreakTheExport)
{
    const std::string sample = Slurp(kSample);
    ASSERT_FALSE(sample.empty());
    std::mt19937_64 rng(7);
    int exported = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string b = sample;
        if (round < 600) {
            b.resize(static_cast<std::size_t>(rng() % sample.size()));  // cut short
        } else {
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int f = 0; f < flips; ++f) {
                const std::size_t at = 8 + rng() % (b.size() - 8);  // past the title's header
                b[at] = static_cast<char>(rng());
            }
            if (round % 5 == 0) {
                // a huge or negative double where one stood
                const double v[] = {1e308, -1e308, NAN, INFINITY, -0.0, 5e-324};
                const std::size_t at = 8 + rng() % (b.size() - 16);
                std::memcpy(b.data() + at, &v[rng() % 6], 8);
            }
        }
        TQ6Data d;
        if (!d.MemIn({reinterpret_cast<const std::uint8_t*>(b.data()), b.size()})) continue;
        const q6draw::Scene scene = q6draw::Scene::Build(d);
        q6dxf::StringSink sink;
        q6dxf::ExportStats st;
        ASSERT_TRUE(q6dxf::ExportDxf(scene, sink, &st));
        ASSERT_TRUE(WellFormed(sink.out)) << round;
        EXPECT_EQ(st.nonFinite, 0u) << round;
        ++exported;
    }
    EXPECT_GT(exported, 100);
}

TEST_F(DxfExport, HostileValuesReadBackWithoutErrors)
{
    // Doubles of every magnitude, NaN payloads and infinities: the export of
    // what loads is a file that ezdxf reads and audits without complaint.
    for (std::uint64_t seed : {5u, 6u}) {
        TQ6Data d;
        RandomDocOptions o;
        o.entities = 200;
        o.normalized = false;
        RandomDocument(d, seed, o);
        std::string bytes;
        ASSERT_TRUE(d.MemOut(bytes));
        const std::string p = PathOf("hostile.q6");
        std::ofstream(p, std::ios::binary) << bytes;
        const std::string out = PathOf("hostile.dxf");
        ASSERT_EQ(Tool("dxf '" + p + "' '" + out + "'").status, 0);
        const auto rd = dxfread::Read(out);
        ASSERT_TRUE(rd.ran) << rd.error;
        EXPECT_TRUE(rd.doc.at("errors").empty()) << rd.doc.at("errors").dump();
        EXPECT_TRUE(rd.doc.at("fixes").empty()) << rd.doc.at("fixes").dump();
    }
}

}  // namespace
