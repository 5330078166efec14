// The content report: the lines that list everything a loaded document holds.
// It does not depend on any user-interface toolkit: the viewer's memo, the
// command-line tool and the tests all take their lines from here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

class TQ6Data;

using LineSink = std::function<void(std::string_view line)>;

// Hands every line of the report to `sink`, in order, without a line break.
void WriteReport(const TQ6Data& doc, const LineSink& sink);

// Hands the report to `sink` in blocks of whole lines (about 1 MiB each),
// each line followed by "\n"; returns the number of lines.
using TextSink = std::function<void(std::string_view text)>;
std::size_t WriteReportText(const TQ6Data& doc, const TextSink& sink);

// Appends the whole report to `out`, each line followed by "\n"; returns the
// number of lines. With `sections`, also where each entry of the entity index
// begins: (*sections)[k] is the line (counted from 0 in what is appended) of
// the first line of entry k's section, or -1 when the entry shows nothing.
std::size_t AppendReport(const TQ6Data& doc, std::string& out, std::vector<std::int64_t>* sections = nullptr);

// The two halves on their own: the title line and the settings sections
// (always 469 lines), and the entity sections with the closing counts.
void WriteSettingsReport(const TQ6Data& doc, const LineSink& sink);
void WriteEntityReport(const TQ6Data& doc, const LineSink& sink);
