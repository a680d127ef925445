// The catalog page, built from serve/web/ into the binary at build time
// (embed_page.cmake): one HTML document with its stylesheet and script
// inline, and the Content-Security-Policy that allows exactly those two.
#pragma once

#include <string_view>

namespace zolehead::serve {

extern const std::string_view kCatalogPageHtml;
extern const std::string_view kCatalogPagePolicy;

}  // namespace zolehead::serve
