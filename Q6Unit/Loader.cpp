// Loading: the file check, the settings pass, the entity pass, the readers
// of every chunk kind, and the load from a file or from memory.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace {

using q6kinds::ReadPolicy;

// What one load shares among its readers.
struct LoadInput {
    explicit LoadInput(ByteSource& src) : s(src) {}
    Stream s;
    // Bytes that readers may still take beyond the declared ends of their
    // chunks. Readers that ignore a short length, and point lists longer than
    // their chunk, read on into the following chunks; this keeps the work and
    // the memory of a load proportional to the file's size.
    std::int64_t overread = 0;
    // Bytes that the entity records of a load may still take. A chunk may be
    // far shorter than its record (an empty ellipse chunk with edge block
    // makes a record of over 300 bytes out of 8), so that a small damaged
    // file could otherwise fill the memory. Files that our writer makes need
    // less than twice their size.
    std::int64_t records = 0;
    std::vector<std::uint8_t> scratch;
    const ChunkObserver* obs = nullptr;
    const EntitySink* sink = nullptr;  // when set, entities go there and are not kept
};

// Whether a chunk at `offset` with a payload of `length` bytes runs past the
// end of a file of `size` bytes.
bool RunsPastEnd(std::uint64_t offset, std::int32_t length, std::uint64_t size)
{
    return length >= 0 && offset + 8 + static_cast<std::uint64_t>(length) > size;
}

// Walks the points stored from a byte on, so that a list is made straight
// from the bytes without first being filled with zeros.
struct PointAt {
    using iterator_category = std::forward_iterator_tag;
    using value_type = TDPoint;
    using difference_type = std::ptrdiff_t;
    using pointer = const TDPoint*;
    using reference = TDPoint;
    const std::uint8_t* p = nullptr;
    TDPoint operator*() const
    {
        TDPoint t;
        std::memcpy(&t, p, sizeof t);
        return t;
    }
    PointAt& operator++()
    {
        p += sizeof(TDPoint);
        return *this;
    }
    PointAt operator++(int)
    {
        PointAt old = *this;
        ++*this;
        return old;
    }
    difference_type operator-(const PointAt& o) const { return (p - o.p) / static_cast<difference_type>(sizeof(TDPoint)); }
    bool operator==(const PointAt&) const = default;
};

// Reads one payload. `limited`: the reader takes at most the declared length
// (its record is bounded by the chunk); otherwise it reads its fields
// whatever the length says. Fields past the limit or past the end of the
// file keep their values; a field cut in the middle takes the bytes that
// were there.
class ChunkReader {
public:
    static constexpr std::int64_t kNoLimit = INT64_MAX / 4;

    ChunkReader(LoadInput& in, std::int32_t length, bool limited)
        : in_(in), len_(length), limit_(limited ? length : kNoLimit), start_(in.s.Pos())
    {
        Refresh();
    }
    ~ChunkReader() { Sync(); }
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;
    bool ok() const { return ok_; }

    template <class T>
    void Num(const char*, T& x)
    {
        static_assert(std::is_arithmetic_v<T>);
        Take(&x, sizeof(T));
    }
    void Scale(const char* name, double& x) { Num(name, x); }
    void Bytes(const char*, std::uint8_t* p, std::size_t n) { Take(p, n); }
    template <class F>
    void Nest(const char*, F&& f)
    {
        f();
    }
    template <class F>
    void Array(const char*, std::size_t n, F&& f)
    {
        for (std::size_t i = 0; i < n && ok_; ++i) f(i);
    }

    void Text(const char*, std::string& s, std::int32_t width)
    {
        const std::size_t want = Allowed(static_cast<std::size_t>(width));
        Sync();
        auto view = in_.s.View(want, in_.scratch);
        Account(view.size());
        Advance(static_cast<std::size_t>(width), view.size());
        if (view.size() == static_cast<std::size_t>(width)) {
            s.clear();
            AppendFromAnsi(s, view.data(), view.size());
        } else if (!view.empty()) {  // cut by the end of the file
            std::vector<std::uint8_t> field(static_cast<std::size_t>(width));
            StrToFixedAnsi(field.data(), s, width);
            std::memcpy(field.data(), view.data(), view.size());
            s.clear();
            AppendFromAnsi(s, field.data(), field.size());
        }
    }

