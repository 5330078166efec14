#include "Q6Draw/Paint.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QTransform>
#include <QImageWriter>
#include <QPaintDevice>
#include <QLineF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <png.h>
#include <zlib.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>
#include <optional>
#include <thread>

namespace q6draw {

namespace {

bool Finite(double v) { return std::isfinite(v); }

// The pixel size the drawing font is made at; texts are scaled from it.
constexpr int kFontPx = 64;

// One-pixel lines straight into an RGB32 image, antialiased by Wu's method:
// several times faster than the general stroker for the many short segments
// of a drawing. Segments come in batches, drawn by a second thread while the
// next batch is made when the machine has a second core; only that thread
// touches the pixels until Wait() returns. A batch of one ink is drawn in
// order of the 64 x 64 tiles of the image, so that neighbours are drawn
// together and the pixels stay in the cache: with one ink the order does not
// change the picture (covering by a then b leaves (1 - a)(1 - b) of the
// paper either way). Inks that differ are drawn in the order given.
class Raster {
public:
    struct Seg {
        float x0, y0, x1, y1;
        QRgb ink;
    };
    // Without antialiasing, each covered pixel takes the ink whole.
    Raster(QImage& img, bool antialias)
        : solid_(!antialias), bits_(img.bits()), stride_(img.bytesPerLine()), w_(img.width()), h_(img.height()),
          tilesX_((static_cast<std::uint32_t>(img.width()) + 63) >> 6),
          tiles_(tilesX_ * ((static_cast<std::uint32_t>(img.height()) + 63) >> 6))
    {
        fill_.reserve(kBatch);
        if (std::thread::hardware_concurrency() > 1) worker_ = std::thread([this] { Work(); });
    }
    ~Raster()
    {
        Wait();
        if (worker_.joinable()) {
            {
                std::lock_guard<std::mutex> l(m_);
                quit_ = true;
            }
            cv_.notify_all();
            worker_.join();
        }
    }
    Raster(const Raster&) = delete;
    Raster& operator=(const Raster&) = delete;

    static constexpr std::size_t kBatch = 1u << 17;

    // The pixel coordinates must lie within a few pixels of the image (the
    // caller clips), so that floats keep them to a thousandth of a pixel.
    void Add(double x0, double y0, double x1, double y1, QRgb ink)
    {
        if (fill_.empty()) fillOneInk_ = true;
        else if (ink != fill_.front().ink) fillOneInk_ = false;
        fill_.push_back({static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1),
                         ink});
        if (fill_.size() >= kBatch) Submit();
    }
    // Hands the batch being made to the drawing thread (or draws it).
    void Submit()
    {
        if (fill_.empty()) return;
        if (!worker_.joinable()) {
            Draw(fill_, fillOneInk_);
            fill_.clear();
            return;
        }
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return !pending_; });
        std::swap(fill_, work_);
        workOneInk_ = fillOneInk_;
        pending_ = true;
        l.unlock();
        cv_.notify_all();
        fill_.clear();
        if (fill_.capacity() < kBatch) fill_.reserve(kBatch);
    }
    // Everything added is in the image once this returns.
    void Wait()
    {
        Submit();
        if (!worker_.joinable()) return;
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return !pending_; });
    }

