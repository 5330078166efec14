// The painter on drawings made byte by byte: which pixels are inked for
// entities at known coordinates, on a view and size chosen by the test.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "DrawFixtures.h"
#include "PixelChecks.h"
#include "Q6Draw/Paint.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Q6Data.h"

namespace {

using namespace q6draw;
using tb::Buf;
using tb::Cat;
constexpr double kPi = std::numbers::pi;

Scene Make(const Buf& entities, const Assumptions& a = {})
{
    TQ6Data d;
    const Buf bytes = Cat({tb::Title("t"), entities});
    EXPECT_TRUE(d.MemIn(tb::Span(bytes)));
    return Scene::Build(d, a);
}

// The view (0,0)-(100,100) on 200 x 200 pixels: 2 pixels a unit, Y up.
const View kView{0, 0, 100, 100};
const QSize kSize(200, 200);

TEST(Paint, EntitiesInkWhereTheirCoordinatesFall)
{
    const Scene s = Make(Cat({df::Line(10, 10, 30, 30), df::Polyline({{50, 10}, {70, 30}, {90, 10}}),
                              df::Circle(30, 70, 15, 0, 0), df::Polygon({{60, 60}, {90, 60}, {90, 90}})}));
    const QImage img = RenderImage(s, kView, kSize);
    // the line's midpoint (20, 20) is pixel (40, 160)
    EXPECT_TRUE(px::InkedNear(img, 40, 160));
    // the polyline's vertex (70, 30)
    EXPECT_TRUE(px::InkedNear(img, 140, 140));
    // the circle's point at 60 degrees
    EXPECT_TRUE(px::InkedNear(img, 2 * (30 + 15 * std::cos(kPi / 3)), 200 - 2 * (70 + 15 * std::sin(kPi / 3))));
    // the polygon's closing edge from (90, 90) to (60, 60): its middle (75, 75)
    EXPECT_TRUE(px::InkedNear(img, 150, 50));
    // far from everything
    for (auto [x, y] : {std::pair{100, 100}, std::pair{10, 100}, std::pair{150, 180}, std::pair{60, 60}})
        EXPECT_FALSE(px::InkedNear(img, x, y, 3)) << x << "," << y;
}

TEST(Paint, AnArcLeavesTheRestOfItsCircleWhite)
{
    // a quarter from 0 to 90 degrees about (50, 50), radius 40
    const Scene s = Make(df::Circle(50, 50, 40, 0, kPi / 2));
    const QImage img = RenderImage(s, kView, kSize);
    auto at = [](double deg) {
        const double t = deg * kPi / 180;
        return std::pair{2 * (50 + 40 * std::cos(t)), 200 - 2 * (50 + 40 * std::sin(t))};
    };
    const auto [mx, my] = at(45);
    EXPECT_TRUE(px::InkedNear(img, mx, my));
    for (double deg : {135.0, 180.0, 225.0, 270.0, 315.0}) {
        const auto [x, y] = at(deg);
        EXPECT_FALSE(px::InkedNear(img, x, y, 2)) << deg;
    }
    // clockwise, the same angles take the quarter below +X
    Assumptions cw;
    ASSERT_EQ(cw.Set("direction=cw"), "");
    const QImage other = RenderImage(Make(df::Circle(50, 50, 40, 0, kPi / 2), cw), kView, kSize);
    const auto [nx, ny] = at(-45);
    EXPECT_TRUE(px::InkedNear(other, nx, ny));
    for (double deg : {45.0, 135.0, 225.0}) {
        const auto [x, y] = at(deg);
        EXPECT_FALSE(px::InkedNear(other, x, y, 2)) << deg;
    }
}

TEST(Paint, AnEllipseReachesItsRadiiAlongXAndY)
{
    const Scene s = Make(df::Ellipse(50, 50, 40, 20, 0, 0, 0.7));
    const QImage img = RenderImage(s, kView, kSize);
    EXPECT_TRUE(px::InkedNear(img, 2 * 90, 100));   // (90, 50)
    EXPECT_TRUE(px::InkedNear(img, 2 * 10, 100));   // (10, 50)
    EXPECT_TRUE(px::InkedNear(img, 100, 200 - 2 * 70));  // (50, 70)
    EXPECT_TRUE(px::InkedNear(img, 100, 200 - 2 * 30));  // (50, 30)
    EXPECT_FALSE(px::InkedNear(img, 100, 200 - 2 * 80, 3));  // not r[0] along Y
}

TEST(Paint, HugeAndInfiniteValuesNeitherHangNorInkTheWrongPlaces)
{
    const double big = std::numeric_limits<double>::max();
    // a line through the view from far away, a huge circle whose edge passes
    // through the view, and entities that are skipped
    const Scene s = Make(Cat({df::Line(-big / 4, 50, big / 4, 50), df::Circle(50, -1e15 + 20, 1e15, 0, 0),
                              df::Circle(0, 0, big, 0, 0), df::Line(0, std::nan(""), 1, 1),
                              df::Ellipse(1e300, 1e300, 1e300, 1e300, 0, 0, 0),
                              // whole quarters of these lie beyond the largest double
                              df::Circle(1.5e308, 1.5e308, 1.7e308, 0, 0), df::Circle(-1.7e308, 1.7e308, 1.7e308, 0, 0)}));
    const QImage img = RenderImage(s, kView, kSize);
    EXPECT_TRUE(px::InkedNear(img, 100, 100));  // the line at y = 50
    EXPECT_TRUE(px::InkedNear(img, 100, 160));  // the circle's top at y = 20
    EXPECT_FALSE(px::InkedNear(img, 100, 40, 3));
    EXPECT_FALSE(px::InkedNear(img, 100, 185, 3));
    // the default view of such a scene is usable, and painting it ends
    const QImage all = RenderImage(s, DefaultView(s.Extent()), QSize(64, 64));
    EXPECT_FALSE(all.isNull());
}

TEST(Paint, TheHighlightIsDrawnOverTheRest)
{
    const Scene s = Make(Cat({df::Line(10, 50, 90, 50), df::Line(50, 10, 50, 90)}));
    PaintOptions o;
    o.highlight = 0;
    const QImage img = RenderImage(s, kView, kSize, o);
    const QRgb mid = img.pixel(100, 100);  // where they cross: the highlight on top
    EXPECT_GT(qRed(mid), 150);
    EXPECT_LT(qGreen(mid), 100);
    const QRgb other = img.pixel(100, 40);  // the second line, in black
    EXPECT_LT(qRed(other), 128);
    // only some items
    const std::uint32_t second[] = {1};
    PaintOptions only;
    only.only = second;
    const QImage one = RenderImage(s, kView, kSize, only);
    EXPECT_FALSE(px::InkedNear(one, 40, 100, 2));
    EXPECT_TRUE(px::InkedNear(one, 100, 40));
}

TEST(Paint, InksOfDifferentColoursAreLaidInFileOrder)
{
    // Two crossing lines: the first (red) starts in a later tile of the image
    // than the second (blue); where they cross the second one is on top.
    Assumptions a;
    ASSERT_EQ(a.Set("colour=rgb"), "");
    const Scene s = Make(Cat({df::Line(90, 90, 10, 10, 0xFF0000), df::Line(10, 90, 90, 10, 0x0000FF)}), a);
    const QImage img = RenderImage(s, kView, kSize);
    const QRgb mid = img.pixel(100, 100);
    EXPECT_GT(qBlue(mid), 150) << std::hex << mid;
    EXPECT_LT(qRed(mid), 100) << std::hex << mid;
}

TEST(Paint, TheImageFastPathDrawsWhatQtsStrokerDraws)
{
    Buf e;
    for (int i = 0; i < 40; ++i) {
        const double t = i * 0.37;
        const Buf one = i % 3 == 0   ? df::Line(5 + i * 2, 5, 95 - i, 90 - i * 0.5)
                        : i % 3 == 1 ? df::Circle(50 + 20 * std::cos(t), 50 + 20 * std::sin(t), 3 + i * 0.5, t, t + 2)
                                     : df::Polyline({{10, 10 + i * 2.0}, {50, 30 + i}, {90, 12 + i * 1.5}});
        e.insert(e.end(), one.begin(), one.end());
    }
    const Scene s = Make(e);
    const QImage fast = RenderImage(s, kView, kSize);
    // a clip makes the painter take Qt's own stroker
    QImage slow(kSize, QImage::Format_RGB32);
    slow.fill(Qt::white);
    {
        QPainter p(&slow);
        p.setClipRect(QRect(QPoint(0, 0), kSize));
        Paint(p, s, kView, kSize);
    }
    EXPECT_GT(px::InkCount(fast), 1000u);
    EXPECT_GE(px::InkIoU(fast, slow, 1), 0.97);
}

TEST(Paint, LinesWithoutAntialiasingInkWhatQtsStrokerInks)
{
    Buf e;
    for (int i = 0; i < 40; ++i) {
        const double t = i * 0.41;
        const Buf one = i % 4 == 0   ? df::Line(5 + i * 2, 5, 95 - i, 90 - i * 0.5)
                        : i % 4 == 1 ? df::Line(50, 50, 50 + 60 * std::cos(t), 50 + 60 * std::sin(t))  // steep, flat, past the edges
                        : i % 4 == 2 ? df::Circle(50 + 20 * std::cos(t), 50 + 20 * std::sin(t), 3 + i * 0.5, t, t + 2)
                                     : df::Polyline({{-10, 10 + i * 2.0}, {50, 30 + i}, {110, 12 + i * 1.5}});
        e.insert(e.end(), one.begin(), one.end());
    }
    const Scene s = Make(e);
    PaintOptions o;
    o.antialias = false;
    const QImage fast = RenderImage(s, kView, kSize, o);
    QImage slow(kSize, QImage::Format_RGB32);
    slow.fill(Qt::white);
    {
        QPainter p(&slow);
        p.setClipRect(QRect(QPoint(0, 0), kSize));  // Qt's own stroker
        Paint(p, s, kView, kSize, o);
    }
    EXPECT_GT(px::InkCount(fast), 1000u);
    EXPECT_GE(px::InkIoU(fast, slow, 1), 0.97);
    // without antialiasing every pixel is ink or paper
    for (int y = 0; y < fast.height(); ++y)
        for (int x = 0; x < fast.width(); ++x) {
            const int g = qGray(fast.pixel(x, y));
            ASSERT_TRUE(g == 0 || g == 255) << x << "," << y << ": " << g;
        }
}

// A text thousands of pixels high, of which the picture shows a few glyphs:
// the same pixels as the whole run drawn by Qt.
TEST(Paint, ATextFarTallerThanThePictureShowsThePartTheWholeRunShows)
{
    // ABCDEFGHIJ and 図面図面, from (0, 50) on kView's 200 x 200 pixels
    const std::string latin = "ABCDEFGHIJ", japanese = "\x90\x7D\x96\xCA\x90\x7D\x96\xCA";
    const std::string longer = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    struct Case {
        const char* what;
        std::string sjis;
        double height, angle;  // drawing units, radians
        View view;
        bool inked;
    } cases[] = {
        // views of 400 x 400 units on 200 x 200 pixels: the text 1000 pixels high or more
        {"on the fourth letter", latin, 2000, 0, View{4000, 550, 4400, 950}, true},
        {"on the eighth letter", latin, 2000, 0, View{7000, 550, 7400, 950}, true},
        {"rotated", latin, 3000, 0.5, View{3708, 3125, 4108, 3525}, true},
        {"Japanese, rotated", japanese, 2500, -0.3, View{3648, -399, 4048, 1}, true},
        {"beyond the end of the run", latin, 2000, 0, View{30000, 300, 30400, 700}, false},
        {"below the line", latin, 2000, 0, View{2300, -9000, 2700, -8600}, false},
        {"on the fourth letter again, zoomed in", latin, 2000, 0, View{4100, 650, 4300, 850}, true},
        // a long run: the letters laid out differ from view to view
        {"far along a long run", longer, 2000, 0, View{20000, 550, 20400, 950}, true},
        {"further along it", longer, 2000, 0, View{41000, 550, 41400, 950}, true},
    };
    TextCache kept;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Scene s = Make(df::TextEx(0, 50, c.angle, c.height, c.sjis));
        const QImage got = RenderImage(s, c.view, kSize);
        // The whole run under the view's mapping, Y up.
        const double k = 200 / (c.view.x1 - c.view.x0);
        QImage want(kSize, QImage::Format_RGB32);
        want.fill(Qt::white);
        {
            QPainter p(&want);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.setPen(Qt::black);
            QFont f(DrawingFontFamily());
            f.setPixelSize(64);
            f.setStyleStrategy(QFont::PreferOutline);
            p.setFont(f);
            p.translate(k * (0 - c.view.x0), 200 - k * (50 - c.view.y0));
            p.rotate(-c.angle * 180 / kPi);
            p.scale(k * c.height / 64, k * c.height / 64);
            p.drawText(QPointF(0, 0), QString::fromStdString(SafeText(c.sjis != japanese ? c.sjis : "\xE5\x9B\xB3\xE9\x9D\xA2\xE5\x9B\xB3\xE9\x9D\xA2")));
        }
        EXPECT_GE(px::InkIoU(got, want, 1), 0.97) << px::InkCount(got) << " against " << px::InkCount(want);
        EXPECT_EQ(px::InkCount(want) > 2000, c.inked) << px::InkCount(want);
        // Layouts kept between pictures, first made and then taken from
        // the cache (which holds the earlier cases' runs too): the same pixels.
        PaintOptions o;
        o.textCache = &kept;
        for (int round = 0; round < 2; ++round) EXPECT_TRUE(RenderImage(s, c.view, kSize, o) == got) << round;
    }
}