    void VarText(const char*, std::string& s, std::int32_t after, bool refuseShort)
    {
        const std::int64_t size = len_ - pos_ - after;
        if (size < 0) {
            if (refuseShort) ok_ = false;  // no room for the name: refused
            s.clear();
            return;
        }
        Sync();
        auto view = in_.s.View(Allowed(static_cast<std::size_t>(size)), in_.scratch);
        Advance(static_cast<std::size_t>(size), view.size());
        s.clear();
        AppendFromAnsi(s, view.data(), view.size());
    }

    void Points(const char* cntName, std::int16_t& cnt, const char*, std::vector<TDPoint>& pos)
    {
        Num(cntName, cnt);
        if (!ok_) return;
        if (cnt < 1) cnt = 1;
        const std::size_t bytes = 16u * static_cast<std::size_t>(cnt);
        if (bytes <= static_cast<std::size_t>(end_ - cur_)) {  // the whole list in memory, inside the payload
            pos.assign(PointAt{cur_}, PointAt{cur_ + bytes});
            cur_ += bytes;
            pos_ += static_cast<std::int64_t>(bytes);
            return;
        }
        if (!Affordable(bytes)) return;
        // The list is held in full, read or not: its part beyond the chunk is
        // charged whole, also where the end of the file leaves it unread.
        const std::int64_t left = in_.overread - Beyond(bytes);
        pos.assign(static_cast<std::size_t>(cnt), TDPoint{});
        Take(pos.data(), bytes);
        in_.overread = left;
    }

    void CountedBytes(const char*, std::vector<std::uint8_t>& bytes, std::int32_t count)
    {
        const std::size_t b = count > 0 ? static_cast<std::size_t>(count) : 0;
        Sync();
        // More image bytes than the file holds from here: a damaged chunk.
        if (b > in_.s.Remaining() || !Affordable(b)) {
            ok_ = false;
            return;
        }
        bytes.assign(b, 0);
        Take(bytes.data(), b);
    }

