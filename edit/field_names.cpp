#include "field_names.hpp"

#include <string>

#include "identifier_table.hpp"

namespace zolehead::edit {

int FieldRow(std::string_view name, collection::ShiftJisEncoder& encoder) {
    if (const int row = FindKeywordRow(name); row >= 0) return row;
    // A label is compared in the table's own bytes, converted the way the
    // tool converts values.
    std::string label;
    if (encoder.encode(name, label).outcome != collection::ShiftJisEncoder::Outcome::OK) return -1;
    if (label.empty() || label.size() > static_cast<std::size_t>(kLabelMaxBytes)) return -1;
    return FindLabelRow(label);
}

}  // namespace zolehead::edit
