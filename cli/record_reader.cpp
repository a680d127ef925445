#include "record_reader.hpp"

#include "entry_reader.hpp"

namespace zolehead_cli {

void RecordReader::run(zolehead::collection::ReadJob& job) {
    job.output.clear();
    zolehead::collection::ReadEntry(job.entry, form_, job.header, job.error);
    format_.render(FileRecord{job.entry.path, job.error, job.header}, text_, job.output);
}

}  // namespace zolehead_cli
