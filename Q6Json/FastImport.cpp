// The quick reader of the import: the export's own form through simdjson's
// on-demand parser, field by field through the record field lists.
//
// The text is cut where the export puts line breaks that no JSON string can
// hold: the document's members before "entities", then runs of whole entity
// lines. Each piece is copied, closed with a bracket or a brace, into one
// small padded buffer and parsed alone, so that memory beyond the text and
// the document stays that of one piece. A piece that is no JSON, or holds
// anything the export would not write, declines the whole text; when every
// piece is good the whole text is JSON with these very values, since the
// pieces join to it at commas that stand between values.
#include "Q6Json/FastImport.h"

#include <simdjson.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Json/Json.h"
#include "Q6Json/Shared.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace {

namespace od = simdjson::ondemand;

using q6json::kMaxPoints;

// Thrown on anything the quick reader does not take; the checking reader
// then reads the text.
struct Declined {};

[[noreturn]] void Decline() { throw Declined{}; }

// The value of a result; any error declines.
template <class T>
T Take(simdjson::simdjson_result<T>&& r)
{
    T v{};
    if (std::move(r).get(v) != simdjson::SUCCESS) Decline();
    return v;
}

// The document has no more tokens.
void ExpectEnd(od::document& doc)
{
    const char* at = nullptr;
    if (doc.current_location().get(at) != simdjson::OUT_OF_BOUNDS) Decline();
}

// The value of each byte as a hexadecimal digit; 0x80 for any other byte.
constexpr std::array<std::uint8_t, 256> kHexValue = [] {
    std::array<std::uint8_t, 256> t{};
    for (auto& x : t) x = 0x80;
    for (int c = 0; c < 10; ++c) t[static_cast<std::size_t>('0' + c)] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 6; ++c) {
        t[static_cast<std::size_t>('a' + c)] = static_cast<std::uint8_t>(10 + c);
        t[static_cast<std::size_t>('A' + c)] = static_cast<std::uint8_t>(10 + c);
    }
    return t;
}();

// n bytes from 2n hexadecimal digits at `s`; false when any is not one.
bool DecodeHex(const char* s, std::size_t n, std::uint8_t* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    unsigned bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned hi = kHexValue[p[2 * i]];
        const unsigned lo = kHexValue[p[2 * i + 1]];
        bad |= hi | lo;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return (bad & 0x80) == 0;
}

// A piece of the text, parsed alone.
class Piece {
public:
    // Copies `open`, `body` and `close` into the buffer and parses them.
    od::document Parse(od::parser& parser, char open, std::string_view body, char close)
    {
        const std::size_t n = body.size() + 2;
        if (buf_.size() < n + simdjson::SIMDJSON_PADDING) buf_.resize(n + n / 4 + simdjson::SIMDJSON_PADDING);
        buf_[0] = open;
        std::memcpy(buf_.data() + 1, body.data(), body.size());
        buf_[n - 1] = close;
        std::memset(buf_.data() + n, ' ', simdjson::SIMDJSON_PADDING);
        end_ = buf_.data() + n;
        return Take(parser.iterate(buf_.data(), n, buf_.size()));
    }
    const char* end() const { return end_; }

private:
    std::vector<char> buf_;
    const char* end_ = nullptr;
};

// Reads records from the parsed piece through their field lists: every
// field, in order, under its own name, and nothing else.
class FastReader {
public:
    explicit FastReader(const Piece& piece) : piece_(piece) {}

    // Reads the fields that `f` visits from the object `v`.
    template <class F>
    void Object(od::object obj, F&& f)
    {
        EnterObject(obj);
        f();
        Leave();
    }
    // Reads the next field of the current object, which must be `name`.
    od::value Field(const char* name) { return Next(name); }

    template <class T>
    void Num(const char* name, T& x)
    {
        od::value v = Next(name);
        if constexpr (std::is_floating_point_v<T>)
            x = Double(v);
        else
            x = Int<T>(v);
    }
    void Scale(const char* name, double& x) { Num(name, x); }
    void Text(const char* name, std::string& s, std::int32_t width)
    {
        s = TextOf(Next(name));
        // Longer than its field: the checking reader keeps it and warns.
        if (AnsiLen(s) > width) Decline();
    }
    void VarText(const char* name, std::string& s, std::int32_t, bool) { s = TextOf(Next(name)); }
    void Bytes(const char* name, std::uint8_t* p, std::size_t n)
    {
        const std::string_view h = HexOf(Next(name));
        if (h.size() != 2 * n || !DecodeHex(h.data(), n, p)) Decline();
    }
    template <class F>
    void Nest(const char* name, F&& f)
    {
        EnterObject(Take(Next(name).get_object()));
        f();
        Leave();
    }
    template <class F>
    void Array(const char* name, std::size_t n, F&& f)
    {
        EnterArray(Take(Next(name).get_array()));
        for (std::size_t i = 0; i < n; ++i) f(i);
        Leave();
    }
    void Points(const char* cntName, std::int16_t& cnt, const char* posName, std::vector<TDPoint>& pos)
    {
        const auto k = Int<std::int16_t>(Next(cntName));
        if (k < 1) Decline();
        pos.assign(static_cast<std::size_t>(k), TDPoint{});
        EnterArray(Take(Next(posName).get_array()));
        for (TDPoint& p : pos) Nest(nullptr, [&] { q6layout::Fields(*this, p); });
        Leave();
        cnt = k;
    }
    // The count is the field read just before.
    void CountedBytes(const char* name, std::vector<std::uint8_t>& bytes, std::int32_t& count)
    {
        HexList(Next(name), bytes);
        if (bytes.size() != (count > 0 ? static_cast<std::size_t>(count) : 0)) Decline();
    }
    void TailBytes(const char* name, std::vector<std::uint8_t>& bytes) { HexList(Next(name), bytes); }

