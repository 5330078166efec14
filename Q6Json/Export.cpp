// A drawing as JSON: the writer that visits the record field lists.
#include "Q6Json/Json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
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
    explicit JsonWriter(std::string& out) : out_(out) {}

    template <class T>
    void Num(const char* name, const T& x)
    {
        Key(name);
        char buf[40];
        if constexpr (std::is_floating_point_v<T>) {
            static_assert(sizeof(T) == 8);
            if (std::isnan(x)) {
                static constexpr char kHex[] = "0123456789abcdef";
                const auto bits = std::bit_cast<std::uint64_t>(x);
                out_ += "\"nan:0x";
                for (int s = 60; s >= 0; s -= 4) out_ += kHex[(bits >> s) & 15];
                out_ += '"';
                return;
            }
            if (std::isinf(x)) {
                out_ += x < 0 ? "\"-inf\"" : "\"inf\"";
                return;
            }
            if (x == 0 && std::signbit(x)) {  // "-0" would read back as the integer 0
                out_ += "-0.0";
                return;
            }
        }
        const auto r = std::to_chars(buf, buf + sizeof buf, x);
        out_.append(buf, r.ptr);
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
            out_ += '"';
            out_ += s;
            out_ += '"';
            return;
        }
        out_ += json(s).dump(-1, ' ', false, json::error_handler_t::replace);
    }
    // The document's own braces.
    void BeginDocument() { Open('{', true); }
    void EndDocument()
    {
        Close('}');
        out_ += '\n';
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

private:
    struct Frame {
        bool first;
        bool breaks;
    };

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
        if (!frames_.empty()) {
            Frame& f = frames_.back();
            if (!f.first) out_ += ',';
            if (f.breaks) {
                out_ += '\n';
                out_.append(2 * static_cast<std::size_t>(level_), ' ');
            } else if (!f.first) {
                out_ += ' ';
            }
            f.first = false;
        }
        if (name) {
            out_ += '"';
            out_ += name;
            out_ += "\": ";
        }
    }
    void Open(char c, bool breaks)
    {
        out_ += c;
        frames_.push_back({true, breaks});
        if (breaks) ++level_;
    }
    void Close(char c)
    {
        const Frame f = frames_.back();
        frames_.pop_back();
        if (f.breaks) {
            --level_;
            if (!f.first) {
                out_ += '\n';
                out_.append(2 * static_cast<std::size_t>(level_), ' ');
            }
        }
        out_ += c;
    }
    // n bytes from p, then zero bytes up to `total`.
    void Hex(const std::uint8_t* p, std::size_t n, std::size_t total)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        const std::size_t at = out_.size();
        out_.resize(at + 2 * total + 2, '0');
        char* o = out_.data() + at;
        *o++ = '"';
        for (std::size_t i = 0; i < n; ++i) {
            *o++ = kHex[p[i] >> 4];
            *o++ = kHex[p[i] & 15];
        }
        out_.back() = '"';
    }

    std::string& out_;
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

bool ExportJson(const TQ6Data& d, const JsonSink& sink)
{
    try {
        std::string out;
        out.reserve(1u << 20);
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
                if (ok && out.size() >= (4u << 20)) {
                    ok = sink(out);
                    out.clear();
                }
            }
        });
        if (!ok) return false;
        w.EndDocument();
        return sink(out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ExportJson(const TQ6Data& d, std::string& out)
{
    out.clear();
    return ExportJson(d, [&](std::string_view s) {
        out += s;
        return true;
    });
}
