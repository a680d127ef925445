// A walked file's bytes, all at once, for work that needs the whole input in
// memory (explaining and linting a header). The same rules as the readers:
// regular files only, opened without blocking, binary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_walker.hpp"

namespace zolehead::collection {

// Fills `bytes` with the file's contents and returns true, or leaves `bytes`
// empty, sets `error` (a short English reason, as ReadEntry gives) and
// returns false. A file larger than `limit` bytes is refused rather than
// held in memory; so is an entry the walk already failed. Never blocks on a
// FIFO and never reads a device. `system_error`, when given, gets the errno
// behind a failure (0 on success and where there is none).
bool ReadWholeFile(const WalkEntry& entry, std::uint64_t limit, std::vector<std::uint8_t>& bytes, std::string& error,
                   int* system_error = nullptr);

}  // namespace zolehead::collection
