#include "http_types.hpp"

namespace zolehead::serve {

bool HeaderNameIs(std::string_view name, std::string_view wanted) noexcept {
    if (name.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char a = name[i], b = wanted[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::size_t HttpRequest::header_count(std::string_view name) const noexcept {
    std::size_t count = 0;
    for (const auto& [key, value] : headers) count += HeaderNameIs(key, name) ? 1 : 0;
    return count;
}

std::string_view HttpRequest::header(std::string_view name) const noexcept {
    for (const auto& [key, value] : headers) {
        if (HeaderNameIs(key, name)) return value;
    }
    return {};
}

}  // namespace zolehead::serve