    void TailBytes(const char*, std::vector<std::uint8_t>& bytes)
    {
        const std::int64_t m = std::max<std::int64_t>(0, len_ - pos_);
        Sync();
        if (static_cast<std::uint64_t>(m) > in_.s.Remaining()) {
            ok_ = false;
            return;
        }
        bytes.assign(static_cast<std::size_t>(m), 0);
        Take(bytes.data(), static_cast<std::size_t>(m));
    }

private:
    // How many of the next n bytes the limit lets the reader take.
    std::size_t Allowed(std::size_t n) const
    {
        if (pos_ >= limit_) return 0;
        return static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), limit_ - pos_));
    }
    // Bytes of [pos, pos + n) beyond the declared end of the payload.
    std::int64_t Beyond(std::size_t n) const
    {
        const std::int64_t end = pos_ + static_cast<std::int64_t>(n);
        return end > len_ ? end - std::max<std::int64_t>(pos_, len_) : 0;
    }
    bool Affordable(std::size_t n)
    {
        if (Beyond(n) > in_.overread) ok_ = false;
        return ok_;
    }
    void Account(std::size_t got)
    {
        const std::int64_t over = Beyond(got);
        if (over > 0) {
            in_.overread -= over;
            if (in_.overread < 0) ok_ = false;
        }
    }
    // Most fields lie inside the payload, in bytes that are already in
    // memory: they are copied straight from there.
    [[gnu::always_inline]] void Take(void* dst, std::size_t n)
    {
        if (n <= static_cast<std::size_t>(end_ - cur_)) {
            if (n) std::memcpy(dst, cur_, n);
            cur_ += n;
            pos_ += static_cast<std::int64_t>(n);
            return;
        }
        TakeSlow(dst, n);
    }
    [[gnu::noinline]] void TakeSlow(void* dst, std::size_t n)
    {
        if (!ok_) return;
        Sync();
        const std::size_t k = Allowed(n);
        const std::size_t got = k ? in_.s.Read(dst, k) : 0;
        Account(got);
        Advance(n, got);
    }
    // The payload advances by n bytes, of which `got` came from the stream
    // (which stands after them).
    void Advance(std::size_t n, std::size_t got)
    {
        pos_ += static_cast<std::int64_t>(n);
        unread_ += static_cast<std::int64_t>(n - got);
        Refresh();
    }
    // Moves the stream to the bytes taken so far; Take leaves it behind.
    void Sync()
    {
        const std::uint64_t at = start_ + static_cast<std::uint64_t>(pos_ - unread_);
        if (in_.s.Pos() != at) in_.s.Seek(at);
    }
    // The bytes that Take may copy from directly: inside the payload, inside
    // the limit, already in memory at the stream's position. None once a read
    // was cut short, since the payload and the stream no longer agree.
    void Refresh()
    {
        cur_ = end_ = nullptr;
        if (unread_ != 0) return;
        const auto w = in_.s.Window();
        const std::int64_t n = std::min({static_cast<std::int64_t>(w.size()), limit_ - pos_, len_ - pos_});
        if (n <= 0) return;
        cur_ = w.data();
        end_ = cur_ + n;
    }

    LoadInput& in_;                  // the stream, the load's budgets and its scratch buffer
    const std::int64_t len_;         // the declared length: where the payload ends
    const std::int64_t limit_;       // how many payload bytes may be taken: the length, or no limit
    const std::uint64_t start_;      // the payload's offset in the file: where Sync moves the stream
    std::int64_t pos_ = 0;           // the position in the payload, counting fields the file cut short
    std::int64_t unread_ = 0;        // bytes of those fields that were not there: pos_ minus bytes taken
    const std::uint8_t* cur_ = nullptr;  // the byte at pos_ when it is in memory (the fast path)
    const std::uint8_t* end_ = nullptr;  // the end of the bytes Take may copy straight from memory
    bool ok_ = true;                 // false once the payload was refused
};

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

// Tells whether a record's field list has a part whose size depends on the
// bytes (a name up to the chunk's end, a point list, image bytes).
struct VariablePartFinder : q6layout::PlainWalk {
    bool variable = false;
    template <class T>
    constexpr void Num(const char*, const T&) {}
    constexpr void Scale(const char*, const double&) {}
    template <class S>
    constexpr void Text(const char*, const S&, std::int32_t) {}
    constexpr void Bytes(const char*, const std::uint8_t*, std::size_t) {}
    template <class S>
    constexpr void VarText(const char*, const S&, std::int32_t, bool) { variable = true; }
    template <class C, class P>
    constexpr void Points(const char*, const C&, const char*, const P&) { variable = true; }
    template <class B>
    constexpr void CountedBytes(const char*, const B&, std::int32_t) { variable = true; }
    template <class B>
    constexpr void TailBytes(const char*, const B&) { variable = true; }
};

template <class T>
constexpr bool HasFixedSize()
{
    T r{};  // not const: a constant std::string cannot be made at compile time
    VariablePartFinder f;
    q6layout::Fields(f, r);
    return !f.variable;
}

// The catalogue's read policy of a kind, checked against its record: only a
// record of fixed size can be copied from the payload, and only the title is
// read as text.
template <class T, std::int16_t Id, std::uint16_t Version>
constexpr ReadPolicy PolicyOf()
{
    // By index, not by FindChunkKind's pointer: under the sanitizers a
    // pointer compared with null is no constant expression.
    constexpr std::size_t i = [] {
        std::size_t at = 0;
        while (at < q6kinds::kChunkKindCount &&
               (q6kinds::kChunkKinds[at].id != Id || q6kinds::kChunkKinds[at].version != Version))
            ++at;
        return at;
    }();
    static_assert(i < q6kinds::kChunkKindCount, "the kind has no row in the catalogue");
    constexpr ReadPolicy p = q6kinds::kChunkKinds[i].policy;
    static_assert((p == ReadPolicy::Text) == std::is_same_v<T, std::string>,
                  "only the title is read as text, and it is");
    if constexpr (p == ReadPolicy::PayloadCopied) {
        static_assert(HasFixedSize<T>(), "a payload is copied only into a record of fixed size");
    }
    return p;
}

