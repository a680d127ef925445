// How the name of a file inside an archive is shown. Names are bytes: UTF-8
// in 7z, in ZIP with the UTF-8 flag and in pax tar headers, but Shift_JIS in
// LZH and older ZIP archives, with nothing in the archive saying which.
#pragma once

#include <string>
#include <string_view>

#include "shift_jis_decoder.hpp"
#include "utf8_validation.hpp"

namespace zolehead::collection {

// Appends `name` to `out` as UTF-8: as it is when it is UTF-8 already,
// otherwise decoded from code page 932. A Shift_JIS name of more than a
// character or two is almost never valid UTF-8, while many UTF-8 names are
// valid Shift_JIS, so UTF-8 is tried first. Returns false if some bytes did
// not convert and became U+FFFD.
bool AppendEntryNameText(std::string_view name, ShiftJisDecoder& decoder, std::string& out);

}  // namespace zolehead::collection
