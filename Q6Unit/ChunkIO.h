// The visitors that read and write chunk payloads through the field lists.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Model.h"
#include "Q6Unit/Q6Data.h"

static_assert(std::endian::native == std::endian::little, "the file format is little-endian");
static_assert(sizeof(TDPoint) == 16 && std::is_trivially_copyable_v<TDPoint>);

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
};

// Reads one payload. `limit` is how many payload bytes the reader may take:
// the declared length for readers that copy the payload into a record, and no
// limit for readers that read their fields whatever the length says. Fields
// past the limit or past the end of the file keep their values; a field cut in
// the middle takes the bytes that were there.
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
        if (pos_ + static_cast<std::int64_t>(n) <= fastEnd_) {
            if (n) std::memcpy(dst, fast_ + (pos_ - fastPos_), n);
            pos_ += static_cast<std::int64_t>(n);
            actual_ = pos_;
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
    // The payload advances by n bytes, of which `got` came from the stream.
    void Advance(std::size_t n, std::size_t got)
    {
        pos_ += static_cast<std::int64_t>(n);
        actual_ += static_cast<std::int64_t>(got);
        synced_ = actual_;
        Refresh();
    }
    // Moves the stream to the bytes consumed so far.
    void Sync()
    {
        if (synced_ != actual_) {
            in_.s.Seek(start_ + static_cast<std::uint64_t>(actual_));
            synced_ = actual_;
        }
    }
    // The region that Take may copy from directly: inside the payload, inside
    // the limit, already in memory. None once a read was cut short.
    void Refresh()
    {
        if (actual_ != pos_) {
            fastEnd_ = -1;
            return;
        }
        const auto w = in_.s.Window();
        fast_ = w.data();
        fastPos_ = pos_;
        fastEnd_ = std::min({pos_ + static_cast<std::int64_t>(w.size()), limit_, len_});
    }

    LoadInput& in_;
    std::int64_t len_;
    std::int64_t limit_;
    std::uint64_t start_;
    std::int64_t pos_ = 0;     // logical position in the payload
    std::int64_t actual_ = 0;  // bytes taken from the stream
    std::int64_t synced_ = 0;  // bytes the stream has moved past
    const std::uint8_t* fast_ = nullptr;  // the byte at payload position fastPos_
    std::int64_t fastPos_ = 0;
    std::int64_t fastEnd_ = -1;
    bool ok_ = true;
};

// Appends one payload to a byte string.
class ChunkWriter : public q6layout::PlainWalk {
public:
    explicit ChunkWriter(std::string& out) : out_(out) {}

    template <class T>
    void Num(const char*, const T& x)
    {
        static_assert(std::is_arithmetic_v<T>);
        out_.append(reinterpret_cast<const char*>(&x), sizeof(T));
    }
    void Scale(const char* name, const double& x) { Num(name, RoundOff(x, 6, 2)); }
    void Bytes(const char*, const std::uint8_t* p, std::size_t n) { out_.append(reinterpret_cast<const char*>(p), n); }
    void Text(const char*, const std::string& s, std::int32_t width)
    {
        const std::size_t at = out_.size();
        out_.resize(at + static_cast<std::size_t>(width));
        StrToFixedAnsi(reinterpret_cast<std::uint8_t*>(out_.data() + at), s, width);
    }
    void VarText(const char*, const std::string& s, std::int32_t, bool)
    {
        const std::size_t z = s.find('\0');
        AppendAnsi(out_, std::string_view(s).substr(0, z));
        out_ += '\0';
    }
    void Points(const char* cntName, const std::int16_t& cnt, const char*, const std::vector<TDPoint>& pos)
    {
        Num(cntName, cnt);
        const std::size_t n = cnt > 0 ? static_cast<std::size_t>(cnt) : 0;
        const std::size_t have = std::min(n, pos.size());
        out_.append(reinterpret_cast<const char*>(pos.data()), have * 16);
        out_.append((n - have) * 16, '\0');
    }
    void CountedBytes(const char*, const std::vector<std::uint8_t>& bytes, std::int32_t count)
    {
        const std::size_t b = count > 0 ? static_cast<std::size_t>(count) : 0;
        const std::size_t have = std::min(b, bytes.size());
        out_.append(reinterpret_cast<const char*>(bytes.data()), have);
        out_.append(b - have, '\0');
    }
    void TailBytes(const char*, const std::vector<std::uint8_t>& bytes)
    {
        out_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

private:
    std::string& out_;
};
