#include "identifier_table.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

namespace zolehead {

// Labels are spelled as bytes so the source stays encoding-neutral; the
// comment on each row shows what they read as.
constexpr std::array<Identifier, kFieldCount> kIdentifiers = {{
    {"\x8B\xC8\x96\xBC", "Title"},                                                        // 曲名
    {"\x83\x57\x83\x83\x83\x93\x83\x8B", "Genre"},                                        // ジャンル
    {"\x8D\xEC\x8B\xC8", "Composer"},                                                     // 作曲
    {"\x8D\xEC\x8E\x8C", "Lyricist"},                                                     // 作詞
    {"\x95\xD2\x8B\xC8", "Arranger"},                                                     // 編曲
    {"\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67", "Artist"},                       // アーティスト
    {"\x8D\xEC\x8B\xC8\x94\x4E", "ComposedYear"},                                         // 作曲年
    {"\x83\x66\x81\x5B\x83\x5E\x90\xA7\x8D\xEC", "ZoledBy"},                              // データ制作
    {"\x83\x66\x81\x5B\x83\x5E\x8A\xAE\x90\xAC\x93\xFA", "DataDate"},                     // データ完成日
    {"\x83\x81\x81\x5B\x83\x8B\x83\x41\x83\x68\x83\x8C\x83\x58", "E-Mail"},               // メールアドレス
    {"\x83\x7A\x81\x5B\x83\x80\x83\x79\x81\x5B\x83\x57", "HomePage"},                     // ホームページ
    {"\x83\x66\x81\x5B\x83\x5E\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93", "DataVersion"},  // データバージョン
    {"\x82\x79\x82\x8F\x82\x8C\x82\x85\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93", "ZoleVersion"},  // Ｚｏｌｅバージョン
    {"\x8E\x67\x97\x70\x89\xB9\x8C\xB9", "MidiDevice"},                                           // 使用音源
    {"\x8B\xC8\x91\x7A", "Impression"},                                                           // 曲想
    {"\x83\x52\x83\x81\x83\x93\x83\x67", "Comment"},                                              // コメント
}};

int FindLabelRow(std::string_view label) noexcept {
    for (int row = 0; row < kFieldCount; ++row) {
        if (kIdentifiers[row].label == label) return row;
    }
    return -1;
}

namespace {

// The rows by the first two bytes of their labels: a hash that keeps the
// eleven distinct pairs apart in sixteen buckets, each bucket a chain of
// the rows that share its pair (at most three: 作曲, 作詞, 作曲年).
constexpr unsigned LabelBucket(std::uint8_t first, std::uint8_t second) noexcept {
    return ((((unsigned{first} << 8) | second) * 89U) >> 6) & 15U;
}

struct LabelIndex {
    std::int8_t first_row[16];
    std::int8_t next_row[kFieldCount];
};

constexpr LabelIndex MakeLabelIndex() noexcept {
    LabelIndex index{};
    for (std::int8_t& row : index.first_row) row = -1;
    for (int row = kFieldCount - 1; row >= 0; --row) {
        const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
        const unsigned bucket = LabelBucket(static_cast<std::uint8_t>(label[0]), static_cast<std::uint8_t>(label[1]));
        index.next_row[row] = index.first_row[bucket];
        index.first_row[bucket] = static_cast<std::int8_t>(row);
    }
    return index;
}

constexpr LabelIndex kLabelIndex = MakeLabelIndex();

// No two distinct pairs share a bucket, so a bucket's rows share one pair.
constexpr bool BucketsHoldOnePairEach() noexcept {
    for (int a = 0; a < kFieldCount; ++a) {
        for (int b = 0; b < kFieldCount; ++b) {
            const std::string_view x = kIdentifiers[static_cast<std::size_t>(a)].label;
            const std::string_view y = kIdentifiers[static_cast<std::size_t>(b)].label;
            const bool same_pair = x[0] == y[0] && x[1] == y[1];
            const bool same_bucket = LabelBucket(static_cast<std::uint8_t>(x[0]), static_cast<std::uint8_t>(x[1])) ==
                                     LabelBucket(static_cast<std::uint8_t>(y[0]), static_cast<std::uint8_t>(y[1]));
            if (same_bucket && !same_pair) return false;
        }
    }
    return true;
}
static_assert(BucketsHoldOnePairEach());

}  // namespace

bool SomeLabelStartsWith(std::string_view prefix) noexcept {
    if (prefix.size() < 2) {
        for (const Identifier& row : kIdentifiers) {
            if (row.label.starts_with(prefix)) return true;
        }
        return false;
    }
    const auto first = static_cast<std::uint8_t>(prefix[0]), second = static_cast<std::uint8_t>(prefix[1]);
    for (int row = kLabelIndex.first_row[LabelBucket(first, second)]; row >= 0; row = kLabelIndex.next_row[row]) {
        const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
        if (static_cast<std::uint8_t>(label[0]) != first || static_cast<std::uint8_t>(label[1]) != second) return false;
        if (label.starts_with(prefix)) return true;
    }
    return false;
}

namespace {

// A row's LabelKey (every label has at least four bytes).
constexpr std::uint32_t RowKey(int row) noexcept {
    const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
    const std::uint8_t first[4] = {static_cast<std::uint8_t>(label[0]), static_cast<std::uint8_t>(label[1]),
                                   static_cast<std::uint8_t>(label[2]), static_cast<std::uint8_t>(label[3])};
    return LabelKey(first);
}

// Rows whose labels share their first four bytes, and only those, share a
// bucket under `multiplier`.
constexpr bool BucketsSplitPrefixes(std::uint32_t multiplier) noexcept {
    for (int a = 0; a < kFieldCount; ++a) {
        for (int b = 0; b < kFieldCount; ++b) {
            const bool same_prefix = RowKey(a) == RowKey(b);
            const bool same_bucket = LabelMatchBucket(RowKey(a), multiplier) == LabelMatchBucket(RowKey(b), multiplier);
            if (same_bucket != same_prefix) return false;
        }
    }
    return true;
}

// A row's label and colon, as a matching line starts.
constexpr std::array<std::uint8_t, LabelMatchTable::kBytes> RowPattern(int row) noexcept {
    const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
    std::array<std::uint8_t, LabelMatchTable::kBytes> bytes{};
    for (std::size_t i = 0; i < label.size(); ++i) bytes[i] = static_cast<std::uint8_t>(label[i]);
    bytes[label.size()] = 0x81;
    bytes[label.size() + 1] = 0x46;
    return bytes;
}

// The first byte, within every one of their patterns, whose low two bits
// differ between all the rows that share the first four bytes with `row`;
// 0 when no other row does, -1 when no byte tells them apart.
constexpr int SplitByte(int row) noexcept {
    std::size_t shortest = LabelMatchTable::kBytes;
    int sharing = 0;
    for (int other = 0; other < kFieldCount; ++other) {
        if (RowKey(other) != RowKey(row)) continue;
        ++sharing;
        const std::size_t length = kIdentifiers[static_cast<std::size_t>(other)].label.size() + 2;
        if (length < shortest) shortest = length;
    }
    if (sharing == 1) return 0;
    for (std::size_t at = 4; at < shortest; ++at) {
        bool apart = true;
        for (int a = 0; a < kFieldCount; ++a) {
            for (int b = a + 1; b < kFieldCount; ++b) {
                if (RowKey(a) != RowKey(row) || RowKey(b) != RowKey(row)) continue;
                if ((RowPattern(a)[at] & 3U) == (RowPattern(b)[at] & 3U)) apart = false;
            }
        }
        if (apart) return static_cast<int>(at);
    }
    return -1;
}

constexpr LabelMatchTable MakeLabelMatch() noexcept {
    LabelMatchTable table{};
    // The first odd multiplier from a fixed start that splits the prefixes.
    table.multiplier = 0x9E3779B1U;
    while (!BucketsSplitPrefixes(table.multiplier)) table.multiplier += 2;
    for (auto& rows : table.row_of) {
        for (std::int8_t& row : rows) row = LabelMatchTable::kNoRow;
    }
    // kNoRow's pattern is all zero with no byte that counts: it matches any
    // line, and the lookup then answers -1 for it.
    for (int row = 0; row < kFieldCount; ++row) {
        const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
        const std::array<std::uint8_t, LabelMatchTable::kBytes> bytes = RowPattern(row);
        std::array<std::uint8_t, LabelMatchTable::kBytes> mask{};
        for (std::size_t i = 0; i < label.size() + 2; ++i) mask[i] = 0xFF;
        // Through bit_cast, so the words hold the bytes in the order a load
        // from memory gives on any machine.
        const auto words = std::bit_cast<std::array<std::uint64_t, 3>>(bytes);
        const auto masks = std::bit_cast<std::array<std::uint64_t, 3>>(mask);
        for (std::size_t i = 0; i < 3; ++i) {
            table.word[row][i] = words[i];
            table.mask[row][i] = masks[i];
        }
        for (std::size_t i = 0; i < LabelMatchTable::kBytes; ++i) table.bytes[row][i] = bytes[i];
        table.byte_mask[row] = (std::uint32_t{1} << (label.size() + 2)) - 1;
        table.value_at[row] = static_cast<std::uint8_t>(label.size() + 2);
        const unsigned bucket = LabelMatchBucket(RowKey(row), table.multiplier);
        const int split = SplitByte(row);
        table.split_at[bucket] = static_cast<std::uint8_t>(split);
        if (split == 0) {
            for (std::int8_t& entry : table.row_of[bucket]) entry = static_cast<std::int8_t>(row);
        } else {
            table.row_of[bucket][bytes[static_cast<std::size_t>(split)] & 3U] = static_cast<std::int8_t>(row);
        }
    }
    return table;
}

// Every row that shares its first four bytes with others has a byte that
// tells them apart.
constexpr bool EveryRowSplits() noexcept {
    for (int row = 0; row < kFieldCount; ++row) {
        if (SplitByte(row) < 0) return false;
    }
    return true;
}
static_assert(EveryRowSplits());

static_assert(kLabelMaxBytes + 2 <= LabelMatchTable::kBytes);

}  // namespace

constexpr LabelMatchTable kLabelMatch = MakeLabelMatch();

int FindLabelRowBeforeColon(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    const std::ptrdiff_t room = end - p;
    if (room < 6) return -1;
    if (room >= static_cast<std::ptrdiff_t>(LabelMatchTable::kBytes)) return MatchLabelRow(p);
    for (int row = kLabelIndex.first_row[LabelBucket(p[0], p[1])]; row >= 0; row = kLabelIndex.next_row[row]) {
        const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
        const auto n = static_cast<std::ptrdiff_t>(label.size());
        if (room < n + 2 || p[n] != 0x81 || p[n + 1] != 0x46) continue;
        if (std::memcmp(label.data(), p, label.size()) == 0) return row;
    }
    return -1;
}

namespace {
constexpr char FoldAsciiCase(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) noexcept {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(prefix[i])) return false;
    }
    return true;
}
}  // namespace

