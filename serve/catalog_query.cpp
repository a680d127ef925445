#include "catalog_query.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace zolehead::serve {

namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// Where `needle` first occurs in `text` at or after `from`, or npos.
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from = 0) noexcept {
    if (from > text.size()) return std::string_view::npos;
    const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit == nullptr ? std::string_view::npos : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// Eight bytes of `text` from `at`, big-endian, zeros past its end: keys that
// compare as the bytes do. No text holds a NUL, so a text that ends sorts
// before a longer one it begins.
std::uint64_t Prefix(std::string_view text, std::size_t at) noexcept {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key <<= 8;
        if (at + i < text.size()) key |= static_cast<unsigned char>(text[at + i]);
    }
    return key;
}

struct SortKey {
    std::uint64_t high;
    std::uint64_t low;
    const char* text;  // the folded value
    std::uint32_t length;
    std::uint32_t row;
};

}  // namespace

std::vector<std::string> FilterTerms(std::string_view filter) {
    std::vector<std::string> terms;
    std::string term;
    const auto flush = [&] {
        if (!term.empty() && terms.size() < kMaxFilterTerms) terms.push_back(term);
        term.clear();
    };
    for (std::size_t i = 0; i < filter.size();) {
        if (filter.substr(i, kIdeographicSpace.size()) == kIdeographicSpace) {
            flush();
            i += kIdeographicSpace.size();
            continue;
        }
        const char c = filter[i++];
        if (c == ' ' || c == '\t') {
            flush();
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            term += FoldAscii(c);
        }
    }
    flush();
    return terms;
}

RowList MatchingRows(const Catalog& catalog, const std::vector<std::string>& terms) {
    RowList rows;
    if (terms.empty()) {
        rows.resize(catalog.size());
        std::iota(rows.begin(), rows.end(), 0U);
        return rows;
    }
    // Terms are folded already; the catalog keeps a folded copy of its text.
    const std::string_view text = catalog.folded_arena();
    // The first term sweeps the whole text: after a hit, go on from the
    // start of the next row. No piece holds a NUL, so no hit spans two.
    std::size_t row = 0;
    for (std::size_t at = Find(text, terms.front()); at != std::string_view::npos;) {
        while (catalog.row_start(row + 1) <= at) ++row;
        rows.push_back(static_cast<std::uint32_t>(row));
        at = Find(text, terms.front(), catalog.row_start(++row));
    }
    // The others only look at the rows still in.
    for (std::size_t t = 1; t < terms.size() && !rows.empty(); ++t) {
        std::erase_if(rows, [&](std::uint32_t r) {
            const std::size_t start = catalog.row_start(r);
            return Find(text.substr(start, catalog.row_start(r + 1) - start), terms[t]) == std::string_view::npos;
        });
    }
    return rows;
}

RowList SortedRows(const Catalog& catalog, int column, bool descending) {
    // Sixteen bytes of each value as two integers decide most comparisons;
    // only values that share them are compared whole.
    std::vector<SortKey> keys;
    RowList empty;
    keys.reserve(catalog.size());
    for (std::size_t r = 0; r < catalog.size(); ++r) {
        const std::string_view text = catalog.folded_column(r, column);
        if (text.empty()) {
            empty.push_back(static_cast<std::uint32_t>(r));
        } else {
            keys.push_back({Prefix(text, 0), Prefix(text, 8), text.data(), static_cast<std::uint32_t>(text.size()),
                            static_cast<std::uint32_t>(r)});
        }
    }
    // -1, 0 or 1, as the values of two keys compare.
    const auto compare = [](const SortKey& a, const SortKey& b) {
        if (a.high != b.high) return a.high < b.high ? -1 : 1;
        if (a.low != b.low) return a.low < b.low ? -1 : 1;
        // Equal keys: both values agree in their first 16 bytes (or all of them).
        if (a.length <= 16 && b.length <= 16) return 0;
        const int order = std::string_view(a.text, a.length).substr(16).compare(std::string_view(b.text, b.length).substr(16));
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    };
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        const int order = compare(a, b);
        return order != 0 ? order < 0 : a.row < b.row;
    });
    RowList rows;
    rows.reserve(catalog.size());
    if (!descending) {
        for (const SortKey& key : keys) rows.push_back(key.row);
    } else {
        // Groups of equal values from the last, each still in walk order.
        for (std::size_t end = keys.size(); end > 0;) {
            std::size_t begin = end - 1;
            while (begin > 0 && compare(keys[begin - 1], keys[end - 1]) == 0) --begin;
            for (std::size_t i = begin; i < end; ++i) rows.push_back(keys[i].row);
            end = begin;
        }
    }
    rows.insert(rows.end(), empty.begin(), empty.end());
    return rows;
}

RowList ViewRows(const Catalog& catalog, const ViewQuery& query, const RowList* sorted) {
    RowList matching = MatchingRows(catalog, FilterTerms(query.filter));
    if (query.sort_column == kWalkOrder) {
        if (query.descending) std::reverse(matching.begin(), matching.end());
        return matching;
    }
    if (sorted == nullptr) {
        const RowList order = SortedRows(catalog, query.sort_column, query.descending);
        return ViewRows(catalog, query, &order);
    }
    if (matching.size() == catalog.size()) return *sorted;
    std::vector<bool> in(catalog.size(), false);
    for (std::uint32_t r : matching) in[r] = true;
    RowList ordered;
    ordered.reserve(matching.size());
    for (std::uint32_t r : *sorted) {
        if (in[r]) ordered.push_back(r);
    }
    return ordered;
}

std::shared_ptr<const RowList> ViewCache::find(std::uint64_t version, const ViewQuery& query) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->version == version && it->query == query) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().rows;
        }
    }
    return nullptr;
}

void ViewCache::remember(Entry entry) {
    const std::lock_guard<std::mutex> lock(mutex_);
    // An older version's views are of no more use.
    std::erase_if(entries_, [&](const Entry& e) { return e.version != entry.version; });
    entries_.push_front(std::move(entry));
    if (entries_.size() > kKept) entries_.pop_back();
}

std::shared_ptr<const RowList> ViewCache::compute(const Catalog& catalog, std::uint64_t version,
                                                  const ViewQuery& query) {
    if (query.sort_column == kWalkOrder || query.filter.empty()) {
        if (query.filter.empty() && query.sort_column != kWalkOrder) {
            return std::make_shared<const RowList>(SortedRows(catalog, query.sort_column, query.descending));
        }
        return std::make_shared<const RowList>(ViewRows(catalog, query));
    }
    // A filtered sort reuses the full order of its column, itself cached.
    const ViewQuery full{{}, query.sort_column, query.descending};
    std::shared_ptr<const RowList> order = find(version, full);
    if (!order) {
        order = compute(catalog, version, full);
        remember(Entry{version, full, order});
    }
    return std::make_shared<const RowList>(ViewRows(catalog, query, order.get()));
}

std::shared_ptr<const RowList> ViewCache::rows(const std::shared_ptr<const Catalog>& catalog, std::uint64_t version,
                                               const ViewQuery& query) {
    if (std::shared_ptr<const RowList> known = find(version, query)) return known;
    // Worked out without the lock, so that one slow view does not hold up others.
    std::shared_ptr<const RowList> rows = compute(*catalog, version, query);
    remember(Entry{version, query, rows});
    return rows;
}

}  // namespace zolehead::serve
