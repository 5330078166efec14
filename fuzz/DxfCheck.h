// The check of the DXF fuzz target: any bytes that load are exported as DXF;
// the output is well-formed tag pairs, its entities are those counted, and
// the summary adds up. Replayed by tests/FuzzRegressionTest.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Q6Draw/Scene.h"
#include "Q6Dxf/Export.h"
#include "Q6Unit/Q6Data.h"

namespace fuzzcheck {

// "" when `dxf` is code/value line pairs: each code a number from 0 to 1071,
// each value valid UTF-8 without control characters, sections opened and
// closed in turn, "0 EOF" last; `entities` is the count of entities in the
// ENTITIES section.
inline std::string CheckDxfTags(std::string_view dxf, std::uint64_t& entities)
{
    entities = 0;
    std::size_t at = 0;
    bool inSection = false, inEntities = false, ended = false, expectName = false;
    std::uint64_t pairs = 0;
    while (at < dxf.size()) {
        if (ended) return "bytes after 0 EOF";
        const std::size_t nl = dxf.find('\n', at);
        if (nl == std::string_view::npos) return "a code line without its end";
        const std::string_view code = dxf.substr(at, nl - at);
        at = nl + 1;
        const std::size_t vl = dxf.find('\n', at);
        if (vl == std::string_view::npos) return "a value missing after code " + std::string(code);
        const std::string_view value = dxf.substr(at, vl - at);
        at = vl + 1;
        ++pairs;
        if (code.empty() || code.size() > 4) return "code line \"" + std::string(code) + "\"";
        int c = 0;
        for (char ch : code) {
            if (ch < '0' || ch > '9') return "code line \"" + std::string(code) + "\"";
            c = c * 10 + (ch - '0');
        }
        if (c > 1071) return "group code " + std::to_string(c);
        for (std::size_t i = 0; i < value.size();) {
            const auto b = static_cast<unsigned char>(value[i]);
            if (b < 0x20) return "a control character in a value of code " + std::to_string(c);
            const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
            if (n == 0 || (b >= 0xF5) || i + n > value.size()) return "invalid UTF-8 in a value of code " + std::to_string(c);
            for (std::size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(value[i + k]) & 0xC0) != 0x80)
                    return "invalid UTF-8 in a value of code " + std::to_string(c);
            i += n;
        }
        if (expectName) {
            if (c != 2) return "a section without its name";
            inEntities = value == "ENTITIES";
            expectName = false;
            continue;
        }
        if (c != 0) continue;
        if (value == "SECTION") {
            if (inSection) return "a section inside a section";
            inSection = expectName = true;
        } else if (value == "ENDSEC") {
            if (!inSection) return "ENDSEC outside a section";
            inSection = inEntities = false;
        } else if (value == "EOF") {
            if (inSection) return "EOF inside a section";
            ended = true;
        } else if (!inSection) {
            return "entity " + std::string(value) + " outside a section";
        } else if (inEntities) {
            ++entities;
        }
    }
    if (!ended) return "no 0 EOF at the end";
    return pairs ? "" : "empty";
}

inline std::string CheckLoadDxf(std::span<const std::uint8_t> bytes)
{
    TQ6Data d;
    if (!d.MemIn(bytes)) return "";
    const q6draw::Scene scene = q6draw::Scene::Build(d);
    d.DataFree();
    const std::size_t n = scene.Items().size();
    if (scene.Count(q6draw::Status::Drawn) + scene.Count(q6draw::Status::Approximated) +
            scene.Count(q6draw::Status::Skipped) !=
        n)
        return "the summary does not add up to the number of entities";
    q6dxf::StringSink sink;
    q6dxf::ExportStats st;
    if (!q6dxf::ExportDxf(scene, sink, &st)) return "the export failed on memory";
    if (st.nonFinite) return std::to_string(st.nonFinite) + " values that are not finite were written";
    if (st.bytes != sink.out.size()) return "the byte count differs from the bytes written";
    std::uint64_t entities = 0;
    const std::string bad = CheckDxfTags(sink.out, entities);
    if (!bad.empty()) return "malformed DXF: " + bad;
    if (entities != st.entities)
        return "the ENTITIES section holds " + std::to_string(entities) + " entities, " +
               std::to_string(st.entities) + " were counted";
    std::uint64_t byType = 0;
    for (std::uint64_t k : st.byType) byType += k;
    if (byType != st.entities) return "the counts per type do not add up";
    return "";
}

}  // namespace fuzzcheck
