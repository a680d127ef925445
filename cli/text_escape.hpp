// Bytes made safe for where they are written.
#pragma once

#include <string>
#include <string_view>

#include "base64.hpp"

namespace zolehead_cli {

// Control bytes (0x00-0x1F, 0x7F) become '?', so that a file name or a value
// cannot move a terminal's cursor. No Shift_JIS or UTF-8 character contains one.
void AppendPrintable(std::string& out, std::string_view text);

// One CSV cell (RFC 4180 quoting, delimiter ',') or TSV cell (no quoting;
// tab, CR and LF written as \t, \r and \n).
void AppendDelimitedField(std::string& out, std::string_view field, char delimiter);

// Standard base64 with padding (RFC 4648).
using zolehead::collection::AppendBase64;

}  // namespace zolehead_cli
