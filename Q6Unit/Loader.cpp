// Loading: the file check, the settings pass, the entity pass and the readers.
#include <new>
#include <type_traits>

#include "Q6Unit/ChunkIO.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace {

// Readers of these kinds copy the payload into the record, as far as the
// declared length goes; the excess of a longer payload is ignored.
template <class T>
constexpr bool kCopiesPayload =
    std::is_same_v<T, TQ6ObjectPoint> || std::is_same_v<T, TQ6ObjectLine> || std::is_same_v<T, TQ6ObjectLineEx> ||
    std::is_same_v<T, TQ6ObjectCircle> || std::is_same_v<T, TQ6ObjectCircleEx> ||
    std::is_same_v<T, TQ6ObjectEllipse> || std::is_same_v<T, TQ6ObjectEllipseEx> ||
    std::is_same_v<T, TQ6ObjectSymbol>;

// Slack for readers that read on past a short chunk, beyond what the file's
// size allows anyway.
constexpr std::int64_t kOverreadSlack = 16 << 20;

void Tell(const ChunkObserver* obs, int pass, std::uint64_t offset, std::int16_t id, std::uint16_t ver,
          std::int32_t len, ChunkEvent::What what, std::uint64_t size)
{
    if (!obs) return;
    ChunkEvent e;
    e.pass = pass;
    e.offset = offset;
    e.id = id;
    e.version = ver;
    e.length = len;
    e.what = what;
    e.pastEnd = len >= 0 && offset + 8 + static_cast<std::uint64_t>(len) > size;
    (*obs)(e);
}

ChunkEvent::What ChunkDefaultWhat(std::int16_t id, std::uint16_t ver)
{
    return ChunkKindName(id, ver) ? ChunkEvent::OtherPass : ChunkEvent::Unknown;
}

}  // namespace

const char* ChunkKindName(std::int16_t id, std::uint16_t version)
{
    switch (ChunkKey(id, version)) {
    case ChunkKey(1000, 10): return "title";
    case ChunkKey(1010, 20): return "layer table";
    case ChunkKey(1020, 20): return "paper";
    case ChunkKey(1030, 10): return "axis";
    case ChunkKey(1040, 10): return "grid";
    case ChunkKey(1050, 30): return "text styles";
    case ChunkKey(1060, 30): return "dimension styles";
    case ChunkKey(1060, 40): return "common dimension style";
    case ChunkKey(1070, 20): return "symbol style";
    case ChunkKey(1080, 20): return "print style";
    case ChunkKey(1085, 10): return "print information";
    case ChunkKey(1090, 20): return "colour table";
    case ChunkKey(1100, 20): return "view marks";
    case ChunkKey(2001, 20): return "point";
    case ChunkKey(2002, 20): return "line";
    case ChunkKey(2002, 30): return "line with edge block";
    case ChunkKey(2003, 20): return "circle";
    case ChunkKey(2003, 30): return "circle with edge block";
    case ChunkKey(2005, 20): return "ellipse";
    case ChunkKey(2005, 30): return "ellipse with edge block";
    case ChunkKey(2007, 20): return "text";
    case ChunkKey(2007, 30): return "text with style";
    case ChunkKey(2017, 20): return "Bezier curve";
    case ChunkKey(2017, 30): return "Bezier curve with edge block";
    case ChunkKey(2008, 20): return "polyline";
    case ChunkKey(2008, 30): return "polyline with edge block";
    case ChunkKey(2009, 40): return "polygon";
    case ChunkKey(2009, 50): return "polygon with gradient fill";
    case ChunkKey(2009, 60): return "polygon with mapped fill";
    case ChunkKey(2018, 90): return "bitmap";
    case ChunkKey(2018, 91): return "bitmap with extra data";
    case ChunkKey(2020, 20): return "symbol";
    case ChunkKey(2032, 20): return "group";
    case ChunkKey(2032, 30): return "dimension group";
    case ChunkKey(2032, 40): return "annotation group";
    case ChunkKey(2032, 50): return "balloon group";
    default: return nullptr;
    }
}

