// The records of the drawing model. Defaults are those of a new document.
//
// Records are held with natural alignment in memory; their byte layout on
// disk is described once, by the field lists in Layout.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Func_/Func_.h"

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

using TBytes = std::vector<std::uint8_t>;

// ---- settings ---------------------------------------------------------------

struct TQ6LayerField {
    std::uint8_t state = 2;
    std::uint8_t attr = 0;
    std::uint32_t color = 0;
    std::int32_t reserved = 0;
    std::string text;
    std::string module;
    std::int32_t comid = 0;
    std::array<std::uint8_t, 32> dmmy{};
    friend bool operator==(const TQ6LayerField&, const TQ6LayerField&) = default;
};

struct TQ6LayerGroupField {
    std::uint8_t state = 2;
    std::uint8_t current = 0;
    std::string text;
    double scale = 1.0;
    std::array<std::uint32_t, 32> reserved{};
    std::array<TQ6LayerField, 17> tab{};
    friend bool operator==(const TQ6LayerGroupField&, const TQ6LayerGroupField&) = default;
};

struct TQ6LayerInfo {
    std::uint8_t current = 0;
    std::array<TQ6LayerGroupField, 16> grp{};
    friend bool operator==(const TQ6LayerInfo&, const TQ6LayerInfo&) = default;
};

struct TQ6PaperSize {
    std::uint8_t typ = 3;
    std::uint8_t lout = 0;
    std::array<TDPoint, 2> size{TDPoint{0, 0}, TDPoint{420.0, 297.0}};
    friend bool operator==(const TQ6PaperSize&, const TQ6PaperSize&) = default;
};

struct TQ6AxisInfo {
    std::int32_t mode = 0;
    double angle = 0.0;
    std::array<std::uint32_t, 32> reserved{};
    friend bool operator==(const TQ6AxisInfo&, const TQ6AxisInfo&) = default;
};

struct TQ6GridInfo {
    TDPoint org{};
    TDPoint spc{};
    TPoint dv{5, 5};
    std::int32_t disp = 0;
    std::int32_t snapmain = 1;
    std::int32_t snapsub = 1;
    std::int32_t typ = 0;
    std::int32_t angle = 1;
    std::int32_t ind = 0;
    std::int32_t abs = 0;
    std::int32_t top = 0;
    std::array<std::uint8_t, 108> reserved{};
    friend bool operator==(const TQ6GridInfo&, const TQ6GridInfo&) = default;
};

struct TQ6TextStyle {
    std::string style;
    std::string font;
    double hight = 0;
    double width = 0;
    double spce = 0;
    TDPoint ofset{};
    std::uint8_t penno = 0;
    std::uint8_t txattr = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfPitchAndFamily = 0;
    std::array<std::uint8_t, 12> reserved{};
    std::int32_t count = 0;
    friend bool operator==(const TQ6TextStyle&, const TQ6TextStyle&) = default;
};

struct TQ6DimStyle {
    std::string style;
    std::int32_t txtstlno = 0;
    double dlen = 0;
    double xlen = 0;
    double tlen = 0;
    std::uint8_t pen = 0;
    std::uint8_t term = 0;
    std::array<std::uint8_t, 3> dmmy{};
    double elen = 0;
    std::array<std::uint8_t, 16> reserved{};
    friend bool operator==(const TQ6DimStyle&, const TQ6DimStyle&) = default;
};

// One entry of the common dimension style: a value and seven settings.
struct TQ6DimStyleEx {
    double value = 1.0;
    std::array<std::uint8_t, 7> set{};
    std::array<std::uint8_t, 63> reserved{};
    friend bool operator==(const TQ6DimStyleEx&, const TQ6DimStyleEx&) = default;
};

struct TQ6SymbolForm {
    double d1 = 0;
    double d2 = 0;
    std::int32_t pen = 0;
    std::array<std::uint32_t, 8> reserved{};
    friend bool operator==(const TQ6SymbolForm&, const TQ6SymbolForm&) = default;
};

struct TQ6SymbolStyle {
    std::uint8_t current_pstl = 0;
    std::uint8_t current_astl = 0;
    std::array<std::uint8_t, 8> reserved{};
    std::array<TQ6SymbolForm, 22> form{};
    friend bool operator==(const TQ6SymbolStyle&, const TQ6SymbolStyle&) = default;
};

struct TQ6LineType {
    std::int32_t typ = 0;
    std::int32_t cnt = 0;  // number of segments in use, at most 10
    std::array<std::uint32_t, 10> seg{};
    friend bool operator==(const TQ6LineType&, const TQ6LineType&) = default;
};

