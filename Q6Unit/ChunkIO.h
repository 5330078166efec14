// The visitor that writes chunk payloads through the field lists.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Model.h"

static_assert(std::endian::native == std::endian::little, "the file format is little-endian");
static_assert(sizeof(TDPoint) == 16 && std::is_trivially_copyable_v<TDPoint>);

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
