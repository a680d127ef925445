// Which values can be written so that every reader reads them back byte for
// byte, and in which form. Pure functions over bytes.
#pragma once

#include <string>
#include <string_view>

#include "shift_jis_encoder.hpp"

namespace zolehead::edit {

// Converts a UTF-8 value to code page 932 into `out` and checks it for every
// form: not empty, at most 127 bytes, no control byte (line ends, tab, 0x1A).
// Returns "" when it can be written, else why not, naming the character or
// the byte count ("\"😀\" (U+1F600) has no code page 932 form").
std::string ConvertValue(std::string_view utf8, collection::ShiftJisEncoder& encoder, std::string& out);

// The same checks for a value already in code page 932.
std::string CheckValueBytes(std::string_view cp932);

// "" when a form A line reads `value` back as it is, else why not: a form A
// value loses leading blanks and trailing spaces (ASCII, or the bytes 81 40).
std::string_view FormAProblem(std::string_view value) noexcept;

// The quote a form B entry can hold `value` in: `preferred` unless the value
// holds it, then the other one; 0 when the value holds both.
char FormBQuote(std::string_view value, char preferred) noexcept;
inline constexpr std::string_view kFormBBothQuotes =
    "holds both ' and \", and a form B value ends at the quote that opened it";

}  // namespace zolehead::edit
