// The value limit as both machines apply it to a run of value bytes taken
// at once: bytes that land before the last position are stored whatever
// they are; the last position takes no lead byte, so a lead byte there ends
// the value at the limit instead of storing half a character.
#pragma once

#include <cstdint>
#include <cstring>

#include "zole_header.hpp"

namespace zolehead {

// Appends `n` (1..64) value bytes to `value`. `leads` has bit i set when
// bytes[i] is a lead byte. `value_len` may end one past the stored bytes
// (at the limit); `stored_len` is what a commit keeps. Returns how many
// bytes were copied in bulk from bytes[0], for callers that keep a mask of
// their lead bytes.
inline int AppendValueBytes(char* value, std::uint8_t& value_len, std::uint8_t& stored_len,
                          const std::uint8_t* bytes, int n, std::uint64_t leads) noexcept {
    if (value_len >= kValueMaxBytes) return 0;
    const int before_last = kValueMaxBytes - 1 - value_len;
    const int plain = n < before_last ? n : before_last;
    if (plain > 0) {
        std::memcpy(value + value_len, bytes, static_cast<std::size_t>(plain));
        value_len = static_cast<std::uint8_t>(value_len + plain);
        stored_len = value_len;
    }
    if (plain < n) {
        if ((leads >> plain) & 1U) {
            value_len = kValueMaxBytes;
        } else {
            value[value_len++] = static_cast<char>(bytes[plain]);
            stored_len = value_len;
        }
    }
    return plain > 0 ? plain : 0;
}

}  // namespace zolehead