private:
    void Work()
    {
        std::unique_lock<std::mutex> l(m_);
        for (;;) {
            cv_.wait(l, [&] { return pending_ || quit_; });
            if (!pending_) return;
            l.unlock();
            Draw(work_, workOneInk_);
            work_.clear();
            l.lock();
            pending_ = false;
            cv_.notify_all();
        }
    }

    std::uint32_t TileOf(const Seg& s) const
    {
        const auto tx = static_cast<std::uint32_t>(std::clamp(s.x0, 0.0f, static_cast<float>(w_ - 1))) >> 6;
        const auto ty = static_cast<std::uint32_t>(std::clamp(s.y0, 0.0f, static_cast<float>(h_ - 1))) >> 6;
        return ty * tilesX_ + tx;
    }

    // by tile (a counting sort) when of one ink, then each segment
    void Draw(const std::vector<Seg>& segs, bool oneInk)
    {
        if (!oneInk) {
            for (const Seg& s : segs) {
                ink_ = s.ink;
                Line(s);
            }
            return;
        }
        if (segs.empty()) return;
        ink_ = segs.front().ink;
        start_.assign(tiles_ + 1, 0);
        for (const Seg& s : segs) ++start_[TileOf(s) + 1];
        for (std::uint32_t t = 0; t < tiles_; ++t) start_[t + 1] += start_[t];
        sorted_.resize(segs.size());
        for (const Seg& s : segs) sorted_[start_[TileOf(s)]++] = s;
        for (const Seg& s : sorted_) Line(s);
    }

    void Line(const Seg& s)
    {
        if (solid_) Solid(s.x0, s.y0, s.x1, s.y1);
        else Wu(s.x0, s.y0, s.x1, s.y1);
    }
    // A line without antialiasing: along its longer axis, one pixel per
    // pixel centre it passes, the one the line crosses there.
    void Solid(double x0, double y0, double x1, double y1)
    {
        const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
        if (steep) std::swap(x0, y0), std::swap(x1, y1);
        if (x0 > x1) std::swap(x0, x1), std::swap(y0, y1);
        const double g = x1 > x0 ? (y1 - y0) / (x1 - x0) : 0;
        const int along = steep ? h_ : w_, across = steep ? w_ : h_;
        auto* base = reinterpret_cast<QRgb*>(bits_);
        const qsizetype row = stride_ / 4;
        const QRgb ink = 0xFF000000u | ink_;
        auto plot = [&](int a, int b) {
            if (static_cast<unsigned>(a) < static_cast<unsigned>(along) &&
                static_cast<unsigned>(b) < static_cast<unsigned>(across))
                base[steep ? static_cast<qsizetype>(a) * row + b : static_cast<qsizetype>(b) * row + a] = ink;
        };
        // the pixel centres i + 0.5 within [x0, x1], inside the image
        const double first = std::max(std::ceil(x0 - 0.5), 0.0), last = std::min(std::floor(x1 - 0.5), along - 1.0);
        if (!(first <= last)) {
            // shorter than a pixel along its axis: the pixel of its middle
            plot(static_cast<int>(std::floor((x0 + x1) / 2)), static_cast<int>(std::floor((y0 + y1) / 2)));
            return;
        }
        // (first and last lie in the image along the line: only the other
        // axis is checked; y stays within a few pixels of the image, so
        // truncation, one less below a whole number, is its floor)
        double y = y0 + g * (first + 0.5 - x0);
        const int end = static_cast<int>(last);
        const auto limit = static_cast<unsigned>(across);
        auto floorOf = [](double v) {
            const int t = static_cast<int>(v);
            return t - (v < t);
        };
        if (steep) {
            for (int x = static_cast<int>(first); x <= end; ++x, y += g) {
                const int b = floorOf(y);
                if (static_cast<unsigned>(b) < limit) base[static_cast<qsizetype>(x) * row + b] = ink;
            }
        } else {
            for (int x = static_cast<int>(first); x <= end; ++x, y += g) {
                const int b = floorOf(y);
                if (static_cast<unsigned>(b) < limit) base[static_cast<qsizetype>(b) * row + x] = ink;
            }
        }
    }

    // Mixes the ink into one pixel by coverage c (0 to 1), two channels at a time.
    inline void Plot(int x, int y, double c)
    {
        if (static_cast<unsigned>(x) >= static_cast<unsigned>(w_) ||
            static_cast<unsigned>(y) >= static_cast<unsigned>(h_) || !(c > 0))
            return;
        auto* px = reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(y) * stride_) + x;
        const std::uint32_t a = c >= 1 ? 256u : static_cast<std::uint32_t>(c * 256), na = 256 - a;
        const std::uint32_t d = *px, i = ink_;
        const std::uint32_t rb = (((d & 0xFF00FFu) * na + (i & 0xFF00FFu) * a) >> 8) & 0xFF00FFu;
        const std::uint32_t g = (((d & 0xFF00u) * na + (i & 0xFF00u) * a) >> 8) & 0xFF00u;
        *px = 0xFF000000u | rb | g;
    }
    void Wu(double x0, double y0, double x1, double y1)
    {
        // pixel centres at whole numbers
        x0 -= 0.5, y0 -= 0.5, x1 -= 0.5, y1 -= 0.5;
        const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
        if (steep) std::swap(x0, y0), std::swap(x1, y1);
        if (x0 > x1) std::swap(x0, x1), std::swap(y0, y1);
        auto plot = [&](int a, int b, double c) { steep ? Plot(b, a, c) : Plot(a, b, c); };
        const double dx = x1 - x0, dy = y1 - y0;
        const double g = dx == 0 ? 0 : dy / dx;
        auto fpart = [](double v) { return v - std::floor(v); };
        // first end
        double xe = std::round(x0), ye = y0 + g * (xe - x0), gap = 1 - fpart(x0 + 0.5);
        const int xa = static_cast<int>(xe);
        int yi = static_cast<int>(std::floor(ye));
        plot(xa, yi, (1 - fpart(ye)) * gap);
        plot(xa, yi + 1, fpart(ye) * gap);
        double y = ye + g;
        // second end
        xe = std::round(x1);
        ye = y1 + g * (xe - x1);
        gap = fpart(x1 + 0.5);
        const int xb = static_cast<int>(xe);
        if (xb == xa) return;
        yi = static_cast<int>(std::floor(ye));
        plot(xb, yi, (1 - fpart(ye)) * gap);
        plot(xb, yi + 1, fpart(ye) * gap);
        for (int x = xa + 1; x < xb; ++x, y += g) {
            const int iy = static_cast<int>(std::floor(y));
            const double f = y - iy;
            plot(x, iy, 1 - f);
            plot(x, iy + 1, f);
        }
    }

    bool solid_;
    uchar* bits_;
    qsizetype stride_;
    int w_, h_;
    std::uint32_t tilesX_, tiles_;
    QRgb ink_ = 0;  // of the batch being drawn
    std::vector<std::uint32_t> start_;
    std::vector<Seg> sorted_;

    std::vector<Seg> fill_;  // the batch being made
    bool fillOneInk_ = true;
    std::vector<Seg> work_;  // the batch handed over
    bool workOneInk_ = true;
    bool pending_ = false, quit_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread worker_;
};

