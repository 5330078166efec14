// The drawing as something to draw: one item per entry of the entity index,
// in file order, each with primitives in drawing coordinates and the account
// of how it was drawn. Free of any toolkit; every output (SVG, the painter,
// DXF, the drawing window) reads entity geometry from here only.
//
// The file does not state everything a picture needs (units, the direction of
// angles, colour encoding, Bezier degree, ...). Every such choice is one of
// the Assumptions below, each with a documented default that the user may
// change; an item drawn under a choice the file does not back is marked
// approximated, with the reason.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/Kinds.h"

class TQ6Data;
struct TQ6EntNo;

namespace q6draw {

// The entity kinds of the catalogue, in its order; Invalid is an index entry
// that names no entity (an unknown INo, or an ENo outside its kind's array).
enum class Kind : std::uint8_t {
#define Q6_DRAW_KIND(a, T, id, ver, reader) a,
    Q6_ENTITY_KINDS(Q6_DRAW_KIND)
#undef Q6_DRAW_KIND
    Invalid
};
inline constexpr std::size_t kKindCount = static_cast<std::size_t>(Kind::Invalid) + 1;

// "line", "circle with edge block", ... ; "invalid index entry" for Invalid.
const char* KindName(Kind k);
// The kind of an index number (identifier x 100 + version); Invalid if none.
Kind KindOfINo(std::int32_t ino);

enum class Status : std::uint8_t { Drawn, Approximated, Skipped };
inline constexpr std::size_t kStatusCount = 3;
const char* StatusName(Status s);  // "drawn", "approximated", "skipped"

// Why an item is approximated or skipped.
enum class Reason : std::uint8_t {
    None,
    // approximated
    TextHeightFromStyle,    // a text without its own style: height of the table's style `style`
    TextHeightDefault,      // no usable height stated: the default text height
    TextHeightAssumed,      // the height given by --assume text-height
    BezierControlPolygon,   // n - 1 points not a multiple of 3 (or bezier=polygon): control polygon
    GradientOutline,        // gradient fill not drawn: outline only
    MappedFillPlaceholder,  // mapped fill not drawn: outline and a framed placeholder
    BitmapPlaceholder,      // image not decoded: framed placeholder on its four points
    SymbolPlaceholder,      // symbol shape not stored: framed placeholder
    EllipseAngleUnused,     // an ellipse with a non-zero angle drawn axis-aligned
    EndSymbolsLeftOut,      // the edge block holds end symbols, which have no stored shape
    // skipped
    NotFinite,       // a NaN or infinite coordinate, radius, angle or height
    NegativeRadius,  // a negative radius
    NoPoints,        // a path without points
    GroupNoMembers,  // groups store no member list and no shape
    NoEntity,        // the index entry names no entity
    Count_
};
inline constexpr std::size_t kReasonCount = static_cast<std::size_t>(Reason::Count_);
const char* ReasonText(Reason r);  // e.g. "height from the document's text style"

// The declared interpretation of what the file does not state.
struct Assumptions {
    enum class YAxis : std::uint8_t { Up, Down };
    enum class Angles : std::uint8_t { Radians, Degrees };
    enum class Direction : std::uint8_t { Ccw, Cw };
    enum class EllipseAngle : std::uint8_t { Ignore, Rotate };
    enum class EllipseArc : std::uint8_t { Parametric, Polar };
    enum class Bezier : std::uint8_t { Cubic, Polygon };
    enum class Colour : std::uint8_t { None, Bgr, Rgb };

    YAxis y = YAxis::Up;
    Angles angles = Angles::Radians;
    Direction direction = Direction::Ccw;
    EllipseAngle ellipseAngle = EllipseAngle::Ignore;
    EllipseArc ellipseArc = EllipseArc::Parametric;
    Bezier bezier = Bezier::Cubic;
    Colour colour = Colour::None;
    double textHeight = 0;         // 0: from the text style table, else this height
    double defaultTextHeight = 2.5;  // when no height is stated anywhere
    double pointSize = 7;          // the cross of a point, in output pixels

