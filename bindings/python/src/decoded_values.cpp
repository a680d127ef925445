#include "decoded_values.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <cstring>

#include "shift_jis_decoder.hpp"
#include "shift_jis_table.hpp"

namespace zolehead::python {

namespace {

// The code units a str uses for characters up to `max_char` (1, 2 or 4 bytes).
std::size_t UnitSize(std::uint32_t max_char) { return max_char < 0x100 ? 1 : max_char < 0x10000 ? 2 : 4; }

// The code point at `at` in UTF-8 text, stepping `at` past it. The decoder
// writes valid UTF-8; a sequence cut short is taken as U+FFFD all the same.
std::uint32_t NextCodePoint(std::string_view utf8, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + size > utf8.size()) {
        at = utf8.size();
        return 0xFFFD;
    }
    std::uint32_t code = size == 1 ? lead : lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) code = (code << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    at += size;
    return code;
}

template <typename Unit>
void AppendUnits(std::string_view utf8, std::uint32_t length, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + std::size_t{length} * sizeof(Unit));
    char* to = out.data() + start;
    for (std::size_t at = 0; at < utf8.size(); to += sizeof(Unit)) {
        const auto unit = static_cast<Unit>(NextCodePoint(utf8, at));
        std::memcpy(to, &unit, sizeof unit);
    }
}

template <typename T>
void AppendRaw(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}


// A value decoded through the table straight into code points, without the
// trip through UTF-8; the same text the decoder gives (the table's tests
// check so).
void AppendThroughTable(std::string_view bytes, const zolehead::collection::ShiftJisTable& table, std::string& out) {
    std::array<char16_t, zolehead::kValueMaxBytes> points;  // a stored value's bytes at most
    std::size_t count = 0;
    char16_t max = 0;
    const bool clean = table.decode_code_points(bytes, points.data(), count, max);
    out += clean ? '\0' : '\1';
    AppendRaw(out, static_cast<std::uint32_t>(count));
    AppendRaw(out, std::uint32_t{max});
    if (max < 0x100) {
        for (std::size_t i = 0; i < count; ++i) out += static_cast<char>(points[i]);
    } else {
        out.append(reinterpret_cast<const char*>(points.data()), count * sizeof(char16_t));
    }
}

}  // namespace

// Each value: lossy (1 byte), length and max_char (uint32_t each, native),
// then its code units.
void AppendDecodedValues(const zolehead::ZoleHeader& header, zolehead::collection::FieldText* converter,
                         std::string& out) {
    const zolehead::collection::ShiftJisTable* table = zolehead::collection::ShiftJisTable::Shared();
    // Without a table, a decoder of the caller's, or one for this call.
    std::optional<zolehead::collection::FieldText> own;
    for (const zolehead::HeaderSlot& slot : header.slots) {
        if (slot.status == zolehead::STATUS_NONE) continue;
        const std::string_view bytes = slot.text();
        if (zolehead::collection::IsAscii(bytes)) {  // code page 932 keeps ASCII as it is, as the decoder does
            out += '\0';
            AppendRaw(out, static_cast<std::uint32_t>(bytes.size()));
            std::uint32_t max_char = 0;
            for (char c : bytes) max_char = std::max<std::uint32_t>(max_char, static_cast<std::uint8_t>(c));
            AppendRaw(out, max_char);
            out += bytes;
            continue;
        }
        if (table != nullptr && bytes.size() <= zolehead::kValueMaxBytes) {
            AppendThroughTable(bytes, *table, out);
            continue;
        }
        if (converter == nullptr) converter = &own.emplace(false);
        const zolehead::collection::FieldText::Text value = converter->get(bytes);
        std::uint32_t length = 0;
        std::uint32_t max_char = 0;
        for (std::size_t at = 0; at < value.text.size(); ++length) {
            const std::uint32_t code = NextCodePoint(value.text, at);
            if (code > max_char) max_char = code;
        }
        out += value.lossy ? '\1' : '\0';
        AppendRaw(out, length);
        AppendRaw(out, max_char);
        switch (UnitSize(max_char)) {
        case 1:
            if (max_char < 0x80) {
                out += value.text;  // ASCII: the UTF-8 bytes are the units
            } else {
                AppendUnits<std::uint8_t>(value.text, length, out);
            }
            break;
        case 2: AppendUnits<std::uint16_t>(value.text, length, out); break;
        default: AppendUnits<std::uint32_t>(value.text, length, out); break;
        }
    }
}

DecodedValues::Value DecodedValues::next() noexcept {
    Value value{};
    value.lossy = rest_[0] != '\0';
    std::memcpy(&value.length, rest_.data() + 1, sizeof value.length);
    std::memcpy(&value.max_char, rest_.data() + 1 + sizeof value.length, sizeof value.max_char);
    const std::size_t head = 1 + sizeof value.length + sizeof value.max_char;
    value.units = rest_.data() + head;
    rest_.remove_prefix(head + value.length * UnitSize(value.max_char));
    return value;
}


}  // namespace zolehead::python
