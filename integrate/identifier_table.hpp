// The sixteen fields: each row's form A label and form B keyword. The row
// number is the slot index everywhere.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "zole_header.hpp"

namespace zolehead {

struct Identifier {
    std::string_view label;    // Shift_JIS, double-byte characters only, <= 18 bytes
    std::string_view keyword;  // ASCII
};

extern const std::array<Identifier, kFieldCount> kIdentifiers;

// The first row whose label equals `label` byte for byte, or -1.
int FindLabelRow(std::string_view label) noexcept;

// Whether some row's label starts with `prefix` (the empty one included).
bool SomeLabelStartsWith(std::string_view prefix) noexcept;

// The row whose label the bytes from p on spell, followed at once by the
// full-width colon 81 46 (all before end), or -1. Labels never start with
// the colon's bytes, so at most one row fits.
int FindLabelRowBeforeColon(const std::uint8_t* p, const std::uint8_t* end) noexcept;

// What MatchLabelRow looks up: a bucket by a hash of a line's first four
// bytes, then the row by the low two bits of one more byte, where labels
// share their first four (作曲 and 作曲年, the three データ labels), so that
// a line costs the same two lookups and one comparison whatever its label
// (no chain to walk, no branch to mispredict); and each row's label with
// the colon as three machine words and the mask of the bytes that count.
struct LabelMatchTable {
    static constexpr int kBuckets = 64;
    static constexpr std::size_t kBytes = 24;  // read from the line's start
    static constexpr int kNoRow = kFieldCount;  // a row of its own that nothing matches
    std::uint32_t multiplier;
    std::uint8_t split_at[kBuckets];       // the byte that tells the bucket's rows apart
    std::int8_t row_of[kBuckets][4];       // by that byte's low two bits; kNoRow: none
    std::uint8_t value_at[kFieldCount];    // the label's bytes and the colon's two
    std::uint64_t word[kFieldCount + 1][3];
    std::uint64_t mask[kFieldCount + 1][3];
    // The same for vector kernels: the bytes, and one bit per byte that counts.
    alignas(32) std::uint8_t bytes[kFieldCount + 1][32];
    std::uint32_t byte_mask[kFieldCount + 1];
};

extern const LabelMatchTable kLabelMatch;

// A line's first four bytes as one number, the same on any machine.
constexpr std::uint32_t LabelKey(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

constexpr unsigned LabelMatchBucket(std::uint32_t key, std::uint32_t multiplier) noexcept {
    return (key * multiplier) >> 26;
}

// The one row a line starting at p may spell: kNoRow if none can.
inline int LabelMatchCandidate(const std::uint8_t* p) noexcept {
    const unsigned bucket = LabelMatchBucket(LabelKey(p), kLabelMatch.multiplier);
    return kLabelMatch.row_of[bucket][p[kLabelMatch.split_at[bucket]] & 3U];
}

// As FindLabelRowBeforeColon where at least 24 bytes from p on can be read:
// two table lookups and one comparison of three words.
inline int MatchLabelRow(const std::uint8_t* p) noexcept {
    const int row = LabelMatchCandidate(p);
    std::uint64_t in[3];
    std::memcpy(in, p, sizeof in);
    const std::uint64_t(&w)[3] = kLabelMatch.word[row];
    const std::uint64_t(&m)[3] = kLabelMatch.mask[row];
    const bool same = (((in[0] ^ w[0]) & m[0]) | ((in[1] ^ w[1]) & m[1]) | ((in[2] ^ w[2]) & m[2])) == 0;
    return same && row != LabelMatchTable::kNoRow ? row : -1;
}

// The keywords as sets of rows, one bit per row, for a name that is spelled
// a byte at a time: the rows it may still become narrow with each byte, so
// that asking costs one lookup however long the name is.
inline constexpr std::size_t kKeywordMaxBytes = 12;  // ComposedYear
inline constexpr std::uint16_t kAllKeywordRows = (1U << kFieldCount) - 1;
struct KeywordPrefixTable {
    // Rows whose keyword has byte b at position `at`, A..Z and a..z alike;
    // none for a byte above 0x7F.
    std::uint16_t rows_with[kKeywordMaxBytes][128];
    std::uint16_t rows_of_length[kKeywordMaxBytes + 1];
};
extern const KeywordPrefixTable kKeywordPrefix;

// The rows a name may still become when byte b comes at position `at`.
inline std::uint16_t KeywordRowsWith(std::size_t at, std::uint8_t b) noexcept {
    return at < kKeywordMaxBytes && b < 0x80 ? kKeywordPrefix.rows_with[at][b] : 0;
}
// Of the rows `candidates` whose keywords start with a name of `length`
// bytes, the one it spells whole, or -1.
inline int KeywordRowSpelled(std::uint16_t candidates, std::size_t length) noexcept {
    const unsigned rows = length <= kKeywordMaxBytes ? candidates & kKeywordPrefix.rows_of_length[length] : 0U;
    return rows == 0 ? -1 : std::countr_zero(rows);
}

// The first row whose keyword equals `name` once ASCII A..Z are folded onto
// a..z (no locale; every other byte must match exactly), or -1.
int FindKeywordRow(std::string_view name) noexcept;

}  // namespace zolehead
