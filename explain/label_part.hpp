// A line's label part, read as the form A reader reads it but past where
// the reader gives up: for the near-miss checks of lint, which want to know
// what a line that was not read looks like. Never used to read a header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zolehead::explain {

struct LabelPart {
    enum class End : std::uint8_t {
        WIDE_COLON,   // the full-width colon 81 46: a label line's shape
        ASCII_COLON,  // ':' where the full-width colon belongs
        OTHER,        // any other single byte: not a label line
        LINE_END,     // the line ran out
    };
    End end = End::LINE_END;
    std::string label;   // every label character (Shift_JIS), however many
    int characters = 0;  // how many
    std::size_t first = 0;  // index of the first label character, or of `stop` if none
    std::size_t stop = 0;   // index of the byte that ended the part, or the line's size
};

// `line` is one line without its line end. Blanks (tab, space, '!', ';' and
// the full-width space) are dropped wherever they stand, as the reader drops
// them; double-byte characters are label characters.
LabelPart ReadLabelPart(std::span<const std::uint8_t> line);

}  // namespace zolehead::explain