// Straight segments in drawing coordinates, clipped to the view and stroked
// in batches (or handed to a Raster).
class Strokes {
public:
    Strokes(QPainter& p, const View& clip, const Mapping& m) : p_(p), m_(m)
    {
        // halves, so that differences of any two finite values stay finite
        cx0_ = clip.x0 / 2;
        cx1_ = clip.x1 / 2;
        cy0_ = clip.y0 / 2;
        cy1_ = clip.y1 / 2;
    }
    ~Strokes() { Flush(); }

    void Seg(TDPoint a, TDPoint b)
    {
        if (!Finite(a.X) || !Finite(a.Y) || !Finite(b.X) || !Finite(b.Y)) return;
        double ax = a.X / 2, ay = a.Y / 2, bx = b.X / 2, by = b.Y / 2;
        if (std::max(ax, bx) < cx0_ || std::min(ax, bx) > cx1_ || std::max(ay, by) < cy0_ ||
            std::min(ay, by) > cy1_)
            return;
        // Cohen-Sutherland on the halves: an end outside is moved onto the
        // edge it crosses, that coordinate set exactly, so that a long line
        // keeps its place in the view (a horizontal one its very Y).
        auto code = [&](double x, double y) {
            return (x < cx0_ ? 1 : x > cx1_ ? 2 : 0) | (y < cy0_ ? 4 : y > cy1_ ? 8 : 0);
        };
        int ca = code(ax, ay), cb = code(bx, by);
        for (int round = 0; round < 8; ++round) {
            if (!(ca | cb)) break;
            if (ca & cb) return;
            const int c = ca ? ca : cb;
            double x, y;
            if (c & 1) {
                x = cx0_;
                y = ay + (cx0_ - ax) * ((by - ay) / (bx - ax));
            } else if (c & 2) {
                x = cx1_;
                y = ay + (cx1_ - ax) * ((by - ay) / (bx - ax));
            } else if (c & 4) {
                y = cy0_;
                x = ax + (cy0_ - ay) * ((bx - ax) / (by - ay));
            } else {
                y = cy1_;
                x = ax + (cy1_ - ay) * ((bx - ax) / (by - ay));
            }
            if (!Finite(x) || !Finite(y)) return;
            if (c == ca) {
                ax = x, ay = y;
                ca = code(ax, ay);
            } else {
                bx = x, by = y;
                cb = code(bx, by);
            }
        }
        if (ca | cb) return;
        PixelSeg(m_.X(ax * 2), m_.Y(ay * 2), m_.X(bx * 2), m_.Y(by * 2));
    }
    // A segment already in pixels (markers).
    void PixelSeg(double x0, double y0, double x1, double y1)
    {
        ++count;
        if (raster_ && width_ == 1.0) return raster_->Add(x0, y0, x1, y1, ink_);
        lines_.emplace_back(x0, y0, x1, y1);
        if (lines_.size() >= 4096) Flush();
    }
    // Everything so far is on the device once this returns.
    void Flush()
    {
        if (raster_) raster_->Wait();
        if (lines_.empty()) return;
        p_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        lines_.clear();
    }
    void UseRaster(Raster* r) { raster_ = r; }
    void Pen(QRgb ink, double width)
    {
        if (!lines_.empty() || (raster_ && width != width_)) Flush();
        ink_ = ink;
        width_ = width;
    }
    bool Sees(const Box& b) const
    {
        return !b.empty && b.x1 / 2 >= cx0_ && b.x0 / 2 <= cx1_ && b.y1 / 2 >= cy0_ && b.y0 / 2 <= cy1_;
    }

    std::size_t count = 0;

private:
    Raster* raster_ = nullptr;
    QRgb ink_ = 0;
    double width_ = 1;
    QPainter& p_;
    const Mapping& m_;
    double cx0_, cx1_, cy0_, cy1_;
    std::vector<QLineF> lines_;
};

struct Flattener {
    Strokes& out;
    double tol;  // in drawing units

