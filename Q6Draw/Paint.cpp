#include "Q6Draw/Paint.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QImageWriter>
#include <QLineF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace q6draw {

namespace {

bool Finite(double v) { return std::isfinite(v); }

// The pixel size the drawing font is made at; texts are scaled from it.
constexpr int kFontPx = 64;

// Straight segments in drawing coordinates, clipped to the view and stroked
// in batches.
class Strokes {
public:
    Strokes(QPainter& p, const View& clip, const Mapping& m) : p_(p), m_(m)
    {
        // halves, so that differences of any two finite values stay finite
        cx0_ = clip.x0 / 2;
        cx1_ = clip.x1 / 2;
        cy0_ = clip.y0 / 2;
        cy1_ = clip.y1 / 2;
        lines_.reserve(kBatch);
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
        const double px0 = ax, py0 = ay, px1 = bx, py1 = by;
        lines_.emplace_back(m_.X(px0 * 2), m_.Y(py0 * 2), m_.X(px1 * 2), m_.Y(py1 * 2));
        ++count;
        if (lines_.size() >= kBatch) Flush();
    }
    // A segment already in pixels (markers).
    void PixelSeg(double x0, double y0, double x1, double y1)
    {
        lines_.emplace_back(x0, y0, x1, y1);
        ++count;
        if (lines_.size() >= kBatch) Flush();
    }
    void Flush()
    {
        if (!lines_.empty()) p_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        lines_.clear();
    }
    bool Sees(const Box& b) const
    {
        return !b.empty && b.x1 / 2 >= cx0_ && b.x0 / 2 <= cx1_ && b.y1 / 2 >= cy0_ && b.y0 / 2 <= cy1_;
    }

    std::size_t count = 0;

private:
    static constexpr std::size_t kBatch = 4096;
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
        const double sag = r * (1 - std::cos((t1 - t0) / 2));
        if (!Finite(p0.X) || !Finite(p0.Y) || !Finite(p1.X) || !Finite(p1.Y)) {
            if (depth > 40) return;
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

PaintStats Paint(QPainter& p, const Scene& s, const View& view, QSize px, const PaintOptions& o)
{
    PaintStats st;
    if (px.width() <= 0 || px.height() <= 0) return st;
    const View v = FitAspect(view, px.width(), px.height());
    const Mapping m(v, px.width(), px.height(), s.Assumed().y);
    const double scale = std::fabs(m.sx);  // pixels per drawing unit
    // a few pixels beyond the edges, so that clipped ends stay outside
    const double margin = 4 / scale;
    View clip{v.x0 - margin, v.y0 - margin, v.x1 + margin, v.y1 + margin};
    if (!Finite(clip.x0) || !Finite(clip.x1) || !Finite(clip.y0) || !Finite(clip.y1)) clip = v;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, o.antialias);
    p.setRenderHint(QPainter::TextAntialiasing, o.antialias);
    p.setBrush(Qt::NoBrush);
    QFont font(DrawingFontFamily());
    font.setPixelSize(kFontPx);
    font.setStyleStrategy(QFont::PreferOutline);
    p.setFont(font);
    const bool yUp = s.Assumed().y == Assumptions::YAxis::Up;
    const double half = s.Assumed().pointSize / 2;

    const auto items = s.Items();
    QColor current = Qt::transparent;
    double width = 0;
    Strokes out(p, clip, m);
    Flattener fl{out, o.tolerance / scale};

    auto paintItem = [&](const Item& it, QColor ink, double w) {
        if (it.primCount == 0) return;
        if (ink != current || w != width) {
            out.Flush();
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
                out.Flush();
                p.save();
                p.translate(m.X(t.pos.X), m.Y(t.pos.Y));
                p.rotate((yUp ? -t.angle : t.angle) * (180 / std::numbers::pi));
                const double k = std::min(hpx, 1e6) / kFontPx;
                p.scale(k, k);
                p.drawText(QPointF(0, 0), QString::fromStdString(SafeText(t.text)));
                p.restore();
                ++st.texts;
                seen = true;
                break;
            }
            }
        }
        st.items += seen;
    };

    auto cancelled = [&] { return o.cancel && o.cancel->load(std::memory_order_relaxed); };
    const QColor black(Qt::black);
    const bool allBlack = s.Assumed().colour == Assumptions::Colour::None;
    if (o.only.empty()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if ((i & 1023) == 0 && cancelled()) break;
            if (static_cast<std::int64_t>(i) == o.highlight) continue;
            paintItem(items[i], allBlack ? black : Ink(items[i].rgb), o.lineWidth);
        }
    } else {
        for (std::size_t j = 0; j < o.only.size(); ++j) {
            if ((j & 1023) == 0 && cancelled()) break;
            const std::uint32_t i = o.only[j];
            if (i >= items.size() || static_cast<std::int64_t>(i) == o.highlight) continue;
            paintItem(items[i], allBlack ? black : Ink(items[i].rgb), o.lineWidth);
        }
    }
    if (o.highlight >= 0 && static_cast<std::uint64_t>(o.highlight) < items.size() && !cancelled())
        paintItem(items[static_cast<std::size_t>(o.highlight)], o.highlightColour, o.highlightWidth);
    out.Flush();
    st.segments = out.count;
    p.restore();
    return st;
}

QImage RenderImage(const Scene& s, const View& v, QSize px, const PaintOptions& o, PaintStats* stats)
{
    QImage img(px, QImage::Format_RGB32);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    QPainter p(&img);
    const PaintStats st = Paint(p, s, v, px, o);
    if (stats) *stats = st;
    return img;
}

QByteArray PngBytes(const Scene& s, const View& v, QSize px, const std::vector<std::string>& describe,
                    const PaintOptions& o)
{
    QImage img = RenderImage(s, v, px, o);
    if (img.isNull()) return {};
    const bool grey = s.Assumed().colour == Assumptions::Colour::None && o.highlight < 0;
    if (grey) img = img.convertToFormat(QImage::Format_Grayscale8);
    std::string text;
    for (const auto& l : describe) text += l + "\n";
    img.setText(QStringLiteral("Description"), QString::fromStdString(text));
    img.setText(QStringLiteral("Software"), QStringLiteral("q6tool render"));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, "png");
    w.setQuality(80);  // less compression: large images are written fast
    if (!w.write(img)) return {};
    return bytes;
}

namespace {

QString XmlEscaped(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

}  // namespace

QByteArray PdfBytes(const Scene& s, const View& v, QSize px, const std::string& title,
                    const std::vector<std::string>& describe, const PaintOptions& o)
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
        Paint(p, s, v, px, o);
        p.end();
    }
    return bytes;
}

}  // namespace q6draw
