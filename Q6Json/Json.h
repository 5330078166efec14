// A drawing as JSON, and back.
//
// The export holds the title, every settings record and every entity in the
// order of the entity index, each with its kind, chunk identifier and
// version and every field under the model's member names. Field names and
// order come from the record field lists of Q6Unit/Layout.h, the same lists
// that the chunk reader and writer use. docs/q6.schema.json describes the
// result (it is what JsonSchema() returns).
//
// Values: integers as JSON numbers; doubles in the shortest form that reads
// back to the same bits, NaN as "nan:0x" and its 16 hexadecimal digits,
// infinities as "inf" and "-inf", negative zero as -0.0; texts as UTF-8
// strings; blocks of bytes, images and extra data as hexadecimal strings.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TQ6Data;

// The version of the JSON form, written as "format".
inline constexpr int kJsonFormat = 1;

// Receives the JSON text piece by piece; returns false to stop the export.
using JsonSink = std::function<bool(std::string_view)>;

// Writes `doc` as JSON. False when the document cannot be written (an index
// entry that points outside its kind's array) or when the sink fails.
bool ExportJson(const TQ6Data& doc, const JsonSink& sink);
// The same into one string (cleared first).
bool ExportJson(const TQ6Data& doc, std::string& out);

// Builds `doc` from JSON text: a new document, then every value the text
// gives. False on any bad value, with `error` naming its place in the text
// (for example "entities[12].pos[1].X: expected a number"); `doc` is then
// unspecified and must not be saved. A text longer than its fixed field is
// no bad value (a loaded document may hold one): it is kept whole, saving
// cuts it as it cuts a loaded one, and `warnings`, when given, receives one
// line for it that names its place and both lengths.
bool ImportJson(std::string_view text, TQ6Data& doc, std::string& error,
                std::vector<std::string>* warnings = nullptr);

// The JSON Schema of the export, as docs/q6.schema.json holds it.
std::string JsonSchema();
