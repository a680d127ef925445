#include "entry_reader.hpp"

#include <system_error>

namespace zolehead::collection {

std::string DescribeFailure(const zolehead::ReadResult& result) {
    std::string reason = zolehead::DescribeReadStatus(result.status);
    if (result.system_error != 0) {
        reason += ": ";
        reason += std::generic_category().message(result.system_error);
    }
    return reason;
}

int ReadEntry(const WalkEntry& entry, zolehead::HeaderForm form, zolehead::ZoleHeader& header, std::string& error) {
    error = entry.failure;
    if (!error.empty()) {
        header.clear();
        return entry.system_error;
    }
    const zolehead::ReadResult result = zolehead::ReadHeaderFile(entry.path.c_str(), form, header);
    if (!result) error = DescribeFailure(result);
    return result.system_error;
}

}  // namespace zolehead::collection
