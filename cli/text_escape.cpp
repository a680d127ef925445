#include "text_escape.hpp"

#include <cstdint>

namespace zolehead_cli {

void AppendPrintable(std::string& out, std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        out += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
}

void AppendDelimitedField(std::string& out, std::string_view field, char delimiter) {
    if (delimiter == '\t') {
        for (char c : field) {
            switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
            }
        }
        return;
    }
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace zolehead_cli