    // The arc piece from t0 to t1 (|t1 - t0| <= pi / 2): a chord where it is
    // flat enough, nothing where it cannot reach the view.
    void ArcPiece(const Arc& a, double t0, double t1, TDPoint p0, TDPoint p1, int depth)
    {
        const double r = std::max(a.rx, a.ry);
        const bool f0 = Finite(p0.X) && Finite(p0.Y), f1 = Finite(p1.X) && Finite(p1.Y);
        if (f0 && f1) {
            // First with a bound of the sag (1 - cos x <= x^2 / 2, and a few
            // units of the last place for the cosine's rounding): a piece the
            // view cannot see even so needs no cosine.
            const double h = t1 - t0;
            const double bound = r * (h * h * 0.1251 + 4.5e-16);
            if (bound >= 0) {
                Box b;
                b.Add(p0.X, p0.Y);
                b.Add(p1.X, p1.Y);
                b.x0 -= bound, b.x1 += bound, b.y0 -= bound, b.y1 += bound;
                if (!out.Sees(b)) return;
            }
        }
        const double sag = r * (1 - std::cos((t1 - t0) / 2));
        if (!f0 || !f1) {
            // Beyond the largest double: such a point is far outside any view.
            // A piece with one such end is split (one half at a time keeps
            // it); one with two is split a few times only, so that this stays
            // linear in the depth.
            if (depth > 40 || (!f0 && !f1 && depth > 4)) return;
        } else {
            Box b;
            b.Add(p0.X, p0.Y);
            b.Add(p1.X, p1.Y);
            b.x0 -= sag, b.x1 += sag, b.y0 -= sag, b.y1 += sag;
            if (!out.Sees(b)) return;
            if (sag <= tol || depth > 40) return out.Seg(p0, p1);
        }
        const double tm = t0 / 2 + t1 / 2;
        const TDPoint pm = a.At(tm);
        ArcPiece(a, t0, tm, p0, pm, depth + 1);
        ArcPiece(a, tm, t1, pm, p1, depth + 1);
    }
    void Arcs(const Arc& a)
    {
        const double sweep = a.Full() ? 2 * std::numbers::pi : a.sweep;
        const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2))));
        double t = a.start;
        TDPoint p = a.At(t);
        for (int i = 1; i <= pieces; ++i) {
            const double tn = i == pieces ? a.start + sweep : a.start + sweep * i / pieces;
            const TDPoint pn = a.At(tn);
            ArcPiece(a, t, tn, p, pn, 0);
            t = tn;
            p = pn;
        }
    }

    static TDPoint Mid(TDPoint a, TDPoint b) { return {a.X / 2 + b.X / 2, a.Y / 2 + b.Y / 2}; }

    void Cubic(TDPoint p0, TDPoint p1, TDPoint p2, TDPoint p3, int depth)
    {
        Box b;
        for (const TDPoint& q : {p0, p1, p2, p3}) b.Add(q.X, q.Y);
        if (!out.Sees(b)) return;
        // distance of the inner control points from the chord's ends, bounded
        const double d = std::max({std::fabs(p0.X / 2 - p1.X + p2.X / 2), std::fabs(p0.Y / 2 - p1.Y + p2.Y / 2),
                                   std::fabs(p1.X / 2 - p2.X + p3.X / 2), std::fabs(p1.Y / 2 - p2.Y + p3.Y / 2)});
        if (d * 1.5 <= tol || depth > 24 || !Finite(d)) return out.Seg(p0, p3);
        const TDPoint a = Mid(p0, p1), m = Mid(p1, p2), c = Mid(p2, p3);
        const TDPoint ab = Mid(a, m), bc = Mid(m, c), mid = Mid(ab, bc);
        Cubic(p0, a, ab, mid, depth + 1);
        Cubic(mid, bc, c, p3, depth + 1);
    }
};

void SetPen(QPainter& p, QColor c, double width)
{
    QPen pen(c);
    pen.setWidthF(width);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
}

}  // namespace

struct TextCache::Impl {
    static constexpr std::size_t kMaxEntries = 1u << 16;
    std::mutex mu;
    QString fontKey;  // of the font the entries were made with
    QHash<char32_t, double> advances;
    QHash<QString, QPainterPath> runs;  // key: the whole text, then the run's first and end character

    // (under mu) drops everything made with another font, or when full
    void Check(const QFont& font)
    {
        const QString key = font.key();
        if (key != fontKey || advances.size() + runs.size() > static_cast<qsizetype>(kMaxEntries)) {
            advances.clear();
            runs.clear();
            fontKey = key;
        }
    }
};

TextCache::TextCache() : impl_(std::make_unique<Impl>()) {}
TextCache::~TextCache() = default;
void TextCache::Clear()
{
    std::lock_guard<std::mutex> l(impl_->mu);
    impl_->advances.clear();
    impl_->runs.clear();
}

