#include "Q6Dxf/Document.h"

#include <cassert>
#include <cmath>
#include <limits>
#include <utility>

namespace q6dxf {

namespace {

constexpr int kTables = 9;
// Handles of the skeleton besides the layers: the tables, their fixed entries
// (one VPORT, three LTYPEs, layer "0", one STYLE, one APPID, one DIMSTYLE,
// two BLOCK_RECORDs), the BLOCK and ENDBLK of both spaces, three dictionaries
// and two layouts.
constexpr std::uint64_t kFixedHandles = kTables + 1 + 3 + 1 + 1 + 1 + 1 + 2 + 4 + 3 + 2;

}  // namespace

Document::Document(TagWriter& w, const DocumentOptions& o)
    : w_(w), layers_(o.layers), textStyle_(o.textStyle), announced_(o.entities)
{
    nextHandle_ = 1;
    firstEntity_ = 1 + kFixedHandles + layers_.size();
    // The objects are written last but referred to from the tables.
    modelRecord_ = Next();
    paperRecord_ = Next();
    modelLayout_ = Next();
    paperLayout_ = Next();
    rootDict_ = Next();
    groupDict_ = Next();
    layoutDict_ = Next();

    for (const std::string& c : o.comments) w_.Text(999, c);

    w_.Raw(0, "SECTION");
    w_.Raw(2, "HEADER");
    w_.Raw(9, "$ACADVER");
    w_.Raw(1, "AC1021");
    w_.Raw(9, "$DWGCODEPAGE");
    w_.Raw(3, "ANSI_1252");
    w_.Raw(9, "$HANDSEED");
    w_.Handle(5, firstEntity_ + announced_);
    // The drawing states no unit.
    w_.Raw(9, "$INSUNITS");
    w_.Int(70, 0);
    const Extent& e = o.extent;
    if (e.valid) {
        w_.Raw(9, "$EXTMIN");
        w_.Point(10, e.x0, e.y0);
        w_.Raw(9, "$EXTMAX");
        w_.Point(10, e.x1, e.y1);
    }
    w_.Raw(0, "ENDSEC");

    w_.Raw(0, "SECTION");
    w_.Raw(2, "CLASSES");
    w_.Raw(0, "ENDSEC");

    w_.Raw(0, "SECTION");
    w_.Raw(2, "TABLES");
    const auto table = [&](const char* name, int count, auto&& entries) {
        const std::uint64_t h = Next();
        w_.Raw(0, "TABLE");
        w_.Raw(2, name);
        w_.Handle(5, h);
        w_.Raw(330, "0");
        w_.Raw(100, "AcDbSymbolTable");
        w_.Int(70, count);
        if (std::string_view(name) == "DIMSTYLE") w_.Raw(100, "AcDbDimStyleTable");
        entries(h);
        w_.Raw(0, "ENDTAB");
    };
    const auto record = [&](const char* type, std::uint64_t owner, const char* subclass, std::string_view name,
                            std::uint64_t handle = 0, int handleCode = 5) {
        w_.Raw(0, type);
        w_.Handle(handleCode, handle ? handle : Next());
        w_.Handle(330, owner);
        w_.Raw(100, "AcDbSymbolTableRecord");
        w_.Raw(100, subclass);
        w_.Text(2, name);
        w_.Int(70, 0);
    };

    table("VPORT", 1, [&](std::uint64_t t) {
        record("VPORT", t, "AcDbViewportTableRecord", "*Active");
        w_.Point2(10, 0.0, 0.0);
        w_.Point2(11, 1.0, 1.0);
        // The view opens on what is drawn.
        double cx = 0, cy = 0, h = 1;
        if (e.valid) {
            cx = e.x0 / 2 + e.x1 / 2;
            cy = e.y0 / 2 + e.y1 / 2;
            // Halved first: the height of an extent from -1e308 to 1e308 is
            // past the largest double.
            h = (e.y1 / 2 - e.y0 / 2) * 2.2;
            if (!std::isfinite(h)) h = std::numeric_limits<double>::max();
            if (!(h > 0)) h = 1;
        }
        w_.Point2(12, cx, cy);
        w_.Real(40, h);
        w_.Real(41, 1.5);
    });
    table("LTYPE", 3, [&](std::uint64_t t) {
        for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) {
            record("LTYPE", t, "AcDbLinetypeTableRecord", name);
            w_.Raw(3, name[0] == 'C' ? "Solid line" : "");
            w_.Int(72, 65);
            w_.Int(73, 0);
            w_.Real(40, 0.0);
        }
    });
    table("LAYER", static_cast<int>(layers_.size() + 1), [&](std::uint64_t t) {
        const auto layer = [&](std::string_view name) {
            record("LAYER", t, "AcDbLayerTableRecord", name);
            w_.Int(62, 7);
            w_.Raw(6, "Continuous");
        };
        layer("0");
        for (const std::string& name : layers_) layer(name);
    });
    table("STYLE", 1, [&](std::uint64_t t) {
        record("STYLE", t, "AcDbTextStyleTableRecord", textStyle_);
        w_.Real(40, 0.0);
        w_.Real(41, 1.0);
        w_.Real(50, 0.0);
        w_.Int(71, 0);
        w_.Real(42, 2.5);
        w_.Text(3, o.textFont);
        w_.Raw(4, "");
    });
    table("VIEW", 0, [](std::uint64_t) {});
    table("UCS", 0, [](std::uint64_t) {});
    table("APPID", 1, [&](std::uint64_t t) { record("APPID", t, "AcDbRegAppTableRecord", "ACAD"); });
    table("DIMSTYLE", 1, [&](std::uint64_t t) {
        record("DIMSTYLE", t, "AcDbDimStyleTableRecord", "Standard", Next(), 105);
    });
    table("BLOCK_RECORD", 2, [&](std::uint64_t t) {
        record("BLOCK_RECORD", t, "AcDbBlockTableRecord", "*Model_Space", modelRecord_);
        w_.Handle(340, modelLayout_);
        record("BLOCK_RECORD", t, "AcDbBlockTableRecord", "*Paper_Space", paperRecord_);
        w_.Handle(340, paperLayout_);
    });
    w_.Raw(0, "ENDSEC");