TEST(Paint, TextsUseTheJapaneseFont)
{
    EXPECT_TRUE(DrawingFontFamily().startsWith(QStringLiteral("IPA")));
    const Scene s = Make(df::TextEx(10, 40, 0, 20, "\x90\x7D\x96\xCA"));  // 図面, 20 units high at (10, 40)
    const QImage img = RenderImage(s, kView, kSize);
    // ink above the baseline to the right of the anchor, none below its descent or left of it
    std::size_t above = 0, left = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            if (qGray(img.pixel(x, y)) > 128) continue;
            if (y < 120 && y > 120 - 44 && x > 20 && x < 20 + 90) ++above;
            if (x < 18) ++left;
        }
    EXPECT_GT(above, 100u);
    EXPECT_EQ(left, 0u);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

// A drawing painted in batches of `batch` items as the load hands them on.
QImage Streamed(const Buf& bytes, std::size_t batch, const Assumptions& a, const View& v, QSize px)
{
    TQ6Data doc;
    SceneStream stream(doc, a);
    return RenderImage(
        [&](PaintStream& ps) {
            const EntitySink sink = [&](const TQ6EntNo& en, const void* record) {
                stream.Add(en, record);
                if (stream.BatchSize() >= batch) {
                    ps.Items(stream.Batch());
                    stream.Clear();
                }
                return true;
            };
            MemorySource m(bytes);
            const bool loaded = doc.Load(m, LoadMode::Whole, nullptr, &sink);
            ps.Items(stream.Batch());
            stream.Clear();
            return loaded;
        },
        a, v, px);
}

}  // namespace

