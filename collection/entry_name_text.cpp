#include "entry_name_text.hpp"

#include <cstdint>

namespace zolehead::collection {

bool AppendEntryNameText(std::string_view name, ShiftJisDecoder& decoder, std::string& out) {
    if (IsUtf8(name)) {
        out += name;
        return true;
    }
    return decoder.decode(name, out);
}

}  // namespace zolehead::collection
