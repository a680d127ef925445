// Shift_JIS double-byte tracking, one byte at a time.
//
// Every reader classifies each byte before its own machine looks at it: trail
// bytes overlap ASCII letters and '@', so without the tracker a Japanese
// character could be mistaken for header syntax.
#pragma once

#include <cstdint>

namespace zolehead {

// What the byte just read is.
enum class DbcsState : std::uint8_t {
    DBCS_SINGLE = 0,  // a character of its own
    DBCS_LEAD = 1,    // the first byte of a double-byte character
    DBCS_TRAIL = 2,   // the second byte of a double-byte character
};

// The lead range is deliberately wide (0x7F..0x9F, 0xE0..0xFF): DEL, 0x80 and
// 0xFD..0xFF count as lead bytes so that files written by older tools read the
// same way they always have.
constexpr bool IsLeadByte(std::uint8_t b) noexcept { return (b >= 0x7F && b <= 0x9F) || b >= 0xE0; }
constexpr bool IsTrailByte(std::uint8_t b) noexcept { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The state describing byte b, given the state of the byte before it. A byte
// that cannot follow a lead byte stands alone, whatever its range.
constexpr DbcsState NextDbcsState(DbcsState previous, std::uint8_t b) noexcept {
    if (previous == DbcsState::DBCS_LEAD) {
        return IsTrailByte(b) ? DbcsState::DBCS_TRAIL : DbcsState::DBCS_SINGLE;
    }
    return IsLeadByte(b) ? DbcsState::DBCS_LEAD : DbcsState::DBCS_SINGLE;
}

// The tracker as a value: one per read, shared by every machine of that read.
struct DbcsTracker {
    DbcsState state = DbcsState::DBCS_SINGLE;

    constexpr DbcsState step(std::uint8_t b) noexcept {
        state = NextDbcsState(state, b);
        return state;
    }
};

}  // namespace zolehead
