// The two readers behind ImportJson: a quick one that takes only text in the
// export's own form, and the checking one that takes any JSON and names the
// place of every bad value. ImportJson tries the first and, whenever it
// declines, hands the same text to the second, which then decides.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TQ6Data;

namespace q6json {

// Builds `doc` from text written the way the export writes it: the document
// and its entity list one item a line, every field present in the order of
// the field lists, keys without escapes, numbers of the right kind and range,
// no text longer than its fixed field. Anything else (any error, any doubt)
// declines: false, and `doc` is unspecified. What it accepts, the checking
// reader reads to the same document, without a warning.
bool ImportExportForm(std::string_view text, TQ6Data& doc);

// The checking reader alone: ImportJson without the quick one.
bool ImportJsonChecked(std::string_view text, TQ6Data& doc, std::string& error,
                       std::vector<std::string>* warnings = nullptr);

}  // namespace q6json
