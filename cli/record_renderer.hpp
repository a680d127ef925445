// Renders records into their output text on the reading thread that read
// them. One per reading thread: it owns that thread's decoder.
#pragma once

#include "field_text.hpp"
#include "read_job.hpp"
#include "record_format.hpp"

namespace zolehead_cli {

class RecordRenderer {
public:
    RecordRenderer(bool raw, const RecordFormat& format) : text_(raw), format_(format) {}

    // Replaces record.output with the record in the format.
    void render(zolehead::collection::ReadRecord& record);

private:
    zolehead::collection::FieldText text_;
    const RecordFormat& format_;
    std::string raw_path_;  // reused between records
};

}  // namespace zolehead_cli
