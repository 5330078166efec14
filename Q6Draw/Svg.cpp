#include "Q6Draw/Svg.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace q6draw {

namespace {

void Num(std::string& out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void Int(std::string& out, long long v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void Pt(std::string& out, TDPoint p)
{
    Num(out, p.X);
    out += ',';
    Num(out, p.Y);
}

double Deg(double rad) { return rad * (180 / std::numbers::pi); }

void Hex(std::string& out, std::uint32_t rgb)
{
    static const char* const d = "0123456789abcdef";
    out += '#';
    for (int sh = 20; sh >= 0; sh -= 4) out += d[(rgb >> sh) & 0xF];
}

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
    out_.reserve(1u << 21);
}

bool SvgWriter::Flush(bool force)
{
    if (!force && out_.size() < (1u << 20)) return true;
    const bool ok = sink_(out_);
    out_.clear();
    return ok;
}

bool SvgWriter::Head(const std::vector<std::string>& describe)
{
    const View& v = v_;
    const int w = w_, h = h_;
    const bool yUp = a_.y == Assumptions::YAxis::Up;
    const double vw = v.x1 - v.x0, vh = v.y1 - v.y0;
    const double scale = scale_;
    std::string& out = out_;
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

    return Flush(false);
}

bool SvgWriter::Items(const Scene& s, const std::function<void(double)>& progress)
{
    return Put(s, out_, true, progress);
}

void SvgWriter::Format(const Scene& s, std::string& out)
{
    // without flushing, Put leaves the writer's own buffer alone
    Put(s, out, false, {});
}

bool SvgWriter::Formatted(std::string_view svg)
{
    return Flush(true) && sink_(svg);
}

bool SvgWriter::Put(const Scene& s, std::string& out, bool flushing, const std::function<void(double)>& progress)
{
    const bool yUp = a_.y == Assumptions::YAxis::Up;
    const double half = a_.pointSize / 2 / scale_;
    const bool colour = a_.colour != Assumptions::Colour::None;
    auto flush = [&](bool force) { return !flushing || Flush(force); };
    const auto items = s.Items();
    for (const Item& it : items) {
        if (progress && ((&it - items.data()) & 0xFFFF) == 0)
            progress(static_cast<double>(&it - items.data()) / static_cast<double>(items.size()));
        out += "<g data-ino=\"";
        Int(out, it.INo);
        out += "\" data-eno=\"";
        Int(out, it.ENo);
        out += '"';
        if (it.status != Status::Drawn) {
            out += " data-status=\"";
            out += StatusName(it.status);
            out += "\" data-reason=\"";
            AppendXmlText(out, ReasonText(it.reason));
            out += '"';
        }
        if (colour) {
            out += " stroke=\"";
            Hex(out, it.rgb);
            out += '"';
        }
        if (it.primCount == 0) {
            out += "/>\n";
            if (!flush(false)) return false;
            continue;
        }
        out += '>';
        for (const Prim& p : s.Prims(it)) {
            const auto pts = s.Points(p);
            switch (p.type) {
            case PrimType::Polyline:
                out += (p.flags & Prim::Closed) ? "<polygon points=\"" : "<polyline points=\"";
                for (std::size_t i = 0; i < pts.size(); ++i) {
                    if (i) out += ' ';
                    Pt(out, pts[i]);
                }
                out += "\"/>";
                break;
            case PrimType::Bezier:
                out += "<path d=\"M";
                Pt(out, pts[0]);
                for (std::size_t i = 1; i + 2 < pts.size(); i += 3) {
                    out += " C";
                    Pt(out, pts[i]);
                    out += ' ';
                    Pt(out, pts[i + 1]);
                    out += ' ';
                    Pt(out, pts[i + 2]);
                }
                if (p.flags & Prim::Closed) out += 'Z';
                out += "\"/>";
                break;
            case PrimType::Arc: {
                const Arc a = s.ArcOf(p);
                if (a.Full()) {
                    if (a.rx == a.ry) {
                        out += "<circle cx=\"";
                        Num(out, a.c.X);
                        out += "\" cy=\"";
                        Num(out, a.c.Y);
                        out += "\" r=\"";
                        Num(out, a.rx);
                        out += "\"/>";
                    } else {
                        out += "<ellipse cx=\"";
                        Num(out, a.c.X);
                        out += "\" cy=\"";
                        Num(out, a.c.Y);
                        out += "\" rx=\"";
                        Num(out, a.rx);
                        out += "\" ry=\"";
                        Num(out, a.ry);
                        out += '"';
                        if (a.rotation != 0) {
                            out += " transform=\"rotate(";
                            Num(out, Deg(a.rotation));
                            out += ' ';
                            Pt(out, a.c);
                            out += ")\"";
                        }
                        out += "/>";
                    }
                } else {
                    // an arc of more than half a turn is two, so that SVG's
                    // endpoint form is never ambiguous
                    const int pieces = std::fabs(a.sweep) > std::numbers::pi ? 2 : 1;
                    out += "<path d=\"M";
                    Pt(out, a.At(a.start));
                    for (int k = 1; k <= pieces; ++k) {
                        out += " A";
                        Num(out, a.rx);
                        out += ' ';
                        Num(out, a.ry);
                        out += ' ';
                        Num(out, Deg(a.rotation));
                        out += a.sweep > 0 ? " 0 1 " : " 0 0 ";
                        Pt(out, a.At(a.start + a.sweep * k / pieces));
                    }
                    out += "\"/>";
                }
                break;
            }
            case PrimType::Marker: {
                const TDPoint q = pts[0];
                out += "<path d=\"M";
                Pt(out, {q.X - half, q.Y - half});
                out += " L";
                Pt(out, {q.X + half, q.Y + half});
                out += " M";
                Pt(out, {q.X - half, q.Y + half});
                out += " L";
                Pt(out, {q.X + half, q.Y - half});
                out += "\"/>";
                break;
            }
            case PrimType::Image:
                out += "<polygon points=\"";
                for (std::size_t i = 0; i < pts.size(); ++i) {
                    if (i) out += ' ';
                    Pt(out, pts[i]);
                }
                out += "\"/>";
                if ((p.flags & Prim::Placeholder) && pts.size() == 4) {
                    out += "<path d=\"M";
                    Pt(out, pts[0]);
                    out += " L";
                    Pt(out, pts[2]);
                    out += " M";
                    Pt(out, pts[1]);
                    out += " L";
                    Pt(out, pts[3]);
                    out += "\"/>";
                }
                break;
            case PrimType::Text: {
                const TextRun t = s.TextOf(p);
                out += "<text transform=\"translate(";
                Pt(out, t.pos);
                out += ')';
                if (t.angle != 0) {
                    out += " rotate(";
                    Num(out, Deg(t.angle));
                    out += ')';
                }
                if (yUp) out += " scale(1,-1)";
                out += "\" font-size=\"";
                Num(out, t.height);
                out += "\" stroke=\"none\" fill=\"";
                Hex(out, colour ? it.rgb : 0);
                out += "\" xml:space=\"preserve\">";
                AppendXmlText(out, t.text);
                out += "</text>";
                break;
            }
            }
        }
        out += "</g>\n";
        if (!flush(false)) return false;
    }
    return true;
}

bool SvgWriter::Tail()
{
    out_ += "</g>\n</svg>\n";
    return Flush(true);
}

bool WriteSvg(const Scene& s, const View& view, int w, int h, const std::vector<std::string>& describe,
              const std::function<bool(std::string_view)>& sink, const std::function<void(double)>& progress)
{
    SvgWriter svg(s.Assumed(), view, w, h, sink);
    return svg.Head(describe) && svg.Items(s, progress) && svg.Tail();
}

}  // namespace q6draw
