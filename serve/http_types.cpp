#include "http_types.hpp"

namespace zolehead::serve {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::size_t HttpRequest::header_count(std::string_view name) const noexcept {
    std::size_t count = 0;
    for (const auto& [key, value] : headers) count += EqualsIgnoringAsciiCase(key, name) ? 1 : 0;
    return count;
}

std::string_view HttpRequest::header(std::string_view name) const noexcept {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoringAsciiCase(key, name)) return value;
    }
    return {};
}

}  // namespace zolehead::serve
