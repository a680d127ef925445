#include "text_escape.hpp"

#include <cstdint>

namespace zolehead_cli {

void AppendPrintable(std::string& out, std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        out += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
}

}  // namespace zolehead_cli
