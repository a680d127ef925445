// A walked file and what a consumer's own work made of it: for runs that do
// more than read a header (editing, explaining), over OrderedWalk.
#pragma once

#include <cstdint>
#include <string>

#include "file_walker.hpp"

namespace zolehead::collection {

struct WorkJob {
    WalkEntry entry;
    std::uint64_t sequence = 0;  // the job's place in the walk, from 0
    std::string output;          // the rendered record; empty: nothing to write
    std::string error;           // why the file failed; empty if it did not
    std::uint64_t findings = 0;  // what the work counted in the file (lint's warnings)
};

}  // namespace zolehead::collection