namespace {

// Draws `text` at the origin of the painter's transform. A text much taller
// than the picture shows a few of its glyphs at most: only the characters
// whose advance meets the picture (and two ems either side) are laid out, at
// the place the whole run gives them, so that a drawing of many such texts
// does not build the outlines of thousands of glyphs nobody sees.
void DrawText(QPainter& p, const QString& text, QSize px, double hpx, TextCache* cache)
{
    if (!(hpx > 2.0 * std::max(px.width(), px.height())) || text.isRightToLeft()) {
        p.drawText(QPointF(0, 0), text);
        return;
    }
    bool invertible = false;
    const QTransform back = p.transform().inverted(&invertible);
    if (!invertible) {
        p.drawText(QPointF(0, 0), text);
        return;
    }
    // the picture in the text's own units, where the font is kFontPx high
    const QRectF seen = back.mapRect(QRectF(0, 0, px.width(), px.height()));
    const QFontMetricsF fm(p.font());
    const double em = fm.height();
    if (seen.bottom() < -fm.ascent() - em || seen.top() > fm.descent() + em) return;  // above or below the line
    TextCache::Impl* kept = cache ? &cache->Get() : nullptr;
    std::unique_lock<std::mutex> lock;
    if (kept) {
        lock = std::unique_lock<std::mutex>(kept->mu);
        kept->Check(p.font());
    }
    auto advance = [&](qsizetype i, qsizetype n) {
        if (!kept) return fm.horizontalAdvance(text.mid(i, n));
        const char32_t c = n == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        const auto it = kept->advances.constFind(c);
        if (it != kept->advances.constEnd()) return *it;
        const double a = fm.horizontalAdvance(text.mid(i, n));
        kept->advances.insert(c, a);
        return a;
    };
    qsizetype from = -1, to = text.size();
    double x = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const double next = x + advance(i, n);
        if (from < 0 && next >= seen.left() - 2 * em) from = i;
        if (x > seen.right() + 2 * em) {
            to = i;
            break;
        }
        x = next;
        i += n;
    }
    if (from < 0 || from >= to) return;  // the picture lies beyond the run's ends
    // The outlines, cut to the picture before they are filled: the painter
    // would otherwise walk every scan line of glyphs a million pixels high.
    QPainterPath glyphs;
    const QString run = text.mid(from, to - from);
    if (kept) {
        // keyed by the whole text and the run's characters in it: its place
        // is the one the whole text gives it
        QString key = text;
        key += QChar(0);
        key += QString::number(from);
        key += QChar(',');
        key += QString::number(to);
        const auto it = kept->runs.constFind(key);
        // (a copy of its own: a path computes its bounds in its shared data)
        if (it != kept->runs.constEnd()) {
            glyphs.addPath(*it);
            glyphs.setFillRule(it->fillRule());
            lock.unlock();
        } else {
            lock.unlock();
            glyphs.addText(QPointF(from ? fm.horizontalAdvance(text.left(from)) : 0, 0), p.font(), run);
            QPainterPath keep;
            keep.addPath(glyphs);
            keep.setFillRule(glyphs.fillRule());
            lock.lock();
            kept->Check(p.font());
            kept->runs.insert(key, keep);
            lock.unlock();
        }
    } else {
        glyphs.addText(QPointF(from ? fm.horizontalAdvance(text.left(from)) : 0, 0), p.font(), run);
    }
    QPainterPath frame;
    frame.addRect(QRectF(-2, -2, px.width() + 4, px.height() + 4));
    const QPainterPath cut = p.transform().map(glyphs).intersected(frame);
    p.save();
    p.resetTransform();
    p.fillPath(cut, p.pen().color());
    p.restore();
}

QColor Ink(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb)); }

}  // namespace

QString DrawingFontFamily()
{
    static const QString family = [] {
        for (const char* f : {"IPAGothic", "IPAPGothic"})
            if (QFontDatabase::hasFamily(QString::fromLatin1(f))) return QString::fromLatin1(f);
        return QFont().family();
    }();
    return family;
}

// What one painting keeps from item to item, and from batch to batch.
struct PaintStream::Impl {
    QPainter& p;
    const PaintOptions& o;
    QSize px;
    View v;
    Mapping m;
    double scale;  // pixels per drawing unit
    View clip;
    bool yUp;
    double half;  // of a point's cross, in pixels
    bool allBlack;
    QColor current = Qt::transparent;
    double width = 0;
    std::optional<Raster> raster;  // (outlives `out`, which flushes into it)
    Strokes out;
    Flattener fl;
    bool deferTexts = false;
    // The texts put after the lines, with their characters kept here, since
    // a batch's own are gone by the time they are drawn.
    struct Deferred {
        TDPoint pos;
        double angle, height;
        std::size_t off, len;
    };
    std::vector<Deferred> texts;
    std::string chars;
    PaintStats st;

    static View Clip(const View& v, double scale)
    {
        // a few pixels beyond the edges, so that clipped ends stay outside
        const double margin = 4 / scale;
        View c{v.x0 - margin, v.y0 - margin, v.x1 + margin, v.y1 + margin};
        if (!Finite(c.x0) || !Finite(c.x1) || !Finite(c.y0) || !Finite(c.y1)) c = v;
        return c;
    }

