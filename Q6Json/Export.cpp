// A drawing as JSON: the writer that visits the record field lists.
#include "Q6Json/Json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Json/Shared.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace {

using q6json::json;
using q6json::IntName;
using q6json::kMaxPoints;
using q6json::VisitSettings;
using q6layout::Arr;
using q6layout::Nested;

// Appends JSON text. Objects and arrays stay on one line, except the
// document itself, the entity list and the tables of settings records, which
// put one member or item on each line so that two exports diff line by line.
class JsonWriter {
public:
    // Appends to `out` (whose size grows ahead of the text; Finish() cuts it
    // to the text).
    explicit JsonWriter(std::string& out) : out_(out) { Rebase(out_.size()); }

    // The text so far stands in `out`, at its size.
    void Finish() { out_.resize(Used()); }
    // Writes again from the start of `out`, keeping its size.
    void Restart() { Rebase(0); }

    template <class T>
    void Num(const char* name, const T& x)
    {
        Key(name);
        Room(40);
        if constexpr (std::is_floating_point_v<T>) {
            static_assert(sizeof(T) == 8);
            if (std::isnan(x)) {
                const auto bits = std::bit_cast<std::uint64_t>(x);
                Put("\"nan:0x", 7);
                for (int s = 56; s >= 0; s -= 8) PutHexByte(static_cast<std::uint8_t>(bits >> s));
                *p_++ = '"';
                return;
            }
            if (std::isinf(x)) {
                if (x < 0)
                    Put("\"-inf\"", 6);
                else
                    Put("\"inf\"", 5);
                return;
            }
            if (x == 0 && std::signbit(x)) {  // "-0" would read back as the integer 0
                Put("-0.0", 4);
                return;
            }
        }
        if constexpr (std::is_floating_point_v<T>) {
            static_assert(kShortestRoom <= 40);
            p_ = ShortestChars(p_, x);
        } else {
            p_ = std::to_chars(p_, p_ + 40, x).ptr;
        }
    }
    void Scale(const char* name, const double& x) { Num(name, x); }
    void Text(const char* name, const std::string& s, std::int32_t) { Str(name, s); }
    void VarText(const char* name, const std::string& s, std::int32_t, bool) { Str(name, s); }
    void Bytes(const char* name, const std::uint8_t* p, std::size_t n)
    {
        Key(name);
        Hex(p, n, n);
    }
    template <class F>
    void Nest(const char* name, F&& f)
    {
        Key(name);
        Open('{', false);
        f();
        Close('}');
    }
    template <class F>
    void Array(const char* name, std::size_t n, F&& f)
    {
        Key(name);
        Open('[', Breaks(name));
        for (std::size_t i = 0; i < n; ++i) f(i);
        Close(']');
    }
    // As the chunk writer writes them: max(cnt, 0) points, zero points where
    // the list is shorter.
    void Points(const char* cntName, const std::int16_t& cnt, const char* posName, const std::vector<TDPoint>& pos)
    {
        Num(cntName, cnt);
        const std::size_t n = cnt > 0 ? static_cast<std::size_t>(cnt) : 0;
        Array(posName, n, [&](std::size_t i) {
            const TDPoint p = i < pos.size() ? pos[i] : TDPoint{};
            Nest(nullptr, [&] { q6layout::Fields(*this, p); });
        });
    }
    void CountedBytes(const char* name, const std::vector<std::uint8_t>& bytes, std::int32_t count)
    {
        Key(name);
        Hex(bytes.data(), std::min<std::size_t>(bytes.size(), count > 0 ? static_cast<std::size_t>(count) : 0),
            count > 0 ? static_cast<std::size_t>(count) : 0);
    }
    void TailBytes(const char* name, const std::vector<std::uint8_t>& bytes)
    {
        Key(name);
        Hex(bytes.data(), bytes.size(), bytes.size());
    }

    void Str(const char* name, const std::string& s)
    {
        Key(name);
        // Printable ASCII without quotes or backslashes stands as it is; any
        // other text goes through the JSON library's escaping.
        const bool plain = std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
        if (plain) {
            Room(s.size() + 2);
            *p_++ = '"';
            Put(s.data(), s.size());
            *p_++ = '"';
            return;
        }
        const std::string e = json(s).dump(-1, ' ', false, json::error_handler_t::replace);
        Room(e.size());
        Put(e.data(), e.size());
    }
    // The document's own braces.
    void BeginDocument() { Open('{', true); }
    void EndDocument()
    {
        Close('}');
        Room(1);
        *p_++ = '\n';
    }
    template <class F>
    void EntityList(F&& f)
    {
        Key("entities");
        Open('[', true);
        inEntities_ = true;
        f();
        inEntities_ = false;
        Close(']');
    }
    // The bytes written since the last Restart (or since the start).
    std::size_t Used() const { return static_cast<std::size_t>(p_ - out_.data()); }

private:
    struct Frame {
        bool first;
        bool breaks;
    };

