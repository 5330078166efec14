// The document as a sequence of records, the way `Fields` is a record as a
// sequence of fields: the title, the 13 settings chunks in file order, then
// the entities. The writer, the dumps, the random documents and the fuzz
// checks' image visit the document through these functions, so that the
// order and the members of the settings are written down once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "Q6Unit/Kinds.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

namespace q6walk {

// The widest title a file holds and a save writes, in bytes.
inline constexpr std::int32_t kTitleWidth = 256;

namespace detail {
template <class T>
struct IsArray : std::false_type {};
template <class T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};
template <class T>
struct ArrayCount : std::integral_constant<std::size_t, 1> {};
template <class T, std::size_t N>
struct ArrayCount<std::array<T, N>> : std::integral_constant<std::size_t, N> {};
}  // namespace detail

// Calls f(kind, member) for the title and each settings member, in file
// order; `D` is TQ6Data or const TQ6Data.
template <class D, class F>
void Settings(D& d, F&& f)
{
    std::size_t i = 0;
#define Q6_WALK_SETTINGS(m, cid, cver, reader) f(q6kinds::kChunkKinds[i++], d.m);
    Q6_SETTINGS_KINDS(Q6_WALK_SETTINGS)
#undef Q6_WALK_SETTINGS
}

// Hands a settings member to a field visitor `v`, named by its kind: the
// title as a text of kTitleWidth bytes, one record as a nest, a fixed run of
// records (each a nest without a name) or numbers as an array.
template <class V, class M>
void SettingsFields(V& v, const q6kinds::ChunkKind& k, M& m)
{
    const char* name = k.member.data();  // the lists' members are string literals
    if constexpr (std::is_same_v<std::remove_const_t<M>, std::string>) {
        v.Text(name, m, kTitleWidth);
    } else if constexpr (detail::IsArray<std::remove_const_t<M>>::value) {
        q6layout::Arr(v, name, m);
    } else {
        q6layout::Nested(v, name, m);
    }
}

// Calls f(kind, array, count) for each entity kind's member, in the
// catalogue's order.
template <class D, class F>
void EntityKinds(D& d, F&& f)
{
    std::size_t i = q6kinds::kSettingsKindCount;
#define Q6_WALK_KIND(a, T, cid, cver, reader) f(q6kinds::kChunkKinds[i++], d.a, d.a##N);
    Q6_ENTITY_KINDS(Q6_WALK_KIND)
#undef Q6_WALK_KIND
}

// Calls f(kind, array, count) for the kind whose index number (identifier
// x 100 + version) is `ino`; false, without calling f, when no kind has it.
template <class D, class F>
bool EntityKindOf(D& d, std::int32_t ino, F&& f)
{
    switch (ino) {
#define Q6_WALK_INO(a, T, cid, cver, reader) \
    case cid * 100 + cver: f(*q6kinds::FindChunkKind(cid, cver), d.a, d.a##N); return true;
        Q6_ENTITY_KINDS(Q6_WALK_INO)
#undef Q6_WALK_INO
    default: return false;
    }
}

// The catalogue's record counts are the document's.
constexpr bool CountsMatchDocument()
{
    bool ok = true;
    std::size_t i = 0;
#define Q6_WALK_COUNT(m, cid, cver, reader) \
    ok = ok && q6kinds::kChunkKinds[i++].records == detail::ArrayCount<decltype(TQ6Data::m)>::value;
    Q6_SETTINGS_KINDS(Q6_WALK_COUNT)
#undef Q6_WALK_COUNT
    return ok;
}
static_assert(CountsMatchDocument(), "a settings row's record count is not its member's");

}  // namespace q6walk