constexpr bool Bounded(ReadPolicy p) { return p == ReadPolicy::FieldsInChunk || p == ReadPolicy::PayloadCopied; }

ChunkEvent Event(LoadPass pass, std::uint64_t offset, std::int16_t id, std::uint16_t ver, std::int32_t len,
                 ChunkEvent::What what, std::uint64_t size)
{
    ChunkEvent e;
    e.pass = pass;
    e.offset = offset;
    e.id = id;
    e.version = ver;
    e.length = len;
    e.what = what;
    e.pastEnd = RunsPastEnd(offset, len, size);
    return e;
}

void Tell(const ChunkObserver* obs, LoadPass pass, std::uint64_t offset, std::int16_t id, std::uint16_t ver,
          std::int32_t len, ChunkEvent::What what, std::uint64_t size, bool ends = true, bool result = false)
{
    if (!obs) return;
    ChunkEvent e = Event(pass, offset, id, ver, len, what, size);
    e.ends = ends || e.pastEnd;
    e.result = result;
    (*obs)(e);
}

ChunkEvent::What ChunkDefaultWhat(std::int16_t id, std::uint16_t ver)
{
    return q6kinds::FindChunkKind(id, ver) ? ChunkEvent::OtherPass : ChunkEvent::Unknown;
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

// ---- settings readers ---------------------------------------------------------

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

template <ReadPolicy P, class T>
bool ReadSettings(LoadInput& in, std::int32_t length, T& member)
{
    try {
        if constexpr (P == ReadPolicy::Text) {
            // The title ends at its first zero byte, or where the payload or the file ends.
            auto view = in.s.View(length > 0 ? static_cast<std::size_t>(length) : 0, in.scratch);
            member.clear();
            AppendFromAnsi(member, view.data(), view.size());
            return true;
        } else {
            ChunkReader r(in, length, Bounded(P));
            ReadFields(r, member);
            return r.ok();
        }
    } catch (...) {
        return false;
    }
}

#define Q6_DEFINE_SETTINGS_READER(m, cid, cver, reader)                                      \
    bool reader(TQ6Data& d, LoadInput& in, std::int32_t length)                               \
    {                                                                                         \
        return ReadSettings<PolicyOf<decltype(TQ6Data::m), cid, cver>()>(in, length, d.m);    \
    }
Q6_SETTINGS_KINDS(Q6_DEFINE_SETTINGS_READER)
#undef Q6_DEFINE_SETTINGS_READER

// ---- entity readers -----------------------------------------------------------

bool AddEntNo(TQ6Data& d, std::int16_t id, std::int16_t version, std::int32_t index)
{
    if (d.EntN == INT32_MAX) return false;
    try {
        d.Ent.AppendAt(d.EntN) = TQ6EntNo{id * 100 + version, index};
        return true;
    } catch (...) {
        --d.EntN;
        return false;
    }
}

// A group's text style that names no text style of the drawing is cleared.
void NameTest(const TQ6Data& d, TQ6TextStyle& e)
{
    if (!e.style.empty())
        for (const auto& t : d.txtstl)
            if (t.style == e.style) return;
    e = TQ6TextStyle{};
}

template <ReadPolicy P, class T>
bool ReadRecord(TQ6Data& d, LoadInput& in, T& e, std::int32_t length);

template <ReadPolicy P, class T>
bool ReadEntity(TQ6Data& d, LoadInput& in, TDynArray<T>& arr, std::int32_t& count, std::int16_t id,
                std::int16_t version, std::int32_t length)
{
    constexpr auto kCost = static_cast<std::int64_t>(sizeof(T) + sizeof(TQ6EntNo));
    if (count == INT32_MAX || in.records < kCost) return false;
    in.records -= kCost;
    if (in.sink) {
        // A fresh record each time (a short chunk leaves fields at their
        // defaults), counted as a kept one would be, and then dropped.
        try {
            T e{};
            if (!ReadRecord<P>(d, in, e, length) || d.EntN == INT32_MAX) return false;
            ++count;
            ++d.EntN;
            return (*in.sink)(TQ6EntNo{id * 100 + version, count - 1}, &e);
        } catch (...) {
            return false;
        }
    }
    try {
        T& e = arr.AppendAt(count);
        return ReadRecord<P>(d, in, e, length) && AddEntNo(d, id, version, count - 1);
    } catch (...) {
        return false;
    }
}

// Reads the fields of one entity record.
template <ReadPolicy P, class T>
bool ReadRecord(TQ6Data& d, LoadInput& in, T& e, std::int32_t length)
{
    if constexpr (P == ReadPolicy::PayloadCopied) {
        // The whole payload of a fixed record in memory, as nearly always:
        // its fields are copied one after the other without further checks.
        constexpr std::size_t kSize = q6layout::FixedSize<T>();
        const auto w = in.s.Window();
        if (length >= static_cast<std::int32_t>(kSize) && w.size() >= kSize) {
            WindowReader wr{{}, w.data()};
            q6layout::Fields(wr, e);
            return true;
        }
    }
    ChunkReader r(in, length, Bounded(P));
    q6layout::Fields(r, e);
    if (!r.ok()) return false;
    if constexpr (std::is_same_v<T, TQ6ObjectGroupDim>) NameTest(d, e.dim.epsstl);
    if constexpr (std::is_same_v<T, TQ6ObjectGroupQle>) NameTest(d, e.qle.epsstl);
    return true;
}

#define Q6_DEFINE_ENTITY_READER(a, T, cid, cver, reader)                                       \
    bool reader(TQ6Data& d, LoadInput& in, std::int32_t length)                                 \
    {                                                                                           \
        return ReadEntity<PolicyOf<T, cid, cver>()>(d, in, d.a, d.a##N, cid, cver, length);     \
    }
Q6_ENTITY_KINDS(Q6_DEFINE_ENTITY_READER)
#undef Q6_DEFINE_ENTITY_READER

// ---- the passes -----------------------------------------------------------------

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
bool WalkChunks(LoadInput& in, LoadPass pass, std::uint64_t next, bool& result, Visit&& visit)
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
        if (in.obs) Tell(in.obs, pass, at, id, ver, len, step.what, size, step.stop || next >= size, result);
        if (step.stop) break;
    }
    return result;
}

