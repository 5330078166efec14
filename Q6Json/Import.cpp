// A drawing from JSON: the reader that visits the record field lists, with
// the place in the text of every bad value.
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
#include "Q6Json/FastImport.h"
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

struct JsonError {
    std::string message;
};

// Where the reader is in the JSON text, for messages.
class Path {
public:
    void Push(const char* name) { segs_.push_back({name, 0}); }
    void PushIndex(std::size_t i) { segs_.push_back({nullptr, i}); }
    void Pop() { segs_.pop_back(); }
    std::string Str(const char* last) const
    {
        std::string s;
        for (const Seg& g : segs_) Append(s, g);
        if (last) Append(s, {last, 0});
        return s;
    }
    [[noreturn]] void Fail(const char* name, const std::string& message) const
    {
        std::string s = Str(name);
        if (!s.empty()) s += ": ";
        throw JsonError{s + message};
    }

private:
    struct Seg {
        const char* name;
        std::size_t index;
    };
    static void Append(std::string& s, const Seg& g)
    {
        if (g.name) {
            if (!s.empty()) s += '.';
            s += g.name;
        } else {
            s += '[';
            s += std::to_string(g.index);
            s += ']';
        }
    }
    std::vector<Seg> segs_;
};

// "a Byte (0 to 255)"
template <class T>
std::string IntTypeName()
{
    const std::string name = IntName<T>();
    return (name[0] == 'I' ? "an " : "a ") + name + " (" + std::to_string(std::numeric_limits<T>::min()) + " to " +
           std::to_string(std::numeric_limits<T>::max()) + ")";
}

