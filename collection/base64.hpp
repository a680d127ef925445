// Bytes as base64 text, for JSON that must carry bytes that are not UTF-8
// (a path, a raw value).
#pragma once

#include <string>
#include <string_view>

namespace zolehead::collection {

// Standard base64 with padding (RFC 4648).
void AppendBase64(std::string& out, std::string_view bytes);

// Decodes standard base64 (padding optional) into out, which is cleared first.
// Returns false on any other character, '=' before the end or a dangling
// sixth of a byte; out then holds whatever was decoded before.
bool DecodeBase64(std::string_view in, std::string& out);

}  // namespace zolehead::collection
