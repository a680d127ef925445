// Where a byte of the input stands for a person: its line and column, as an
// editor or a CI annotation jumps to it.
//
// Lines: LF, CR LF and a lone CR each end one line, as editors count them.
// (The form A reader takes CR LF as two line ends, but the empty line between
// them holds nothing, so no entry ever sits there.)
//
// Columns count characters from 1, as an editor that opened the file as
// Shift_JIS (code page 932) shows them: a double-byte character, paired as
// the readers' tracker pairs it, is one column; every other byte, a tab
// included, is one column. The byte offset goes along for tools that want bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zolehead::explain {

struct TextPosition {
    std::uint64_t offset = 0;  // from the first byte of the input, from 0
    std::uint64_t line = 1;    // from 1
    std::uint64_t column = 1;  // from 1, in characters
    friend bool operator==(const TextPosition&, const TextPosition&) = default;
};

// The positions of `offsets`, in the order given, in one pass over `bytes`.
// An offset at or past the end gives the position just after the last byte.
std::vector<TextPosition> Locate(std::span<const std::uint8_t> bytes, std::span<const std::uint64_t> offsets);

}  // namespace zolehead::explain
