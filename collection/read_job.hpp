// One file's trip through a collection run: the walk names it, a reading
// thread reads it (and, in the tool, renders it), the calling thread takes
// the results in walk order.
#pragma once

#include <cstdint>
#include <string>

#include "file_walker.hpp"
#include "zolehead.hpp"

namespace zolehead::collection {

struct ReadJob {
    WalkEntry entry;
    std::uint64_t sequence = 0;   // the job's place in the walk, from 0
    zolehead::ZoleHeader header;  // what the read found; every slot empty on failure
    std::string error;            // why the file could not be read; empty if it was
    std::string output;           // free for the consumer: the tool renders its record here
    std::uint64_t findings = 0;   // free for the consumer: what it counted in the file (lint's warnings)
};

}  // namespace zolehead::collection
