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
    if (!entry.error.empty()) ++catalog_.errors_;
    catalog_.rows_.push_back(row);
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

bool IsUtf8(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        unsigned lowest_second = 0x80, highest_second = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0) lowest_second = 0xA0;   // overlong
            if (b == 0xED) highest_second = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0) lowest_second = 0x90;  // overlong
            if (b == 0xF4) highest_second = 0x8F;  // past U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        if (p[1] < lowest_second || p[1] > highest_second) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
        }
        p += length;
    }
    return true;
}

}  // namespace zolehead::serve