    Impl(QPainter& painter, const Assumptions& a, const View& view, QSize size, const PaintOptions& opt)
        : p(painter), o(opt), px(size), v(FitAspect(view, size.width(), size.height())),
          m(v, size.width(), size.height(), a.y), scale(std::fabs(m.sx)), clip(Clip(v, scale)),
          yUp(a.y == Assumptions::YAxis::Up), half(a.pointSize / 2), allBlack(a.colour == Assumptions::Colour::None),
          out(painter, clip, m), fl{out, opt.tolerance / scale}
    {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, o.antialias);
        p.setRenderHint(QPainter::TextAntialiasing, o.antialias);
        p.setBrush(Qt::NoBrush);
        QFont font(DrawingFontFamily());
        font.setPixelSize(kFontPx);
        font.setStyleStrategy(QFont::PreferOutline);
        p.setFont(font);
        if (p.device() && p.device()->devType() == QInternal::Image && p.transform().isIdentity() &&
            p.compositionMode() == QPainter::CompositionMode_SourceOver && !p.hasClipping()) {
            auto* img = static_cast<QImage*>(p.device());
            // (an image shared with another QImage would detach from the painter's)
            if (img->format() == QImage::Format_RGB32 && img->devicePixelRatio() == 1 && img->isDetached() &&
                !img->isNull()) {
                raster.emplace(*img, o.antialias);
                out.UseRaster(&*raster);
            }
        }
        // With one ink the texts may go after the lines (the order does not
        // change the picture), so that the painter and the raster's thread do
        // not wait for each other at every text.
        deferTexts = raster && allBlack;
    }

    void DrawTextRun(TDPoint pos, double angle, double height, std::string_view text)
    {
        const double hpx = height * scale;
        p.save();
        p.translate(m.X(pos.X), m.Y(pos.Y));
        p.rotate((yUp ? -angle : angle) * (180 / std::numbers::pi));
        const double k = std::min(hpx, 1e6) / kFontPx;
        p.scale(k, k);
        DrawText(p, QString::fromStdString(SafeText(text)), px, hpx, o.textCache);
        p.restore();
    }

    void PaintItem(const Scene& s, const Item& it, QColor ink, double w)
    {
        if (it.primCount == 0) return;
        if (ink != current || w != width) {
            out.Pen(ink.rgb(), w);
            SetPen(p, ink, w);
            current = ink;
            width = w;
        }
        bool seen = false;
        for (const Prim& pr : s.Prims(it)) {
            const auto pts = s.Points(pr);
            switch (pr.type) {
            case PrimType::Polyline:
            case PrimType::Image: {
                const std::size_t before = out.count;
                for (std::size_t i = 1; i < pts.size(); ++i) out.Seg(pts[i - 1], pts[i]);
                if ((pr.flags & Prim::Closed) || pr.type == PrimType::Image)
                    if (pts.size() > 2) out.Seg(pts.back(), pts.front());
                if (pr.type == PrimType::Image && (pr.flags & Prim::Placeholder) && pts.size() == 4) {
                    out.Seg(pts[0], pts[2]);
                    out.Seg(pts[1], pts[3]);
                }
                seen |= out.count != before;
                break;
            }
            case PrimType::Bezier: {
                const std::size_t before = out.count;
                for (std::size_t i = 0; i + 3 < pts.size(); i += 3) fl.Cubic(pts[i], pts[i + 1], pts[i + 2], pts[i + 3], 0);
                if ((pr.flags & Prim::Closed) && pts.size() > 1) out.Seg(pts.back(), pts.front());
                seen |= out.count != before;
                break;
            }
            case PrimType::Arc: {
                const std::size_t before = out.count;
                fl.Arcs(s.ArcOf(pr));
                seen |= out.count != before;
                break;
            }
            case PrimType::Marker: {
                const TDPoint q = pts[0];
                if (q.X < clip.x0 || q.X > clip.x1 || q.Y < clip.y0 || q.Y > clip.y1) break;
                const double x = m.X(q.X), y = m.Y(q.Y);
                out.PixelSeg(x - half, y - half, x + half, y + half);
                out.PixelSeg(x - half, y + half, x + half, y - half);
                seen = true;
                break;
            }
            case PrimType::Text: {
                const TextRun t = s.TextOf(pr);
                const double hpx = t.height * scale;
                if (t.text.empty() || !(hpx >= 0.5) || !out.Sees(s.PrimBox(pr))) break;
                if (deferTexts) {
                    texts.push_back({t.pos, t.angle, t.height, chars.size(), t.text.size()});
                    chars += t.text;
                } else {
                    out.Flush();
                    DrawTextRun(t.pos, t.angle, t.height, t.text);
                }
                ++st.texts;
                seen = true;
                break;
            }
            }
        }
        st.items += seen;
    }

    bool Cancelled() const { return o.cancel && o.cancel->load(std::memory_order_relaxed); }

    // The deferred texts, over the lines.
    void DrawDeferred()
    {
        if (texts.empty()) return;
        out.Flush();
        for (const Deferred& t : texts) {
            if (Cancelled()) break;
            DrawTextRun(t.pos, t.angle, t.height, std::string_view(chars).substr(t.off, t.len));
        }
        texts.clear();
        chars.clear();
    }

    PaintStats Finish()
    {
        out.Flush();
        st.segments = out.count;
        p.restore();
        return st;
    }
};

