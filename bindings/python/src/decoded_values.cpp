#include "decoded_values.hpp"

#include <cstdint>
#include <cstring>

namespace zolehead::python {

// Each value: one byte (1: lossy), its length as a native uint32_t, its text.
void AppendDecodedValues(const zolehead::ZoleHeader& header, zolehead::collection::FieldText& text, std::string& out) {
    for (const zolehead::HeaderSlot& slot : header.slots) {
        if (slot.status == zolehead::STATUS_NONE) continue;
        const zolehead::collection::FieldText::Text value = text.get(slot.text());
        const auto size = static_cast<std::uint32_t>(value.text.size());
        char length[sizeof size];
        std::memcpy(length, &size, sizeof size);
        out += value.lossy ? '\1' : '\0';
        out.append(length, sizeof length);
        out += value.text;
    }
}

DecodedValues::Value DecodedValues::next() noexcept {
    const bool lossy = rest_[0] != '\0';
    std::uint32_t size = 0;
    std::memcpy(&size, rest_.data() + 1, sizeof size);
    const std::string_view text = rest_.substr(1 + sizeof size, size);
    rest_.remove_prefix(1 + sizeof size + size);
    return {text, lossy};
}

zolehead::collection::FieldText& ThreadFieldText() {
    thread_local zolehead::collection::FieldText text(false);
    return text;
}

}  // namespace zolehead::python
