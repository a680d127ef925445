#include "catalog.hpp"

#include <algorithm>
#include <limits>

namespace zolehead::serve {

std::size_t Catalog::value_start(const Row& row, int field) const noexcept {
    std::size_t at = row.offset + row.path_bytes + 1 + row.error_bytes + 1;
    for (int i = 0; i < field; ++i) at += row.value_bytes[static_cast<std::size_t>(i)] + 1U;
    return at;
}

std::string_view Catalog::path(std::size_t row) const noexcept {
    const Row& r = rows_[row];
    return std::string_view(arena_).substr(r.offset, r.path_bytes);
}

std::string_view Catalog::error(std::size_t row) const noexcept {
    const Row& r = rows_[row];
    return std::string_view(arena_).substr(r.offset + r.path_bytes + 1, r.error_bytes);
}

std::string_view Catalog::value(std::size_t row, int field) const noexcept {
    const Row& r = rows_[row];
    return std::string_view(arena_).substr(value_start(r, field), r.value_bytes[static_cast<std::size_t>(field)]);
}

FieldForm Catalog::form(std::size_t row, int field) const noexcept {
    return static_cast<FieldForm>((rows_[row].forms >> (2 * field)) & 3U);
}

CatalogEntry Catalog::entry(std::size_t row) const noexcept {
    CatalogEntry entry;
    entry.path = path(row);
    entry.error = error(row);
    for (int f = 0; f < kCatalogFields; ++f) {
        entry.values[static_cast<std::size_t>(f)] = value(row, f);
        entry.forms[static_cast<std::size_t>(f)] = form(row, f);
    }
    entry.lossy = rows_[row].lossy;
    entry.in_archive = rows_[row].in_archive;
    return entry;
}

std::string_view Catalog::column(std::size_t row, int column) const noexcept {
    return column == kPathColumn ? path(row) : value(row, column - 1);
}

std::size_t CatalogBuilder::append_piece(std::string_view text, std::size_t limit) {
    std::string& arena = catalog_.arena_;
    const std::size_t start = arena.size();
    for (char c : text) {
        if (arena.size() - start == limit) break;
        if (c != '\0') arena += c;
    }
    const std::size_t length = arena.size() - start;
    arena += '\0';
    return length;
}

void CatalogBuilder::add(const CatalogEntry& entry) {
    constexpr std::size_t kNoLimit = std::numeric_limits<std::uint32_t>::max();
    constexpr std::size_t kValueLimit = std::numeric_limits<std::uint16_t>::max();
    Catalog::Row row{};
    row.offset = catalog_.arena_.size();
    row.path_bytes = static_cast<std::uint32_t>(append_piece(entry.path, kNoLimit));
    row.error_bytes = static_cast<std::uint32_t>(append_piece(entry.error, kNoLimit));
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
        row.value_bytes[i] = static_cast<std::uint16_t>(append_piece(entry.values[i], kValueLimit));
        row.forms |= static_cast<std::uint32_t>(entry.forms[i]) << (2 * i);
    }
    row.lossy = entry.lossy;
    row.path_utf8 = IsUtf8(entry.path);
    row.in_archive = entry.in_archive;
    if (!entry.error.empty()) ++catalog_.errors_;
    catalog_.rows_.push_back(row);
}

void CatalogBuilder::copy_row(const Catalog& from, std::size_t row) {
    Catalog::Row copy = from.rows_[row];
    const std::size_t end = from.row_start(row + 1);
    const std::size_t begin = copy.offset;
    copy.offset = catalog_.arena_.size();
    catalog_.arena_.append(from.arena_, begin, end - begin);
    if (copy.error_bytes != 0) ++catalog_.errors_;
    catalog_.rows_.push_back(copy);
}

void CatalogBuilder::reserve(std::size_t text_bytes, std::size_t rows) {
    catalog_.arena_.reserve(text_bytes);
    catalog_.rows_.reserve(rows);
}

Catalog CatalogBuilder::finish() {
    catalog_.arena_.shrink_to_fit();
    catalog_.folded_ = catalog_.arena_;
    for (char& c : catalog_.folded_) c = FoldAscii(c);
    catalog_.rows_.shrink_to_fit();
    Catalog done = std::move(catalog_);
    catalog_ = Catalog{};
    return done;
}

}  // namespace zolehead::serve
