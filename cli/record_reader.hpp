// Reads one walked entry and renders its record. One per reading thread: it
// owns that thread's decoder.
#pragma once

#include "field_text.hpp"
#include "read_job.hpp"
#include "record_format.hpp"
#include "zolehead.hpp"

namespace zolehead_cli {

class RecordReader {
public:
    RecordReader(zolehead::HeaderForm form, bool raw, const RecordFormat& format)
        : form_(form), text_(raw), format_(format) {}

    void run(zolehead::collection::ReadJob& job);

private:
    zolehead::HeaderForm form_;
    zolehead::collection::FieldText text_;
    const RecordFormat& format_;
};

}  // namespace zolehead_cli
