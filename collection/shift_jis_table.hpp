// Code page 932 as lookup tables: what each byte alone decodes to (in UTF-8
// and as a code point), and what each lead byte with each following byte
// does. The tables are read off the C library's own CP932 converter once per
// process, so decoding through them gives exactly the text iconv gives, at
// table speed and with no converter per thread.
#pragma once

#include <iconv.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zolehead::collection {

class ShiftJisTable {
public:
    // The process's table, read off iconv the first time any thread asks;
    // nullptr when the C library has no CP932 or decodes some character in a
    // way the table cannot hold (more than one character, or beyond U+FFFF),
    // and then callers decode through iconv. Takes no lock: a fork at any
    // moment leaves the child able to read its own.
    static const ShiftJisTable* Shared();

    // Reads a table off `cd` (an open CP932 to UTF-8 converter); nullptr as
    // for Shared(). For tests and for Shared().
    static const ShiftJisTable* ReadOff(iconv_t cd);

    // Appends the UTF-8 text of `bytes` to `out`, as ShiftJisDecoder's
    // contract says: a byte or pair that does not convert becomes U+FFFD,
    // counted as one character when it is a lead and trail byte, and then
    // returns false.
    bool decode(std::string_view bytes, std::string& out) const;

    // The same text as code points, one unit each (the table holds nothing
    // beyond U+FFFF), written to `out`, which has room for one per byte;
    // sets `count` to how many and raises `max` to the largest. For front
    // ends that build UTF-16 or UCS strings (Python's str) without going
    // through UTF-8. Returns false as decode() does.
    bool decode_code_points(std::string_view bytes, char16_t* out, std::size_t& count, char16_t& max) const;

private:
    // A character's UTF-8 bytes (1 to 3), or one of the two markers.
    struct Unit {
        std::uint8_t length;  // 0: does not convert; kNeedsTrail: a lead byte
        std::uint8_t bytes[3];
    };
    static constexpr std::uint8_t kNeedsTrail = 0xFF;

    ShiftJisTable() = default;

    // The code points of a row of units, `lead` standing for a lead byte.
    static std::array<char16_t, 256> CodesOf(const std::array<Unit, 256>& units, char16_t lead);

    // The same characters as code points, for decode_code_points: a value's
    // characters then cost a lookup each, not a lookup and a re-assembly of
    // its UTF-8. Two code points no character decodes to (surrogates) mark
    // a lead byte and bytes that do not convert.
    static constexpr char16_t kLeadCode = 0xD800, kNoCode = 0xDFFF;

    std::array<Unit, 256> single_{};
    std::array<std::uint8_t, 256> lead_index_{};  // row in pairs_ and pair_codes_ for a lead byte
    std::vector<std::array<Unit, 256>> pairs_;
    std::array<char16_t, 256> single_codes_{};
    std::vector<std::array<char16_t, 256>> pair_codes_;
};

}  // namespace zolehead::collection
