// Bytes as base64 text, for JSON that must carry bytes that are not UTF-8
// (a path, a raw value).
#pragma once

#include <string>
#include <string_view>

namespace zolehead::collection {

// Standard base64 with padding (RFC 4648).
void AppendBase64(std::string& out, std::string_view bytes);

}  // namespace zolehead::collection
