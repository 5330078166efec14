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


// Reads the fields of a record from bytes known to hold all of them.
struct WindowReader : q6layout::PlainWalk {
    const std::uint8_t* p;
    template <class T>
    void Num(const char*, T& x)
    {
        std::memcpy(&x, p, sizeof(T));
        p += sizeof(T);
    }
    void Bytes(const char*, std::uint8_t* dst, std::size_t n)
    {
        std::memcpy(dst, p, n);
        p += n;
    }
};

void Tell(const ChunkObserver* obs, int pass, std::uint64_t offset, std::int16_t id, std::uint16_t ver,
          std::int32_t len, ChunkEvent::What what, std::uint64_t size, bool ends = true, bool result = false)
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
    e.ends = ends || e.pastEnd;
    e.result = result;
    (*obs)(e);
}

ChunkEvent::What ChunkDefaultWhat(std::int16_t id, std::uint16_t ver)
{
    return ChunkKindName(id, ver) ? ChunkEvent::OtherPass : ChunkEvent::Unknown;
}

// The 8-byte chunk header: identifier, version, payload length.
bool ReadHeader(LoadInput& in, std::int16_t& id, std::uint16_t& version, std::int32_t& length)
{
    std::uint8_t h[8];
    if (in.s.Read(h, 8) != 8) return false;
    std::memcpy(&id, h, 2);
    std::memcpy(&version, h + 2, 2);
    std::memcpy(&length, h + 4, 4);
    return true;
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
    return ReadHeader(in, id, version, length);
}

// ---- settings readers ---------------------------------------------------------

namespace {

// A record, or a table of records or numbers, read in index order.
template <class T>
void ReadFields(ChunkReader& r, T& member)
{
    if constexpr (requires { member.size(); member[0]; }) {
        for (auto& x : member) ReadFields(r, x);
    } else if constexpr (std::is_arithmetic_v<T>) {
        r.Num(nullptr, member);
    } else {
        q6layout::Fields(r, member);
    }
}

}  // namespace

// `limited`: the reader takes at most the chunk's length into the start of
// the member; otherwise it reads the member's full size whatever the length.
template <class T>
bool TQ6Data::ReadSettings(LoadInput& in, std::int32_t length, T& member, bool limited)
{
    try {
        ChunkReader r(in, length, limited);
        ReadFields(r, member);
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
bool TQ6Data::ReadTextStyles(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, txtstl, false); }
bool TQ6Data::ReadDimStyles(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, dimstl, false); }
bool TQ6Data::ReadDimStyleEx(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, dimstlex, true); }
bool TQ6Data::ReadSymbolStyle(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, symstl, true); }
bool TQ6Data::ReadPrintStyle(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, prnstl, true); }
bool TQ6Data::ReadPrintInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, pri, true); }
bool TQ6Data::ReadColorTable(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, coltbl, true); }
bool TQ6Data::ReadViewInfo(LoadInput& in, std::int32_t length) { return ReadSettings(in, length, viewinfo, false); }

// ---- entity readers -----------------------------------------------------------

bool TQ6Data::AddEntNo(std::int16_t id, std::int16_t version, std::int32_t index)
{
    if (EntN == INT32_MAX) return false;
    try {
        Ent.AppendAt(EntN) = TQ6EntNo{id * 100 + version, index};
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
        T& e = arr.AppendAt(count);
        if constexpr (kCopiesPayload<T>) {
            // The whole payload of a fixed record in memory, as nearly always:
            // its fields are copied one after the other without further checks.
            constexpr std::size_t kSize = q6layout::FixedSize<T>();
            const auto w = in.s.Window();
            if (length >= static_cast<std::int32_t>(kSize) && w.size() >= kSize) {
                WindowReader wr{{}, w.data()};
                q6layout::Fields(wr, e);
                return AddEntNo(static_cast<std::int16_t>(id), static_cast<std::int16_t>(version), count - 1);
            }
        }
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

namespace {

struct Step {
    ChunkEvent::What what;
    bool stop;  // the pass ends after this chunk
};

// Walks the chunks from `next` to the end of the file: reads each header,
// hands the chunk to `visit` with the stream at its payload, and moves on by
// the declared length, whatever the reader consumed. A header that cannot be
// read or a negative length (which would move the walk backwards or keep it
// in place) ends the walk with false; otherwise it returns `result` as the
// chunks left it.
template <class Visit>
bool WalkChunks(LoadInput& in, int pass, std::uint64_t next, bool& result, Visit&& visit)
{
    const std::uint64_t size = in.s.Size();
    while (next < size) {
        in.s.Seek(next);
        std::int16_t id;
        std::uint16_t ver;
        std::int32_t len;
        if (!ReadHeader(in, id, ver, len)) {
            Tell(in.obs, pass, next, 0, 0, 0, ChunkEvent::BadHeader, size);
            return false;
        }
        if (len < 0) {
            Tell(in.obs, pass, next, id, ver, len, ChunkEvent::NegativeLength, size);
            return false;
        }
        const std::uint64_t at = next;
        next = at + 8 + static_cast<std::uint64_t>(len);
        const Step step = visit(at, id, ver, len);
        Tell(in.obs, pass, at, id, ver, len, step.what, size, step.stop || next >= size, result);
        if (step.stop) break;
    }
    return result;
}

}  // namespace

bool TQ6Data::ReadHeaderChunks(LoadInput& in, std::uint64_t& handover)
{
    bool result = false;
    handover = UINT64_MAX;
    return WalkChunks(in, 1, in.s.Pos(), result, [&](std::uint64_t at, std::int16_t id, std::uint16_t ver, std::int32_t len) {
        ChunkEvent::What what = ChunkEvent::Read;
        switch (ChunkKey(id, ver)) {
#define Q6_SETTINGS_CASE(m, cid, cver, reader) \
    case ChunkKey(cid, cver): result = reader(in, len); break;
            Q6_SETTINGS_KINDS(Q6_SETTINGS_CASE)
#undef Q6_SETTINGS_CASE
        default: what = id >= 2000 ? ChunkEvent::HandOver : ChunkDefaultWhat(id, ver);
        }
        if (what == ChunkEvent::Read && !result) what = ChunkEvent::ReaderFailed;
        // The settings end at the first chunk whose identifier is 2000 or more.
        if (id >= 2000) handover = at;
        return Step{what, id >= 2000 || !result};
    });
}

bool TQ6Data::ReadEntityChunks(LoadInput& in, std::uint64_t start)
{
    bool result = false;
    return WalkChunks(in, 2, start, result, [&](std::uint64_t, std::int16_t id, std::uint16_t ver, std::int32_t len) {
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
        return Step{what, !result};
    });
}