struct TQ6PrintStyle {
    std::array<TQ6LineType, 16> ltype{};
    std::array<std::int32_t, 16> width{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    friend bool operator==(const TQ6PrintStyle&, const TQ6PrintStyle&) = default;
};

struct TQ6PrintInfo {
    std::uint8_t ind = 0;
    std::uint8_t base = 0;
    std::uint8_t area = 0;
    std::uint8_t dmmy = 0;
    TDPoint pos{};
    std::array<std::uint32_t, 16> reserved{};
    friend bool operator==(const TQ6PrintInfo&, const TQ6PrintInfo&) = default;
};

struct TQ6ViewInfo {
    std::string name;
    double zoom = 1.0;
    TPoint ofset{};
    std::uint32_t color = 0;
    std::int32_t penno = 0;
    std::int32_t ltype = 0;
    std::array<std::array<std::uint8_t, 17>, 16> grp{};
    std::array<std::uint8_t, 8> dummy{};
    friend bool operator==(const TQ6ViewInfo&, const TQ6ViewInfo&) = default;
};

// ---- entities (a new element is zero-filled) ---------------------------------

struct TQ6EntNo {
    std::int32_t INo = 0;  // chunk identifier x 100 + version
    std::int32_t ENo = 0;  // index in the kind's array
    friend bool operator==(const TQ6EntNo&, const TQ6EntNo&) = default;
};

struct TQ6ObjectHeader {
    std::int32_t id = 0;
    std::uint8_t cotype = 0;
    std::uint16_t attr = 0;
    std::uint32_t color = 0;
    friend bool operator==(const TQ6ObjectHeader&, const TQ6ObjectHeader&) = default;
};

struct TQ6ObjectPoint {
    TQ6ObjectHeader obj;
    TDPoint pos;
    friend bool operator==(const TQ6ObjectPoint&, const TQ6ObjectPoint&) = default;
};

struct TQ6ObjectLine {
    TQ6ObjectHeader obj;
    std::array<TDPoint, 2> pos{};
    friend bool operator==(const TQ6ObjectLine&, const TQ6ObjectLine&) = default;
};

// Start symbol (bytes 0-130) and end symbol (bytes 131-261).
struct TQ6ObjectEdge {
    std::array<std::uint8_t, 262> symb{};
    friend bool operator==(const TQ6ObjectEdge&, const TQ6ObjectEdge&) = default;
};

struct TQ6ObjectLineEx {
    TQ6ObjectLine ln;
    TQ6ObjectEdge e;
    friend bool operator==(const TQ6ObjectLineEx&, const TQ6ObjectLineEx&) = default;
};

struct TQ6ObjectCircle {
    TQ6ObjectHeader obj;
    TDPoint pos;
    double r = 0;
    std::array<double, 2> arc{};
    friend bool operator==(const TQ6ObjectCircle&, const TQ6ObjectCircle&) = default;
};

struct TQ6ObjectCircleEx {
    TQ6ObjectCircle cr;
    TQ6ObjectEdge e;
    friend bool operator==(const TQ6ObjectCircleEx&, const TQ6ObjectCircleEx&) = default;
};

struct TQ6ObjectEllipse {
    TQ6ObjectHeader obj;
    TDPoint pos;
    std::array<double, 2> r{};
    std::array<double, 2> arc{};
    double angle = 0;
    friend bool operator==(const TQ6ObjectEllipse&, const TQ6ObjectEllipse&) = default;
};

struct TQ6ObjectEllipseEx {
    TQ6ObjectEllipse ep;
    TQ6ObjectEdge e;
    friend bool operator==(const TQ6ObjectEllipseEx&, const TQ6ObjectEllipseEx&) = default;
};

struct TQ6ObjectText {
    TQ6ObjectHeader obj;
    TDPoint pos;
    double angle = 0;
    std::uint8_t style = 0;
    std::uint8_t base = 0;
    std::uint8_t lout = 0;
    std::string text;
    friend bool operator==(const TQ6ObjectText&, const TQ6ObjectText&) = default;
};

struct TQ6ObjectTextEx {
    TQ6ObjectText tx;
    TQ6TextStyle ex;
    friend bool operator==(const TQ6ObjectTextEx&, const TQ6ObjectTextEx&) = default;
};

struct TQ6ObjectBezier {
    TQ6ObjectHeader obj;
    std::uint8_t typ = 0;
    std::int16_t cnt = 0;
    std::vector<TDPoint> pos;
    friend bool operator==(const TQ6ObjectBezier&, const TQ6ObjectBezier&) = default;
};

struct TQ6ObjectBezierEx {
    TQ6ObjectBezier bz;
    TQ6ObjectEdge e;
    friend bool operator==(const TQ6ObjectBezierEx&, const TQ6ObjectBezierEx&) = default;
};

struct TQ6ObjectPolylineEx {
    TQ6ObjectBezier pl;
    TQ6ObjectEdge e;
    friend bool operator==(const TQ6ObjectPolylineEx&, const TQ6ObjectPolylineEx&) = default;
};

struct TQ6ObjectPolygon {
    TQ6ObjectHeader obj;
    std::int32_t ptn = 0;
    std::int16_t cnt = 0;
    std::vector<TDPoint> pos;
    friend bool operator==(const TQ6ObjectPolygon&, const TQ6ObjectPolygon&) = default;
};

struct TQ6ObjectGrad {
    std::int32_t typ = 0;
    std::int32_t reserved = 0;
    std::array<std::uint32_t, 2> col{};
    std::array<TDPoint, 2> pos{};
    double angle = 0;
    friend bool operator==(const TQ6ObjectGrad&, const TQ6ObjectGrad&) = default;
};

struct TQ6ObjectPolygonGrad {
    TQ6ObjectPolygon pg;
    TQ6ObjectGrad e;
    friend bool operator==(const TQ6ObjectPolygonGrad&, const TQ6ObjectPolygonGrad&) = default;
};

struct TQ6ObjectMapping {
    std::int32_t reserved = 0;
    std::array<TDPoint, 2> pos{};
    TPoint size;
    std::int32_t depth = 0;
    std::array<std::uint8_t, 1024> pe{};
    TBytes bmp;
    friend bool operator==(const TQ6ObjectMapping&, const TQ6ObjectMapping&) = default;
};

struct TQ6ObjectPolygonMapping {
    TQ6ObjectPolygon pg;
    TQ6ObjectMapping e;
    friend bool operator==(const TQ6ObjectPolygonMapping&, const TQ6ObjectPolygonMapping&) = default;
};

struct TQ6ObjectBitmap {
    TQ6ObjectHeader obj;
    std::int32_t byt = 0;  // number of image bytes; negative means none
    std::int32_t typ = 0;
    std::array<TDPoint, 4> pos{};
    TBytes bmp;
    friend bool operator==(const TQ6ObjectBitmap&, const TQ6ObjectBitmap&) = default;
};

struct TQ6ObjectBitmapEx {
    TQ6ObjectBitmap bm;
    TBytes exdata;
    friend bool operator==(const TQ6ObjectBitmapEx&, const TQ6ObjectBitmapEx&) = default;
};

struct TQ6ObjectSymbol {
    TQ6ObjectHeader obj;
    TDPoint pos;
    double len = 0;
    TDPoint o;
    std::array<double, 2> r{};
    double elipang = 0;
    double angle = 0;
    std::uint8_t style = 0;
    std::uint8_t extype = 0;
    std::uint8_t exattr = 0;
    std::array<double, 2> param{};
    friend bool operator==(const TQ6ObjectSymbol&, const TQ6ObjectSymbol&) = default;
};

struct TQ6ObjectGroup {
    TQ6ObjectHeader obj;
    std::array<TDPoint, 3> pos{};
    std::int32_t cnt = 0;
    std::string gname;
    friend bool operator==(const TQ6ObjectGroup&, const TQ6ObjectGroup&) = default;
};

struct TQ6ObjectGroupDimension {
    std::array<std::uint8_t, 32> rc{};
    double angle = 0;
    std::array<std::uint8_t, 64> pos{};
    std::array<std::uint8_t, 16> ang{};
    double r = 0;
    double funit = 0;
    std::uint8_t base = 0;
    std::uint8_t bunit = 0;
    std::uint8_t point = 0;
    std::uint8_t strip = 0;
    std::uint8_t camma = 0;
    std::uint8_t jtype = 0;
    TQ6TextStyle txtstl;
    TQ6TextStyle epsstl;
    std::array<std::uint8_t, 10> reserved{};
    friend bool operator==(const TQ6ObjectGroupDimension&, const TQ6ObjectGroupDimension&) = default;
};

struct TQ6ObjectGroupDim {
    TQ6ObjectGroup gr;
    TQ6ObjectGroupDimension dim;
    friend bool operator==(const TQ6ObjectGroupDim&, const TQ6ObjectGroupDim&) = default;
};

struct TQ6ObjectGroupAnno {
    std::uint8_t align = 0;
    std::uint8_t symb = 0;
    std::uint8_t camma = 0;
    std::uint8_t jtype = 0;
    std::int16_t line = 0;
    double spce = 0;
    double angle = 0;
    TQ6TextStyle txtstl;
    TQ6TextStyle epsstl;
    std::array<std::uint8_t, 32> rc{};
    double rcang = 0;
    friend bool operator==(const TQ6ObjectGroupAnno&, const TQ6ObjectGroupAnno&) = default;
};

struct TQ6ObjectGroupQle {
    TQ6ObjectGroup gr;
    TQ6ObjectGroupAnno qle;
    friend bool operator==(const TQ6ObjectGroupQle&, const TQ6ObjectGroupQle&) = default;
};

struct TQ6ObjectGroupBalloon {
    std::uint8_t aux = 0;
    std::uint8_t symb = 0;
    double angle = 0;
    TQ6TextStyle txtstl;
    std::array<std::uint8_t, 32> rc{};
    double rcang = 0;
    friend bool operator==(const TQ6ObjectGroupBalloon&, const TQ6ObjectGroupBalloon&) = default;
};

struct TQ6ObjectGroupBar {
    TQ6ObjectGroup gr;
    TQ6ObjectGroupBalloon bar;
    friend bool operator==(const TQ6ObjectGroupBar&, const TQ6ObjectGroupBar&) = default;
};