PaintStream::PaintStream(QPainter& p, const Assumptions& a, const View& v, QSize px, const PaintOptions& o)
{
    if (px.width() > 0 && px.height() > 0) d_ = std::make_unique<Impl>(p, a, v, px, o);
}

PaintStream::~PaintStream() = default;

void PaintStream::Items(const Scene& s)
{
    if (!d_) return;
    const QColor black(Qt::black);
    for (const Item& it : s.Items()) d_->PaintItem(s, it, d_->allBlack ? black : Ink(it.rgb), d_->o.lineWidth);
}

PaintStats PaintStream::Finish()
{
    if (!d_) return {};
    d_->DrawDeferred();
    const PaintStats st = d_->Finish();
    d_.reset();  // every pixel is in place once the raster is gone
    return st;
}

PaintStats Paint(QPainter& p, const Scene& s, const View& view, QSize px, const PaintOptions& o)
{
    if (px.width() <= 0 || px.height() <= 0) return {};
    PaintStream::Impl d(p, s.Assumed(), view, px, o);
    const auto items = s.Items();
    const QColor black(Qt::black);
    auto inkOf = [&](const Item& it) { return d.allBlack ? black : Ink(it.rgb); };
    if (o.only.empty()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if ((i & 1023) == 0 && d.Cancelled()) break;
            if ((i & 0xFFFF) == 0 && o.progress) o.progress(static_cast<double>(i) / static_cast<double>(items.size()));
            if (static_cast<std::int64_t>(i) == o.highlight) continue;
            d.PaintItem(s, items[i], inkOf(items[i]), o.lineWidth);
        }
    } else {
        for (std::size_t j = 0; j < o.only.size(); ++j) {
            if ((j & 1023) == 0 && d.Cancelled()) break;
            if ((j & 0xFFFF) == 0 && o.progress) o.progress(static_cast<double>(j) / static_cast<double>(o.only.size()));
            const std::uint32_t i = o.only[j];
            if (i >= items.size() || static_cast<std::int64_t>(i) == o.highlight) continue;
            d.PaintItem(s, items[i], inkOf(items[i]), o.lineWidth);
        }
    }
    if (o.progress) o.progress(1.0);
    d.DrawDeferred();
    d.deferTexts = false;  // the highlight's texts go over everything
    if (o.highlight >= 0 && static_cast<std::uint64_t>(o.highlight) < items.size() && !d.Cancelled())
        d.PaintItem(s, items[static_cast<std::size_t>(o.highlight)], o.highlightColour, o.highlightWidth);
    return d.Finish();
}

namespace {

// An RGB32 image whose pixels lie in huge pages where the system allows:
// a drawing's entities land all over the image, and with small pages nearly
// every segment would miss the address cache.
QImage NewImage(QSize px)
{
    if (px.width() <= 0 || px.height() <= 0) return {};
    constexpr std::size_t kHuge = 2u << 20;
    const std::size_t bpl = static_cast<std::size_t>(px.width()) * 4;
    const std::size_t bytes = bpl * static_cast<std::size_t>(px.height());
    if (bytes < 4 * kHuge) return QImage(px, QImage::Format_RGB32);
    const std::size_t size = (bytes + kHuge - 1) / kHuge * kHuge;
    void* mem = std::aligned_alloc(kHuge, size);
    if (!mem) return {};
    ::madvise(mem, size, MADV_HUGEPAGE);
    return QImage(static_cast<uchar*>(mem), px.width(), px.height(), static_cast<qsizetype>(bpl),
                  QImage::Format_RGB32, [](void* p) { std::free(p); }, mem);
}

}  // namespace

QImage RenderImage(const Scene& s, const View& v, QSize px, const PaintOptions& o, PaintStats* stats)
{
    QImage img = NewImage(px);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    QPainter p(&img);
    const PaintStats st = Paint(p, s, v, px, o);
    if (stats) *stats = st;
    return img;
}

QImage RenderImage(const PaintFeed& feed, const Assumptions& a, const View& v, QSize px, const PaintOptions& o)
{
    QImage img = NewImage(px);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    bool fed = false;
    {
        QPainter p(&img);
        PaintStream stream(p, a, v, px, o);
        fed = feed(stream);
        stream.Finish();
    }
    if (!fed) return {};
    return img;
}

