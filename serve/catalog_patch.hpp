// A catalog with some of its rows replaced: how an edit reaches the table.
// The catalog stays immutable; an edit builds the next one, copying every
// other row's bytes as they are (a few tens of milliseconds at 100,000
// files), so that filters, sorts and the view cache need no second path.
#pragma once

#include <cstdint>
#include <span>

#include "catalog.hpp"

namespace zolehead::serve {

// Row `row` as its file reads now. The entry's text must outlive the call.
struct RowReplacement {
    std::uint32_t row = 0;
    CatalogEntry entry;
};

// `base` with the given rows replaced, every other row and the walk order
// kept. A row named twice takes its last replacement; rows past the end are
// ignored.
Catalog ReplaceRows(const Catalog& base, std::span<const RowReplacement> replacements);

}  // namespace zolehead::serve
