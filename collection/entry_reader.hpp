// Reads the header of one walked entry through the core: the one place where
// a collection run turns a WalkEntry into a header or a reason.
#pragma once

#include <string>

#include "file_walker.hpp"
#include "zolehead.hpp"

namespace zolehead::collection {

// Fills `header` (every slot empty on failure) and `error` (empty on
// success, else a short English reason such as "cannot open: No such file
// or directory"). A walk entry that already carries a failure is not read.
// Returns the errno behind a failure, or 0 when there is none (success, or a
// FIFO, device or socket).
int ReadEntry(const WalkEntry& entry, zolehead::HeaderForm form, zolehead::ZoleHeader& header, std::string& error);

// "cannot open: No such file or directory"
std::string DescribeFailure(const zolehead::ReadResult& result);

}  // namespace zolehead::collection