namespace {

// PNG of an RGB32 image through libpng: grey (one byte a pixel) or RGB rows
// made from the image row by row, no filter, and zlib's run-length strategy
// at level 1. A drawing is mostly paper and runs of ink: this is about three
// times as fast as the adaptive filters at zlib's default level, and on
// drawings of many small entities the file is no larger (measured 12.6 MB
// against 13.1 MB for 4096 x 4096 pixels of a million entities).
struct PngOut {
    const std::function<bool(std::string_view)>* sink;
    bool failed = false;
};

void PngWrite(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<PngOut*>(png_get_io_ptr(png));
    bool ok = false;
    try {
        ok = (*out->sink)(std::string_view(reinterpret_cast<const char*>(data), n));
    } catch (...) {
    }
    if (!ok) {
        out->failed = true;
        png_error(png, "cannot write");
    }
}

void PngFlush(png_structp) {}

void PngQuiet(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngQuietWarning(png_structp, png_const_charp) {}

// Only plain data between setjmp and the rows: a longjmp skips destructors.
bool EncodePng(const QImage& img, bool grey, png_text* texts, int textCount, unsigned char* row, PngOut& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngQuiet, PngQuietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const int w = img.width(), h = img.height();
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_set_text(png, info, texts, textCount);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        if (grey) {
            // one ink on white: the three channels are equal
            for (int x = 0; x < w; ++x) row[x] = static_cast<unsigned char>(qGray(src[x]));
        } else {
            for (int x = 0; x < w; ++x) {
                row[3 * x] = static_cast<unsigned char>(qRed(src[x]));
                row[3 * x + 1] = static_cast<unsigned char>(qGreen(src[x]));
                row[3 * x + 2] = static_cast<unsigned char>(qBlue(src[x]));
            }
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const QImage& img, bool grey, const std::vector<std::string>& describe,
              const std::function<bool(std::string_view)>& sink)
{
    if (img.isNull()) return false;
    std::string text;
    for (const auto& l : describe) text += l + "\n";
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    char kDescription[] = "Description", kSoftware[] = "Software", kTool[] = "q6tool render", kNone[] = "";
    png_text texts[2] = {};
    // the description as UTF-8 (iTXt) when it is not ASCII, e.g. a file's name
    texts[0].compression = ascii ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
    texts[0].key = kDescription;
    texts[0].text = text.data();
    texts[0].text_length = text.size();
    texts[0].lang = kNone;
    texts[0].lang_key = kNone;
    texts[1].compression = PNG_TEXT_COMPRESSION_NONE;
    texts[1].key = kSoftware;
    texts[1].text = kTool;
    texts[1].text_length = sizeof kTool - 1;
    std::vector<unsigned char> row(static_cast<std::size_t>(img.width()) * (grey ? 1 : 3));
    PngOut out{&sink};
    return EncodePng(img, grey, texts, 2, row.data(), out) && !out.failed;
}

QByteArray PngBytes(const Scene& s, const View& v, QSize px, const std::vector<std::string>& describe,
                    const PaintOptions& o)
{
    const QImage img = RenderImage(s, v, px, o);
    if (img.isNull()) return {};
    const bool grey = s.Assumed().colour == Assumptions::Colour::None && o.highlight < 0;
    QByteArray bytes;
    const bool ok = WritePng(img, grey, describe, [&](std::string_view b) {
        bytes.append(b.data(), static_cast<qsizetype>(b.size()));
        return true;
    });
    if (!ok) return {};
    return bytes;
}

namespace {

QString XmlEscaped(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

}  // namespace

namespace {

// A one-page PDF of px points with its metadata, painted by `paint`.
QByteArray PdfOf(const std::function<bool(QPainter&)>& paint, QSize px, const std::string& title,
                 const std::vector<std::string>& describe)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buf);
        pdf.setResolution(72);
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(px.width(), px.height()), QPageSize::Point, QString(),
                                                QPageSize::ExactMatch),
                                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setTitle(QString::fromStdString(title));
        pdf.setCreator(QStringLiteral("q6tool render"));
        std::string text;
        for (const auto& l : describe) text += l + "\n";
        const QString xmp = QStringLiteral(
                                "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                                "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                                "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                                "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                                "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>"
                                "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">%2</rdf:li></rdf:Alt>"
                                "</dc:description></rdf:Description></rdf:RDF></x:xmpmeta>"
                                "<?xpacket end=\"w\"?>")
                                .arg(XmlEscaped(title), XmlEscaped(text));
        pdf.setDocumentXmpMetadata(xmp.toUtf8());
        QPainter p;
        if (!p.begin(&pdf)) return {};
        // the painter's device is in points at 72 per inch: px x px
        const bool fed = paint(p);
        p.end();
        if (!fed) return {};
    }
    return bytes;
}

}  // namespace

QByteArray PdfBytes(const Scene& s, const View& v, QSize px, const std::string& title,
                    const std::vector<std::string>& describe, const PaintOptions& o)
{
    return PdfOf([&](QPainter& p) {
        Paint(p, s, v, px, o);
        return true;
    }, px, title, describe);
}

QByteArray PdfBytes(const PaintFeed& feed, const Assumptions& a, const View& v, QSize px, const std::string& title,
                    const std::vector<std::string>& describe, const PaintOptions& o)
{
    return PdfOf([&](QPainter& p) {
        PaintStream stream(p, a, v, px, o);
        const bool fed = feed(stream);
        stream.Finish();
        return fed;
    }, px, title, describe);
}

}  // namespace q6draw
