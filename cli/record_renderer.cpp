#include "record_renderer.hpp"

namespace zolehead_cli {

void RecordRenderer::render(zolehead::collection::ReadRecord& record) {
    using Kind = zolehead::collection::ReadRecord::Kind;
    std::string_view raw_path = record.path;
    if (record.kind == Kind::ARCHIVE_ENTRY) {
        raw_path_ = zolehead::collection::RawPath(record);
        raw_path = raw_path_;
    }
    record.output.clear();
    format_.render(FileRecord{record.path, raw_path, record.error, record.header}, text_, record.output);
}

}  // namespace zolehead_cli
