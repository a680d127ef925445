// Which rows of a catalog a view shows, and in what order: a filter of
// terms that must each appear somewhere in the row, and a sort by one column.
// Pure functions over a Catalog, plus a small cache so that scrolling through
// one view does not filter and sort again for every window of rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "catalog.hpp"

namespace zolehead::serve {

inline constexpr int kWalkOrder = -1;  // the sort column meaning "as walked"
inline constexpr std::size_t kMaxFilterTerms = 16;

struct ViewQuery {
    std::string filter;
    int sort_column = kWalkOrder;  // kWalkOrder, kPathColumn or a field column (1 .. 16)
    bool descending = false;

    friend bool operator==(const ViewQuery&, const ViewQuery&) = default;
};

using RowList = std::vector<std::uint32_t>;

// The terms of a filter: split at ASCII blanks and ideographic spaces
// (U+3000, what a Japanese input method types), ASCII letters lowered,
// control bytes dropped; at most kMaxFilterTerms, the rest ignored.
std::vector<std::string> FilterTerms(std::string_view filter);

// The rows, in walk order, in which every term occurs within one piece (the
// path, the error or one value), ignoring the case of ASCII letters.
// No terms: every row.
RowList MatchingRows(const Catalog& catalog, const std::vector<std::string>& terms);

// Every row, ordered by `column` (kPathColumn or 1 .. 16) ignoring ASCII
// case, bytes compared as they are (UTF-8 orders by code point). Empty
// values come last in both directions; equal ones keep walk order.
RowList SortedRows(const Catalog& catalog, int column, bool descending);

// The rows of a view, in view order. `sorted`, when given, must be
// SortedRows for the query's column and direction: it spares a sort.
RowList ViewRows(const Catalog& catalog, const ViewQuery& query, const RowList* sorted = nullptr);

// Remembers the last few views and orders of one catalog version. Safe to
// call from any thread; the lists it hands out are never changed.
class ViewCache {
public:
    std::shared_ptr<const RowList> rows(const std::shared_ptr<const Catalog>& catalog, std::uint64_t version,
                                        const ViewQuery& query);

private:
    // A view, or with an empty filter the full order of a sort.
    struct Entry {
        std::uint64_t version;
        ViewQuery query;
        std::shared_ptr<const RowList> rows;
    };
    std::shared_ptr<const RowList> find(std::uint64_t version, const ViewQuery& query);
    void remember(Entry entry);
    std::shared_ptr<const RowList> compute(const Catalog& catalog, std::uint64_t version, const ViewQuery& query);

    static constexpr std::size_t kKept = 12;
    std::mutex mutex_;
    std::list<Entry> entries_;  // most recent first
};

}  // namespace zolehead::serve
