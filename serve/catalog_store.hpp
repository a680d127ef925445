// The catalog the server shows: replaced whole when a scan ends, and row by
// row after an edit, read by any number of request threads meanwhile.
//
// Two numbers name what a page holds. The version counts scans: row numbers
// keep their meaning within one version. The generation counts every change
// (scans and edits): the rows and views of one generation never change.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "catalog.hpp"
#include "catalog_patch.hpp"

namespace zolehead::serve {

class CatalogStore {
public:
    struct Snapshot {
        std::shared_ptr<const Catalog> catalog;  // never null
        std::uint64_t version = 0;               // 0: no scan has ended yet
        std::uint64_t generation = 0;
    };

    CatalogStore() : current_{std::make_shared<const Catalog>(), 0, 0} {}

    Snapshot current() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return current_;
    }

    // Replaces the catalog; returns its version.
    std::uint64_t publish(Catalog catalog) {
        auto next = std::make_shared<const Catalog>(std::move(catalog));
        const std::lock_guard<std::mutex> lock(mutex_);
        current_ = Snapshot{std::move(next), current_.version + 1, current_.generation + 1};
        return current_.version;
    }

    // Replaces rows of the catalog of `basis`, keeping its version. Returns
    // the new snapshot, or nothing (and changes nothing) if the catalog has
    // changed since `basis`: the caller builds on the new one.
    std::optional<Snapshot> replace_rows(const Snapshot& basis, std::span<const RowReplacement> replacements) {
        // Built outside the lock: readers are not held up by the copy.
        auto next = std::make_shared<const Catalog>(ReplaceRows(*basis.catalog, replacements));
        const std::lock_guard<std::mutex> lock(mutex_);
        if (current_.generation != basis.generation) return std::nullopt;
        current_ = Snapshot{std::move(next), current_.version, current_.generation + 1};
        return current_;
    }

private:
    mutable std::mutex mutex_;
    Snapshot current_;
};

}  // namespace zolehead::serve
