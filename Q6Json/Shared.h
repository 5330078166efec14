// What the JSON export, import and schema share: the JSON value type, the
// settings part of the document in file order, the model's names of the
// integer types and the limit of a point list.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <type_traits>

#include "Q6Unit/Layout.h"
#include "Q6Unit/Walk.h"
#include "Q6Unit/Q6Data.h"

namespace q6json {

// Objects keep their keys in order, in one vector: cheap to build and to search
// for the few keys of a record.
using json = nlohmann::ordered_json;
using q6layout::Arr;
using q6layout::Nested;

// The settings part of the document, in file order; entities follow them.
template <class V, class D>
void VisitSettings(V& v, D& d)
{
    q6walk::Settings(d, [&](const q6kinds::ChunkKind& k, auto& m) { q6walk::SettingsFields(v, k, m); });
}

constexpr int kMaxPoints = 32767;

// The model's name of an integer type.
template <class T>
const char* IntName()
{
    if constexpr (std::is_same_v<T, std::uint8_t>)
        return "Byte";
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return "Word";
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return "SmallInt";
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return "Integer";
    else {
        static_assert(std::is_same_v<T, std::uint32_t>);
        return "Cardinal";
    }
}

}  // namespace q6json
