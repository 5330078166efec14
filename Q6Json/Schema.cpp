// The JSON Schema of the export, written by a visitor of the record field lists.
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

using ojson = nlohmann::ordered_json;

const char* const kDoubleRef = "#/$defs/double";

class SchemaWriter {
public:
    explicit SchemaWriter(ojson& top) { objs_.push_back(&top); }

    template <class T>
    void Num(const char* name, const T&)
    {
        if constexpr (std::is_floating_point_v<T>)
            Put(name, {{"$ref", kDoubleRef}});
        else
            Put(name, {{"$ref", std::string("#/$defs/") + IntName<T>()}});
    }
    void Scale(const char* name, const double&)
    {
        Put(name, {{"$ref", kDoubleRef},
                   {"description", "saved rounded to 6 decimal places, halves away from zero"}});
    }
    void Text(const char* name, const std::string&, std::int32_t width)
    {
        Put(name, {{"type", "string"},
                   {"description", "a field of " + std::to_string(width) +
                                       " bytes in code page 932: a longer text is saved cut at the last whole "
                                       "character that fits; no U+0000; characters that code page 932 lacks "
                                       "are saved as \"?\""}});
    }
    void VarText(const char* name, const std::string&, std::int32_t, bool)
    {
        Put(name, {{"type", "string"},
                   {"description", "no U+0000; characters that code page 932 lacks are saved as \"?\""}});
    }
    void Bytes(const char* name, const std::uint8_t*, std::size_t n)
    {
        Put(name, {{"type", "string"},
                   {"pattern", "^[0-9A-Fa-f]{" + std::to_string(2 * n) + "}$"},
                   {"description", std::to_string(n) + " bytes in hexadecimal"}});
    }
    template <class F>
    void Nest(const char* name, F&& f)
    {
        ojson o = Object();
        objs_.push_back(&o);
        f();
        objs_.pop_back();
        if (name && o.contains("required")) (*objs_.back())["required"].push_back(name);
        Put(name, std::move(o));
    }
    template <class F>
    void Array(const char* name, std::size_t n, F&& f)
    {
        f(0);
        Put(name, {{"type", "array"}, {"minItems", n}, {"maxItems", n}, {"items", std::move(item_)}});
    }
    void Points(const char* cntName, const std::int16_t&, const char* posName, const std::vector<TDPoint>&)
    {
        Put(cntName, {{"type", "integer"},
                      {"minimum", 1},
                      {"maximum", kMaxPoints},
                      {"description", std::string("the number of points; left out, the length of ") + posName +
                                          "; given, it must equal it"}});
        const TDPoint p{};
        Nest(nullptr, [&] { q6layout::Fields(*this, p); });
        Put(posName, {{"type", "array"}, {"minItems", 1}, {"maxItems", kMaxPoints}, {"items", std::move(item_)}});
        (*objs_.back())["required"].push_back(posName);
    }
    void CountedBytes(const char* name, const std::vector<std::uint8_t>&, std::int32_t)
    {
        Put(name, {{"type", "string"},
                   {"pattern", "^([0-9A-Fa-f]{2})*$"},
                   {"description",
                    "bytes in hexadecimal, as many as the count field before it says (none when it is negative); "
                    "the count, left out, becomes the number of these bytes"}});
    }
    void TailBytes(const char* name, const std::vector<std::uint8_t>&)
    {
        Put(name, {{"type", "string"}, {"pattern", "^([0-9A-Fa-f]{2})*$"}, {"description", "bytes in hexadecimal"}});
    }

    static ojson Object()
    {
        return {{"type", "object"}, {"properties", ojson::object()}, {"additionalProperties", false}};
    }

private:
    void Put(const char* name, ojson s)
    {
        if (name)
            (*objs_.back())["properties"][name] = std::move(s);
        else
            item_ = std::move(s);
    }

    std::vector<ojson*> objs_;
    ojson item_;
};

}  // namespace

std::string JsonSchema()
{
    ojson root = {
        {"$schema", "https://json-schema.org/draft/2020-12/schema"},
        {"title", "q6 drawing"},
        {"description",
         "A .q6 drawing as q6tool json writes it and q6tool build reads it. Field names and order follow the "
         "drawing model; a field left out takes its value in a new document (zero in a new entity). Entities "
         "stand in file order; an entity's position among those of its kind is its index in the kind's array. "
         "Key order and white space carry no meaning."},
        {"type", "object"},
        {"required", ojson::array({"format"})},
        {"properties", ojson::object()},
        {"additionalProperties", false},
    };
    root["properties"]["format"] = {{"const", kJsonFormat}, {"description", "the version of this JSON form"}};
    {
        const TQ6Data d;
        SchemaWriter w(root);
        VisitSettings(w, d);
    }
    ojson kinds = ojson::array();
#define Q6_SCHEMA_KIND(a, T, cid, cver, reader)                                                       \
    {                                                                                                 \
        ojson k = SchemaWriter::Object();                                                             \
        k["properties"]["kind"] = {{"const", #a}};                                                    \
        k["properties"]["id"] = {{"const", cid}, {"description", "chunk identifier; may be left out"}}; \
        k["properties"]["version"] = {{"const", cver}, {"description", "chunk version; may be left out"}}; \
        k["required"] = ojson::array({"kind"});                                                       \
        SchemaWriter w(k);                                                                            \
        const T e{};                                                                                  \
        q6layout::Fields(w, e);                                                                       \
        kinds.push_back(std::move(k));                                                                \
    }
    Q6_ENTITY_KINDS(Q6_SCHEMA_KIND)
#undef Q6_SCHEMA_KIND
    ojson items = ojson::object();
    items["oneOf"] = std::move(kinds);
    root["properties"]["entities"] = {{"type", "array"}, {"description", "every entity in file order"}};
    root["properties"]["entities"]["items"] = std::move(items);
    ojson number = {{"type", "number"}};
    ojson special = {{"type", "string"}, {"pattern", "^(inf|-inf|nan:0x[0-9A-Fa-f]{16})$"}};
    const auto integer = [&](auto x) {
        using T = decltype(x);
        root["$defs"][IntName<T>()] = {{"type", "integer"},
                                       {"minimum", std::numeric_limits<T>::min()},
                                       {"maximum", std::numeric_limits<T>::max()}};
    };
    integer(std::uint8_t{});
    integer(std::uint16_t{});
    integer(std::int16_t{});
    integer(std::int32_t{});
    integer(std::uint32_t{});
    ojson& dbl = root["$defs"]["double"];
    dbl["description"] =
        "a double: the shortest number that reads back to the same bits (-0.0 keeps its sign); NaN as \"nan:0x\" "
        "and the 16 hexadecimal digits of its bits; the infinities as \"inf\" and \"-inf\"";
    dbl["oneOf"] = ojson::array({std::move(number), std::move(special)});
    return root.dump(2) + "\n";
}
