#include "file_detail.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "archive_path.hpp"
#include "archive_reader.hpp"
#include "entry_name_text.hpp"

namespace zolehead::serve {

namespace {

// The bytes of one file or entry as they arrive. Held whole while they fit
// the explainer, so that lint runs first and the lines it warns about are
// kept among the header lines; past that, streamed into the header lines
// alone, and the file goes without its story.
class DetailCollector {
public:
    explicit DetailCollector(FileDetail& detail) : detail_(detail) {}

    void feed(std::span<const std::uint8_t> bytes) {
        detail_.size += bytes.size();
        if (!streaming_) {
            if (held_.size() + bytes.size() <= explain::kMaxFileBytes) {
                held_.insert(held_.end(), bytes.begin(), bytes.end());
                return;
            }
            streaming_ = true;
            feed_lines(held_);
            held_ = {};
        }
        feed_lines(bytes);
    }

    // Whether more bytes could change anything shown.
    bool wants_more() const noexcept { return !streaming_ || lines_open_; }

    void finish(std::string_view path, explain::FileExplainer& explainer) {
        if (!streaming_) {
            detail_.story = explainer.explain_bytes_json(path, held_);
            detail_.warnings = explainer.lint_bytes_json(path, held_);
            std::vector<std::uint64_t> warned;
            for (const explain::Json& warning : detail_.warnings->value("warnings", explain::Json::array())) {
                warned.push_back(warning.value("line", std::uint64_t{0}));
            }
            detail_.lines.also_keep(std::move(warned));
            feed_lines(held_);
        }
        detail_.lines.finish();
    }

    // Starts again for another entry.
    void reset() {
        detail_.size = 0;
        detail_.lines = HeaderLineReader();
        held_.clear();
        streaming_ = false;
        lines_open_ = true;
    }

private:
    void feed_lines(std::span<const std::uint8_t> bytes) {
        if (lines_open_) lines_open_ = detail_.lines.feed(bytes);
    }

    FileDetail& detail_;
    std::vector<std::uint8_t> held_;
    bool streaming_ = false;
    bool lines_open_ = true;  // the end mark not seen yet
};

FileDetail ReadEntryDetail(const ServedRoots& roots, const std::string& path, const collection::ArchivePathParts& parts,
                           const collection::ReadSettings& reading, explain::FileExplainer& explainer) {
    FileDetail detail;
    detail.in_archive = true;
    ServedRoots::Resolved archive = roots.open_for_reading(std::string(parts.archive));
    if (archive.refusal != PathRefusal::NONE) {
        detail.refusal = archive.refusal;
        detail.system_error = archive.system_error;
        return detail;
    }
    std::unique_ptr<collection::ArchiveReader> reader;
    std::string error;
    switch (collection::ArchiveReader::OpenFile(archive.fd.release(), reading, reader, error)) {
    case collection::ArchiveReader::Opened::ARCHIVE: break;
    case collection::ArchiveReader::Opened::NOT_AN_ARCHIVE: detail.refusal = PathRefusal::NOT_FOUND; return detail;
    case collection::ArchiveReader::Opened::FAILED: detail.entry_error = error; return detail;
    }
    DetailCollector collector(detail);
    reader->set_data_sink([&collector](std::span<const std::uint8_t> bytes) { collector.feed(bytes); });
    collection::ShiftJisDecoder names;
    collection::ArchiveEntry entry;
    std::string shown;
    // The first entry whose name reads as the path's: the catalog's row for it.
    while ((collector.reset(), reader->next(entry))) {
        if (entry.about_archive) {
            detail.entry_error = entry.error;
            return detail;
        }
        shown.clear();
        collection::AppendEntryNameText(entry.name, names, shown);
        if (shown != parts.entry) continue;
        if (!entry.error.empty()) {
            detail.entry_error = entry.error;
        } else {
            collector.finish(path, explainer);
        }
        return detail;
    }
    detail.refusal = PathRefusal::NOT_FOUND;
    return detail;
}

}  // namespace

std::string FileDetail::reason() const {
    if (!entry_error.empty()) return entry_error;
    if (read_failed) return "read error: " + std::generic_category().message(system_error);
    return DescribeRefusal(refusal, system_error);
}

FileDetail ReadFileDetail(const ServedRoots& roots, const std::string& path, const collection::ReadSettings& reading,
                          explain::FileExplainer& explainer) {
    if (reading.archives) {
        // An archive inside the roots decides where ARCHIVE ends.
        const auto parts = collection::SplitArchivePath(path, [&roots](std::string_view archive) {
            return roots.resolve(std::string(archive)).refusal == PathRefusal::NONE;
        });
        if (parts) return ReadEntryDetail(roots, path, *parts, reading, explainer);
    }
    FileDetail detail;
    ServedRoots::Resolved file = roots.open_for_reading(path);
    if (file.refusal != PathRefusal::NONE) {
        detail.refusal = file.refusal;
        detail.system_error = file.system_error;
        return detail;
    }
    DetailCollector collector(detail);
    std::vector<std::uint8_t> block(64 * 1024);
    while (collector.wants_more()) {
        const ssize_t n = read(file.fd.get(), block.data(), block.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            detail.read_failed = true;
            detail.system_error = errno;
            break;
        }
        if (n == 0) break;
        collector.feed({block.data(), static_cast<std::size_t>(n)});
    }
    collector.finish(path, explainer);
    return detail;
}

}  // namespace zolehead::serve
