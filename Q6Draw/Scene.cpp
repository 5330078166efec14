#include "Q6Draw/Scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "Func_/Func_.h"
#include "Q6Unit/Q6Data.h"

namespace q6draw {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

bool Finite(double v) { return std::isfinite(v); }
bool Finite(const TDPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

std::string Shortest(double v)
{
    char buf[kShortestRoom];
    return std::string(buf, ShortestChars(buf, v));
}

bool ParseDouble(std::string_view s, double& v)
{
    if (s.empty()) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

const char* KindName(Kind k)
{
    switch (k) {
#define Q6_DRAW_NAME(a, T, id, ver, reader) \
    case Kind::a: return q6kinds::ChunkName(id, ver);
        Q6_ENTITY_KINDS(Q6_DRAW_NAME)
#undef Q6_DRAW_NAME
    case Kind::Invalid: return "invalid index entry";
    }
    return "invalid index entry";
}

Kind KindOfINo(std::int32_t ino)
{
    switch (ino) {
#define Q6_DRAW_INO(a, T, id, ver, reader) \
    case id * 100 + ver: return Kind::a;
        Q6_ENTITY_KINDS(Q6_DRAW_INO)
#undef Q6_DRAW_INO
    default: return Kind::Invalid;
    }
}

const char* StatusName(Status s)
{
    switch (s) {
    case Status::Drawn: return "drawn";
    case Status::Approximated: return "approximated";
    case Status::Skipped: return "skipped";
    }
    return "skipped";
}

const char* ReasonText(Reason r)
{
    switch (r) {
    case Reason::None: return "";
    case Reason::TextHeightFromStyle: return "height from the document's text style of the text's style number";
    case Reason::TextHeightDefault: return "no usable height stated: the default text height";
    case Reason::TextHeightAssumed: return "height given by text-height";
    case Reason::BezierControlPolygon: return "not a cubic point count: drawn as its control polygon";
    case Reason::GradientOutline: return "gradient fill not drawn: outline only";
    case Reason::MappedFillPlaceholder: return "mapped fill not drawn: outline and a framed placeholder";
    case Reason::BitmapPlaceholder: return "image not decoded: framed placeholder on its four points";
    case Reason::SymbolPlaceholder: return "symbol shape not stored: framed placeholder of side len";
    case Reason::EllipseAngleUnused: return "angle not used: drawn axis-aligned";
    case Reason::EndSymbolsLeftOut: return "end symbols of the edge block left out";
    case Reason::NotFinite: return "a NaN or infinite value";
    case Reason::NegativeRadius: return "a negative radius";
    case Reason::NoPoints: return "no points";
    case Reason::GroupNoMembers: return "groups store no member list and no shape";
    case Reason::NoEntity: return "the index entry names no entity";
    case Reason::Count_: break;
    }
    return "";
}

// ---- assumptions ----------------------------------------------------------------

namespace {

const Assumptions::Key kKeys[] = {
    {"y", "up|down", "up", "drawing units; X to the right, Y up (down: Y grows downwards)"},
    {"angles", "radians|degrees", "radians", "unit of every stored angle"},
    {"direction", "ccw|cw", "ccw",
     "angles count from +X counter-clockwise (cw: clockwise); arcs run this way from arc[0] to arc[1]"},
    {"ellipse-angle", "ignore|rotate", "ignore",
     "an ellipse is axis-aligned, r[0] along X (rotate: its angle turns it about its centre)"},
    {"ellipse-arc", "parametric|polar", "parametric",
     "an ellipse's arc angles are the curve's parameter (polar: directions seen from the centre)"},
    {"bezier", "cubic|polygon", "cubic",
     "n points with n - 1 a multiple of 3 are cubic segments, other counts their control polygon "
     "(polygon: always the control polygon)"},
    {"colour", "none|bgr|rgb", "none",
     "one black ink on white (bgr: the entity's color as 0x00BBGGRR; rgb: as 0x00RRGGBB)"},
    {"text-height", "style|NUMBER", "style",
     "a text without its own style takes the height of text style `style` of the table, or "
     "default-text-height (NUMBER: this height for all of them)"},
    {"default-text-height", "NUMBER", "2.5", "the height of a text when none is stated, in drawing units"},
    {"point-size", "NUMBER", "7", "the cross of a point, in output pixels"},
};

template <class E>
struct Choice {
    const char* name;
    E value;
};

template <class E, std::size_t N>
bool Pick(std::string_view v, const Choice<E> (&choices)[N], E& out)
{
    for (const auto& c : choices)
        if (v == c.name) {
            out = c.value;
            return true;
        }
    return false;
}

template <class E, std::size_t N>
const char* NameOf(E v, const Choice<E> (&choices)[N])
{
    for (const auto& c : choices)
        if (c.value == v) return c.name;
    return "";
}

using A = Assumptions;
const Choice<A::YAxis> kY[] = {{"up", A::YAxis::Up}, {"down", A::YAxis::Down}};
const Choice<A::Angles> kAngles[] = {{"radians", A::Angles::Radians}, {"degrees", A::Angles::Degrees}};
const Choice<A::Direction> kDir[] = {{"ccw", A::Direction::Ccw}, {"cw", A::Direction::Cw}};
const Choice<A::EllipseAngle> kEA[] = {{"ignore", A::EllipseAngle::Ignore}, {"rotate", A::EllipseAngle::Rotate}};
const Choice<A::EllipseArc> kEArc[] = {{"parametric", A::EllipseArc::Parametric}, {"polar", A::EllipseArc::Polar}};
const Choice<A::Bezier> kBz[] = {{"cubic", A::Bezier::Cubic}, {"polygon", A::Bezier::Polygon}};
const Choice<A::Colour> kCol[] = {{"none", A::Colour::None}, {"bgr", A::Colour::Bgr}, {"rgb", A::Colour::Rgb}};

}  // namespace

std::span<const Assumptions::Key> Assumptions::Keys() { return kKeys; }

std::string Assumptions::Set(std::string_view kv)
{
    const auto eq = kv.find('=');
    if (eq == std::string_view::npos) return "an assumption is KEY=VALUE, not \"" + std::string(kv) + "\"";
    const std::string_view key = kv.substr(0, eq), v = kv.substr(eq + 1);
    const Key* k = nullptr;
    for (const auto& c : kKeys)
        if (key == c.key) k = &c;
    if (!k) return "unknown assumption key \"" + std::string(key) + "\"";
    bool ok = false;
    double d = 0;
    if (key == "y") ok = Pick(v, kY, y);
    else if (key == "angles") ok = Pick(v, kAngles, angles);
    else if (key == "direction") ok = Pick(v, kDir, direction);
    else if (key == "ellipse-angle") ok = Pick(v, kEA, ellipseAngle);
    else if (key == "ellipse-arc") ok = Pick(v, kEArc, ellipseArc);
    else if (key == "bezier") ok = Pick(v, kBz, bezier);
    else if (key == "colour") ok = Pick(v, kCol, colour);
    else if (key == "text-height") {
        if (v == "style") {
            textHeight = 0;
            ok = true;
        } else if (ParseDouble(v, d) && Finite(d) && d > 0) {
            textHeight = d;
            ok = true;
        }
    } else if (key == "default-text-height") {
        if ((ok = ParseDouble(v, d) && Finite(d) && d > 0)) defaultTextHeight = d;
    } else if (key == "point-size") {
        if ((ok = ParseDouble(v, d) && Finite(d) && d >= 0 && d <= 1000)) pointSize = d;
    }
    if (!ok)
        return "bad value \"" + std::string(v) + "\" for assumption " + std::string(key) + " (takes " + k->values +
               ")";
    return {};
}

std::string Assumptions::Value(std::string_view key) const
{
    if (key == "y") return NameOf(y, kY);
    if (key == "angles") return NameOf(angles, kAngles);
    if (key == "direction") return NameOf(direction, kDir);
    if (key == "ellipse-angle") return NameOf(ellipseAngle, kEA);
    if (key == "ellipse-arc") return NameOf(ellipseArc, kEArc);
    if (key == "bezier") return NameOf(bezier, kBz);
    if (key == "colour") return NameOf(colour, kCol);
    if (key == "text-height") return textHeight > 0 ? Shortest(textHeight) : "style";
    if (key == "default-text-height") return Shortest(defaultTextHeight);
    if (key == "point-size") return Shortest(pointSize);
    return {};
}

std::vector<std::string> Assumptions::Describe() const
{
    std::vector<std::string> out;
    for (const auto& k : kKeys) {
        std::string l = k.key;
        l += '=';
        l += Value(k.key);
        l += Value(k.key) == k.byDefault ? "  " : " (changed)  ";
        l += k.meaning;
        out.push_back(std::move(l));
    }
    out.emplace_back("Always: a text is anchored at pos on the left end of its baseline and turned by its angle; "
                     "polylines are open, polygons closed outlines (no fill is stated); points are crosses; "
                     "groups and end symbols are not drawn; layers and line types are not stated: every entity "
                     "is drawn with one hairline.");
    return out;
}

// ---- boxes ------------------------------------------------------------------------

void Box::Add(const Box& b)
{
    if (b.empty) return;
    Add(b.x0, b.y0);
    Add(b.x1, b.y1);
}

// ---- arcs ---------------------------------------------------------------------------

bool Arc::Full() const { return std::fabs(sweep) >= kTwoPi; }

TDPoint Arc::At(double t) const
{
    const double ex = rx * std::cos(t), ey = ry * std::sin(t);
    if (rotation == 0) return {c.X + ex, c.Y + ey};
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    return {c.X + ex * cr - ey * sr, c.Y + ex * sr + ey * cr};
}

namespace {

// Whether parameter t lies on the arc.
bool OnArc(const Arc& a, double t)
{
    if (a.Full()) return true;
    double d = a.sweep >= 0 ? t - a.start : a.start - t;
    d = std::fmod(d, kTwoPi);
    if (d < 0) d += kTwoPi;
    return d <= std::fabs(a.sweep);
}

Box ArcBox(const Arc& a)
{
    Box b;
    auto add = [&](double t) {
        const TDPoint p = a.At(t);
        b.Add(p.X, p.Y);
    };
    if (!a.Full()) {
        add(a.start);
        add(a.start + a.sweep);
    }
    const double cr = std::cos(a.rotation), sr = std::sin(a.rotation);
    const double tx = std::atan2(-a.ry * sr, a.rx * cr), ty = std::atan2(a.ry * cr, a.rx * sr);
    for (double t : {tx, tx + std::numbers::pi, ty, ty + std::numbers::pi})
        if (OnArc(a, t)) add(t);
    return b;
}

// Whether an entity's edge block holds anything.
bool HasEndSymbols(const TQ6ObjectEdge& e)
{
    return std::any_of(e.symb.begin(), e.symb.end(), [](std::uint8_t c) { return c != 0; });
}

std::size_t CountIndex(Kind k, Status s, Reason r)
{
    return (static_cast<std::size_t>(k) * kStatusCount + static_cast<std::size_t>(s)) * kReasonCount +
           static_cast<std::size_t>(r);
}

}  // namespace

// ---- the interpretation ---------------------------------------------------------------

struct Scene::Builder {
    Scene& s;
    const TQ6Data& doc;
    const Assumptions& a;
    Item* it = nullptr;

    double Angle(double v) const
    {
        if (a.angles == Assumptions::Angles::Degrees) v = v * (std::numbers::pi / 180);
        return a.direction == Assumptions::Direction::Cw ? -v : v;
    }

    void Approx(Reason r)
    {
        if (it->status == Status::Drawn) {
            it->status = Status::Approximated;
            it->reason = r;
        }
    }
    void Skip(Reason r)
    {
        it->status = Status::Skipped;
        it->reason = r;
        // what was added for the item goes
        if (it->primCount) {
            s.pts_.resize(s.prims_[it->firstPrim].first);
            s.prims_.resize(it->firstPrim);
            it->primCount = 0;
        }
    }

    Prim& Add(PrimType t, std::uint8_t flags = 0)
    {
        Prim p;
        p.first = s.pts_.size();
        p.type = t;
        p.flags = flags;
        s.prims_.push_back(p);
        ++it->primCount;
        return s.prims_.back();
    }
    void Pt(Prim& p, TDPoint q)
    {
        s.pts_.push_back(q);
        ++p.count;
    }

    bool AllFinite(std::span<const TDPoint> pts)
    {
        for (const auto& p : pts)
            if (!Finite(p)) return false;
        return true;
    }

    void Colour(const TQ6ObjectHeader& h)
    {
        const std::uint32_t c = h.color;
        switch (a.colour) {
        case Assumptions::Colour::None: it->rgb = 0; break;
        case Assumptions::Colour::Rgb: it->rgb = c & 0xFFFFFFu; break;
        case Assumptions::Colour::Bgr:
            it->rgb = ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
            break;
        }
    }

    // An arc prim: circle (rx == ry) or ellipse, stored angles as read.
    void ArcPrim(TDPoint c, double rx, double ry, double rotation, double a0, double a1, bool ellipse)
    {
        if (!Finite(c) || !Finite(rx) || !Finite(ry) || !Finite(rotation) || !Finite(a0) || !Finite(a1))
            return Skip(Reason::NotFinite);
        if (rx < 0 || ry < 0) return Skip(Reason::NegativeRadius);
        double s0 = Angle(a0), s1 = Angle(a1);
        if (ellipse && a.ellipseArc == Assumptions::EllipseArc::Polar) {
            // a direction seen from the centre to the curve's parameter
            s0 = std::atan2(rx * std::sin(s0), ry * std::cos(s0));
            s1 = std::atan2(rx * std::sin(s1), ry * std::cos(s1));
        }
        // the arc runs the stated direction from the first angle to the second;
        // equal angles, or a difference of whole turns, are the whole curve
        const double diff = a1 - a0;
        const double turn = a.angles == Assumptions::Angles::Degrees ? 360.0 : kTwoPi;
        const double turns = std::round(diff / turn);
        const bool full = a0 == a1 || (Finite(turns) && turns != 0 &&
                                       std::fabs(diff - turns * turn) <= 1e-12 * std::max(1.0, std::fabs(diff)));
        // Angle() has put both angles into counter-clockwise drawing
        // coordinates; a clockwise arc runs backwards there.
        const bool ccw = a.direction == Assumptions::Direction::Ccw;
        double d = std::fmod(ccw ? s1 - s0 : s0 - s1, kTwoPi);
        if (d < 0) d += kTwoPi;
        if (full || d == 0 || !Finite(d)) d = kTwoPi;
        const double sweep = ccw ? d : -d;
        Prim& p = Add(PrimType::Arc);
        Pt(p, c);
        Pt(p, {rx, ry});
        Pt(p, {rotation, s0});
        Pt(p, {sweep, 0});
    }

    void Polyline(std::span<const TDPoint> pts, bool closed)
    {
        if (pts.empty()) return Skip(Reason::NoPoints);
        if (!AllFinite(pts)) return Skip(Reason::NotFinite);
        Prim& p = Add(PrimType::Polyline, closed ? Prim::Closed : 0);
        for (const auto& q : pts) Pt(p, q);
    }

    void Quad(std::span<const TDPoint> pts, Reason why)
    {
        if (!AllFinite(pts)) return Skip(Reason::NotFinite);
        Prim& p = Add(PrimType::Image, Prim::Placeholder);
        for (const auto& q : pts) Pt(p, q);
        Approx(why);
    }

    void Text(const TQ6ObjectText& t, const TQ6TextStyle* own)
    {
        if (!Finite(t.pos) || !Finite(t.angle)) return Skip(Reason::NotFinite);
        double h = 0;
        Reason why = Reason::None;
        if (own && Finite(own->hight) && own->hight > 0) {
            h = own->hight;
        } else if (a.textHeight > 0) {
            h = a.textHeight;
            why = Reason::TextHeightAssumed;
        } else if (!own && t.style < doc.txtstl.size() && Finite(doc.txtstl[t.style].hight) &&
                   doc.txtstl[t.style].hight > 0) {
            h = doc.txtstl[t.style].hight;
            why = Reason::TextHeightFromStyle;
        } else {
            h = a.defaultTextHeight;
            why = Reason::TextHeightDefault;
        }
        Prim& p = Add(PrimType::Text);
        s.pts_.push_back(t.pos);
        s.pts_.push_back({Angle(t.angle), h});
        p.count = static_cast<std::uint32_t>(s.texts_.size());
        s.texts_.push_back({s.chars_.size(), static_cast<std::uint32_t>(t.text.size())});
        s.chars_ += t.text;
        if (why != Reason::None) Approx(why);
    }

    void Bezier(const TQ6ObjectBezier& b)
    {
        const std::span<const TDPoint> pts(b.pos);
        if (pts.empty()) return Skip(Reason::NoPoints);
        if (!AllFinite(pts)) return Skip(Reason::NotFinite);
        const bool cubic = a.bezier == Assumptions::Bezier::Cubic && pts.size() >= 4 && (pts.size() - 1) % 3 == 0;
        Prim& p = Add(cubic ? PrimType::Bezier : PrimType::Polyline);
        for (const auto& q : pts) Pt(p, q);
        if (!cubic) Approx(Reason::BezierControlPolygon);
    }

    void Edge(const TQ6ObjectEdge& e)
    {
        if (it->status != Status::Skipped && HasEndSymbols(e)) Approx(Reason::EndSymbolsLeftOut);
    }

    // One overload per kind of the catalogue; a kind without one does not compile.
    template <Kind K>
    struct Tag {};

    void Do(Tag<Kind::pt>, const TQ6ObjectPoint& e)
    {
        Colour(e.obj);
        if (!Finite(e.pos)) return Skip(Reason::NotFinite);
        Prim& p = Add(PrimType::Marker);
        Pt(p, e.pos);
    }
    void Do(Tag<Kind::ln>, const TQ6ObjectLine& e)
    {
        Colour(e.obj);
        Polyline(e.pos, false);
    }
    void Do(Tag<Kind::lnx>, const TQ6ObjectLineEx& e)
    {
        Do(Tag<Kind::ln>{}, e.ln);
        Edge(e.e);
    }
    void Do(Tag<Kind::cr>, const TQ6ObjectCircle& e)
    {
        Colour(e.obj);
        ArcPrim(e.pos, e.r, e.r, 0, e.arc[0], e.arc[1], false);
    }
    void Do(Tag<Kind::crx>, const TQ6ObjectCircleEx& e)
    {
        Do(Tag<Kind::cr>{}, e.cr);
        Edge(e.e);
    }
    void Do(Tag<Kind::ep>, const TQ6ObjectEllipse& e)
    {
        Colour(e.obj);
        const bool rotate = a.ellipseAngle == Assumptions::EllipseAngle::Rotate;
        if (!Finite(e.angle)) return Skip(Reason::NotFinite);
        ArcPrim(e.pos, e.r[0], e.r[1], rotate ? Angle(e.angle) : 0, e.arc[0], e.arc[1], true);
        if (it->status != Status::Skipped && !rotate && e.angle != 0) Approx(Reason::EllipseAngleUnused);
    }
    void Do(Tag<Kind::epx>, const TQ6ObjectEllipseEx& e)
    {
        Do(Tag<Kind::ep>{}, e.ep);
        Edge(e.e);
    }
    void Do(Tag<Kind::tx>, const TQ6ObjectText& e)
    {
        Colour(e.obj);
        Text(e, nullptr);
    }
    void Do(Tag<Kind::txx>, const TQ6ObjectTextEx& e)
    {
        Colour(e.tx.obj);
        Text(e.tx, &e.ex);
    }
    void Do(Tag<Kind::bz>, const TQ6ObjectBezier& e)
    {
        Colour(e.obj);
        Bezier(e);
    }
    void Do(Tag<Kind::bzx>, const TQ6ObjectBezierEx& e)
    {
        Do(Tag<Kind::bz>{}, e.bz);
        Edge(e.e);
    }
    void Do(Tag<Kind::pl>, const TQ6ObjectBezier& e)
    {
        Colour(e.obj);
        Polyline(e.pos, false);
    }
    void Do(Tag<Kind::plx>, const TQ6ObjectPolylineEx& e)
    {
        Do(Tag<Kind::pl>{}, e.pl);
        Edge(e.e);
    }
    void Do(Tag<Kind::pg>, const TQ6ObjectPolygon& e)
    {
        Colour(e.obj);
        Polyline(e.pos, true);
    }
    void Do(Tag<Kind::pgg>, const TQ6ObjectPolygonGrad& e)
    {
        Do(Tag<Kind::pg>{}, e.pg);
        if (it->status != Status::Skipped) Approx(Reason::GradientOutline);
    }
    void Do(Tag<Kind::pgm>, const TQ6ObjectPolygonMapping& e)
    {
        Do(Tag<Kind::pg>{}, e.pg);
        if (it->status == Status::Skipped) return;
        const TDPoint p0 = e.e.pos[0], p1 = e.e.pos[1];
        if (!Finite(p0) || !Finite(p1)) return Skip(Reason::NotFinite);
        const TDPoint q[4] = {p0, {p1.X, p0.Y}, p1, {p0.X, p1.Y}};
        Quad(q, Reason::MappedFillPlaceholder);
    }
    void Do(Tag<Kind::bm>, const TQ6ObjectBitmap& e)
    {
        Colour(e.obj);
        Quad(e.pos, Reason::BitmapPlaceholder);
    }
    void Do(Tag<Kind::bmx>, const TQ6ObjectBitmapEx& e) { Do(Tag<Kind::bm>{}, e.bm); }
    void Do(Tag<Kind::sy>, const TQ6ObjectSymbol& e)
    {
        Colour(e.obj);
        if (!Finite(e.pos) || !Finite(e.len) || !Finite(e.angle)) return Skip(Reason::NotFinite);
        // a square of side len about pos, turned by angle; a point when len is not positive
        const double h = e.len > 0 ? e.len / 2 : 0;
        const double an = Angle(e.angle), c = std::cos(an), sn = std::sin(an);
        TDPoint q[4];
        const double corner[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
        for (int i = 0; i < 4; ++i)
            q[i] = {e.pos.X + corner[i][0] * c - corner[i][1] * sn, e.pos.Y + corner[i][0] * sn + corner[i][1] * c};
        if (h > 0 && AllFinite(q)) {
            Quad(q, Reason::SymbolPlaceholder);
        } else {
            Prim& p = Add(PrimType::Marker);
            Pt(p, e.pos);
            Approx(Reason::SymbolPlaceholder);
        }
    }
    void Group(const TQ6ObjectHeader& h)
    {
        Colour(h);
        Skip(Reason::GroupNoMembers);
    }
    void Do(Tag<Kind::gr>, const TQ6ObjectGroup& e) { Group(e.obj); }
    void Do(Tag<Kind::grdim>, const TQ6ObjectGroupDim& e) { Group(e.gr.obj); }
    void Do(Tag<Kind::grqle>, const TQ6ObjectGroupQle& e) { Group(e.gr.obj); }
    void Do(Tag<Kind::grbar>, const TQ6ObjectGroupBar& e) { Group(e.gr.obj); }

    void Begin(const TQ6EntNo& en)
    {
        Item item;
        item.INo = en.INo;
        item.ENo = en.ENo;
        item.firstPrim = static_cast<std::uint32_t>(s.prims_.size());
        item.kind = KindOfINo(en.INo);
        item.status = Status::Drawn;
        s.items_.push_back(item);
        it = &s.items_.back();
    }
    void End()
    {
        if (it->status == Status::Drawn) it->reason = Reason::None;
        ++s.byStatus_[static_cast<std::size_t>(it->status)];
        ++s.counts_[CountIndex(it->kind, it->status, it->reason)];
        for (const Prim& p : s.Prims(*it)) s.extent_.Add(s.PrimBox(p));
    }

    // An entry of the document's index, its record looked up in the document.
    void Entry(const TQ6EntNo& en)
    {
        Begin(en);
        switch (it->kind) {
#define Q6_DRAW_DO(arr, T, id, ver, reader)                          \
    case Kind::arr:                                                  \
        if (en.ENo >= 0 && en.ENo < doc.arr##N &&                    \
            static_cast<std::size_t>(en.ENo) < doc.arr.Length())     \
            Do(Tag<Kind::arr>{}, doc.arr[static_cast<std::size_t>(en.ENo)]); \
        else                                                         \
            Skip(Reason::NoEntity);                                  \
        break;
            Q6_ENTITY_KINDS(Q6_DRAW_DO)
#undef Q6_DRAW_DO
        case Kind::Invalid: Skip(Reason::NoEntity); break;
        }
        End();
    }

    // An entity as the load reads it: the record, of the entry's kind.
    void Record(const TQ6EntNo& en, const void* record)
    {
        Begin(en);
        switch (it->kind) {
#define Q6_DRAW_RECORD(arr, T, id, ver, reader) \
    case Kind::arr: Do(Tag<Kind::arr>{}, *static_cast<const T*>(record)); break;
            Q6_ENTITY_KINDS(Q6_DRAW_RECORD)
#undef Q6_DRAW_RECORD
        case Kind::Invalid: Skip(Reason::NoEntity); break;
        }
        End();
    }
};

SceneStream::SceneStream(const TQ6Data& settings, const Assumptions& a) : doc_(settings)
{
    s_.assumed_ = a;
    s_.counts_.assign(kKindCount * kStatusCount * kReasonCount, 0);
}

void SceneStream::Add(const TQ6EntNo& entry, const void* record)
{
    Scene::Builder b{s_, doc_, s_.assumed_};
    b.Record(entry, record);
}

void SceneStream::MoveBatch(Scene& into)
{
    into.assumed_ = s_.assumed_;
    std::swap(into.items_, s_.items_);
    std::swap(into.prims_, s_.prims_);
    std::swap(into.pts_, s_.pts_);
    std::swap(into.chars_, s_.chars_);
    std::swap(into.texts_, s_.texts_);
    Clear();
}

void SceneStream::Clear()
{
    s_.items_.clear();
    s_.prims_.clear();
    s_.pts_.clear();
    s_.chars_.clear();
    s_.texts_.clear();
}

Scene Scene::Build(const TQ6Data& doc, const Assumptions& a)
{
    Scene s;
    s.assumed_ = a;
    s.counts_.assign(kKindCount * kStatusCount * kReasonCount, 0);
    const std::size_t n = doc.EntN > 0 ? std::min<std::size_t>(static_cast<std::size_t>(doc.EntN), doc.Ent.Length()) : 0;
    // sizes known in advance, so that the pools grow once
    std::size_t pts = 0, chars = 0;
    pts += 1 * static_cast<std::size_t>(std::max(0, doc.ptN));
    pts += 2 * static_cast<std::size_t>(std::max(0, doc.lnN) + std::max(0, doc.lnxN));
    pts += 4 * static_cast<std::size_t>(std::max(0, doc.crN) + std::max(0, doc.crxN) + std::max(0, doc.epN) +
                                        std::max(0, doc.epxN) + std::max(0, doc.bmN) + std::max(0, doc.bmxN) +
                                        std::max(0, doc.syN) + std::max(0, doc.pgmN));
    pts += 2 * static_cast<std::size_t>(std::max(0, doc.txN) + std::max(0, doc.txxN));
    auto paths = [&](const auto& arr, std::int32_t cnt, auto get) {
        for (std::int32_t i = 0; i < cnt && static_cast<std::size_t>(i) < arr.Length(); ++i)
            pts += get(arr[static_cast<std::size_t>(i)]).size();
    };
    paths(doc.bz, doc.bzN, [](const auto& e) -> const auto& { return e.pos; });
    paths(doc.bzx, doc.bzxN, [](const auto& e) -> const auto& { return e.bz.pos; });
    paths(doc.pl, doc.plN, [](const auto& e) -> const auto& { return e.pos; });
    paths(doc.plx, doc.plxN, [](const auto& e) -> const auto& { return e.pl.pos; });
    paths(doc.pg, doc.pgN, [](const auto& e) -> const auto& { return e.pos; });
    paths(doc.pgg, doc.pggN, [](const auto& e) -> const auto& { return e.pg.pos; });
    paths(doc.pgm, doc.pgmN, [](const auto& e) -> const auto& { return e.pg.pos; });
    for (std::int32_t i = 0; i < doc.txN && static_cast<std::size_t>(i) < doc.tx.Length(); ++i)
        chars += doc.tx[static_cast<std::size_t>(i)].text.size();
    for (std::int32_t i = 0; i < doc.txxN && static_cast<std::size_t>(i) < doc.txx.Length(); ++i)
        chars += doc.txx[static_cast<std::size_t>(i)].tx.text.size();
    s.items_.reserve(n);
    s.prims_.reserve(n + static_cast<std::size_t>(std::max(0, doc.pgmN)));
    s.pts_.reserve(pts);
    s.chars_.reserve(chars);
    s.texts_.reserve(static_cast<std::size_t>(std::max(0, doc.txN) + std::max(0, doc.txxN)));
    Builder b{s, doc, a};
    for (std::size_t i = 0; i < n; ++i) b.Entry(doc.Ent[i]);
    return s;
}

Arc Scene::ArcOf(const Prim& p) const
{
    Arc a;
    const TDPoint* q = &pts_[p.first];
    a.c = q[0];
    a.rx = q[1].X;
    a.ry = q[1].Y;
    a.rotation = q[2].X;
    a.start = q[2].Y;
    a.sweep = q[3].X;
    return a;
}

TextRun Scene::TextOf(const Prim& p) const
{
    TextRun t;
    const TDPoint* q = &pts_[p.first];
    t.pos = q[0];
    t.angle = q[1].X;
    t.height = q[1].Y;
    const TextRef& r = texts_[p.count];
    t.text = std::string_view(chars_).substr(r.off, r.len);
    return t;
}

Box Scene::PrimBox(const Prim& p) const
{
    Box b;
    switch (p.type) {
    case PrimType::Polyline:
    case PrimType::Bezier:  // the curve lies inside its control points
    case PrimType::Marker:
    case PrimType::Image:
        for (const auto& q : Points(p)) b.Add(q.X, q.Y);
        break;
    case PrimType::Arc: b = ArcBox(ArcOf(p)); break;
    case PrimType::Text: {
        const TextRun t = TextOf(p);
        // an estimate of the run: full-width characters one height wide,
        // others 0.6 of it, from the baseline to the height
        double em = 0;
        for (std::size_t i = 0; i < t.text.size(); ++i) {
            const auto c = static_cast<unsigned char>(t.text[i]);
            if ((c & 0xC0) == 0x80) continue;
            em += c < 0x80 ? 0.6 : 1.0;
        }
        const double w = em * t.height, h = t.height;
        const double c = std::cos(t.angle), s = std::sin(t.angle);
        b.Add(t.pos.X, t.pos.Y);
        const double d = -0.25 * h;  // descenders
        for (auto [u, v] : {std::pair{w, d}, std::pair{w, h}, std::pair{0.0, h}, std::pair{0.0, d}})
            b.Add(t.pos.X + u * c - v * s, t.pos.Y + u * s + v * c);
        break;
    }
    }
    return b;
}

Box Scene::ItemBox(const Item& it) const
{
    Box b;
    for (const Prim& p : Prims(it)) b.Add(PrimBox(p));
    return b;
}

std::size_t Scene::Count(Kind k, Status s, Reason r) const
{
    return counts_.empty() ? 0 : counts_[CountIndex(k, s, r)];
}

std::string Scene::SummaryLine() const
{
    std::string l = "drawn ";
    l += std::to_string(Count(Status::Drawn));
    l += ", approximated ";
    l += std::to_string(Count(Status::Approximated));
    l += ", skipped ";
    l += std::to_string(Count(Status::Skipped));
    return l;
}

std::vector<std::string> Scene::SummaryLines() const
{
    std::vector<std::string> out{SummaryLine()};
    if (counts_.empty()) return out;
    for (std::size_t k = 0; k < kKindCount; ++k)
        for (std::size_t s = 0; s < kStatusCount; ++s)
            for (std::size_t r = 0; r < kReasonCount; ++r) {
                const std::size_t n = counts_[CountIndex(static_cast<Kind>(k), static_cast<Status>(s),
                                                         static_cast<Reason>(r))];
                if (!n) continue;
                std::string l = KindName(static_cast<Kind>(k));
                l += ": ";
                l += StatusName(static_cast<Status>(s));
                l += ' ';
                l += std::to_string(n);
                if (r != 0) {
                    l += " (";
                    l += ReasonText(static_cast<Reason>(r));
                    l += ')';
                }
                out.push_back(std::move(l));
            }
    return out;
}

// ---- texts --------------------------------------------------------------------------------

std::string SafeText(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    auto put = [&](std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    std::size_t i = 0;
    const std::size_t n = in.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(in[i]);
        std::uint32_t c = 0;
        std::size_t len = 0;
        if (b < 0x80) c = b, len = 1;
        else if (b >= 0xC2 && b <= 0xDF) c = b & 0x1F, len = 2;
        else if (b >= 0xE0 && b <= 0xEF) c = b & 0x0F, len = 3;
        else if (b >= 0xF0 && b <= 0xF4) c = b & 0x07, len = 4;
        bool ok = len > 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto t = static_cast<unsigned char>(in[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (t & 0x3F);
        }
        if (ok && ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))))
            ok = false;
        if (!ok) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += len;
        if (c < 0x20) c = 0x2400 + c;
        else if (c == 0x7F) c = 0x2421;
        else if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
        put(c);
    }
    return out;
}

// ---- views ------------------------------------------------------------------------------

namespace {

// Beyond this, a view's size would not be finite.
constexpr double kLimit = std::numeric_limits<double>::max() / 8;

double Clamp(double v) { return std::clamp(v, -kLimit, kLimit); }

}  // namespace

View DefaultView(const Box& e, double margin)
{
    if (e.empty) return View{0, 0, 100, 100};
    double x0 = Clamp(e.x0), x1 = Clamp(e.x1), y0 = Clamp(e.y0), y1 = Clamp(e.y1);
    double w = x1 - x0, h = y1 - y0;
    const double side = std::max(w, h);
    // a point or a straight line still gets a square about it
    const double least = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1), 1.0}) * 1e-9;
    const double minSide = side > least ? side * 0.01 : std::max(1.0, least);
    if (w < minSide) {
        const double c = x0 / 2 + x1 / 2;
        x0 = c - minSide / 2;
        x1 = c + minSide / 2;
        w = x1 - x0;
    }
    if (h < minSide) {
        const double c = y0 / 2 + y1 / 2;
        y0 = c - minSide / 2;
        y1 = c + minSide / 2;
        h = y1 - y0;
    }
    const double m = std::max(w, h) * margin;
    View v{Clamp(x0 - m), Clamp(y0 - m), Clamp(x1 + m), Clamp(y1 + m)};
    if (!(v.x0 < v.x1)) v.x1 = std::nextafter(v.x0, kLimit * 2);
    if (!(v.y0 < v.y1)) v.y1 = std::nextafter(v.y0, kLimit * 2);
    return v;
}