// Lines, curves, points and texts (drawn after the lines with one ink, in
// order with several) give the same pixels in batches as from the whole scene.
TEST(Paint, BatchesGiveTheWholeScenesPixels)
{
    Buf entities = Cat({df::Text(20, 50, 0.3, 0, "Batch"), df::TextEx(10, 10, 0, 12, "AB"), tb::Point(1, 50, 50)});
    for (int i = 0; i < 30; ++i) {
        const Buf more = Cat({df::Line(3 * i, 0, 100 - 2 * i, 100, static_cast<std::uint32_t>(0x10203 * i)),
                              df::Circle(50, 50, 1.5 * i, 0.1 * i, 0.2 * i + 1)});
        entities.insert(entities.end(), more.begin(), more.end());
    }
    const Buf tail = df::Text(60, 20, 0, 0, "end");
    entities.insert(entities.end(), tail.begin(), tail.end());
    const Buf bytes = Cat({tb::Title("t"), entities});
    Assumptions bgr;
    ASSERT_EQ(bgr.Set("colour=bgr"), "");
    for (const Assumptions& a : {Assumptions{}, bgr}) {
        const QImage whole = RenderImage(Make(entities, a), kView, kSize);
        for (const std::size_t batch : {std::size_t{1}, std::size_t{5}, std::size_t{1000}}) {
            const QImage img = Streamed(bytes, batch, a, kView, kSize);
            ASSERT_EQ(img.size(), whole.size());
            EXPECT_TRUE(img == whole) << "colour " << a.Value("colour") << ", batches of " << batch;
        }
    }
}