// The settings pass: reads settings chunks up to the first entity chunk
// (identifier 2000 or more), whose offset it leaves in `handover`
// (UINT64_MAX when it ran to the end of the file).
bool ReadSettingsChunks(TQ6Data& d, LoadInput& in, std::uint64_t& handover)
{
    bool result = false;
    handover = UINT64_MAX;
    return WalkChunks(in, LoadPass::Settings, in.s.Pos(), result,
                      [&](std::uint64_t at, std::int16_t id, std::uint16_t ver, std::int32_t len) {
        ChunkEvent::What what = ChunkEvent::Read;
        switch (ChunkKey(id, ver)) {
#define Q6_SETTINGS_CASE(m, cid, cver, reader) \
    case ChunkKey(cid, cver): result = reader(d, in, len); break;
            Q6_SETTINGS_KINDS(Q6_SETTINGS_CASE)
#undef Q6_SETTINGS_CASE
        default: what = id >= 2000 ? ChunkEvent::HandOver : ChunkDefaultWhat(id, ver);
        }
        if (what == ChunkEvent::Read && !result) what = ChunkEvent::ReaderFailed;
        if (id >= 2000) handover = at;
        return Step{what, id >= 2000 || !result};
    });
}

// The entity pass, from the chunk at which the settings pass stopped.
bool ReadEntityChunks(TQ6Data& d, LoadInput& in, std::uint64_t start)
{
    bool result = false;
    return WalkChunks(in, LoadPass::Entities, start, result,
                      [&](std::uint64_t, std::int16_t id, std::uint16_t ver, std::int32_t len) {
        ChunkEvent::What what = ChunkEvent::Read;
        switch (ChunkKey(id, ver)) {
#define Q6_ENTITY_CASE(a, T, cid, cver, reader) \
    case ChunkKey(cid, cver): result = reader(d, in, len); break;
            Q6_ENTITY_KINDS(Q6_ENTITY_CASE)
#undef Q6_ENTITY_CASE
        default: what = ChunkDefaultWhat(id, ver);
        }
        if (what == ChunkEvent::Read && !result) what = ChunkEvent::ReaderFailed;
        return Step{what, !result};
    });
}

