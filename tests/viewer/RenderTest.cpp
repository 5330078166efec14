// q6tool render end to end: pixels of our PNG at known coordinates, the SVG
// and PDF checked by readers we did not write (xmllint, rsvg-convert,
// pdftoppm) against our PNG, texts and numbers against q6tool json, usage
// errors, and counts that add up on hostile files.
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <regex>

#include "DrawFixtures.h"
#include "PixelChecks.h"
#include "Q6Unit/Q6Data.h"
#include "fuzz/RenderCheck.h"
#include "support/RandomDoc.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using tb::Buf;
using tb::Cat;
constexpr double kPi = std::numbers::pi;

using Outcome = toolrun::ToolRun;
Outcome Sh(const std::string& cmd) { return toolrun::Shell(cmd); }

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }
Outcome Tool(const std::string& args) { return Sh(std::string(Q6_BIN_DIR) + "/q6tool " + args); }
Outcome RenderTool(const std::string& args) { return Tool("render " + args); }

std::string ReadAll(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

class Render : public tempdir::TempDirTest {
protected:
    // Writes a drawing of a title and `entities`.
    fs::path Write(const std::string& name, const Buf& entities)
    {
        return TempDirTest::Write(name, Cat({tb::Title("t"), entities}));
    }
    QImage Png(const fs::path& drawing, const std::string& opts)
    {
        const fs::path out = dir_ / "out.png";
        fs::remove(out);
        const Outcome r = RenderTool(Q(drawing) + " " + Q(out) + " " + opts);
        EXPECT_EQ(r.status, 0) << opts;
        QImage img(QString::fromStdString(out.string()));
        return img.convertToFormat(QImage::Format_RGB32);
    }
};


TEST_F(Render, PixelsAtKnownCoordinates)
{
    // 0..100 on 200 x 200 pixels: 2 pixels a unit, Y up
    const fs::path d = Write("known.q6", Cat({df::Line(10, 10, 30, 30), df::Polyline({{50, 10}, {70, 30}, {90, 10}}),
                                               df::Circle(30, 70, 15, 0, 0), df::Circle(70, 70, 20, 0, kPi / 2),
                                               df::Polygon({{10, 90}, {40, 90}, {40, 99}}),
                                               df::Ellipse(50, 40, 30, 8, 0, 0, 0)}));
    const fs::path out = dir_ / "k.png";
    const Outcome r = RenderTool(Q(d) + " " + Q(out) + " --view 0,0,100,100 --size 200x200");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "drawn 6, approximated 0, skipped 0");
    const QImage img = QImage(QString::fromStdString(out.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(img.size(), QSize(200, 200));
    auto P = [](double x, double y) { return std::pair{2 * x, 200 - 2 * y}; };
    auto inked = [&](std::pair<double, double> p) { return px::InkedNear(img, p.first, p.second); };
    auto white = [&](std::pair<double, double> p) { return !px::InkedNear(img, p.first, p.second, 2); };
    EXPECT_TRUE(inked(P(20, 20)));  // the line's midpoint
    EXPECT_TRUE(inked(P(70, 30)));  // the polyline's vertex
    EXPECT_TRUE(inked(P(30 + 15 * std::cos(2.0), 70 + 15 * std::sin(2.0))));  // the circle at 2 radians
    EXPECT_TRUE(inked(P(70 + 20 * std::cos(kPi / 4), 70 + 20 * std::sin(kPi / 4))));  // the arc's middle
    EXPECT_TRUE(white(P(70 - 20, 70)));   // the rest of the arc's circle
    EXPECT_TRUE(white(P(70, 70 - 20)));
    EXPECT_TRUE(white(P(70 + 20 * std::cos(5 * kPi / 4), 70 + 20 * std::sin(5 * kPi / 4))));
    EXPECT_TRUE(inked(P(25, 90)));  // the polygon's edge
    EXPECT_TRUE(inked(P(40, 94)));
    EXPECT_TRUE(inked(P(80, 40)));  // the ellipse's X extremes by r[0]
    EXPECT_TRUE(inked(P(20, 40)));
    EXPECT_TRUE(inked(P(50, 48)));  // and Y by r[1]
    EXPECT_TRUE(inked(P(50, 32)));
    for (auto p : {P(50, 60), P(90, 90), P(5, 50), P(95, 50), P(50, 3)}) EXPECT_TRUE(white(p));
    // a view of another aspect grows about its centre: the same scale
    const QImage wide = Png(d, "--view 0,0,100,100 --size 400x200");
    ASSERT_EQ(wide.size(), QSize(400, 200));
    EXPECT_TRUE(px::InkedNear(wide, 100 + 2 * 20, 200 - 2 * 20));
    // Y down turns the picture over
    const QImage down = Png(d, "--view 0,0,100,100 --size 200x200 --assume y=down");
    EXPECT_TRUE(px::InkedNear(down, 2 * 70, 2 * 30));
}

// Random entities of every drawn kind within 0..1000 (the hostile values
// are the business of other tests: here the readers are compared).
Buf SaneRandomEntities(std::uint32_t seed, int n)
{
    std::uint64_t st = seed * 0x9E3779B97F4A7C15ull + 1;
    auto rnd = [&] {
        st ^= st << 13;
        st ^= st >> 7;
        st ^= st << 17;
        return static_cast<double>(st >> 11) / 9007199254740992.0;
    };
    auto c = [&] { return rnd() * 1000; };
    Buf out;
    for (int i = 0; i < n; ++i) {
        Buf e;
        switch (static_cast<int>(rnd() * 9)) {
        case 0: e = df::Line(c(), c(), c(), c()); break;
        case 1: e = df::Circle(c(), c(), rnd() * 200, rnd() * 7 - 1, rnd() * 7 - 1); break;
        case 2: e = df::Ellipse(c(), c(), rnd() * 200, rnd() * 100, rnd() * 7, rnd() * 7, 0); break;
        case 3: e = df::Polyline({{c(), c()}, {c(), c()}, {c(), c()}, {c(), c()}}); break;
        case 4: e = df::Polygon({{c(), c()}, {c(), c()}, {c(), c()}}); break;
        case 5: e = df::Bezier({{c(), c()}, {c(), c()}, {c(), c()}, {c(), c()}}); break;
        case 6: e = tb::Point(1, c(), c()); break;
        case 7: e = df::Bitmap({{c(), c()}, {c(), c()}, {c(), c()}, {c(), c()}}); break;
        default: e = df::TextEx(c(), c(), rnd() * 6, 10 + rnd() * 30, "AB\x90\x7D"); break;
        }
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

double Iou(const QImage& a, const QImage& b) { return px::InkIoU(a, b, 1); }

// Our PNG, rsvg-convert of our SVG and pdftoppm of our PDF for one view.
void CompareReaders(const fs::path& drawing, const fs::path& dir, const std::string& opts, int w, int h)
{
    const fs::path svg = dir / "c.svg", png = dir / "c.png", pdf = dir / "c.pdf";
    for (const auto& out : {svg, png, pdf}) ASSERT_EQ(RenderTool(Q(drawing) + " " + Q(out) + " " + opts).status, 0);
    EXPECT_EQ(Sh("xmllint --noout " + Q(svg)).status, 0);
    const fs::path rs = dir / "rsvg.png";
    ASSERT_EQ(Sh("rsvg-convert -b white -w " + std::to_string(w) + " -h " + std::to_string(h) + " -o " + Q(rs) +
                 " " + Q(svg))
                  .status,
              0);
    ASSERT_EQ(Sh("pdftoppm -png -singlefile -scale-to-x " + std::to_string(w) + " -scale-to-y " +
                 std::to_string(h) + " " + Q(pdf) + " " + Q(dir / "pop"))
                  .status,
              0);
    const QImage ours = QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB32);
    const QImage r = QImage(QString::fromStdString(rs.string())).convertToFormat(QImage::Format_RGB32);
    const QImage p = QImage(QString::fromStdString((dir / "pop.png").string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(ours.size(), QSize(w, h));
    EXPECT_GT(px::InkCount(ours), 100u) << drawing << " " << opts;
    std::printf("IoU %s %s: rsvg %.4f (exact %.4f), pdftoppm %.4f (exact %.4f)\n", drawing.filename().c_str(),
                opts.c_str(), Iou(ours, r), px::InkIoU(ours, r, 0), Iou(ours, p), px::InkIoU(ours, p, 0));
    EXPECT_GE(Iou(ours, r), 0.97) << drawing << " " << opts;
    EXPECT_GE(Iou(ours, p), 0.97) << drawing << " " << opts;
}

TEST_F(Render, IndependentReadersAgreeWithOurPng)
{
    const fs::path sample = fs::path(Q6_SOURCE_DIR) / "samples" / "sample.q6";
    CompareReaders(sample, dir_, "--size 300x800", 300, 800);
    CompareReaders(sample, dir_, "--view -10,-10,120,120 --size 400x400", 400, 400);
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        const fs::path f = Write("random" + std::to_string(seed) + ".q6", SaneRandomEntities(seed, 60));
        CompareReaders(f, dir_, "--size 500x500", 500, 500);
        CompareReaders(f, dir_, "--view 200,200,600,500 --size 400x300", 400, 300);
    }
}

// The texts and the point lists of the SVG, by item.
struct SvgItem {
    std::int32_t ino = 0, eno = 0;
    std::vector<std::string> texts;
    std::vector<double> numbers;  // of polyline and polygon points
};

std::vector<SvgItem> ReadSvg(const fs::path& p)
{
    QFile f(QString::fromStdString(p.string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader x(&f);
    std::vector<SvgItem> items;
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = x.attributes();
        if (x.name() == QLatin1String("g") && a.hasAttribute(QLatin1String("data-ino"))) {
            items.push_back({a.value(QLatin1String("data-ino")).toInt(), a.value(QLatin1String("data-eno")).toInt(),
                             {}, {}});
        } else if (x.name() == QLatin1String("text") && !items.empty()) {
            items.back().texts.push_back(x.readElementText().toStdString());
        } else if ((x.name() == QLatin1String("polyline") || x.name() == QLatin1String("polygon")) && !items.empty()) {
            for (const auto& pt : a.value(QLatin1String("points")).toString().split(QLatin1Char(' ')))
                for (const auto& n : pt.split(QLatin1Char(','))) items.back().numbers.push_back(n.toDouble());
        }
    }
    EXPECT_FALSE(x.hasError()) << x.errorString().toStdString();
    return items;
}

void CollectPoints(const nlohmann::json& j, std::vector<double>& out)
{
    if (j.is_array()) {
        for (const auto& p : j) {
            out.push_back(p.at("X").get<double>());
            out.push_back(p.at("Y").get<double>());
        }
    }
}

TEST_F(Render, SvgTextsAndNumbersAreThoseOfJson)
{
    const fs::path sample = fs::path(Q6_SOURCE_DIR) / "samples" / "sample.q6";
    for (int k = 0; k < 3; ++k) {
        fs::path drawing = sample;
        if (k) {
            TQ6Data doc;
            RandomDocument(doc, 100 + k);
            drawing = dir_ / "r.q6";
            ASSERT_TRUE(doc.FileOut(drawing.string()));
        }
        const fs::path svg = dir_ / "t.svg";
        ASSERT_EQ(RenderTool(Q(drawing) + " " + Q(svg)).status, 0);
        const Outcome js = Tool("json " + Q(drawing));
        ASSERT_EQ(js.status, 0);
        const auto j = nlohmann::json::parse(js.out);
        const auto items = ReadSvg(svg);
        const auto& ents = j.at("entities");
        ASSERT_EQ(items.size(), ents.size());
        std::size_t texts = 0, paths = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto& e = ents[i];
            const std::string kind = e.at("kind");
            EXPECT_EQ(items[i].ino, e.at("id").get<int>() * 100 + e.at("version").get<int>());
            const nlohmann::json* tx = kind == "tx" ? &e : kind == "txx" ? &e.at("tx") : nullptr;
            if (tx && !items[i].texts.empty()) {
                EXPECT_EQ(items[i].texts[0], tx->at("text").get<std::string>()) << i;
                ++texts;
            }
            const nlohmann::json* path = nullptr;
            if (kind == "ln" || kind == "pl" || kind == "pg") path = &e;
            if (kind == "lnx") path = &e.at("ln");
            if (kind == "plx") path = &e.at("pl");
            if (path && !items[i].numbers.empty()) {
                std::vector<double> want;
                CollectPoints(path->at("pos"), want);
                EXPECT_EQ(items[i].numbers, want) << i;  // exactly, not rounded
                ++paths;
            }
        }
        EXPECT_GT(texts, 0u);
        EXPECT_GT(paths, 0u);
    }
}

TEST_F(Render, UsageErrorsAndFailuresLeaveTheOutputAlone)
{
    const fs::path d = Write("u.q6", df::Line(0, 0, 1, 1));
    const fs::path out = dir_ / "o.svg";
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {Q(d) + " " + Q(out) + " --assume colour=cmyk", 2},
        {Q(d) + " " + Q(out) + " --assume nosuchkey=1", 2},
        {Q(d) + " " + Q(out) + " --assume", 2},
        {Q(d) + " " + Q(out) + " --size 0x10", 2},
        {Q(d) + " " + Q(out) + " --size 10", 2},
        {Q(d) + " " + Q(out) + " --view 0,0,0,1", 2},
        {Q(d) + " " + Q(out) + " --view 0,0,nan,1", 2},
        {Q(d) + " " + Q(out) + " --view 0,0,1", 2},
        {Q(d) + " " + Q(dir_ / "o.bmp"), 2},
        {Q(d), 2},
        {Q(d) + " " + Q(out) + " --frobnicate", 2},
        {Q(dir_ / "missing.q6") + " " + Q(out), 1},
        {Q(d) + " " + Q(dir_ / "no-such-dir" / "o.svg"), 1},
    };
    std::ofstream(out) << "keep";
    for (const auto& c : cases) {
        EXPECT_EQ(RenderTool(c.args).status, c.status) << c.args;
        EXPECT_EQ(ReadAll(out), "keep") << c.args;
    }
    // a file that is not a drawing: exit 1, the old output still there
    std::ofstream(dir_ / "junk.q6") << "not a drawing";
    EXPECT_EQ(RenderTool(Q(dir_ / "junk.q6") + " " + Q(out)).status, 1);
    EXPECT_EQ(ReadAll(out), "keep");
    // a drawing whose entities load until one fails far into the file: the
    // failure is known before anything is drawn, and no format writes
    Buf many;
    for (int i = 0; i < 20000; ++i) {
        const Buf l = df::Line(i, 0, i + 1, 1);
        many.insert(many.end(), l.begin(), l.end());
    }
    const fs::path broken = Write("broken.q6", Cat({many, tb::Chunk(2001, 10, tb::Bytes().pt(0, 0), -5)}));
    for (const char* name : {"o.svg", "o.png", "o.pdf"}) {
        const fs::path o = dir_ / name;
        std::ofstream(o) << "keep";
        const Outcome r = RenderTool(Q(broken) + " " + Q(o));
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out.find("drawn"), std::string::npos) << name;
        EXPECT_EQ(ReadAll(o), "keep") << name;
    }
    EXPECT_EQ(RenderTool(Q(d) + " " + Q(out)).status, 0);
    EXPECT_NE(ReadAll(out), "keep");
    const Outcome help = RenderTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("colour=none|bgr|rgb"), std::string::npos);
}

// The summary line's three numbers.
std::array<long, 3> Counts(const std::string& out)
{
    static const std::regex re(R"(^drawn (\d+), approximated (\d+), skipped (\d+)\n)");
    std::smatch m;
    if (!std::regex_search(out, m, re)) return {-1, -1, -1};
    return {std::stol(m[1]), std::stol(m[2]), std::stol(m[3])};
}

TEST_F(Render, CountsAddUpOnHostileFiles)
{
    const double big = std::numeric_limits<double>::max(), inf = std::numeric_limits<double>::infinity();
    std::vector<fs::path> files;
    files.push_back(Write("nan.q6", Cat({df::Line(std::nan(""), 0, 1, 1), df::Circle(0, 0, -1, 0, 1),
                                         df::Circle(inf, 0, 1, 0, 0), df::Ellipse(0, 0, big, big, -big, big, big),
                                         df::Line(-big, -big, big, big), df::Text(big, -big, big, 255, "\x01<&>"),
                                         df::Bezier({{big, big}, {-big, big}, {big, -big}, {0, 0}}),
                                         df::Polygon({{1e308, 0}, {0, 1e308}}), tb::Point(1, -big, big)})));
    files.push_back(Write("empty.q6", {}));
    files.push_back(Write("groups.q6", Cat({df::Group(), df::Group()})));
    const fs::path regressions = fs::path(Q6_SOURCE_DIR) / "fuzz" / "regressions";
    for (const auto& e : fs::recursive_directory_iterator(regressions))
        if (e.is_regular_file()) files.push_back(e.path());
    int loaded = 0;
    for (const auto& f : files) {
        const Outcome js = Tool("json " + Q(f));
        for (const char* ext : {"svg", "png"}) {
            const fs::path out = dir_ / (std::string("h.") + ext);
            const Outcome r = RenderTool(Q(f) + " " + Q(out) + " --size 64x64");
            EXPECT_EQ(r.status, js.status) << f;  // renders exactly what loads
            if (r.status != 0) continue;
            const auto c = Counts(r.out);
            const auto n = nlohmann::json::parse(js.out, nullptr, false);
            ASSERT_FALSE(n.is_discarded()) << f;
            EXPECT_EQ(c[0] + c[1] + c[2], static_cast<long>(n.at("entities").size())) << f;
            if (std::string(ext) == "svg") {
                EXPECT_EQ(Sh("xmllint --noout " + Q(out)).status, 0) << f;
            }
            ++loaded;
        }
    }
    EXPECT_GE(loaded, 6);
    // the default view of the hostile drawing is usable
    const QImage img = Png(files[0], "");
    EXPECT_FALSE(img.isNull());
}

TEST_F(Render, DescriptionsCarryTheAssumptionsAndTheSummary)
{
    const fs::path d = Write("d.q6", Cat({df::Line(0, 0, 1, 1), df::Group()}));
    const fs::path svg = dir_ / "d.svg", pdf = dir_ / "d.pdf", png = dir_ / "d.png";
    for (const auto& o : {svg, pdf, png})
        ASSERT_EQ(RenderTool(Q(d) + " " + Q(o) + " --assume colour=bgr").status, 0);
    const std::string s = ReadAll(svg);
    EXPECT_NE(s.find("colour=bgr (changed)"), std::string::npos);
    EXPECT_NE(s.find("drawn 1, approximated 0, skipped 1"), std::string::npos);
    const Outcome info = Sh("pdfinfo -meta " + Q(pdf));
    EXPECT_NE(info.out.find("colour=bgr (changed)"), std::string::npos);
    EXPECT_NE(info.out.find("drawn 1, approximated 0, skipped 1"), std::string::npos);
    const QImage img(QString::fromStdString(png.string()));
    EXPECT_NE(img.text(QStringLiteral("Description")).indexOf(QStringLiteral("drawn 1, approximated 0, skipped 1")),
              -1);
}

TEST_F(Render, PngKeepsInksAndANonAsciiDescription)
{
    // a red line; a file name that is not ASCII goes into the description as UTF-8
    const fs::path d = Write("\xE5\x9B\xB3\xE9\x9D\xA2.q6", df::Line(0, 50.5, 100, 50.5, 0xFF0000));
    struct Case {
        const char* assume;
        bool grey;
        QRgb ink;  // at the line's middle
    };
    for (const Case& c : {Case{"", true, qRgb(0, 0, 0)}, Case{"--assume colour=rgb", false, qRgb(255, 0, 0)},
                          Case{"--assume colour=bgr", false, qRgb(0, 0, 255)}}) {
        SCOPED_TRACE(c.assume);
        const fs::path png = dir_ / "p.png";
        ASSERT_EQ(RenderTool(Q(d) + " " + Q(png) + " --view 0,0,100,100 --size 100x100 " + c.assume).status, 0);
        const QImage img(QString::fromStdString(png.string()));
        ASSERT_EQ(img.size(), QSize(100, 100));
        EXPECT_EQ(img.isGrayscale(), c.grey);
        EXPECT_NE(img.text(QStringLiteral("Description")).indexOf(QString::fromUtf8("\xE5\x9B\xB3\xE9\x9D\xA2.q6")), -1);
        EXPECT_EQ(img.text(QStringLiteral("Software")), QStringLiteral("q6tool render"));
        // y = 50.5 is the middle of pixel row 49: full ink there
        const QRgb ink = img.pixel(50, 49);
        EXPECT_LT(std::abs(qRed(ink) - qRed(c.ink)) + std::abs(qGreen(ink) - qGreen(c.ink)) +
                      std::abs(qBlue(ink) - qBlue(c.ink)),
                  60)
            << std::hex << ink;
        EXPECT_EQ(img.pixel(50, 10), qRgb(255, 255, 255));
    }
}

TEST_F(Render, ProgressGoesToStandardErrorOnlyWhenAsked)
{
    // standard error is not a terminal here: steps only with --progress
    const fs::path d = Write("g.q6", Cat({df::Line(0, 0, 10, 10), df::Circle(5, 5, 3, 0, 0)}));
    const fs::path err = dir_ / "err.txt";
    struct Case {
        const char* out;
        const char* last;  // the step that must be reported
    };
    for (const Case& c : {Case{"g.svg", "writing SVG"}, Case{"g.png", "encoding PNG"}, Case{"g.pdf", "finishing PDF"}})
        for (const bool asked : {false, true}) {
            SCOPED_TRACE(std::string(c.out) + (asked ? " --progress" : ""));
            const Outcome r = Sh("(" + std::string(Q6_BIN_DIR) + "/q6tool render " + Q(d) + " " + Q(dir_ / c.out) +
                                 (asked ? " --progress" : "") + " 2>" + Q(err) + ")");
            ASSERT_EQ(r.status, 0);
            EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "drawn 2, approximated 0, skipped 0");
            const std::string e = ReadAll(err);
            if (!asked) {
                EXPECT_EQ(e, "");
                continue;
            }
            for (const char* step : {"loading", c.last})
                EXPECT_NE(e.find(std::string("q6tool render: ") + d.string() + ": " + step + "\n"), std::string::npos)
                    << step << " in " << e;
        }
}

TEST(RenderFuzzRegressions, EveryInputPassesTheRenderCheck)
{
    const fs::path dir = fs::path(Q6_SOURCE_DIR) / "fuzz" / "regressions" / "render";
    std::size_t n = 0;
    if (fs::is_directory(dir))
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file() || e.path().extension() == ".md") continue;
            const std::string bytes = ReadAll(e.path());
            EXPECT_EQ(fuzzcheck::CheckRender({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}), "")
                << e.path();
            ++n;
        }
    // the check itself on the sample and on a hostile drawing
    const std::string sample = ReadAll(fs::path(Q6_SOURCE_DIR) / "samples" / "sample.q6");
    EXPECT_EQ(fuzzcheck::CheckRender({reinterpret_cast<const std::uint8_t*>(sample.data()), sample.size()}), "");
    const Buf hostile = Cat({tb::Title("t"), df::Line(std::nan(""), 0, 1, 1), df::Text(1e308, -1e308, 1e300, 9, "\x01]]>&"),
                             df::Circle(1e308, 1e308, 1e308, -1e308, 1e308), df::Group()});
    EXPECT_EQ(fuzzcheck::CheckRender(tb::Span(hostile)), "");
}

}  // namespace