    w_.Raw(0, "SECTION");
    w_.Raw(2, "BLOCKS");
    for (const auto& [name, owner] : {std::pair{"*Model_Space", modelRecord_}, std::pair{"*Paper_Space", paperRecord_}}) {
        w_.Raw(0, "BLOCK");
        w_.Handle(5, Next());
        w_.Handle(330, owner);
        w_.Raw(100, "AcDbEntity");
        w_.Raw(8, "0");
        w_.Raw(100, "AcDbBlockBegin");
        w_.Raw(2, name);
        w_.Int(70, 0);
        w_.Point(10, 0.0, 0.0);
        w_.Raw(3, name);
        w_.Raw(1, "");
        w_.Raw(0, "ENDBLK");
        w_.Handle(5, Next());
        w_.Handle(330, owner);
        w_.Raw(100, "AcDbEntity");
        w_.Raw(8, "0");
        w_.Raw(100, "AcDbBlockEnd");
    }
    w_.Raw(0, "ENDSEC");

    assert(nextHandle_ == firstEntity_);
    nextHandle_ = firstEntity_;
    w_.Raw(0, "SECTION");
    w_.Raw(2, "ENTITIES");
}

void Document::Begin(const char* type, const EntityAttr& a, const char* subclass)
{
    ++written_;
    w_.Raw(0, type);
    w_.Handle(5, Next());
    w_.Handle(330, modelRecord_);
    w_.Raw(100, "AcDbEntity");
    if (a.layer < layers_.size())
        w_.Text(8, layers_[a.layer]);
    else
        w_.Raw(8, "0");
    if (a.colour >= 0) w_.Int(420, a.colour & 0xFFFFFF);
    w_.Raw(100, subclass);
}

void Document::Point(const EntityAttr& a, double x, double y)
{
    Begin("POINT", a, "AcDbPoint");
    w_.Point(10, x, y);
}

void Document::Line(const EntityAttr& a, double x0, double y0, double x1, double y1)
{
    Begin("LINE", a, "AcDbLine");
    w_.Point(10, x0, y0);
    w_.Point(11, x1, y1);
}

void Document::Circle(const EntityAttr& a, double cx, double cy, double r)
{
    Begin("CIRCLE", a, "AcDbCircle");
    w_.Point(10, cx, cy);
    w_.Real(40, r);
}

void Document::Arc(const EntityAttr& a, double cx, double cy, double r, double startDeg, double endDeg)
{
    Begin("ARC", a, "AcDbCircle");
    w_.Point(10, cx, cy);
    w_.Real(40, r);
    w_.Raw(100, "AcDbArc");
    w_.Real(50, startDeg);
    w_.Real(51, endDeg);
}

void Document::Ellipse(const EntityAttr& a, double cx, double cy, double mx, double my, double ratio, double t0,
                       double t1)
{
    Begin("ELLIPSE", a, "AcDbEllipse");
    w_.Point(10, cx, cy);
    w_.Point(11, mx, my);
    w_.Real(40, ratio);
    w_.Real(41, t0);
    w_.Real(42, t1);
}

void Document::Polyline(const EntityAttr& a, const double* xy, std::size_t n, bool closed)
{
    Begin("LWPOLYLINE", a, "AcDbPolyline");
    w_.Int(90, static_cast<long long>(n));
    w_.Int(70, closed ? 1 : 0);
    w_.Real(43, 0.0);
    for (std::size_t i = 0; i < n; ++i) w_.Point2(10, xy[2 * i], xy[2 * i + 1]);
}