    // Room for n more bytes.
    void Room(std::size_t n)
    {
        if (static_cast<std::size_t>(end_ - p_) < n) [[unlikely]]
            Grow(n);
    }
    [[gnu::noinline]] void Grow(std::size_t n)
    {
        const std::size_t used = Used();
        out_.resize(std::max(2 * out_.size(), used + n + (1u << 16)));
        Rebase(used);
    }
    void Rebase(std::size_t used)
    {
        if (out_.size() < used + (1u << 16)) out_.resize(used + (1u << 16));
        p_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    void Put(const char* s, std::size_t n)
    {
        std::memcpy(p_, s, n);
        p_ += n;
    }
    void PutHexByte(std::uint8_t b)
    {
        std::memcpy(p_, kHexPairs[b].data(), 2);
        p_ += 2;
    }
    bool Breaks(const char* name) const
    {
        if (inEntities_ || !name) return false;
        static constexpr const char* kTables[] = {"grp", "tab", "txtstl", "dimstl", "dimstlex", "form", "ltype", "viewinfo"};
        for (const char* t : kTables)
            if (std::strcmp(t, name) == 0) return true;
        return false;
    }
    void Key(const char* name)
    {
        const std::size_t n = name ? std::strlen(name) : 0;
        Room(n + 8 + 2 * static_cast<std::size_t>(level_));
        if (!frames_.empty()) {
            Frame& f = frames_.back();
            if (!f.first) *p_++ = ',';
            if (f.breaks) {
                *p_++ = '\n';
                std::memset(p_, ' ', 2 * static_cast<std::size_t>(level_));
                p_ += 2 * static_cast<std::size_t>(level_);
            } else if (!f.first) {
                *p_++ = ' ';
            }
            f.first = false;
        }
        if (name) {
            *p_++ = '"';
            Put(name, n);
            Put("\": ", 3);
        }
    }
    void Open(char c, bool breaks)
    {
        Room(1);
        *p_++ = c;
        frames_.push_back({true, breaks});
        if (breaks) ++level_;
    }
    void Close(char c)
    {
        const Frame f = frames_.back();
        frames_.pop_back();
        Room(2 + 2 * static_cast<std::size_t>(level_));
        if (f.breaks) {
            --level_;
            if (!f.first) {
                *p_++ = '\n';
                std::memset(p_, ' ', 2 * static_cast<std::size_t>(level_));
                p_ += 2 * static_cast<std::size_t>(level_);
            }
        }
        *p_++ = c;
    }
    // n bytes from p, then zero bytes up to `total`.
    void Hex(const std::uint8_t* p, std::size_t n, std::size_t total)
    {
        Room(2 * total + 2);
        *p_++ = '"';
        for (std::size_t i = 0; i < n; ++i) PutHexByte(p[i]);
        std::memset(p_, '0', 2 * (total - n));
        p_ += 2 * (total - n);
        *p_++ = '"';
    }

    // The two hexadecimal digits of each byte.
    static constexpr auto kHexPairs = [] {
        std::array<std::array<char, 2>, 256> t{};
        constexpr char kHex[] = "0123456789abcdef";
        for (std::size_t b = 0; b < 256; ++b) t[b] = {kHex[b >> 4], kHex[b & 15]};
        return t;
    }();

    std::string& out_;
    char* p_ = nullptr;
    char* end_ = nullptr;
    std::vector<Frame> frames_;
    int level_ = 0;
    bool inEntities_ = false;
};

template <class T>
bool WriteEntity(JsonWriter& w, const char* kind, std::int32_t INo, const TDynArray<T>& arr, std::int32_t count,
                 std::int32_t ENo)
{
    if (ENo < 0 || ENo >= count || static_cast<std::size_t>(ENo) >= arr.Length()) return false;
    const T& e = arr[static_cast<std::size_t>(ENo)];
    w.Nest(nullptr, [&] {
        w.Str("kind", kind);
        w.Num("id", INo / 100);
        w.Num("version", INo % 100);
        q6layout::Fields(w, e);
    });
    return true;
}

}  // namespace

namespace {

// Writes the document into `out`; `flush`, when given, takes the text each
// time it passes 4 MiB, and writing starts again at the start of `out`.
bool Export(const TQ6Data& d, std::string& out, const JsonSink* flush)
{
    try {
        JsonWriter w(out);
        w.BeginDocument();
        w.Num("format", kJsonFormat);
        VisitSettings(w, d);
        const std::int32_t n = d.EntN;
        if (n < 0 || static_cast<std::size_t>(n) > d.Ent.Length()) return false;
        bool ok = true;
        w.EntityList([&] {
            for (std::int32_t k = 0; k < n && ok; ++k) {
                const TQ6EntNo& en = d.Ent[static_cast<std::size_t>(k)];
                switch (en.INo) {
#define Q6_EXPORT_CASE(a, T, cid, cver, reader) \
    case cid * 100 + cver: ok = WriteEntity(w, #a, en.INo, d.a, d.a##N, en.ENo); break;
                    Q6_ENTITY_KINDS(Q6_EXPORT_CASE)
#undef Q6_EXPORT_CASE
                default: break;  // no kind has this number: the writer saves nothing for it either
                }
                if (ok && flush && w.Used() >= (4u << 20)) {
                    ok = (*flush)(std::string_view(out.data(), w.Used()));
                    w.Restart();
                }
            }
        });
        if (!ok) return false;
        w.EndDocument();
        w.Finish();
        return !flush || (*flush)(out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

bool ExportJson(const TQ6Data& d, const JsonSink& sink)
{
    std::string out;
    return Export(d, out, &sink);
}

bool ExportJson(const TQ6Data& d, std::string& out)
{
    out.clear();
    const bool ok = Export(d, out, nullptr);
    if (!ok) out.clear();
    return ok;
}