// The check: the file begins with a title chunk of at most 256 bytes, which
// it reads.
bool CheckTitle(TQ6Data& d, LoadInput& in)
{
    std::int16_t id;
    std::uint16_t ver;
    std::int32_t len;
    if (!ReadHeader(in, id, ver, len)) {
        if (in.obs) {
            ChunkEvent e;
            e.what = ChunkEvent::BadHeader;
            (*in.obs)(e);
        }
        return false;
    }
    const bool ok = id == 1000 && ver == 10 && len >= 0 && len <= 256 && ReadTitle(d, in, len);
    if (in.obs)
        (*in.obs)(Event(LoadPass::Check, 0, id, ver, len, ok ? ChunkEvent::Read : ChunkEvent::ReaderFailed,
                        in.s.Size()));
    return ok;
}

}  // namespace

bool TQ6Data::Load(ByteSource& src, LoadMode mode, const ChunkObserver* observer, const EntitySink* entities)
{
    LoadInput in(src);
    in.obs = observer;
    in.sink = entities;
    const auto size = static_cast<std::int64_t>(std::min<std::uint64_t>(src.Size(), INT64_MAX / 4));
    in.overread = size + (16 << 20);
    in.records = 2 * size + (16 << 20);
    if (mode == LoadMode::Check) return CheckTitle(*this, in);
    std::uint64_t handover = UINT64_MAX;
    bool result = ReadSettingsChunks(*this, in, handover);
    // The entity pass starts at the chunk at which the settings pass stopped;
    // a settings pass that ran to the end of the file leaves no entity pass.
    if (mode == LoadMode::Whole && result && handover != UINT64_MAX) result = ReadEntityChunks(*this, in, handover);
    return result;
}

namespace {

bool LoadFile(TQ6Data& d, const std::string& FName, LoadMode mode)
{
    FileSource f;
    return f.Open(FName) && d.Load(f, mode);
}

bool LoadMemory(TQ6Data& d, std::span<const std::uint8_t> bytes, LoadMode mode)
{
    MemorySource m(bytes);
    return d.Load(m, mode);
}

}  // namespace

bool TQ6Data::FileCheck(const std::string& FName) { return LoadFile(*this, FName, LoadMode::Check); }
bool TQ6Data::FileHeaderIn(const std::string& FName) { return LoadFile(*this, FName, LoadMode::Settings); }
bool TQ6Data::FileIn(const std::string& FName) { return LoadFile(*this, FName, LoadMode::Whole); }
bool TQ6Data::FileIn(const std::string& FName, const EntitySink& entities)
{
    FileSource f;
    return f.Open(FName) && Load(f, LoadMode::Whole, nullptr, &entities);
}
bool TQ6Data::MemCheck(std::span<const std::uint8_t> bytes) { return LoadMemory(*this, bytes, LoadMode::Check); }
bool TQ6Data::MemHeaderIn(std::span<const std::uint8_t> bytes) { return LoadMemory(*this, bytes, LoadMode::Settings); }
bool TQ6Data::MemIn(std::span<const std::uint8_t> bytes) { return LoadMemory(*this, bytes, LoadMode::Whole); }