void Document::BezierSpline(const EntityAttr& a, const double* xy, std::size_t n)
{
    const std::size_t segments = n >= 4 ? (n - 1) / 3 : 0;
    Begin("SPLINE", a, "AcDbSpline");
    w_.Int(70, 8);  // planar
    w_.Int(71, 3);
    w_.Int(72, static_cast<long long>(segments * 3 + 5));
    w_.Int(73, static_cast<long long>(n));
    w_.Int(74, 0);
    // 0 0 0 0, 1 1 1, 2 2 2, ..., k k k k
    for (int i = 0; i < 4; ++i) w_.Real(40, 0.0);
    for (std::size_t s = 1; s < segments; ++s)
        for (int i = 0; i < 3; ++i) w_.Real(40, static_cast<double>(s));
    for (int i = 0; i < 4; ++i) w_.Real(40, static_cast<double>(segments));
    for (std::size_t i = 0; i < n; ++i) w_.Point(10, xy[2 * i], xy[2 * i + 1]);
}

void Document::Text(const EntityAttr& a, double x, double y, double height, double rotationDeg,
                    std::string_view utf8)
{
    Begin("TEXT", a, "AcDbText");
    w_.Point(10, x, y);
    w_.Real(40, height);
    w_.Text(1, utf8);
    if (rotationDeg != 0) w_.Real(50, rotationDeg);
    w_.Text(7, textStyle_);
    w_.Raw(100, "AcDbText");
}

bool Document::Finish()
{
    w_.Raw(0, "ENDSEC");
    w_.Raw(0, "SECTION");
    w_.Raw(2, "OBJECTS");
    const auto dict = [&](std::uint64_t h, std::uint64_t owner) {
        w_.Raw(0, "DICTIONARY");
        w_.Handle(5, h);
        w_.Handle(330, owner);
        w_.Raw(100, "AcDbDictionary");
        w_.Int(281, 1);
    };
    dict(rootDict_, 0);
    w_.Raw(3, "ACAD_GROUP");
    w_.Handle(350, groupDict_);
    w_.Raw(3, "ACAD_LAYOUT");
    w_.Handle(350, layoutDict_);
    dict(groupDict_, rootDict_);
    dict(layoutDict_, rootDict_);
    w_.Raw(3, "Model");
    w_.Handle(350, modelLayout_);
    w_.Raw(3, "Layout1");
    w_.Handle(350, paperLayout_);
    struct LayoutEntry {
        std::uint64_t handle;
        const char* name;
        int order;
        std::uint64_t block;
    };
    const LayoutEntry layouts[] = {{modelLayout_, "Model", 0, modelRecord_}, {paperLayout_, "Layout1", 1, paperRecord_}};
    for (const auto& [h, name, order, block] : layouts) {
        w_.Raw(0, "LAYOUT");
        w_.Handle(5, h);
        w_.Raw(102, "{ACAD_REACTORS");
        w_.Handle(330, layoutDict_);
        w_.Raw(102, "}");
        w_.Handle(330, layoutDict_);
        w_.Raw(100, "AcDbPlotSettings");
        w_.Raw(1, "");
        w_.Raw(4, "");
        w_.Raw(6, "");
        for (int code = 40; code <= 49; ++code) w_.Real(code, 0.0);
        w_.Real(140, 0.0);
        w_.Real(141, 0.0);
        w_.Real(142, 1.0);
        w_.Real(143, 1.0);
        w_.Int(70, 0);
        w_.Int(72, 0);
        w_.Int(73, 0);
        w_.Int(74, 5);
        w_.Raw(7, "");
        w_.Int(75, 16);
        w_.Int(76, 0);
        w_.Int(77, 2);
        w_.Int(78, 300);
        w_.Real(147, 1.0);
        w_.Real(148, 0.0);
        w_.Real(149, 0.0);
        w_.Raw(100, "AcDbLayout");
        w_.Raw(1, name);
        w_.Int(70, 1);
        w_.Int(71, order);
        w_.Point2(10, 0.0, 0.0);
        w_.Point2(11, 420.0, 297.0);
        w_.Point(12, 0.0, 0.0);
        w_.Point(14, 0.0, 0.0);
        w_.Point(15, 0.0, 0.0);
        w_.Real(146, 0.0);
        w_.Point(13, 0.0, 0.0);
        w_.Point(16, 1.0, 0.0);
        w_.Point(17, 0.0, 1.0);
        w_.Int(76, 0);
        w_.Handle(330, block);
    }
    w_.Raw(0, "ENDSEC");
    w_.Raw(0, "EOF");
    return w_.Flush();
}

}  // namespace q6dxf
