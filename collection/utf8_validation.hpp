// Whether bytes are well-formed UTF-8: for names inside archives, for JSON
// that must carry text as it is, and for files saved in the wrong encoding.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zolehead::collection {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view bytes) noexcept;
inline bool IsUtf8(std::span<const std::uint8_t> bytes) noexcept {
    return IsUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace zolehead::collection
