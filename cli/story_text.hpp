// explain's text for a person: per field, what each reader ends with, then
// each entry in file order with what each reader made of it.
//
//   samples/oddity-repeated-title.zole
//     Title 曲名
//       form A reader    A  かえるのうた（改訂版）
//       form B reader       (nothing)
//       combined reader  A  (empty)
//       1:1  form A  カエルの歌
//         form A reader: stored, then overwritten by line 2
//         combined reader: stored, then emptied by line 2, which repeats the label
#pragma once

#include <string>
#include <string_view>

#include "field_story.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead_cli {

// Appends the file's story; text in UTF-8, control characters shown as '?'.
void AppendStoryText(std::string& out, std::string_view path, const zolehead::explain::Story& story,
                     zolehead::collection::ShiftJisDecoder& decoder);

}  // namespace zolehead_cli