    // The current object's or array's end.
    void Leave()
    {
        Level& l = levels_.back();
        if (l.object) {
            if (l.started) ++l.oit;
            if (l.oit != l.oend) Decline();
        } else {
            if (l.started) ++l.ait;
            if (l.ait != l.aend) Decline();
        }
        levels_.pop_back();
    }
    void EnterObject(od::object obj)
    {
        Level& l = levels_.emplace_back();
        l.object = true;
        l.oit = Take(obj.begin());
        l.oend = Take(obj.end());
    }
    void EnterArray(od::array arr)
    {
        Level& l = levels_.emplace_back();
        l.object = false;
        l.ait = Take(arr.begin());
        l.aend = Take(arr.end());
    }
    // The next item of the current array.
    od::value Next() { return Next(nullptr); }
    bool AtEnd()
    {
        Level& l = levels_.back();
        if (l.started) {
            ++l.ait;
            l.started = false;
        }
        return !(l.ait != l.aend);
    }
    // The raw text of a string, without its quotes, when it holds no escape.
    std::string_view RawString(od::value v) const
    {
        const char* s = Take(v.get_raw_json_string()).raw();
        const void* q = std::memchr(s, '"', static_cast<std::size_t>(piece_.end() - s));
        if (!q) Decline();
        const std::string_view r(s, static_cast<std::size_t>(static_cast<const char*>(q) - s));
        if (r.find('\\') != std::string_view::npos) Decline();
        return r;
    }

private:
    struct Level {
        bool object = true;
        bool started = false;  // an item was handed out and is to be stepped over
        od::object_iterator oit, oend;
        od::array_iterator ait, aend;
    };

    od::value Next(const char* name)
    {
        Level& l = levels_.back();
        if (l.object != (name != nullptr)) Decline();
        if (l.object) {
            if (l.started) ++l.oit;
            l.started = true;
            if (!(l.oit != l.oend)) Decline();
            od::field f = Take(*l.oit);
            if (!f.key().unsafe_is_equal(name)) Decline();
            return f.value();
        }
        if (l.started) ++l.ait;
        l.started = true;
        if (!(l.ait != l.aend)) Decline();
        return Take(*l.ait);
    }

    template <class T>
    static T Int(od::value v)
    {
        const std::int64_t i = Take(v.get_int64());
        if (i < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
            i > static_cast<std::int64_t>(std::numeric_limits<T>::max()))
            Decline();
        return static_cast<T>(i);
    }
    // As the checking reader reads a double: a number written as an integer
    // is that integer ("-0" is zero, not negative zero), and three texts.
    double Double(od::value v) const
    {
        const od::json_type t = Take(v.type());
        if (t == od::json_type::string) {
            const std::string_view s = RawString(v);
            if (s == "inf") return std::numeric_limits<double>::infinity();
            if (s == "-inf") return -std::numeric_limits<double>::infinity();
            if (s.size() != 22 || s.compare(0, 6, "nan:0x") != 0) Decline();
            std::uint8_t b[8];
            if (!DecodeHex(s.data() + 6, 8, b)) Decline();
            std::uint64_t bits = 0;
            for (std::uint8_t x : b) bits = bits << 8 | x;
            const double x = std::bit_cast<double>(bits);
            if (!std::isnan(x)) Decline();
            return x;
        }
        if (t != od::json_type::number) Decline();
        const std::string_view tok = v.raw_json_token();
        if (tok.find_first_of(".eE") == std::string_view::npos) {
            const bool minus = tok[0] == '-';
            std::int64_t i = 0;
            std::uint64_t u = 0;
            if (minus && v.get_int64().get(i) == simdjson::SUCCESS) return static_cast<double>(i);
            if (!minus && v.get_uint64().get(u) == simdjson::SUCCESS) return static_cast<double>(u);
            return BigInteger(tok);
        }
        return Take(v.get_double());
    }
    // An integer past 64 bits, which the export writes for a double of 20
    // digits or more before the point: its nearest double.
    static double BigInteger(std::string_view tok)
    {
        std::size_t n = tok.find_first_of(" \t\r\n");
        if (n == std::string_view::npos) n = tok.size();
        const std::size_t first = tok[0] == '-' ? 1 : 0;
        if (n <= first || tok[first] < '1' || tok[first] > '9') Decline();
        for (std::size_t k = first; k < n; ++k)
            if (tok[k] < '0' || tok[k] > '9') Decline();
        double x = 0;
        const auto r = std::from_chars(tok.data(), tok.data() + n, x);
        if (r.ec != std::errc() || r.ptr != tok.data() + n || !std::isfinite(x)) Decline();
        return x;
    }
    std::string_view TextOf(od::value v)
    {
        const std::string_view s = Take(v.get_string());
        if (s.find('\0') != std::string_view::npos) Decline();
        return s;
    }
    std::string_view HexOf(od::value v) const
    {
        if (Take(v.type()) != od::json_type::string) Decline();
        return RawString(v);
    }
    void HexList(od::value v, std::vector<std::uint8_t>& bytes) const
    {
        const std::string_view h = HexOf(v);
        if (h.size() % 2) Decline();
        bytes.resize(h.size() / 2);
        if (!DecodeHex(h.data(), bytes.size(), bytes.data())) Decline();
    }

