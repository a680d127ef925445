// Fields as people name them: by keyword in any letter case ("title",
// "E-MAIL") or by Japanese label in UTF-8 ("曲名").
#pragma once

#include <string_view>

#include "shift_jis_encoder.hpp"

namespace zolehead::edit {

// The identifier table row of `name`, or -1 when it names no field.
int FieldRow(std::string_view name, collection::ShiftJisEncoder& encoder);

}  // namespace zolehead::edit