int FindKeywordRow(std::string_view name) noexcept {
    for (int row = 0; row < kFieldCount; ++row) {
        const std::string_view keyword = kIdentifiers[row].keyword;
        if (keyword.size() == name.size() && StartsWithFolded(keyword, name)) return row;
    }
    return -1;
}

namespace {
constexpr KeywordPrefixTable MakeKeywordPrefix() noexcept {
    KeywordPrefixTable table{};
    for (int row = 0; row < kFieldCount; ++row) {
        const std::string_view keyword = kIdentifiers[static_cast<std::size_t>(row)].keyword;
        const auto bit = static_cast<std::uint16_t>(1U << row);
        for (std::size_t at = 0; at < keyword.size(); ++at) {
            const char c = keyword[at];
            table.rows_with[at][static_cast<unsigned char>(c)] |= bit;
            if (c >= 'a' && c <= 'z') table.rows_with[at][static_cast<unsigned char>(c - ('a' - 'A'))] |= bit;
            if (c >= 'A' && c <= 'Z') table.rows_with[at][static_cast<unsigned char>(c + ('a' - 'A'))] |= bit;
        }
        table.rows_of_length[keyword.size()] |= bit;
    }
    return table;
}

constexpr bool KeywordsFitPrefixTable() noexcept {
    for (const Identifier& row : kIdentifiers) {
        if (row.keyword.empty() || row.keyword.size() > kKeywordMaxBytes) return false;
        for (char c : row.keyword) {
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        }
    }
    return true;
}
static_assert(KeywordsFitPrefixTable());
}  // namespace

constexpr KeywordPrefixTable kKeywordPrefix = MakeKeywordPrefix();


}  // namespace zolehead
