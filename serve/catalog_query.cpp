#include "catalog_query.hpp"

#include <algorithm>
#include <numeric>

namespace zolehead::serve {

namespace {

constexpr char Fold(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// -1, 0 or 1, as the folded bytes of a and b compare.
int CompareFolded(std::string_view a, std::string_view b) noexcept {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(Fold(a[i]));
        const auto y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

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
            term += Fold(c);
        }
    }
    flush();
    return terms;
}

FoldedFinder::FoldedFinder(std::string folded_needle) : needle_(std::move(folded_needle)) {
    const std::size_t m = needle_.size();
    std::fill(std::begin(skip_), std::end(skip_), m == 0 ? 1 : m);
    for (std::size_t i = 0; i + 1 < m; ++i) {
        const auto c = static_cast<unsigned char>(needle_[i]);
        skip_[c] = m - 1 - i;
        if (c >= 'a' && c <= 'z') skip_[c - 'a' + 'A'] = m - 1 - i;
    }
}

std::size_t FoldedFinder::find(std::string_view text, std::size_t from) const noexcept {
    const std::size_t m = needle_.size();
    if (m == 0) return from <= text.size() ? from : std::string_view::npos;
    const char last = needle_[m - 1];
    for (std::size_t at = from; at + m <= text.size();) {
        const char end = text[at + m - 1];
        if (Fold(end) == last) {
            std::size_t i = 0;
            while (i + 1 < m && Fold(text[at + i]) == needle_[i]) ++i;
            if (i + 1 == m) return at;
        }
        at += skip_[static_cast<unsigned char>(end)];
    }
    return std::string_view::npos;
}

RowList MatchingRows(const Catalog& catalog, const std::vector<std::string>& terms) {
    RowList rows;
    if (terms.empty()) {
        rows.resize(catalog.size());
        std::iota(rows.begin(), rows.end(), 0U);
        return rows;
    }
    const std::string_view arena = catalog.arena();
    // The first term sweeps the whole arena: after a hit, go on from the
    // start of the next row. No piece holds a NUL, so no hit spans two.
    const FoldedFinder first(terms.front());
    std::size_t row = 0;
    for (std::size_t at = first.find(arena); at != std::string_view::npos;) {
        while (catalog.row_start(row + 1) <= at) ++row;
        rows.push_back(static_cast<std::uint32_t>(row));
        at = first.find(arena, catalog.row_start(++row));
    }
    // The others only look at the rows still in.
    for (std::size_t t = 1; t < terms.size() && !rows.empty(); ++t) {
        const FoldedFinder finder(terms[t]);
        std::erase_if(rows, [&](std::uint32_t r) {
            const std::size_t start = catalog.row_start(r);
            return finder.find(arena.substr(start, catalog.row_start(r + 1) - start)) == std::string_view::npos;
        });
    }
    return rows;
}

RowList SortedRows(const Catalog& catalog, int column, bool descending) {
    RowList rows(catalog.size());
    std::iota(rows.begin(), rows.end(), 0U);
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::string_view x = catalog.column(a, column);
        const std::string_view y = catalog.column(b, column);
        if (x.empty() != y.empty()) return y.empty();
        const int order = CompareFolded(x, y);
        return descending ? order > 0 : order < 0;
    });
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
