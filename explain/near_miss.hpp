// Which known label or keyword a misspelt one was probably meant to be.
#pragma once

#include <string_view>

namespace zolehead::explain {

// The row of the known label one character away from `label` (one
// double-byte character changed, added or removed), or -1. `label` is
// Shift_JIS label characters, as the form A reader collects them. Ties go to
// the first row.
int NearLabelRow(std::string_view label);

// The row of the keyword nearest to `name`, letter case ignored, if it lies
// at most two edits away (a character changed, added or removed, or two
// neighbours swapped), or -1. Ties go to the first row.
int NearKeywordRow(std::string_view name);

}  // namespace zolehead::explain
