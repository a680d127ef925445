// Reads one file through the core and renders its record. One per reading
// thread: it owns that thread's decoder.
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

    void run(ReadJob& job);

private:
    zolehead::HeaderForm form_;
    FieldText text_;
    const RecordFormat& format_;
    zolehead::ZoleHeader header_;
};

// "cannot open: No such file or directory"
std::string DescribeFailure(const zolehead::ReadResult& result);

}  // namespace zolehead_cli
