#include "Q6Dxf/Export.h"

#include <cmath>
#include <numbers>

#include "Q6Dxf/Document.h"

namespace q6dxf {

const char* DxfTypeName(DxfType t)
{
    switch (t) {
    case DxfType::Point: return "POINT";
    case DxfType::Line: return "LINE";
    case DxfType::Circle: return "CIRCLE";
    case DxfType::Arc: return "ARC";
    case DxfType::Ellipse: return "ELLIPSE";
    case DxfType::LwPolyline: return "LWPOLYLINE";
    case DxfType::Spline: return "SPLINE";
    case DxfType::Text: return "TEXT";
    case DxfType::Count_: break;
    }
    return "";
}

std::string ExportStats::Line() const
{
    std::string l = "dxf entities " + std::to_string(entities);
    const char* sep = ": ";
    for (std::size_t i = 0; i < kDxfTypeCount; ++i) {
        if (!byType[i]) continue;
        l += sep;
        l += DxfTypeName(static_cast<DxfType>(i));
        l += ' ';
        l += std::to_string(byType[i]);
        sep = ", ";
    }
    return l;
}

namespace {

using q6draw::Kind;
using q6draw::Prim;
using q6draw::PrimType;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDeg = 180 / std::numbers::pi;
// The flattest ellipse DXF readers take (minor / major).
constexpr double kMinRatio = 1e-6;

// The direction of angle t as an angle in [0, 2 pi). Far from 0 the double
// nearest 2 pi is too coarse a modulus; there the sine and cosine, which
// reduce exactly, tell the direction.
double Normal(double t)
{
    if (std::fabs(t) > 1e6) t = std::atan2(std::sin(t), std::cos(t));
    t = std::fmod(t, kTwoPi);
    if (t < 0) t += kTwoPi;
    if (t >= kTwoPi) t = 0;
    return t;
}

// Counts what a Document would write, with the same calls.
struct Counter {
    ExportStats& s;
    void Add(DxfType t)
    {
        ++s.byType[static_cast<std::size_t>(t)];
        ++s.entities;
    }
    void Point(const EntityAttr&, double, double) { Add(DxfType::Point); }
    void Line(const EntityAttr&, double, double, double, double) { Add(DxfType::Line); }
    void Circle(const EntityAttr&, double, double, double) { Add(DxfType::Circle); }
    void Arc(const EntityAttr&, double, double, double, double, double) { Add(DxfType::Arc); }
    void Ellipse(const EntityAttr&, double, double, double, double, double, double, double) { Add(DxfType::Ellipse); }
    void Polyline(const EntityAttr&, const double*, std::size_t, bool) { Add(DxfType::LwPolyline); }
    void BezierSpline(const EntityAttr&, const double*, std::size_t) { Add(DxfType::Spline); }
    void Text(const EntityAttr&, double, double, double, double, std::string_view) { Add(DxfType::Text); }
};

bool IsEllipse(Kind k) { return k == Kind::ep || k == Kind::epx; }
bool IsLine(Kind k) { return k == Kind::ln || k == Kind::lnx; }

// Emits the DXF entities of one item into `out` (a Document or a Counter).
// `xy` is scratch space for flat coordinate lists.
template <class Out>
void EmitItem(const q6draw::Scene& scene, const q6draw::Item& it, const EntityAttr& attr, bool flipY, Out& out,
              std::vector<double>& xy)
{
    const double fy = flipY ? -1.0 : 1.0;
    for (const Prim& p : scene.Prims(it)) {
        switch (p.type) {
        case PrimType::Marker: {
            const TDPoint q = scene.Points(p)[0];
            out.Point(attr, q.X, fy * q.Y);
            break;
        }
        case PrimType::Polyline:
        case PrimType::Bezier:
        case PrimType::Image: {
            const auto pts = scene.Points(p);
            if (p.type == PrimType::Polyline && IsLine(it.kind) && pts.size() == 2 && !(p.flags & Prim::Closed)) {
                out.Line(attr, pts[0].X, fy * pts[0].Y, pts[1].X, fy * pts[1].Y);
                break;
            }
            xy.clear();
            for (const TDPoint& q : pts) {
                xy.push_back(q.X);
                xy.push_back(fy * q.Y);
            }
            if (p.type == PrimType::Bezier) {
                out.BezierSpline(attr, xy.data(), pts.size());
            } else if (p.type == PrimType::Image) {
                out.Polyline(attr, xy.data(), pts.size(), true);
                if (pts.size() == 4) {
                    out.Line(attr, xy[0], xy[1], xy[4], xy[5]);
                    out.Line(attr, xy[2], xy[3], xy[6], xy[7]);
                }
            } else {
                out.Polyline(attr, xy.data(), pts.size(), (p.flags & Prim::Closed) != 0);
            }
            break;
        }
        case PrimType::Arc: {
            q6draw::Arc a = scene.ArcOf(p);
            if (flipY) {
                a.c.Y = -a.c.Y;
                a.rotation = -a.rotation;
                a.start = -a.start;
                a.sweep = -a.sweep;
            }
            const bool full = a.Full();
            // counter-clockwise from t0 to t1
            const double t0 = full ? 0.0 : Normal(a.sweep >= 0 ? a.start : a.start + a.sweep);
            const double t1 = full ? kTwoPi : t0 + std::fabs(a.sweep);
            if (!IsEllipse(it.kind) && a.rx == a.ry && a.rotation == 0) {
                if (a.rx == 0) {
                    out.Point(attr, a.c.X, a.c.Y);
                } else if (full) {
                    out.Circle(attr, a.c.X, a.c.Y, a.rx);
                } else {
                    const double d0 = t0 * kDeg;
                    double d1 = std::fmod(t1 * kDeg, 360.0);
                    // an arc shorter than the degrees can tell stays an arc, not a circle
                    if (d1 == d0) d1 = std::nextafter(d0, 400.0);
                    out.Arc(attr, a.c.X, a.c.Y, a.rx, d0, d1);
                }
                break;
            }
            const double major = std::max(a.rx, a.ry), minor = std::min(a.rx, a.ry);
            const double cr = std::cos(a.rotation), sr = std::sin(a.rotation);
            if (major == 0) {
                out.Point(attr, a.c.X, a.c.Y);
                break;
            }
            if (minor < kMinRatio * major) {
                // DXF holds no flatter ellipse. The curve lies within its minor
                // radius of its major axis, along which it runs to and fro: its
                // ends and turning points in order.
                xy.clear();
                const auto at = [&](double t) {
                    const TDPoint q = a.At(t);
                    xy.push_back(q.X);
                    xy.push_back(q.Y);
                };
                const double lo = a.sweep >= 0 ? a.start : a.start + a.sweep;
                const double hi = full ? lo + kTwoPi : lo + std::fabs(a.sweep);
                at(lo);
                // turning points where the parameter puts the curve at an end of the major axis
                const double phase = a.rx >= a.ry ? 0.0 : std::numbers::pi / 2;
                for (double k = std::floor((lo - phase) / std::numbers::pi) + 1, n = 0;
                     n < 3 && phase + k * std::numbers::pi < hi; ++k, ++n)
                    at(phase + k * std::numbers::pi);
                at(hi);
                out.Polyline(attr, xy.data(), xy.size() / 2, false);
                break;
            }
            double mx, my, p0 = t0, p1 = t1;
            if (a.rx >= a.ry) {
                mx = a.rx * cr;
                my = a.rx * sr;
            } else {
                // the major axis is the rotated Y axis: parameters shift by a quarter turn
                mx = -a.ry * sr;
                my = a.ry * cr;
                if (!full) {
                    p0 = Normal(t0 - std::numbers::pi / 2);
                    p1 = p0 + (t1 - t0);
                }
            }
            out.Ellipse(attr, a.c.X, a.c.Y, mx, my, minor / major, p0, p1);
            break;
        }
        case PrimType::Text: {
            const q6draw::TextRun t = scene.TextOf(p);
            const double angle = Normal(flipY ? -t.angle : t.angle) * kDeg;
            out.Text(attr, t.pos.X, fy * t.pos.Y, t.height, angle, t.text);
            break;
        }
        }
    }
}

}  // namespace

bool ValidStyleName(std::string_view name)
{
    if (name.empty() || name.size() > 255) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>/\\\":;?*|=`").find(c) != std::string_view::npos)
            return false;
    return true;
}

