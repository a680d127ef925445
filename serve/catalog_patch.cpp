#include "catalog_patch.hpp"

#include <algorithm>
#include <vector>

namespace zolehead::serve {

Catalog ReplaceRows(const Catalog& base, std::span<const RowReplacement> replacements) {
    // The last replacement of each row, in row order.
    std::vector<const RowReplacement*> order;
    order.reserve(replacements.size());
    for (const RowReplacement& r : replacements) {
        if (r.row < base.size()) order.push_back(&r);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const RowReplacement* a, const RowReplacement* b) { return a->row < b->row; });

    CatalogBuilder builder;
    builder.reserve(base.arena().size() + 1024 * order.size(), base.size());
    auto next = order.begin();
    for (std::size_t row = 0; row < base.size(); ++row) {
        const RowReplacement* replacement = nullptr;
        for (; next != order.end() && (*next)->row == row; ++next) replacement = *next;
        if (replacement != nullptr) {
            builder.add(replacement->entry);
        } else {
            builder.copy_row(base, row);
        }
    }
    return builder.finish();
}

}  // namespace zolehead::serve
