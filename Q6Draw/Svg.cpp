#include "Q6Draw/Svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>

#include "Func_/Func_.h"

namespace q6draw {

namespace {

void Num(std::string& out, double v)
{
    char buf[kShortestRoom];
    out.append(buf, ShortestChars(buf, v));
}

void Int(std::string& out, long long v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

double Deg(double rad) { return rad * (180 / std::numbers::pi); }

// Literal text at p.
template <std::size_t N>
char* Lit(char* p, const char (&s)[N])
{
    std::memcpy(p, s, N - 1);
    return p + (N - 1);
}

char* NumAt(char* p, double v) { return ShortestChars(p, v); }

char* IntAt(char* p, long long v) { return std::to_chars(p, p + 24, v).ptr; }

char* PtAt(char* p, TDPoint q)
{
    p = ShortestChars(p, q.X);
    *p++ = ',';
    return ShortestChars(p, q.Y);
}

char* PointsAt(char* p, std::span<const TDPoint> pts)
{
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (i) *p++ = ' ';
        p = PtAt(p, pts[i]);
    }
    return p;
}

char* HexAt(char* p, std::uint32_t rgb)
{
    static const char* const d = "0123456789abcdef";
    *p++ = '#';
    for (int sh = 20; sh >= 0; sh -= 4) *p++ = d[(rgb >> sh) & 0xF];
    return p;
}

// Room for the text of one number, of a point, and of the fixed text around
// a primitive (its longest element names and attributes, a few numbers).
constexpr std::size_t kNum = kShortestRoom;
constexpr std::size_t kPt = 2 * kShortestRoom + 2;
constexpr std::size_t kPrimText = 400;

}  // namespace

void AppendXmlText(std::string& out, std::string_view s)
{
    const std::string safe = SafeText(s);
    for (const char c : safe) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
}

SvgWriter::SvgWriter(const Assumptions& a, const View& view, int w, int h,
                     std::function<bool(std::string_view)> sink)
    : a_(a), v_(FitAspect(view, w, h)), w_(w), h_(h), sink_(std::move(sink))
{
    scale_ = w / (v_.x1 - v_.x0);  // pixels per drawing unit
    out_.Room(1u << 21);
}

void SvgText::Append(std::string_view s)
{
    char* p = Room(s.size());
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    n_ += s.size();
}

char* SvgText::Grow(std::size_t n)
{
    const std::size_t cap = std::max(cap_ * 2, n_ + n);
    std::unique_ptr<char[]> d(new char[cap]);
    if (n_) std::memcpy(d.get(), data_.get(), n_);
    data_ = std::move(d);
    cap_ = cap;
    return data_.get() + n_;
}

bool SvgWriter::Flush(bool force)
{
    if (!force && out_.Size() < (1u << 20)) return true;
    const bool ok = sink_(out_.View());
    out_.Clear();
    return ok;
}

bool SvgWriter::Head(const std::vector<std::string>& describe)
{
    const View& v = v_;
    const int w = w_, h = h_;
    const bool yUp = a_.y == Assumptions::YAxis::Up;
    const double vw = v.x1 - v.x0, vh = v.y1 - v.y0;
    const double scale = scale_;
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    Int(out, w);
    out += "\" height=\"";
    Int(out, h);
    out += "\" viewBox=\"";
    // with Y up, the flip turns the view's top y1 into -y1
    Num(out, v.x0);
    out += ' ';
    Num(out, yUp ? -v.y1 : v.y0);
    out += ' ';
    Num(out, vw);
    out += ' ';
    Num(out, vh);
    out += "\">\n<desc>";
    for (std::size_t i = 0; i < describe.size(); ++i) {
        if (i) out += '\n';
        AppendXmlText(out, describe[i]);
    }
    out += "</desc>\n";
    out += "<rect x=\"";
    Num(out, v.x0);
    out += "\" y=\"";
    Num(out, yUp ? -v.y1 : v.y0);
    out += "\" width=\"";
    Num(out, vw);
    out += "\" height=\"";
    Num(out, vh);
    out += "\" fill=\"#ffffff\"/>\n";
    out += "<g";
    if (yUp) out += " transform=\"scale(1,-1)\"";
    // one pixel at the stated size (vector-effect="non-scaling-stroke" would
    // keep it so at any zoom, but librsvg ignores it and draws such strokes
    // one drawing unit wide)
    out += " fill=\"none\" stroke=\"#000000\" stroke-width=\"";
    Num(out, 1 / scale);
    out += "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\" "
           "font-family=\"IPAGothic, IPAPGothic, sans-serif\">\n";
    out_.Append(out);
    return Flush(false);
}

bool SvgWriter::Items(const Scene& s, const std::function<void(double)>& progress)
{
    return Put(s, out_, true, progress);
}

void SvgWriter::Format(const Scene& s, SvgText& out)
{
    // without flushing, Put leaves the writer's own buffer alone
    Put(s, out, false, {});
}

bool SvgWriter::Formatted(std::string_view svg)
{
    return Flush(true) && sink_(svg);
}

bool SvgWriter::Put(const Scene& s, SvgText& out, bool flushing, const std::function<void(double)>& progress)
{
    const bool yUp = a_.y == Assumptions::YAxis::Up;
    const double half = a_.pointSize / 2 / scale_;
    const bool colour = a_.colour != Assumptions::Colour::None;
    const auto items = s.Items();
    std::string text;  // an escaped text, before it is copied in
    for (const Item& it : items) {
        if (progress && ((&it - items.data()) & 0xFFFF) == 0)
            progress(static_cast<double>(&it - items.data()) / static_cast<double>(items.size()));
        if (it.status != Status::Drawn) {
            text.clear();
            AppendXmlText(text, ReasonText(it.reason));
        }
        char* p = out.Room(kPrimText + text.size());
        p = Lit(p, "<g data-ino=\"");
        p = IntAt(p, it.INo);
        p = Lit(p, "\" data-eno=\"");
        p = IntAt(p, it.ENo);
        *p++ = '"';
        if (it.status != Status::Drawn) {
            p = Lit(p, " data-status=\"");
            const std::string_view name = StatusName(it.status);
            std::memcpy(p, name.data(), name.size());
            p += name.size();
            p = Lit(p, "\" data-reason=\"");
            std::memcpy(p, text.data(), text.size());
            p += text.size();
            *p++ = '"';
        }
        if (colour) {
            p = Lit(p, " stroke=\"");
            p = HexAt(p, it.rgb);
            *p++ = '"';
        }
        if (it.primCount == 0) {
            p = Lit(p, "/>\n");
            out.Done(p);
            if (flushing && !Flush(false)) return false;
            continue;
        }
        *p++ = '>';
        for (const Prim& pr : s.Prims(it)) {
            const auto pts = s.Points(pr);
            switch (pr.type) {
            case PrimType::Polyline:
                out.Done(p);
                p = out.Room(kPrimText + pts.size() * kPt);
                p = (pr.flags & Prim::Closed) ? Lit(p, "<polygon points=\"") : Lit(p, "<polyline points=\"");
                p = PointsAt(p, pts);
                p = Lit(p, "\"/>");
                break;
            case PrimType::Bezier:
                out.Done(p);
                p = out.Room(kPrimText + pts.size() * (kPt + 2));
                p = Lit(p, "<path d=\"M");
                p = PtAt(p, pts[0]);
                for (std::size_t i = 1; i + 2 < pts.size(); i += 3) {
                    p = Lit(p, " C");
                    p = PtAt(p, pts[i]);
                    *p++ = ' ';
                    p = PtAt(p, pts[i + 1]);
                    *p++ = ' ';
                    p = PtAt(p, pts[i + 2]);
                }
                if (pr.flags & Prim::Closed) *p++ = 'Z';
                p = Lit(p, "\"/>");
                break;
            case PrimType::Arc: {
                out.Done(p);
                p = out.Room(kPrimText + 2 * (3 * kNum + kPt));
                const Arc a = s.ArcOf(pr);
                if (a.Full()) {
                    if (a.rx == a.ry) {
                        p = Lit(p, "<circle cx=\"");
                        p = NumAt(p, a.c.X);
                        p = Lit(p, "\" cy=\"");
                        p = NumAt(p, a.c.Y);
                        p = Lit(p, "\" r=\"");
                        p = NumAt(p, a.rx);
                        p = Lit(p, "\"/>");
                    } else {
                        p = Lit(p, "<ellipse cx=\"");
                        p = NumAt(p, a.c.X);
                        p = Lit(p, "\" cy=\"");
                        p = NumAt(p, a.c.Y);
                        p = Lit(p, "\" rx=\"");
                        p = NumAt(p, a.rx);
                        p = Lit(p, "\" ry=\"");
                        p = NumAt(p, a.ry);
                        *p++ = '"';
                        if (a.rotation != 0) {
                            p = Lit(p, " transform=\"rotate(");
                            p = NumAt(p, Deg(a.rotation));
                            *p++ = ' ';
                            p = PtAt(p, a.c);
                            p = Lit(p, ")\"");
                        }
                        p = Lit(p, "/>");
                    }
                } else {
                    // an arc of more than half a turn is two, so that SVG's
                    // endpoint form is never ambiguous
                    const int pieces = std::fabs(a.sweep) > std::numbers::pi ? 2 : 1;
                    p = Lit(p, "<path d=\"M");
                    p = PtAt(p, a.At(a.start));
                    for (int k = 1; k <= pieces; ++k) {
                        p = Lit(p, " A");
                        p = NumAt(p, a.rx);
                        *p++ = ' ';
                        p = NumAt(p, a.ry);
                        *p++ = ' ';
                        p = NumAt(p, Deg(a.rotation));
                        p = a.sweep > 0 ? Lit(p, " 0 1 ") : Lit(p, " 0 0 ");
                        p = PtAt(p, a.At(a.start + a.sweep * k / pieces));
                    }
                    p = Lit(p, "\"/>");
                }
                break;
            }
            case PrimType::Marker: {
                out.Done(p);
                p = out.Room(kPrimText + 4 * kPt);
                const TDPoint q = pts[0];
                p = Lit(p, "<path d=\"M");
                p = PtAt(p, {q.X - half, q.Y - half});
                p = Lit(p, " L");
                p = PtAt(p, {q.X + half, q.Y + half});
                p = Lit(p, " M");
                p = PtAt(p, {q.X - half, q.Y + half});
                p = Lit(p, " L");
                p = PtAt(p, {q.X + half, q.Y - half});
                p = Lit(p, "\"/>");
                break;
            }
            case PrimType::Image:
                out.Done(p);
                p = out.Room(2 * kPrimText + (pts.size() + 4) * kPt);
                p = Lit(p, "<polygon points=\"");
                p = PointsAt(p, pts);
                p = Lit(p, "\"/>");
                if ((pr.flags & Prim::Placeholder) && pts.size() == 4) {
                    p = Lit(p, "<path d=\"M");
                    p = PtAt(p, pts[0]);
                    p = Lit(p, " L");
                    p = PtAt(p, pts[2]);
                    p = Lit(p, " M");
                    p = PtAt(p, pts[1]);
                    p = Lit(p, " L");
                    p = PtAt(p, pts[3]);
                    p = Lit(p, "\"/>");
                }
                break;
            case PrimType::Text: {
                const TextRun t = s.TextOf(pr);
                text.clear();
                AppendXmlText(text, t.text);
                out.Done(p);
                p = out.Room(kPrimText + 2 * kNum + kPt + text.size());
                p = Lit(p, "<text transform=\"translate(");
                p = PtAt(p, t.pos);
                *p++ = ')';
                if (t.angle != 0) {
                    p = Lit(p, " rotate(");
                    p = NumAt(p, Deg(t.angle));
                    *p++ = ')';
                }
                if (yUp) p = Lit(p, " scale(1,-1)");
                p = Lit(p, "\" font-size=\"");
                p = NumAt(p, t.height);
                p = Lit(p, "\" stroke=\"none\" fill=\"");
                p = HexAt(p, colour ? it.rgb : 0);
                p = Lit(p, "\" xml:space=\"preserve\">");
                std::memcpy(p, text.data(), text.size());
                p += text.size();
                p = Lit(p, "</text>");
                break;
            }
            }
        }
        out.Done(p);
        p = out.Room(8);
        p = Lit(p, "</g>\n");
        out.Done(p);
        if (flushing && !Flush(false)) return false;
    }
    return true;
}

bool SvgWriter::Tail()
{
    out_.Append("</g>\n</svg>\n");
    return Flush(true);
}

bool WriteSvg(const Scene& s, const View& view, int w, int h, const std::vector<std::string>& describe,
              const std::function<bool(std::string_view)>& sink, const std::function<void(double)>& progress)
{
    SvgWriter svg(s.Assumed(), view, w, h, sink);
    return svg.Head(describe) && svg.Items(s, progress) && svg.Tail();
}

}  // namespace q6draw
