// Shift_JIS (code page 932) to UTF-8. Decodes through the process's table
// read off iconv (shift_jis_table.hpp), or through a converter of its own
// when the C library's CP932 does not fit one. One decoder per thread: an
// iconv descriptor is not safe to share. Decoders may be made and destroyed
// in a process forked while other threads made theirs.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zolehead::collection {

class ShiftJisTable;

// Text that code page 932 keeps as it is, both ways: ASCII only (0x5C stays
// a backslash).
inline bool IsAscii(std::string_view bytes) noexcept {
    for (char c : bytes) {
        if (static_cast<std::uint8_t>(c) >= 0x80) return false;
    }
    return true;
}

// A byte that starts a double-byte character in code page 932.
inline bool IsShiftJisLeadByte(std::uint8_t b) noexcept { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// A byte that may end one.
inline bool IsShiftJisTrailByte(std::uint8_t b) noexcept { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The bytes from p on (`left` of them) that one U+FFFD stands for when they
// do not convert: a lead and a trail byte count as one character, as the
// reader saw it; a stray byte counts alone.
inline std::size_t UnconvertedLength(const std::uint8_t* p, std::size_t left) noexcept {
    return left >= 2 && IsShiftJisLeadByte(p[0]) && IsShiftJisTrailByte(p[1]) ? 2 : 1;
}

// Decodes `bytes` through `cd` (CP932 to UTF-8), appending to `out`, as
// ShiftJisDecoder::decode says. The reference the table is checked against.
bool DecodeThroughConverter(iconv_t cd, std::string_view bytes, std::string& out);

class ShiftJisDecoder {
public:
    // Throws std::system_error when the C library cannot convert from CP932.
    ShiftJisDecoder();
    ~ShiftJisDecoder();
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;

    // Appends the UTF-8 text of `bytes` to `out`. A byte or pair that does
    // not convert becomes U+FFFD; returns false if that happened.
    bool decode(std::string_view bytes, std::string& out);

private:
    const ShiftJisTable* table_;
    iconv_t cd_;  // only without a table
};

}  // namespace zolehead::collection