    // Applies "KEY=VALUE"; returns an empty string when applied, otherwise
    // the message saying what is wrong (unknown key, bad value).
    std::string Set(std::string_view keyValue);

    struct Key {
        const char* key;
        const char* values;   // "up|down", "style|NUMBER", ...
        const char* byDefault;
        const char* meaning;
    };
    static std::span<const Key> Keys();

    // The value of a key as Set takes it ("up", "2.5").
    std::string Value(std::string_view key) const;
    // One line per key, "key=value  meaning", in the order of Keys().
    std::vector<std::string> Describe() const;
};

// Axis-aligned box; empty until something is added. Only finite values are
// taken, so an extent is always finite.
struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty = true;
    // (inline: the painter and the window's index test boxes by the million)
    void Add(double x, double y)
    {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        if (empty) {
            x0 = x1 = x;
            y0 = y1 = y;
            empty = false;
            return;
        }
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    void Add(const Box& b);
    bool Intersects(const Box& b) const
    {
        return !empty && !b.empty && x0 <= b.x1 && b.x0 <= x1 && y0 <= b.y1 && b.y0 <= y1;
    }
};

enum class PrimType : std::uint8_t {
    Polyline,  // points in order; Closed joins the last to the first
    Bezier,    // 3k + 1 points: cubic segments sharing their ends; Closed as for Polyline
    Arc,       // circular or elliptic arc (ArcOf)
    Text,      // a text run (TextOf)
    Marker,    // a point, drawn as a cross of Assumptions::pointSize pixels
    Image,     // a quadrilateral of 4 points; Placeholder: a frame with its diagonals
};

struct Prim {
    std::uint64_t first = 0;  // first point in the scene's point pool
    std::uint32_t count = 0;  // number of points; for Text, the index of its text
    PrimType type = PrimType::Polyline;
    std::uint8_t flags = 0;
    static constexpr std::uint8_t Closed = 1;
    static constexpr std::uint8_t Placeholder = 2;
};

// An arc about centre c with radii rx (along the rotated X axis) and ry,
// rotated by `rotation`; from parameter `start` through `sweep` (radians,
// counter-clockwise in drawing coordinates when positive; |sweep| = 2 pi is
// the whole curve). The point at parameter t is
//   c + R(rotation) (rx cos t, ry sin t).
struct Arc {
    TDPoint c;
    double rx = 0, ry = 0, rotation = 0, start = 0, sweep = 0;
    bool Full() const;
    TDPoint At(double t) const;
};

enum class Anchor : std::uint8_t { BaselineLeft };

struct TextRun {
    TDPoint pos;
    double angle = 0;   // radians, counter-clockwise in drawing coordinates
    double height = 0;  // drawing units
    Anchor anchor = Anchor::BaselineLeft;
    std::string_view text;  // UTF-8
};

struct Item {
    std::int32_t INo = 0;
    std::int32_t ENo = 0;
    std::uint32_t firstPrim = 0;
    std::uint32_t primCount = 0;
    std::uint32_t rgb = 0;  // 0xRRGGBB; black unless a colour assumption says otherwise
    Kind kind = Kind::Invalid;
    Status status = Status::Skipped;
    Reason reason = Reason::None;
};

class Scene {
public:
    Scene() = default;
    // Interprets the whole document. Throws std::bad_alloc only.
    static Scene Build(const TQ6Data& doc, const Assumptions& a = {});

    const Assumptions& Assumed() const { return assumed_; }
    std::span<const Item> Items() const { return items_; }
    std::span<const Prim> Prims(const Item& it) const
    {
        return std::span<const Prim>(prims_).subspan(it.firstPrim, it.primCount);
    }
    std::span<const TDPoint> Points(const Prim& p) const
    {
        return std::span<const TDPoint>(pts_).subspan(p.first, p.type == PrimType::Text ? 2 : p.count);
    }
    Arc ArcOf(const Prim& p) const;
    TextRun TextOf(const Prim& p) const;

