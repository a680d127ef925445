// The catalog the server shows: replaced whole when a scan ends, read by any
// number of request threads meanwhile. Each catalog gets the next version
// number, so that a page can tell when the rows it holds are out of date.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "catalog.hpp"

namespace zolehead::serve {

class CatalogStore {
public:
    struct Snapshot {
        std::shared_ptr<const Catalog> catalog;  // never null
        std::uint64_t version = 0;               // 0: no scan has ended yet
    };

    CatalogStore() : current_{std::make_shared<const Catalog>(), 0} {}

    Snapshot current() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return current_;
    }

    // Replaces the catalog; returns its version.
    std::uint64_t publish(Catalog catalog) {
        auto next = std::make_shared<const Catalog>(std::move(catalog));
        const std::lock_guard<std::mutex> lock(mutex_);
        current_ = Snapshot{std::move(next), current_.version + 1};
        return current_.version;
    }

private:
    mutable std::mutex mutex_;
    Snapshot current_;
};

}  // namespace zolehead::serve