std::vector<std::string> ExportComments(const q6draw::Scene& scene)
{
    std::vector<std::string> c{"q6tool dxf: DXF R2007 (AC1021), texts in UTF-8",
                               "Assumed (q6tool dxf --assume KEY=VALUE changes them):"};
    for (std::string& l : scene.Assumed().Describe()) c.push_back("  " + l);
    c.emplace_back("In DXF: a point is a POINT entity; each entity is on a layer named by its kind; Y is up "
                   "(y=down negates every Y); no unit is stated ($INSUNITS 0).");
    for (std::string& l : scene.SummaryLines()) c.push_back(std::move(l));
    return c;
}

bool ExportDxf(const q6draw::Scene& scene, Sink& sink, ExportStats* stats, const ExportOptions& options)
{
    const bool flipY = scene.Assumed().y == q6draw::Assumptions::YAxis::Down;
    const bool colour = scene.Assumed().colour != q6draw::Assumptions::Colour::None;

    // First pass: the entities and the kinds that will have them.
    ExportStats counted;
    Counter counter{counted};
    std::vector<double> xy;
    std::array<bool, q6draw::kKindCount> used{};
    for (const q6draw::Item& it : scene.Items()) {
        const std::uint64_t before = counted.entities;
        EmitItem(scene, it, {}, flipY, counter, xy);
        if (counted.entities != before) used[static_cast<std::size_t>(it.kind)] = true;
    }
    DocumentOptions o;
    std::array<std::size_t, q6draw::kKindCount> layerOf{};
    for (std::size_t k = 0; k < q6draw::kKindCount; ++k) {
        if (!used[k]) continue;
        layerOf[k] = o.layers.size();
        o.layers.emplace_back(q6draw::KindName(static_cast<Kind>(k)));
    }
    o.entities = counted.entities;
    const q6draw::Box& e = scene.Extent();
    if (!e.empty) o.extent = {e.x0, flipY ? -e.y1 : e.y0, e.x1, flipY ? -e.y0 : e.y1, true};
    o.comments = ExportComments(scene);
    if (!options.textFont.empty()) o.textStyle = o.textFont = options.textFont;

    TagWriter w(sink);
    Document doc(w, o);
    for (const q6draw::Item& it : scene.Items()) {
        EntityAttr attr;
        attr.layer = layerOf[static_cast<std::size_t>(it.kind)];
        if (colour) attr.colour = it.rgb & 0xFFFFFFu;
        EmitItem(scene, it, attr, flipY, doc, xy);
    }
    const bool ok = doc.Finish();
    if (stats) {
        *stats = counted;
        stats->bytes = w.BytesWritten();
        stats->nonFinite = w.NonFinite();
    }
    return ok;
}

}  // namespace q6dxf