bool TQ6Data::ReadChunkHeader(LoadInput& in, std::int16_t& id, std::uint16_t& version, std::int32_t& length)
{
    std::uint8_t h[8];
    if (in.s.Read(h, 8) != 8) return false;
    std::memcpy(&id, h, 2);
    std::memcpy(&version, h + 2, 2);
    std::memcpy(&length, h + 4, 4);
    return true;
}

// ---- settings readers ---------------------------------------------------------

template <class T>
bool TQ6Data::ReadSettings(LoadInput& in, std::int32_t length, T& member, bool limited)
{
    try {
        ChunkReader r(in, length, limited);
        q6layout::Fields(r, member);
        return r.ok();
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadTitle(LoadInput& in, std::int32_t length)
{
    try {
        // The title ends at its first zero byte, or where the payload or the file ends.
        auto view = in.s.View(length > 0 ? static_cast<std::size_t>(length) : 0, in.scratch);
        Title.clear();
        AppendFromAnsi(Title, view.data(), view.size());
        return true;
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadLayerInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, li, false); }
bool TQ6Data::ReadPaperSize(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, psz, false); }
bool TQ6Data::ReadAxisInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, ai, false); }
bool TQ6Data::ReadGridInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, gi, true); }

bool TQ6Data::ReadTextStyles(LoadInput& in, std::int32_t length)
{
    try {
        ChunkReader r(in, length, false);
        for (auto& t : txtstl) q6layout::Fields(r, t);
        return r.ok();
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadDimStyles(LoadInput& in, std::int32_t length)
{
    try {
        ChunkReader r(in, length, false);
        for (auto& d : dimstl) q6layout::Fields(r, d);
        return r.ok();
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadDimStyleEx(LoadInput& in, std::int32_t length)
{
    try {
        ChunkReader r(in, length, true);
        for (auto& d : dimstlex) q6layout::Fields(r, d);
        return r.ok();
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadSymbolStyle(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, symstl, true); }
bool TQ6Data::ReadPrintStyle(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, prnstl, true); }
bool TQ6Data::ReadPrintInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, pri, true); }

bool TQ6Data::ReadColorTable(LoadInput& in, std::int32_t length)
{
    try {
        ChunkReader r(in, length, true);
        for (auto& c : coltbl) r.Num(nullptr, c);
        return r.ok();
    } catch (...) {
        return false;
    }
}

bool TQ6Data::ReadViewInfo(LoadInput& in, std::int32_t length)
{
    try {
        ChunkReader r(in, length, false);
        for (auto& v : viewinfo) q6layout::Fields(r, v);
        return r.ok();
    } catch (...) {
        return false;
    }
}

// ---- entity readers -----------------------------------------------------------

bool TQ6Data::AddEntNo(std::int16_t id, std::int16_t version, std::int32_t index)
{
    if (EntN == INT32_MAX) return false;
    try {
        ++EntN;
        if (EntN % 100 == 1) Ent.SetLength(static_cast<std::size_t>(EntN) + 99);
        Ent[static_cast<std::size_t>(EntN - 1)] = TQ6EntNo{id * 100 + version, index};
        return true;
    } catch (...) {
        --EntN;
        return false;
    }
}

void TQ6Data::NameTest(TQ6TextStyle& e) const
{
    if (!e.style.empty())
        for (const auto& t : txtstl)
            if (t.style == e.style) return;
    e = TQ6TextStyle{};
}

template <class T>
bool TQ6Data::ReadEntity(LoadInput& in, TDynArray<T>& arr, std::int32_t& count, std::uint16_t id,
                         std::uint16_t version, std::int32_t length)
{
    constexpr auto kCost = static_cast<std::int64_t>(sizeof(T) + sizeof(TQ6EntNo));
    if (count == INT32_MAX || in.records < kCost) return false;
    in.records -= kCost;
    try {
        ++count;
        if (count % 100 == 1) arr.SetLength(static_cast<std::size_t>(count) + 99);
        T& e = arr[static_cast<std::size_t>(count - 1)];
        ChunkReader r(in, length, kCopiesPayload<T>);
        q6layout::Fields(r, e);
        if (!r.ok()) return false;
        if constexpr (std::is_same_v<T, TQ6ObjectGroupDim>) NameTest(e.dim.epsstl);
        if constexpr (std::is_same_v<T, TQ6ObjectGroupQle>) NameTest(e.qle.epsstl);
        return AddEntNo(static_cast<std::int16_t>(id), static_cast<std::int16_t>(version), count - 1);
    } catch (...) {
        return false;
    }
}

#define Q6_DEFINE_READER(a, T, cid, cver, reader)                                                      \
    bool TQ6Data::reader(LoadInput& in, std::uint16_t id_, std::uint16_t version, std::int32_t length) \
    {                                                                                                  \
        return ReadEntity(in, a, a##N, id_, version, length);                                          \
    }
Q6_ENTITY_KINDS(Q6_DEFINE_READER)
#undef Q6_DEFINE_READER

// ---- the passes -----------------------------------------------------------------

bool TQ6Data::ReadHeaderChunks(LoadInput& in, std::uint64_t& handover)
{
    const std::uint64_t size = in.s.Size();
    bool result = false;
    std::uint64_t next = in.s.Pos();
    handover = UINT64_MAX;
    while (next < size) {
        in.s.Seek(next);
        std::int16_t id;
        std::uint16_t ver;
        std::int32_t len;
        if (!ReadChunkHeader(in, id, ver, len)) {
            Tell(in.obs, 1, next, 0, 0, 0, ChunkEvent::BadHeader, size);
            return false;
        }
        if (len < 0) {  // would move the pass backwards or keep it in place
            Tell(in.obs, 1, next, id, ver, len, ChunkEvent::NegativeLength, size);
            return false;
        }
        const std::uint64_t start = next;
        next = start + 8 + static_cast<std::uint64_t>(len);
        ChunkEvent::What what = ChunkEvent::Read;
        switch (ChunkKey(id, ver)) {
#define Q6_SETTINGS_CASE(m, cid, cver, reader) \
    case ChunkKey(cid, cver): result = reader(in, len); break;
            Q6_SETTINGS_KINDS(Q6_SETTINGS_CASE)
#undef Q6_SETTINGS_CASE
        default: what = id >= 2000 ? ChunkEvent::HandOver : ChunkDefaultWhat(id, ver);
        }
        if (what == ChunkEvent::Read && !result) what = ChunkEvent::ReaderFailed;
        Tell(in.obs, 1, start, id, ver, len, what, size);
        if (id >= 2000) {
            handover = start;
            break;
        }
        if (!result) break;
    }
    return result;
}

bool TQ6Data::ReadEntityChunks(LoadInput& in, std::uint64_t start)
{
    const std::uint64_t size = in.s.Size();
    bool result = false;
    std::uint64_t next = start;
    while (next < size) {
        in.s.Seek(next);
        std::int16_t id;
        std::uint16_t ver;
        std::int32_t len;
        if (!ReadChunkHeader(in, id, ver, len)) {
            Tell(in.obs, 2, next, 0, 0, 0, ChunkEvent::BadHeader, size);
            return false;
        }
        if (len < 0) {
            Tell(in.obs, 2, next, id, ver, len, ChunkEvent::NegativeLength, size);
            return false;
        }
        const std::uint64_t at = next;
        next = at + 8 + static_cast<std::uint64_t>(len);
        ChunkEvent::What what = ChunkEvent::Read;
        const auto uid = static_cast<std::uint16_t>(id);
        switch (ChunkKey(id, ver)) {
#define Q6_ENTITY_CASE(a, T, cid, cver, reader) \
    case ChunkKey(cid, cver): result = reader(in, uid, ver, len); break;
            Q6_ENTITY_KINDS(Q6_ENTITY_CASE)
#undef Q6_ENTITY_CASE
        default: what = ChunkDefaultWhat(id, ver);
        }
        if (what == ChunkEvent::Read && !result) what = ChunkEvent::ReaderFailed;
        Tell(in.obs, 2, at, id, ver, len, what, size);
        if (!result) break;
    }
    return result;
}
