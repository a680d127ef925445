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

// Header names compare without regard to ASCII case.
bool HeaderNameIs(std::string_view name, std::string_view wanted) noexcept;

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
