// One file's trip through a collection run: the walk names it, a reading
// thread reads it (and, in the tool, renders it), the calling thread takes
// the results in walk order.
#pragma once

#include <string>

#include "file_walker.hpp"
#include "zolehead.hpp"

namespace zolehead::collection {

struct ReadJob {
    WalkEntry entry;
    zolehead::ZoleHeader header;  // what the read found; every slot empty on failure
    std::string error;            // why the file could not be read; empty if it was
    int system_error = 0;         // the errno behind `error`, for consumers that report it
    std::string output;           // free for the consumer: the tool renders its record here
};

}  // namespace zolehead::collection