std::string Plural(std::size_t n, const char* noun)
{
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A key of the text as a message names it: as it is when it could be a
// field's name, otherwise as a JSON string ("", "a b"), so that the place
// stays visible.
std::string KeyName(const std::string& k)
{
    const bool plain = !k.empty() && std::all_of(k.begin(), k.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    return plain ? k : json(k).dump(-1, ' ', false, json::error_handler_t::replace);
}

// Reads records from a JSON value through their field lists. A field left
// out keeps the value it had (the default of a new document); a key that no
// field has is refused, as is every value of the wrong type or range.
class JsonReader {
public:
    JsonReader(Path& path, std::vector<std::string>* warnings) : path_(path), warnings_(warnings) {}

    // Reads the fields that `f` visits from the object `obj`; `extra` names
    // keys that the caller has read itself.
    template <class F>
    void Object(const json& obj, F&& f, std::initializer_list<const char*> extra = {})
    {
        Frame& fr = Enter(obj);
        for (const char* e : extra) {
            fr.names.push_back(e);
            if (obj.contains(e)) ++fr.used;
        }
        f();
        Leave();
    }

    template <class T>
    void Num(const char* name, T& x)
    {
        const json* v = Field(name);
        if (name && depth_) frames_[depth_ - 1].nums.push_back({&x, name, v != nullptr});
        if (!v) return;
        if constexpr (std::is_floating_point_v<T>)
            x = ToDouble(*v, name);
        else
            x = ToInt<T>(*v, name);
    }
    void Scale(const char* name, double& x) { Num(name, x); }
    void Text(const char* name, std::string& s, std::int32_t width)
    {
        const json* v = Field(name);
        if (!v) return;
        s = TextOf(*v, name);
        // Longer than its field (a loaded title may be): kept whole, as a load
        // keeps it; saving cuts it, as it cuts the loaded one.
        const std::int32_t n = AnsiLen(s);
        if (n > width && warnings_) {
            std::vector<std::uint8_t> field(static_cast<std::size_t>(width));
            StrToFixedAnsi(field.data(), s, width);
            const std::int32_t kept = ByteStrLen(field);
            warnings_->push_back(path_.Str(name) + ": takes " + std::to_string(n) +
                                 " bytes in code page 932; the field holds " + std::to_string(width) +
                                 ": saved as its first " + std::to_string(kept) + " bytes");
        }
    }
    void VarText(const char* name, std::string& s, std::int32_t, bool)
    {
        const json* v = Field(name);
        if (v) s = TextOf(*v, name);
    }
    void Bytes(const char* name, std::uint8_t* p, std::size_t n)
    {
        const json* v = Field(name);
        if (!v) return;
        const std::string& s = StringOf(*v, name);
        if (s.size() != 2 * n)
            path_.Fail(name, "expected " + std::to_string(n) + " bytes as " + std::to_string(2 * n) +
                                 " hexadecimal digits, got " + std::to_string(s.size()) + " digits");
        DecodeHex(s, p, name);
    }
    // A record left out is read as an empty object: its fields keep their
    // values, and a point list in it is still required.
    template <class F>
    void Nest(const char* name, F&& f)
    {
        static const json kEmpty = json::object();
        const json* v = Field(name);
        if (!v) v = &kEmpty;
        if (!v->is_object()) path_.Fail(name, "expected an object");
        if (name) path_.Push(name);
        const json* saved = item_;
        Enter(*v);
        f();
        Leave();
        item_ = saved;
        if (name) path_.Pop();
    }
    template <class F>
    void Array(const char* name, std::size_t n, F&& f)
    {
        const json* v = Field(name);
        if (!v) return;
        if (!v->is_array() || v->size() != n) path_.Fail(name, "expected an array of " + std::to_string(n) + " items");
        Items(name, *v, f);
    }
    // The count may be left out; given, it must be the number of points.
    void Points(const char* cntName, std::int16_t& cnt, const char* posName, std::vector<TDPoint>& pos)
    {
        const json* c = Field(cntName);
        const json* p = Field(posName);
        if (!p) path_.Fail(posName, "missing: a point list holds 1 to 32767 points");
        if (!p->is_array() || p->empty() || p->size() > kMaxPoints)
            path_.Fail(posName, "expected an array of 1 to 32767 points");
        pos.assign(p->size(), TDPoint{});
        Items(posName, *p, [&](std::size_t i) { Nest(nullptr, [&] { q6layout::Fields(*this, pos[i]); }); });
        const auto n = static_cast<std::int16_t>(p->size());
        if (c) {
            const auto k = ToInt<std::int16_t>(*c, cntName);
            if (k != n)
                path_.Fail(cntName, std::to_string(k) + " disagrees with the " + std::to_string(n) + " points of " +
                                        posName);
        }
        cnt = n;
    }
    // The count is a field read before; left out, it becomes the number of bytes.
    void CountedBytes(const char* name, std::vector<std::uint8_t>& bytes, std::int32_t& count)
    {
        const json* v = Field(name);
        bytes.clear();
        if (v) HexList(*v, name, bytes);
        const NumField* cf = nullptr;
        for (const NumField& f : frames_[depth_ - 1].nums)
            if (f.addr == &count) cf = &f;
        if (cf && !cf->present) {
            if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) path_.Fail(name, "too many bytes");
            count = static_cast<std::int32_t>(bytes.size());
            return;
        }
        const std::size_t want = count > 0 ? static_cast<std::size_t>(count) : 0;
        const std::string countName = cf ? cf->name : "its count";
        if (bytes.size() != want)
            path_.Fail(name, "holds " + Plural(bytes.size(), "byte") + ", but " + countName + " is " +
                                 std::to_string(count) + ": it must hold max(" + countName + ", 0) = " +
                                 Plural(want, "byte"));
    }
    void TailBytes(const char* name, std::vector<std::uint8_t>& bytes)
    {
        const json* v = Field(name);
        bytes.clear();
        if (v) HexList(*v, name, bytes);
    }

private:
    struct NumField {
        const void* addr;
        const char* name;
        bool present;
    };
    struct Frame {
        const json* obj = nullptr;
        std::size_t used = 0;
        std::vector<const char*> names;
        std::vector<NumField> nums;
    };

    Frame& Enter(const json& obj)
    {
        if (depth_ == frames_.size()) frames_.emplace_back();
        Frame& f = frames_[depth_++];
        f.obj = &obj;
        f.used = 0;
        f.names.clear();
        f.nums.clear();
        return f;
    }
    void Leave()
    {
        const Frame& f = frames_[depth_ - 1];
        if (f.used != f.obj->size()) {
            for (const auto& item : f.obj->items()) {
                const std::string& k = item.key();
                const bool known = std::any_of(f.names.begin(), f.names.end(),
                                               [&](const char* n) { return k == n; });
                if (!known) path_.Fail(KeyName(k).c_str(), "unknown field");
            }
        }
        --depth_;
    }
    // The value of a field: with a name, the member of the current object
    // (null when it is left out); without, the current item of an array.
    const json* Field(const char* name)
    {
        if (!name) return item_;
        Frame& f = frames_[depth_ - 1];
        f.names.push_back(name);
        const auto it = f.obj->find(name);
        if (it == f.obj->end()) return nullptr;
        ++f.used;
        return &*it;
    }
    template <class F>
    void Items(const char* name, const json& arr, F&& f)
    {
        if (name) path_.Push(name);
        const json* saved = item_;
        for (std::size_t i = 0; i < arr.size(); ++i) {
            path_.PushIndex(i);
            item_ = &arr[i];
            f(i);
            path_.Pop();
        }
        item_ = saved;
        if (name) path_.Pop();
    }

    template <class T>
    T ToInt(const json& v, const char* name)
    {
        constexpr auto lo = static_cast<std::int64_t>(std::numeric_limits<T>::min());
        constexpr auto hi = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            if (u > hi) path_.Fail(name, std::to_string(u) + " is out of range for " + IntTypeName<T>());
            return static_cast<T>(u);
        }
        if (v.is_number_integer()) {
            const auto i = v.get<std::int64_t>();
            if (i < lo || (i > 0 && static_cast<std::uint64_t>(i) > hi))
                path_.Fail(name, std::to_string(i) + " is out of range for " + IntTypeName<T>());
            return static_cast<T>(i);
        }
        path_.Fail(name, "expected an integer");
    }
    double ToDouble(const json& v, const char* name)
    {
        if (v.is_number_float()) return v.get<double>();
        if (v.is_number_unsigned()) return static_cast<double>(v.get<std::uint64_t>());
        if (v.is_number_integer()) return static_cast<double>(v.get<std::int64_t>());
        if (v.is_string()) {
            const std::string& s = v.get_ref<const std::string&>();
            if (s == "inf") return std::numeric_limits<double>::infinity();
            if (s == "-inf") return -std::numeric_limits<double>::infinity();
            if (s.size() == 22 && s.compare(0, 6, "nan:0x") == 0) {
                std::uint64_t bits = 0;
                bool ok = true;
                for (std::size_t i = 6; i < 22; ++i) {
                    const int d = HexDigit(s[i]);
                    ok = ok && d >= 0;
                    bits = (bits << 4) | static_cast<std::uint64_t>(d < 0 ? 0 : d);
                }
                const double x = std::bit_cast<double>(bits);
                if (ok && std::isnan(x)) return x;
                if (ok) path_.Fail(name, v.dump() + " holds the bits of a number, not of a NaN");
            }
            path_.Fail(name, v.dump() + " is not a number; the texts for doubles are \"inf\", \"-inf\" and \"nan:0x\" "
                                        "with the 16 hexadecimal digits of a NaN");
        }
        path_.Fail(name, "expected a number");
    }
    const std::string& StringOf(const json& v, const char* name)
    {
        if (!v.is_string()) path_.Fail(name, "expected a string");
        return v.get_ref<const std::string&>();
    }
    const std::string& TextOf(const json& v, const char* name)
    {
        const std::string& s = StringOf(v, name);
        if (s.find('\0') != std::string::npos) path_.Fail(name, "a text cannot hold U+0000");
        return s;
    }
    void DecodeHex(const std::string& s, std::uint8_t* p, const char* name)
    {
        for (std::size_t i = 0; i < s.size(); i += 2) {
            const int hi = HexDigit(s[i]);
            const int lo = HexDigit(s[i + 1]);
            if (hi < 0 || lo < 0) {
                const std::size_t at = hi < 0 ? i : i + 1;
                path_.Fail(name, "character " + std::to_string(at + 1) + " is not a hexadecimal digit");
            }
            p[i / 2] = static_cast<std::uint8_t>(hi << 4 | lo);
        }
    }
    void HexList(const json& v, const char* name, std::vector<std::uint8_t>& bytes)
    {
        const std::string& s = StringOf(v, name);
        if (s.size() % 2) path_.Fail(name, "expected an even number of hexadecimal digits");
        bytes.resize(s.size() / 2);
        DecodeHex(s, bytes.data(), name);
    }

    Path& path_;
    std::vector<std::string>* warnings_;
    std::vector<Frame> frames_;
    std::size_t depth_ = 0;
    const json* item_ = nullptr;
};

