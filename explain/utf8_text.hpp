// Whether bytes are UTF-8, for the encoding checks and for JSON.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zolehead::explain {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::span<const std::uint8_t> bytes) noexcept;
inline bool IsUtf8(std::string_view text) noexcept {
    return IsUtf8({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace zolehead::explain
