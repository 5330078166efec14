// The drawing's scene as DXF: each item's primitives become DXF entities on a
// layer named by the item's kind (the file states no layer link).
//
//   marker                     POINT
//   polyline of a line entity  LINE (two points)
//   other polylines            LWPOLYLINE, closed when the primitive is
//   Bezier segments            SPLINE, degree 3, exactly the segments
//   circular arc               CIRCLE when whole, otherwise ARC (degrees);
//                              radius 0: POINT at the centre
//   arc of an ellipse entity   ELLIPSE; both radii 0: POINT; one radius 0:
//                              LWPOLYLINE along the segment it covers
//   text run                   TEXT with its height and rotation (degrees)
//   image / placeholder        closed LWPOLYLINE on its four points and two
//                              LINEs for the diagonals, as the render frames it
//
// With colour=bgr or colour=rgb each entity takes the item's colour as a true
// colour (group 420); otherwise entities take their layer's colour. With y=down
// every Y is negated (and angles mirrored), since DXF's Y is up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Q6Draw/Scene.h"
#include "Q6Dxf/TagWriter.h"

namespace q6dxf {

enum class DxfType : std::uint8_t { Point, Line, Circle, Arc, Ellipse, LwPolyline, Spline, Text, Count_ };
inline constexpr std::size_t kDxfTypeCount = static_cast<std::size_t>(DxfType::Count_);
const char* DxfTypeName(DxfType t);  // "POINT", ...

struct ExportStats {
    std::array<std::uint64_t, kDxfTypeCount> byType{};
    std::uint64_t entities = 0;
    std::uint64_t bytes = 0;
    std::uint64_t nonFinite = 0;  // values written as 0; none for a scene's primitives
    // "dxf entities 12: POINT 1, LINE 7, ..." (types that occur, in enum order)
    std::string Line() const;
};

// The 999 comment lines at the top of the file: the program, the DXF version,
// the active assumptions and the scene's summary.
std::vector<std::string> ExportComments(const q6draw::Scene& scene);

struct ExportOptions {
    // When not empty: the name of the one text style, which every TEXT uses,
    // and of its font file (otherwise the style "Standard" with the font
    // "txt"). Readers that lack the font substitute one of theirs. LibreCAD
    // takes the font by the style's name: "kst32b" and "unicode" hold the
    // Japanese characters there.
    std::string textFont;
};

// Whether `name` may name a text style: not empty, at most 255 bytes, none
// of the characters that DXF refuses in table names (<>/\":;?*|=`) and no
// control character.
bool ValidStyleName(std::string_view name);

// Writes the whole scene as one DXF drawing. False when the sink failed.
bool ExportDxf(const q6draw::Scene& scene, Sink& sink, ExportStats* stats = nullptr, const ExportOptions& options = {});

}  // namespace q6dxf
