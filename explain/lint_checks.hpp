// Lint: the near misses that the readers skip without a word, as warnings
// with a line, a column and a stable code.
//
// The checks that concern entries the readers saw (a repeated label, a
// value cut short, an unknown keyword, ...) come from the entry map and the
// story, that is from the machines. The near misses the machines never see
// (an ASCII colon, a label part too long) are heuristics over lines.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shift_jis_decoder.hpp"
#include "text_position.hpp"

namespace zolehead::explain {

struct LintCode {
    std::string_view code;     // stable: scripts and --ignore name it
    std::string_view summary;  // what it finds, for --help and the manual
};

// Every code, in the order the manual lists them.
inline constexpr std::array<LintCode, 12> kLintCodes = {{
    {"ascii-colon", "a known label followed by an ASCII ':' where the full-width colon belongs"},
    {"unknown-label", "a line shaped like a label line whose label is none of the sixteen"},
    {"long-label", "a label part of more than nine characters before the full-width colon"},
    {"unknown-keyword", "a starred word with a quoted value whose keyword is none of the sixteen"},
    {"unclosed-quote", "a form B value opened and never closed"},
    {"value-cut", "a value cut at 127 bytes"},
    {"repeated-label", "a form A label given again: the combined reader empties its field"},
    {"hidden-by-form-b", "a form A line the combined reader ignores because a form B entry came first"},
    {"after-end-mark", "a header entry after the end-of-text mark (0x1A), never read"},
    {"utf8-file", "a file saved as UTF-8, not code page 932"},
    {"utf8-bom", "a file that begins with a UTF-8 byte-order mark"},
    {"not-cp932", "a value with bytes that have no code page 932 meaning"},
}};

bool IsLintCode(std::string_view code) noexcept;

struct Warning {
    TextPosition at;
    std::string_view code;   // one of kLintCodes
    std::string message;     // UTF-8, one line
    std::string suggestion;  // UTF-8: what was probably meant (a label, a keyword, the colon); empty if nothing
};

// The warnings for an input held in memory, in file order, without those
// whose code is in `ignore`. `decoder` turns the file's text into UTF-8 for
// the messages and says which bytes mean nothing in code page 932.
std::vector<Warning> Lint(std::span<const std::uint8_t> bytes, collection::ShiftJisDecoder& decoder,
                          std::span<const std::string> ignore = {});

}  // namespace zolehead::explain
