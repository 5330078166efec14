// A DXF drawing of version R2007 (AC1021), written from front to back: the
// header, the tables with one layer per name given, the two blocks that own
// the model and paper space, the entities one call at a time, and the objects
// (the root dictionary and the two layouts). Every table entry, entity and
// object carries its handle and its owner's handle, so that readers that check
// the structure (ezdxf's auditor) find nothing to repair.
//
// R2007 is the first version whose texts are UTF-8 without escapes, so that
// every character of a drawing's texts is stored as it is; it has ELLIPSE,
// SPLINE, LWPOLYLINE and true colours (group 420).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Q6Dxf/TagWriter.h"

namespace q6dxf {

struct Extent {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool valid = false;  // false: nothing drawn
};

struct DocumentOptions {
    // Layer names besides "0"; entities name them by index into this list.
    std::vector<std::string> layers;
    // The number of entities that will be written, so that $HANDSEED can be
    // stated in the header, before them.
    std::uint64_t entities = 0;
    Extent extent;
    // Comment lines (group 999) at the top of the file: what was assumed.
    std::vector<std::string> comments;
    // The one text style, which every TEXT uses, and its font file.
    std::string textStyle = "Standard";
    std::string textFont = "txt";
};

// Attributes every entity carries: its layer (index into the layer list) and,
// when colour >= 0, a true colour 0x00RRGGBB.
struct EntityAttr {
    std::size_t layer = 0;
    std::int64_t colour = -1;
};

class Document {
public:
    // Writes everything up to the first entity.
    Document(TagWriter& w, const DocumentOptions& options);

    void Point(const EntityAttr& a, double x, double y);
    void Line(const EntityAttr& a, double x0, double y0, double x1, double y1);
    void Circle(const EntityAttr& a, double cx, double cy, double r);
    // Counter-clockwise from start to end, in degrees.
    void Arc(const EntityAttr& a, double cx, double cy, double r, double startDeg, double endDeg);
    // The major axis as a vector from the centre, ratio = minor / major in
    // (0, 1], parameters in radians counter-clockwise from the major axis.
    void Ellipse(const EntityAttr& a, double cx, double cy, double mx, double my, double ratio, double t0,
                 double t1);
    // xy holds n points as x, y pairs.
    void Polyline(const EntityAttr& a, const double* xy, std::size_t n, bool closed);
    // A chain of cubic Bezier segments: n = 3k + 1 control points (x, y pairs)
    // as one clamped cubic B-spline whose inner knots are triple, which is
    // exactly the chain.
    void BezierSpline(const EntityAttr& a, const double* xy, std::size_t n);
    // Anchored at the left end of its baseline; rotation in degrees.
    void Text(const EntityAttr& a, double x, double y, double height, double rotationDeg, std::string_view utf8);

    // Ends the entities and writes the objects and the end of file; false
    // when a write failed.
    bool Finish();

    std::uint64_t EntitiesWritten() const { return written_; }

private:
    void Begin(const char* type, const EntityAttr& a, const char* subclass);
    std::uint64_t Next() { return nextHandle_++; }

    TagWriter& w_;
    std::vector<std::string> layers_;
    std::string textStyle_;
    std::uint64_t nextHandle_ = 0;
    std::uint64_t firstEntity_ = 0;
    std::uint64_t announced_ = 0;
    std::uint64_t written_ = 0;
    // Handles of the skeleton that later parts refer to.
    std::uint64_t modelRecord_ = 0, paperRecord_ = 0, modelLayout_ = 0, paperLayout_ = 0;
    std::uint64_t rootDict_ = 0, groupDict_ = 0, layoutDict_ = 0;
};

}  // namespace q6dxf
