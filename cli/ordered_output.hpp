// Writes the records of a collection run to standard output in walk order,
// framed by the format, with a line on standard error for each file whose
// job carries an error. Shared by reading and editing.
#pragma once

#include <functional>
#include <string>

#include "collection_reader.hpp"
#include "progress_line.hpp"

namespace zolehead_cli {

struct RecordFraming {
    std::string begin;
    std::string separator;                        // between two records
    std::function<std::string(bool any)> end;     // `any`: some record was written
};

// Takes every job from `collection` and writes its output; a job with an
// empty output writes nothing. Returns kExitAllRead, or kExitSomeFailed when
// some job had an error or the output could not be written.
int WriteRecords(zolehead::collection::CollectionReader& collection, const RecordFraming& framing,
                 ProgressLine& progress);

}  // namespace zolehead_cli
