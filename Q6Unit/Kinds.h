// The catalogue of the 36 chunk kinds a drawing holds: 13 settings chunks in
// file order, then the 23 entity kinds.
//
// The two lists below carry what generated code needs (members, record
// types, case labels, reader methods); everything that walks the kinds
// expands them, so a consumer that forgets a kind does not compile. The rows
// of kChunkKinds add the plain facts (name, read policy, the report's section
// title) in the same order; a row that does not match its list entry fails
// the static_asserts at the end of this file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// X(array, element, identifier, version, reader)
#define Q6_ENTITY_KINDS(X)                                         \
    X(pt, TQ6ObjectPoint, 2001, 20, ReadPoint)                     \
    X(ln, TQ6ObjectLine, 2002, 20, ReadLine)                       \
    X(lnx, TQ6ObjectLineEx, 2002, 30, ReadLineEx)                  \
    X(cr, TQ6ObjectCircle, 2003, 20, ReadCircle)                   \
    X(crx, TQ6ObjectCircleEx, 2003, 30, ReadCircleEx)              \
    X(ep, TQ6ObjectEllipse, 2005, 20, ReadEllipse)                 \
    X(epx, TQ6ObjectEllipseEx, 2005, 30, ReadEllipseEx)            \
    X(tx, TQ6ObjectText, 2007, 20, ReadText)                       \
    X(txx, TQ6ObjectTextEx, 2007, 30, ReadTextEx)                  \
    X(bz, TQ6ObjectBezier, 2017, 20, ReadBezier)                   \
    X(bzx, TQ6ObjectBezierEx, 2017, 30, ReadBezierEx)              \
    X(pl, TQ6ObjectBezier, 2008, 20, ReadPolyline)                 \
    X(plx, TQ6ObjectPolylineEx, 2008, 30, ReadPolylineEx)          \
    X(pg, TQ6ObjectPolygon, 2009, 40, ReadPolygon)                 \
    X(pgg, TQ6ObjectPolygonGrad, 2009, 50, ReadPolygonGrad)        \
    X(pgm, TQ6ObjectPolygonMapping, 2009, 60, ReadPolygonMapping)  \
    X(bm, TQ6ObjectBitmap, 2018, 90, ReadBitmap)                   \
    X(bmx, TQ6ObjectBitmapEx, 2018, 91, ReadBitmapEx)              \
    X(sy, TQ6ObjectSymbol, 2020, 20, ReadSymbol)                   \
    X(gr, TQ6ObjectGroup, 2032, 20, ReadGroup)                     \
    X(grdim, TQ6ObjectGroupDim, 2032, 30, ReadGroupDim)            \
    X(grqle, TQ6ObjectGroupQle, 2032, 40, ReadGroupQle)            \
    X(grbar, TQ6ObjectGroupBar, 2032, 50, ReadGroupBar)

// X(member, identifier, version, reader)
#define Q6_SETTINGS_KINDS(X)                 \
    X(Title, 1000, 10, ReadTitle)            \
    X(li, 1010, 20, ReadLayerInfo)           \
    X(psz, 1020, 20, ReadPaperSize)          \
    X(ai, 1030, 10, ReadAxisInfo)            \
    X(gi, 1040, 10, ReadGridInfo)            \
    X(txtstl, 1050, 30, ReadTextStyles)      \
    X(dimstl, 1060, 30, ReadDimStyles)       \
    X(dimstlex, 1060, 40, ReadDimStyleEx)    \
    X(symstl, 1070, 20, ReadSymbolStyle)     \
    X(prnstl, 1080, 20, ReadPrintStyle)      \
    X(pri, 1085, 10, ReadPrintInfo)          \
    X(coltbl, 1090, 20, ReadColorTable)      \
    X(viewinfo, 1100, 20, ReadViewInfo)

