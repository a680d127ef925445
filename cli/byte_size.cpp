#include "byte_size.hpp"

#include <limits>

namespace zolehead_cli {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::optional<std::uint64_t> ParseByteSize(std::string_view text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::size_t i = 0;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == 0) return std::nullopt;
    std::string_view unit = text.substr(i);
    unsigned shift = 0;
    if (!unit.empty()) {
        switch (Lower(unit.front())) {
        case 'k': shift = 10; break;
        case 'm': shift = 20; break;
        case 'g': shift = 30; break;
        case 't': shift = 40; break;
        default: return std::nullopt;
        }
        unit.remove_prefix(1);
        if (unit.size() == 2 && Lower(unit[0]) == 'i' && Lower(unit[1]) == 'b') unit = {};
        if (unit.size() == 1 && Lower(unit[0]) == 'b') unit = {};
        if (!unit.empty()) return std::nullopt;
    }
    if (value == 0 || value > (kMax >> shift)) return std::nullopt;
    return value << shift;
}

}  // namespace zolehead_cli
