#include "value_rules.hpp"

#include <cstdint>
#include <cstdio>

#include "zole_header.hpp"

namespace zolehead::edit {

namespace {

std::string ControlByteName(std::uint8_t b) {
    switch (b) {
    case 0x0A: return "a line feed (U+000A)";
    case 0x0D: return "a carriage return (U+000D)";
    case 0x09: return "a tab (U+0009)";
    case 0x1A: return "the end-of-text byte (U+001A)";
    default: break;
    }
    char name[40];
    std::snprintf(name, sizeof name, "the control character U+%04X", b);
    return name;
}

}  // namespace

std::string CheckValueBytes(std::string_view cp932) {
    if (cp932.empty()) return "is empty (use remove to delete a field)";
    for (char c : cp932) {
        const auto b = static_cast<std::uint8_t>(c);
        // Every reader drops control bytes inside a value.
        if (b < 0x20) return "holds " + ControlByteName(b) + ", which the readers drop";
    }
    if (cp932.size() > static_cast<std::size_t>(kValueMaxBytes)) {
        return "is " + std::to_string(cp932.size()) + " bytes in code page 932; a value holds at most " +
               std::to_string(kValueMaxBytes);
    }
    return {};
}

std::string ConvertValue(std::string_view utf8, collection::ShiftJisEncoder& encoder, std::string& out) {
    const collection::ShiftJisEncoder::Result r = encoder.encode(utf8, out);
    switch (r.outcome) {
    case collection::ShiftJisEncoder::Outcome::OK: break;
    case collection::ShiftJisEncoder::Outcome::INVALID_UTF8:
        return "is not valid UTF-8 (at byte " + std::to_string(r.offset) + ")";
    case collection::ShiftJisEncoder::Outcome::NO_CP932_FORM:
        return "holds \"" + std::string(r.character) + "\" (" + collection::CodePointName(r.character) +
               "), which has no code page 932 form";
    }
    return CheckValueBytes(out);
}

std::string_view FormAProblem(std::string_view v) noexcept {
    if (v.empty()) return "is empty";
    const auto first = static_cast<std::uint8_t>(v.front());
    if (first <= 0x20 || (v.size() >= 2 && first == 0x81 && static_cast<std::uint8_t>(v[1]) == 0x40)) {
        return "starts with a blank, which a form A line skips";
    }
    if (v.back() == ' ') return "ends in a space, which a form A line trims";
    // The trim looks at bytes only: any 81 40 at the end goes, full-width
    // space or not, unless the 40 is the first byte.
    if (v.size() >= 2 && v.back() == '\x40' && static_cast<std::uint8_t>(v[v.size() - 2]) == 0x81) {
        return "ends in the bytes 81 40, which a form A line trims as a full-width space";
    }
    return {};
}

char FormBQuote(std::string_view v, char preferred) noexcept {
    const char other = preferred == '"' ? '\'' : '"';
    if (v.find(preferred) == std::string_view::npos) return preferred;
    if (v.find(other) == std::string_view::npos) return other;
    return 0;
}

}  // namespace zolehead::edit
