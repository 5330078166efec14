// Composes drawing-file bytes for tests, independently of the code under test:
// little-endian fields appended one by one, and chunk headers with any
// identifier, version and length (also lengths that do not match the payload).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

using Buf = std::vector<std::uint8_t>;

class Bytes {
public:
    Bytes& u8(std::uint8_t v) { return put(&v, 1); }
    Bytes& u16(std::uint16_t v) { return put(&v, 2); }
    Bytes& i16(std::int16_t v) { return put(&v, 2); }
    Bytes& i32(std::int32_t v) { return put(&v, 4); }
    Bytes& u32(std::uint32_t v) { return put(&v, 4); }
    Bytes& f64(double v) { return put(&v, 8); }
    Bytes& pt(double x, double y) { return f64(x).f64(y); }
    Bytes& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
    Bytes& fill(std::size_t n, std::uint8_t v) { b.insert(b.end(), n, v); return *this; }
    // Raw bytes, e.g. Shift-JIS written as "\x90\x7D".
    Bytes& raw(std::string_view s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    Bytes& raw(std::span<const std::uint8_t> s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    // A fixed-width field: the bytes, then zeros up to width.
    Bytes& field(std::string_view s, std::size_t width)
    {
        raw(s.substr(0, width));
        return zeros(width - std::min(width, s.size()));
    }
    // The 11-byte object header.
    Bytes& obj(std::int32_t id, std::uint8_t cotype, std::uint16_t attr, std::uint32_t color)
    {
        return i32(id).u8(cotype).u16(attr).u32(color);
    }
    std::size_t size() const { return b.size(); }
    Buf b;

private:
    Bytes& put(const void* p, std::size_t n)
    {
        const auto* c = static_cast<const std::uint8_t*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
};

// A chunk: header (length = payload size unless given) and payload.
inline Buf Chunk(std::int16_t id, std::uint16_t version, const Bytes& payload,
                 std::optional<std::int32_t> length = std::nullopt)
{
    Bytes h;
    h.i16(id).u16(version).i32(length ? *length : static_cast<std::int32_t>(payload.size()));
    Buf out = h.b;
    out.insert(out.end(), payload.b.begin(), payload.b.end());
    return out;
}

inline Buf Cat(std::initializer_list<Buf> parts)
{
    Buf out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Buf Title(std::string_view sjis = "")
{
    return Chunk(1000, 10, Bytes().raw(sjis));
}

inline Buf Point(std::int32_t id, double x, double y)
{
    return Chunk(2001, 20, Bytes().obj(id, 1, 0, 0).pt(x, y));
}

inline std::span<const std::uint8_t> Span(const Buf& b) { return {b.data(), b.size()}; }

inline std::uint32_t ReadU32(const std::string& s, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}
inline std::int32_t ReadI32(const std::string& s, std::size_t at)
{
    std::int32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}
inline double ReadF64(const std::string& s, std::size_t at)
{
    double v;
    std::memcpy(&v, s.data() + at, 8);
    return v;
}

}  // namespace tb
