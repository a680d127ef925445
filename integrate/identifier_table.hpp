// The sixteen fields: each row's form A label and form B keyword. The row
// number is the slot index everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "zole_header.hpp"

namespace zolehead {

struct Identifier {
    std::string_view label;    // Shift_JIS, double-byte characters only, <= 18 bytes
    std::string_view keyword;  // ASCII
};

extern const std::array<Identifier, kFieldCount> kIdentifiers;

// The first row whose label equals `label` byte for byte, or -1.
int FindLabelRow(std::string_view label) noexcept;

// Whether some row's label starts with `prefix` (the empty one included).
bool SomeLabelStartsWith(std::string_view prefix) noexcept;

// The row whose label the bytes from p on spell, followed at once by the
// full-width colon 81 46 (all before end), or -1. Labels never start with
// the colon's bytes, so at most one row fits.
int FindLabelRowBeforeColon(const std::uint8_t* p, const std::uint8_t* end) noexcept;

// Whether some row's keyword starts with `prefix` once ASCII A..Z are
// folded onto a..z (the empty prefix included).
bool SomeKeywordStartsWith(std::string_view prefix) noexcept;

// The first row whose keyword equals `name` once ASCII A..Z are folded onto
// a..z (no locale; every other byte must match exactly), or -1.
int FindKeywordRow(std::string_view name) noexcept;

}  // namespace zolehead
