// The value limit as both machines apply it to a run of value bytes taken
// at once: bytes that land before the last position are stored whatever
// they are; the last position takes no lead byte, so a lead byte there ends
// the value at the limit instead of storing half a character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zole_header.hpp"

namespace zolehead {

// Copies n bytes (Size <= n <= 2 * Size) as two moves of Size bytes, the
// second ending where the bytes end; they overlap where n < 2 * Size.
template <std::size_t Size>
inline void CopyFromBothEnds(char* to, const std::uint8_t* from, std::size_t n) noexcept {
    std::memcpy(to, from, Size);
    std::memcpy(to + n - Size, from + n - Size, Size);
}

// Copies n bytes (0..64) in at most two moves of one fixed size: a copy of
// any length inlined as a string instruction costs more to start than a
// value's bytes take to move.
inline void CopyFewBytes(char* to, const std::uint8_t* from, int n) noexcept {
    const auto size = static_cast<std::size_t>(n);
    if (n >= 32) {
        CopyFromBothEnds<32>(to, from, size);
    } else if (n >= 16) {
        CopyFromBothEnds<16>(to, from, size);
    } else if (n >= 8) {
        CopyFromBothEnds<8>(to, from, size);
    } else if (n >= 4) {
        CopyFromBothEnds<4>(to, from, size);
    } else if (n > 0) {
        to[0] = static_cast<char>(from[0]);
        to[size / 2] = static_cast<char>(from[size / 2]);
        to[size - 1] = static_cast<char>(from[size - 1]);
    }
}

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
        CopyFewBytes(value + value_len, bytes, plain);
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
