// A request and a response as the catalog's handlers see them: plain values,
// with no tie to a socket or to the HTTP library, so that the handling can be
// tested and fuzzed on its own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zolehead::serve {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// Equal once ASCII letters are folded, as header names, host names and
// media types compare; no other byte is folded.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept;

struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // the target without its query
    HeaderList headers;
    std::string body;

    // How many times the header appears, and the first value ("" if none).
    std::size_t header_count(std::string_view name) const noexcept;
    std::string_view header(std::string_view name) const noexcept;
};

struct HttpResponse {
    int status = 200;
    std::string content_type;
    std::string body;
    HeaderList headers;
};

}  // namespace zolehead::serve
