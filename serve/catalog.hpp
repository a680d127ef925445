// The scanned collection in memory: one row per file, in walk order, built
// once and then only read. Built for collections of 100,000 files and more:
// every row's text lives in one arena, each piece followed by a NUL, so a row
// costs its bytes twice (the arena, and a copy with ASCII letters lowered for
// filtering) plus a fixed record of about 60 bytes, and a filter searches the
// whole copy in one sweep (no text holds a NUL, so a match never spans two
// pieces).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zolehead.hpp"

namespace zolehead::serve {

inline constexpr int kCatalogFields = zolehead::kFieldCount;
// Columns: 0 is the path, 1 .. 16 the fields by slot index + 1.
inline constexpr int kPathColumn = 0;
inline constexpr int kCatalogColumns = kCatalogFields + 1;

enum class FieldForm : std::uint8_t { NONE = 0, A = 1, B = 2 };

// A..Z lowered, every other byte as it is: how filters and sorts ignore case.
constexpr char FoldAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// One file as the catalog keeps it. Values are UTF-8.
struct CatalogEntry {
    std::string_view path;   // the bytes the walk produced, not necessarily UTF-8
    std::string_view error;  // empty when the file was read
    std::array<std::string_view, kCatalogFields> values{};
    std::array<FieldForm, kCatalogFields> forms{};
    std::uint16_t lossy = 0;  // bit i: field i had bytes that are not code page 932
};

class Catalog {
public:
    std::size_t size() const noexcept { return rows_.size(); }
    std::size_t error_count() const noexcept { return errors_; }

    std::string_view path(std::size_t row) const noexcept;
    std::string_view error(std::size_t row) const noexcept;
    std::string_view value(std::size_t row, int field) const noexcept;
    FieldForm form(std::size_t row, int field) const noexcept;
    bool lossy(std::size_t row, int field) const noexcept { return (rows_[row].lossy >> field) & 1U; }
    bool path_is_utf8(std::size_t row) const noexcept { return rows_[row].path_utf8; }
    // Column 0 is the path, column c > 0 the value of field c - 1.
    std::string_view column(std::size_t row, int column) const noexcept;
    // The same piece in the folded arena.
    std::string_view folded_column(std::size_t row, int column) const noexcept {
        const std::string_view text = this->column(row, column);
        return std::string_view(folded_).substr(static_cast<std::size_t>(text.data() - arena_.data()), text.size());
    }

    // Every row's text, NUL after each piece; row r's pieces start at
    // row_start(r), and row_start(size()) is the arena's end.
    std::string_view arena() const noexcept { return arena_; }
    // The arena with ASCII A..Z lowered, byte for byte the same length.
    std::string_view folded_arena() const noexcept { return folded_; }
    std::size_t row_start(std::size_t row) const noexcept {
        return row < rows_.size() ? rows_[row].offset : arena_.size();
    }

    // What the catalog holds beyond the text, for the status report.
    std::size_t memory_bytes() const noexcept {
        return arena_.capacity() + folded_.capacity() + rows_.capacity() * sizeof(Row);
    }

private:
    friend class CatalogBuilder;
    struct Row {
        std::uint64_t offset;  // the path's first byte in the arena
        std::uint32_t path_bytes;
        std::uint32_t error_bytes;
        std::array<std::uint16_t, kCatalogFields> value_bytes;
        std::uint32_t forms;  // two bits per field
        std::uint16_t lossy;
        bool path_utf8;
    };
    // Where field `field` of `row` starts: after the path, the error and
    // the values before it, each with its NUL.
    std::size_t value_start(const Row& row, int field) const noexcept;

    std::string arena_;
    std::string folded_;
    std::vector<Row> rows_;
    std::size_t errors_ = 0;
};

class CatalogBuilder {
public:
    // Appends a row. NUL bytes cannot occur in paths or decoded values; any
    // that arrive are dropped so that the arena's separators stay unique. A
    // value longer than 65,535 bytes (impossible from a 127-byte slot) is cut.
    void add(const CatalogEntry& entry);
    std::size_t size() const noexcept { return catalog_.rows_.size(); }
    // Hands over the catalog; the builder is empty afterwards.
    Catalog finish();

private:
    std::size_t append_piece(std::string_view text, std::size_t limit);
    Catalog catalog_;
};

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text) noexcept;

}  // namespace zolehead::serve