    // The box of what is drawn: finite, empty when nothing is drawn.
    const Box& Extent() const { return extent_; }
    Box PrimBox(const Prim& p) const;
    Box ItemBox(const Item& it) const;

    std::size_t Count(Status s) const { return byStatus_[static_cast<std::size_t>(s)]; }
    std::size_t Count(Kind k, Status s, Reason r) const;
    // "drawn N, approximated M, skipped K"
    std::string SummaryLine() const;
    // The summary line, then one line per kind, status and reason that occurs,
    // e.g. "text: approximated 2 (height from the document's text style)".
    std::vector<std::string> SummaryLines() const;

    // Builder interface, for the interpretation (Scene.cpp).
    struct Builder;

private:
    friend struct Builder;
    friend class SceneStream;
    Assumptions assumed_;
    std::vector<Item> items_;
    std::vector<Prim> prims_;
    std::vector<TDPoint> pts_;
    std::string chars_;
    struct TextRef {
        std::uint64_t off;
        std::uint32_t len;
    };
    std::vector<TextRef> texts_;
    Box extent_;
    std::size_t byStatus_[kStatusCount] = {};
    std::vector<std::uint32_t> counts_;  // kKindCount x kStatusCount x kReasonCount
};

// The same interpretation, one entity at a time as a load reads them (see
// EntitySink in Q6Data.h), for outputs that draw in batches and never hold
// the whole drawing: Batch() holds the items added since the last Clear(),
// with their primitives; its counts and extent are those of every entity
// added so far.
class SceneStream {
public:
    // `settings`: the document as the settings pass left it (text styles).
    SceneStream(const TQ6Data& settings, const Assumptions& a);
    // Interprets one entity: `record` is of the type that entry.INo names.
    // Throws std::bad_alloc only.
    void Add(const TQ6EntNo& entry, const void* record);
    const Scene& Batch() const { return s_; }
    std::size_t BatchSize() const { return s_.items_.size(); }
    // Drops the batch's items, keeping the counts and the extent.
    void Clear();
    // Hands the batch's items over to `into` (whose own items are dropped)
    // and starts a new batch: for a batch drawn on another thread.
    void MoveBatch(Scene& into);

private:
    Scene s_;
    const TQ6Data& doc_;
};

// A text made safe to show: bytes that are not UTF-8 become U+FFFD, control
// characters their pictures (U+2400 to U+2421), and characters that XML
// cannot hold (U+FFFE, U+FFFF) U+FFFD.
std::string SafeText(std::string_view utf8);

// ---- views ------------------------------------------------------------------

// A rectangle of drawing coordinates: x0 at the left, x1 at the right, y0 and
// y1 at the bottom and top (with Y up), all finite, x0 < x1, y0 < y1.
struct View {
    double x0 = 0, y0 = 0, x1 = 1, y1 = 1;
};

// The extent grown by `margin` (a fraction of its size) on every side; a
// default square when the extent is empty; never of zero or infinite size.
View DefaultView(const Box& extent, double margin = 0.03);
// Grows the view about its centre to the aspect of w x h pixels.
View FitAspect(const View& v, int w, int h);
// A pixel size of at most maxSide on its longer side with the view's aspect
// (at least 1 pixel on each side).
void SizeFor(const View& v, int maxSide, int& w, int& h);

// Maps drawing coordinates to output pixels (y down) for a view that fills
// w x h pixels; the view must already have their aspect (FitAspect). Results
// far outside the view may be infinite: callers clip by boxes first.
struct Mapping {
    double x0 = 0, yRef = 0, sx = 1, sy = -1;  // px = (x - x0) sx, py = (y - yRef) sy
    Mapping() = default;
    Mapping(const View& v, int w, int h, Assumptions::YAxis y);
    double X(double x) const { return (x - x0) * sx; }
    double Y(double y) const { return (y - yRef) * sy; }
};

}  // namespace q6draw
