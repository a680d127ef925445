#include "record_reader.hpp"

#include <system_error>

namespace zolehead_cli {

std::string DescribeFailure(const zolehead::ReadResult& result) {
    std::string reason = zolehead::DescribeReadStatus(result.status);
    if (result.system_error != 0) {
        reason += ": ";
        reason += std::generic_category().message(result.system_error);
    }
    return reason;
}

void RecordReader::run(ReadJob& job) {
    job.output.clear();
    job.error = job.entry.failure;
    if (job.error.empty()) {
        const zolehead::ReadResult result = zolehead::ReadHeaderFile(job.entry.path.c_str(), form_, header_);
        if (!result) job.error = DescribeFailure(result);
    } else {
        header_.clear();
    }
    format_.render(FileRecord{job.entry.path, job.error, header_}, text_, job.output);
}

}  // namespace zolehead_cli