namespace q6kinds {

// How a chunk's reader takes its payload; the loader reads each kind by its
// row and checks the row against the record (only a record of fixed size is
// copied, only the title is text).
enum class ReadPolicy : std::uint8_t {
    Text,           // the title: bytes up to the first zero, the payload's end or the file's end
    FieldsToEnd,    // field by field; a short payload goes on reading the following bytes of the file
    FieldsInChunk,  // field by field, never past the payload; fields it lacks stay zero
    PayloadCopied,  // the payload copied into the fixed record as far as it goes; the rest stays zero
};

// What the catalogue says about one chunk kind.
struct ChunkKind {
    std::string_view member;  // the document's member: "Title", "li", ..., "pt", "ln", ...
    std::string_view record;  // the record type of one element
    std::int16_t id;          // chunk identifier
    std::uint16_t version;    // chunk version
    bool entity;              // one of the 23 entity kinds
    std::uint32_t records;    // settings: how many records the member holds (1: one record); entities: 0
    std::string_view count;   // entities: the member counting the records ("ptN"); settings: empty
    std::string_view name;    // "circle with edge block", as `q6tool chunks` and the drawing outputs say
    ReadPolicy policy;
    std::string_view section;  // the report's title of the record, after its "■" (the title: before its "：")
    std::string_view tally;    // entities: the label of the report's count line ("円EX："); settings: empty
};

// The facts that are not names in code, one row per kind in the lists' order.
struct KindRow {
    std::string_view member;
    std::uint32_t records;
    std::string_view name;
    ReadPolicy policy;
    std::string_view section;
    std::string_view tally;
};

inline constexpr KindRow kSettingsRows[] = {
    {"Title", 1, "title", ReadPolicy::Text, "図面タイトル", ""},
    {"li", 1, "layer table", ReadPolicy::FieldsToEnd, "レイヤ情報", ""},
    {"psz", 1, "paper", ReadPolicy::FieldsToEnd, "用紙サイズ", ""},
    {"ai", 1, "axis", ReadPolicy::FieldsToEnd, "アングル", ""},
    {"gi", 1, "grid", ReadPolicy::FieldsInChunk, "グリッド", ""},
    {"txtstl", 21, "text styles", ReadPolicy::FieldsToEnd, "文字スタイル", ""},
    {"dimstl", 20, "dimension styles", ReadPolicy::FieldsToEnd, "寸法スタイル", ""},
    {"dimstlex", 3, "common dimension style", ReadPolicy::FieldsInChunk, "共通寸法スタイル", ""},
    {"symstl", 1, "symbol style", ReadPolicy::FieldsInChunk, "シンボルスタイル", ""},
    {"prnstl", 1, "print style", ReadPolicy::FieldsInChunk, "印刷スタイル", ""},
    {"pri", 1, "print information", ReadPolicy::FieldsInChunk, "印刷情報", ""},
    {"coltbl", 272, "colour table", ReadPolicy::FieldsInChunk, "カラーテーブル", ""},
    {"viewinfo", 32, "view marks", ReadPolicy::FieldsToEnd, "画面マーク情報", ""},
};

inline constexpr KindRow kEntityRows[] = {
    {"pt", 0, "point", ReadPolicy::PayloadCopied, "点オブジェクト", "点："},
    {"ln", 0, "line", ReadPolicy::PayloadCopied, "線オブジェクト", "線："},
    {"lnx", 0, "line with edge block", ReadPolicy::PayloadCopied, "線EXオブジェクト", "線EX："},
    {"cr", 0, "circle", ReadPolicy::PayloadCopied, "円オブジェクト", "円："},
    {"crx", 0, "circle with edge block", ReadPolicy::PayloadCopied, "円オブジェクト", "円EX："},
    {"ep", 0, "ellipse", ReadPolicy::PayloadCopied, "楕円オブジェクト", "楕円："},
    {"epx", 0, "ellipse with edge block", ReadPolicy::PayloadCopied, "楕円EXオブジェクト", "楕円EX："},
    {"tx", 0, "text", ReadPolicy::FieldsToEnd, "文字オブジェクト", "文字："},
    {"txx", 0, "text with style", ReadPolicy::FieldsToEnd, "文字EXオブジェクト", "文字EX："},
    {"bz", 0, "Bezier curve", ReadPolicy::FieldsToEnd, "ベジェ曲線オブジェクト", "ベジェ："},
    {"bzx", 0, "Bezier curve with edge block", ReadPolicy::FieldsToEnd, "ベジェ曲線EXオブジェクト", "ベジェEX："},
    {"pl", 0, "polyline", ReadPolicy::FieldsToEnd, "ポリラインオブジェクト", "ポリライン："},
    {"plx", 0, "polyline with edge block", ReadPolicy::FieldsToEnd, "ポリラインEXオブジェクト", "ポリラインEX："},
    {"pg", 0, "polygon", ReadPolicy::FieldsToEnd, "ポリゴンオブジェクト", "ポリゴン："},
    {"pgg", 0, "polygon with gradient fill", ReadPolicy::FieldsToEnd, "ポリゴンGRADオブジェクト", "ポリゴンGrad："},
    {"pgm", 0, "polygon with mapped fill", ReadPolicy::FieldsToEnd, "ポリゴンMAPPオブジェクト", "ポリゴンMapp："},
    {"bm", 0, "bitmap", ReadPolicy::FieldsToEnd, "画像オブジェクト", "画像："},
    {"bmx", 0, "bitmap with extra data", ReadPolicy::FieldsToEnd, "画像EXオブジェクト", "画像EX："},
    {"sy", 0, "symbol", ReadPolicy::PayloadCopied, "シンボルオブジェクト", "シンボル："},
    {"gr", 0, "group", ReadPolicy::FieldsToEnd, "グループオブジェクト", "グループ："},
    {"grdim", 0, "dimension group", ReadPolicy::FieldsToEnd, "グループDIMオブジェクト", "グループDIM："},
    {"grqle", 0, "annotation group", ReadPolicy::FieldsToEnd, "グループQLEオブジェクト", "グループQLE："},
    {"grbar", 0, "balloon group", ReadPolicy::FieldsToEnd, "グループBARオブジェクト", "グループBAR："},
};

// What the lists give: member, record type, identifier, version.
struct ListEntry {
    std::string_view member;
    std::string_view record;
    std::int16_t id;
    std::uint16_t version;
    std::string_view count;
};

inline constexpr ListEntry kSettingsList[] = {
#define Q6_KINDS_SETTINGS_ENTRY(m, cid, cver, reader) {#m, "", cid, cver, ""},
    Q6_SETTINGS_KINDS(Q6_KINDS_SETTINGS_ENTRY)
#undef Q6_KINDS_SETTINGS_ENTRY
};

inline constexpr ListEntry kEntityList[] = {
#define Q6_KINDS_ENTITY_ENTRY(a, T, cid, cver, reader) {#a, #T, cid, cver, #a "N"},
    Q6_ENTITY_KINDS(Q6_KINDS_ENTITY_ENTRY)
#undef Q6_KINDS_ENTITY_ENTRY
};

inline constexpr std::size_t kSettingsKindCount = std::size(kSettingsList);
inline constexpr std::size_t kEntityKindCount = std::size(kEntityList);
inline constexpr std::size_t kChunkKindCount = kSettingsKindCount + kEntityKindCount;

// The settings records' types, which the settings list does not carry.
inline constexpr std::string_view kSettingsRecords[] = {
    "std::string",    "TQ6LayerInfo",   "TQ6PaperSize",  "TQ6AxisInfo",    "TQ6GridInfo",
    "TQ6TextStyle",   "TQ6DimStyle",    "TQ6DimStyleEx", "TQ6SymbolStyle", "TQ6PrintStyle",
    "TQ6PrintInfo",   "std::uint32_t", "TQ6ViewInfo",
};

constexpr std::array<ChunkKind, kChunkKindCount> MakeCatalogue()
{
    std::array<ChunkKind, kChunkKindCount> c{};
    for (std::size_t i = 0; i < kSettingsKindCount; ++i) {
        const ListEntry& l = kSettingsList[i];
        const KindRow& r = kSettingsRows[i];
        c[i] = {l.member, kSettingsRecords[i], l.id, l.version, false, r.records, l.count, r.name, r.policy, r.section, r.tally};
    }
    for (std::size_t i = 0; i < kEntityKindCount; ++i) {
        const ListEntry& l = kEntityList[i];
        const KindRow& r = kEntityRows[i];
        c[kSettingsKindCount + i] = {l.member, l.record, l.id,   l.version, true,
                                     r.records, l.count, r.name, r.policy, r.section, r.tally};
    }
    return c;
}

// All 36 kinds: the settings in file order, then the entity kinds.
inline constexpr std::array<ChunkKind, kChunkKindCount> kChunkKinds = MakeCatalogue();

// The kind of a chunk identifier and version; nullptr when none has them.
constexpr const ChunkKind* FindChunkKind(std::int16_t id, std::uint16_t version)
{
    for (const ChunkKind& k : kChunkKinds)
        if (k.id == id && k.version == version) return &k;
    return nullptr;
}

// Where the kind of an identifier and version stands among the entity kinds
// (0 for points, as in Q6_ENTITY_KINDS); kEntityKindCount when no entity kind has them.
constexpr std::size_t EntityKindIndex(std::int16_t id, std::uint16_t version)
{
    for (std::size_t i = 0; i < kEntityKindCount; ++i)
        if (kEntityList[i].id == id && kEntityList[i].version == version) return i;
    return kEntityKindCount;
}

// The name of a chunk kind ("circle with edge block"); nullptr when unknown.
constexpr const char* ChunkName(std::int16_t id, std::uint16_t version)
{
    const ChunkKind* k = FindChunkKind(id, version);
    return k ? k->name.data() : nullptr;  // every name is a string literal
}

// The rows follow the lists: same number, same members, in the same order.
constexpr bool RowsMatchLists()
{
    if (std::size(kSettingsRows) != kSettingsKindCount || std::size(kEntityRows) != kEntityKindCount ||
        std::size(kSettingsRecords) != kSettingsKindCount)
        return false;
    for (std::size_t i = 0; i < kSettingsKindCount; ++i)
        if (kSettingsRows[i].member != kSettingsList[i].member || kSettingsRows[i].records == 0 ||
            !kSettingsRows[i].tally.empty())
            return false;
    for (std::size_t i = 0; i < kEntityKindCount; ++i)
        if (kEntityRows[i].member != kEntityList[i].member || kEntityRows[i].records != 0 ||
            kEntityRows[i].tally.empty())
            return false;
    return true;
}
static_assert(RowsMatchLists(), "a row of kSettingsRows or kEntityRows does not match its kind's list entry");

// No two kinds share an identifier and version; settings identifiers are
// below 2000 and entity identifiers from 2000 on (the settings pass hands
// over at the first chunk of 2000 or more).
constexpr bool KindsAreDistinct()
{
    for (std::size_t i = 0; i < kChunkKindCount; ++i) {
        if (kChunkKinds[i].entity != (kChunkKinds[i].id >= 2000)) return false;
        for (std::size_t j = i + 1; j < kChunkKindCount; ++j)
            if (kChunkKinds[i].id == kChunkKinds[j].id && kChunkKinds[i].version == kChunkKinds[j].version)
                return false;
    }
    return true;
}
static_assert(KindsAreDistinct(), "two chunk kinds share an identifier and version, or a kind is on the wrong side");

}  // namespace q6kinds