    const Piece& piece_;
    std::vector<Level> levels_;
};

// One entity line: its kind, identifier and version, then its fields.
void ReadEntity(FastReader& r, od::value v, TQ6Data& d)
{
    od::object obj = Take(v.get_object());
    r.EnterObject(obj);
    const std::string_view kind = r.RawString(r.Field("kind"));
    bool known = false;
#define Q6_FAST_KIND(a, T, cid, cver, reader)                                          \
    if (!known && kind == #a) {                                                        \
        known = true;                                                                  \
        if (Take(r.Field("id").get_int64()) != cid) Decline();                         \
        if (Take(r.Field("version").get_int64()) != cver) Decline();                   \
        T& el = d.AddEntity(d.a, d.a##N, cid * 100 + cver);                            \
        q6layout::Fields(r, el);                                                       \
    }
    Q6_ENTITY_KINDS(Q6_FAST_KIND)
#undef Q6_FAST_KIND
    if (!known) Decline();
    r.Leave();
}

// Entity lines per piece: about this many bytes of text.
constexpr std::size_t kPieceBytes = 1u << 20;

void ReadExportForm(std::string_view text, TQ6Data& d)
{
    static constexpr std::string_view kList = ",\n  \"entities\": [";
    static constexpr std::string_view kEnd = "\n  ]\n}\n";
    static constexpr std::string_view kEmptyEnd = "]\n}\n";
    if (text.empty() || text[0] != '{') Decline();
    const std::size_t at = text.find(kList);
    if (at == std::string_view::npos) Decline();

    od::parser parser;
    Piece piece;
    {
        // The members before the entity list, closed as an object.
        od::document doc = piece.Parse(parser, '{', text.substr(1, at - 1), '}');
        FastReader r(piece);
        r.Object(Take(doc.get_object()), [&] {
            if (Take(r.Field("format").get_int64()) != kJsonFormat) Decline();
            q6json::VisitSettings(r, d);
        });
        ExpectEnd(doc);
    }

    std::string_view rest = text.substr(at + kList.size());
    if (rest == kEmptyEnd) return;
    if (rest.size() < 1 + kEnd.size() || rest[0] != '\n' || rest.substr(rest.size() - kEnd.size()) != kEnd) Decline();
    rest = rest.substr(1, rest.size() - 1 - kEnd.size());
    while (!rest.empty()) {
        // Whole lines up to the first line break past kPieceBytes; each line
        // but the list's last ends with the comma before its break.
        std::size_t cut = rest.size();
        std::size_t next = rest.size();
        if (rest.size() > kPieceBytes) {
            const std::size_t nl = rest.find('\n', kPieceBytes);
            if (nl != std::string_view::npos) {
                if (rest[nl - 1] != ',') Decline();
                cut = nl - 1;
                next = nl + 1;
            }
        }
        od::document doc = piece.Parse(parser, '[', rest.substr(0, cut), ']');
        od::array arr = Take(doc.get_array());
        FastReader r(piece);
        r.EnterArray(arr);
        // A piece without an entity would join as two commas in a row.
        if (r.AtEnd()) Decline();
        while (!r.AtEnd()) ReadEntity(r, r.Next(), d);
        r.Leave();
        ExpectEnd(doc);
        rest = rest.substr(next);
        // Nor may a comma before a cut be the list's last.
        if (next != cut && rest.empty()) Decline();
    }
}

}  // namespace

namespace q6json {

bool ImportExportForm(std::string_view text, TQ6Data& doc)
{
    doc.DataFree();
    try {
        ReadExportForm(text, doc);
        return true;
    } catch (const Declined&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

}  // namespace q6json