void CheckFormat(const json& root)
{
    const auto it = root.find("format");
    if (it == root.end()) throw JsonError{"format: missing (this tool reads format " + std::to_string(kJsonFormat) + ")"};
    if (it->is_number_integer() && it->get<std::int64_t>() == kJsonFormat) return;
    if (it->is_number_integer())
        throw JsonError{"format: " + it->dump() + " is not a format this tool reads (it reads format " +
                        std::to_string(kJsonFormat) + ")"};
    throw JsonError{"format: expected the number " + std::to_string(kJsonFormat)};
}

// An entity's "id" and "version", when given, must be those of its kind.
void CheckChunk(const Path& path, const json& e, const char* key, std::int64_t want, const std::string& kind)
{
    const auto it = e.find(key);
    if (it == e.end()) return;
    if (!it->is_number_integer() || it->get<std::int64_t>() != want)
        path.Fail(key, "expected " + std::to_string(want) + ", the " + (key[0] == 'i' ? "identifier" : "version") +
                           " of kind \"" + kind + "\"");
}

void ReadEntity(JsonReader& r, Path& path, const json& e, std::size_t index, TQ6Data& d)
{
    path.Push("entities");
    path.PushIndex(index);
    if (!e.is_object()) path.Fail(nullptr, "expected an object");
    const auto k = e.find("kind");
    if (k == e.end()) path.Fail("kind", "missing");
    if (!k->is_string()) path.Fail("kind", "expected a string");
    const std::string& kind = k->get_ref<const std::string&>();
#define Q6_IMPORT_KIND(a, T, cid, cver, reader)                                          \
    if (kind == #a) {                                                                    \
        CheckChunk(path, e, "id", cid, kind);                                            \
        CheckChunk(path, e, "version", cver, kind);                                      \
        T& el = d.AddEntity(d.a, d.a##N, cid * 100 + cver);                              \
        r.Object(e, [&] { q6layout::Fields(r, el); }, {"kind", "id", "version"});        \
        path.Pop();                                                                      \
        path.Pop();                                                                      \
        return;                                                                          \
    }
    Q6_ENTITY_KINDS(Q6_IMPORT_KIND)
#undef Q6_IMPORT_KIND
    path.Fail("kind", "unknown kind " + k->dump());
}

// `s` with every byte that begins no whole UTF-8 character replaced by
// U+FFFD: the parser's messages quote the text where it stopped, which may
// be in the middle of a character.
std::string Utf8Only(const std::string& s)
{
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        std::size_t len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (len > 1) {
            if (n - i < len) len = 0;
            for (std::size_t k = 1; k < len; ++k)
                if ((p[i + k] & 0xC0) != 0x80) len = 0;
            // no overlong forms, surrogates or code points past U+10FFFF
            if (len == 3 && ((c == 0xE0 && p[i + 1] < 0xA0) || (c == 0xED && p[i + 1] >= 0xA0))) len = 0;
            if (len == 4 && ((c == 0xF0 && p[i + 1] < 0x90) || (c == 0xF4 && p[i + 1] >= 0x90))) len = 0;
        }
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, len);
            i += len;
        }
    }
    return out;
}