View FitAspect(const View& v, int w, int h)
{
    if (w <= 0 || h <= 0) return v;
    const double vw = v.x1 - v.x0, vh = v.y1 - v.y0;
    const double want = static_cast<double>(w) / h;
    View r = v;
    if (vw / vh < want) {
        const double nw = vh * want, c = v.x0 / 2 + v.x1 / 2;
        r.x0 = Clamp(c - nw / 2);
        r.x1 = Clamp(c + nw / 2);
    } else if (vw / vh > want) {
        const double nh = vw / want, c = v.y0 / 2 + v.y1 / 2;
        r.y0 = Clamp(c - nh / 2);
        r.y1 = Clamp(c + nh / 2);
    }
    return r;
}

void SizeFor(const View& v, int maxSide, int& w, int& h)
{
    const double vw = v.x1 - v.x0, vh = v.y1 - v.y0;
    if (vw >= vh) {
        w = maxSide;
        h = std::max(1, static_cast<int>(std::lround(maxSide * (vh / vw))));
    } else {
        h = maxSide;
        w = std::max(1, static_cast<int>(std::lround(maxSide * (vw / vh))));
    }
}

Mapping::Mapping(const View& v, int w, int h, Assumptions::YAxis y)
{
    x0 = v.x0;
    sx = w / (v.x1 - v.x0);
    if (y == Assumptions::YAxis::Up) {
        yRef = v.y1;
        sy = -(h / (v.y1 - v.y0));
    } else {
        yRef = v.y0;
        sy = h / (v.y1 - v.y0);
    }
}

}  // namespace q6draw
