// What a collection run reads, and the limits that keep hostile input bounded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zolehead.hpp"

namespace zolehead::collection {

// Far above any Zole data file, far below what a machine can hold.
inline constexpr std::uint64_t kDefaultMaxEntrySize = std::uint64_t{256} * 1024 * 1024;

struct ReadSettings {
    zolehead::HeaderForm form = zolehead::HeaderForm::BOTH;
    // Open archives (decided by content) and read the files inside them.
    bool archives = false;
    // An entry of an archive that decompresses to more bytes is stopped and
    // reported rather than read on.
    std::uint64_t max_entry_size = kDefaultMaxEntrySize;
    // Picks entries inside archives by name, as the walker picks files:
    // lower case, no leading dot; empty: every entry.
    std::vector<std::string> extensions;
};

}  // namespace zolehead::collection