// Parses JSON text into values, except the items of the top-level
// "entities" array: each is built alone, handed to `onEntity` and dropped,
// so that memory stays small for drawings of any size. Duplicate keys are
// refused.
class Parser final : public nlohmann::json_sax<json> {
public:
    using EntityFn = std::function<void(const json& root, const json& entity, std::size_t index)>;
    explicit Parser(EntityFn onEntity) : onEntity_(std::move(onEntity)) {}

    const json& root() const { return root_; }
    const std::string& error() const { return error_; }

    bool null() override { return Value(json(nullptr)); }
    bool boolean(bool b) override { return Value(json(b)); }
    bool number_integer(number_integer_t v) override { return Value(json(v)); }
    bool number_unsigned(number_unsigned_t v) override { return Value(json(v)); }
    bool number_float(number_float_t v, const string_t&) override { return Value(json(v)); }
    bool string(string_t& s) override { return Value(json(std::move(s))); }
    bool binary(binary_t& b) override { return Value(json(std::move(b))); }
    bool start_object(std::size_t) override
    {
        const bool entity = InEntities();
        stack_.push_back({Place(json::object()), nullptr, nullptr, 0, false});
        stack_.back().entity = entity;
        return true;
    }
    bool key(string_t& k) override
    {
        Level& top = stack_.back();
        auto& obj = top.v->get_ref<json::object_t&>();
        const auto [it, inserted] = obj.emplace(k, json());
        if (!inserted) {
            error_ = PathOf(KeyName(k)) + ": duplicate field";
            return false;
        }
        top.slot = &it->second;
        top.key = &it->first;
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override
    {
        const bool entity = InEntities();
        const bool list = stack_.size() == 1 && stack_[0].key && *stack_[0].key == "entities";
        stack_.push_back({Place(json::array()), nullptr, nullptr, 0, list});
        stack_.back().entity = entity;
        return true;
    }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override
    {
        // "[json.exception.parse_error.101] parse error at line 1, ..." without its tag
        error_ = ex.what();
        const std::size_t tag = error_.find("] ");
        if (error_.rfind("[json.exception.", 0) == 0 && tag != std::string::npos) error_.erase(0, tag + 2);
        error_ = Utf8Only(error_);
        errorAt_ = position;
        syntax_ = true;
        return false;
    }
    // Where the parser stopped, in characters from the start of the text.
    std::size_t errorAt() const { return errorAt_; }
    // True when the text is no JSON; false when a value was refused.
    bool syntax() const { return syntax_; }

private:
    struct Level {
        json* v;
        json* slot;              // in an object: the member being read
        const std::string* key;  // and its key
        std::size_t count;       // in an array: the items so far
        bool list;               // the top-level entity list
        bool entity = false;     // this value is an item of the entity list
    };

    bool InEntities() const { return !stack_.empty() && stack_.back().list; }
    json* Place(json&& v)
    {
        if (stack_.empty()) {
            root_ = std::move(v);
            return &root_;
        }
        Level& top = stack_.back();
        if (top.list) {
            ++top.count;
            entity_ = std::move(v);
            return &entity_;
        }
        if (top.v->is_array()) {
            ++top.count;
            top.v->push_back(std::move(v));
            return &top.v->back();
        }
        *top.slot = std::move(v);
        return top.slot;
    }
    bool Value(json&& v)
    {
        const bool entity = InEntities();
        Place(std::move(v));
        if (entity) Deliver();
        return true;
    }
    bool Close()
    {
        const bool entity = stack_.back().entity;
        stack_.pop_back();
        if (entity) Deliver();
        return true;
    }
    void Deliver()
    {
        onEntity_(root_, entity_, stack_.back().count - 1);
        entity_ = json();
    }
    std::string PathOf(const std::string& last) const
    {
        // Each level names the member or item that the next level is.
        std::string s;
        for (std::size_t i = 0; i + 1 < stack_.size(); ++i) {
            const Level& p = stack_[i];
            if (p.v->is_object()) {
                if (!s.empty()) s += '.';
                s += *p.key;
            } else {
                s += "[" + std::to_string(p.count - 1) + "]";
            }
        }
        if (!s.empty()) s += '.';
        return s + last;
    }

    EntityFn onEntity_;
    json root_;
    json entity_;
    std::vector<Level> stack_;
    std::string error_;
    std::size_t errorAt_ = 0;
    bool syntax_ = false;
};

// "parse error at line 3, column 7: " before a message that has no place of its own.
std::string ParseErrorAt(std::string_view text, std::size_t at, const std::string& message)
{
    if (message.rfind("parse error", 0) == 0) return message;
    at = std::min(at, text.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < at; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return "parse error at line " + std::to_string(line) + ", column " + std::to_string(at - lineStart) + ": " +
           message;
}

}  // namespace

bool ImportJson(std::string_view text, TQ6Data& d, std::string& error, std::vector<std::string>* warnings)
{
    error.clear();
    if (warnings) warnings->clear();
    if (q6json::ImportExportForm(text, d)) return true;
    return q6json::ImportJsonChecked(text, d, error, warnings);
}

bool q6json::ImportJsonChecked(std::string_view text, TQ6Data& d, std::string& error, std::vector<std::string>* warnings)
{
    d.DataFree();
    error.clear();
    if (warnings) warnings->clear();
    try {
        Path path;
        JsonReader r(path, warnings);
        Parser parser([&](const json& root, const json& e, std::size_t index) {
            if (index == 0 && root.contains("format")) CheckFormat(root);
            ReadEntity(r, path, e, index, d);
        });
        if (!json::sax_parse(text.data(), text.data() + text.size(), &parser)) {
            error = parser.syntax() ? ParseErrorAt(text, parser.errorAt(), parser.error()) : parser.error();
            return false;
        }
        const json& root = parser.root();
        if (!root.is_object()) throw JsonError{"expected a JSON object at the top level"};
        CheckFormat(root);
        const auto ents = root.find("entities");
        if (ents != root.end() && !ents->is_array()) throw JsonError{"entities: expected an array"};
        r.Object(root, [&] { VisitSettings(r, d); }, {"format", "entities"});
        return true;
    } catch (const JsonError& e) {
        error = e.message;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = e.what();
    }
    return false;
}
