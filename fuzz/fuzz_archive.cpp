// Arbitrary bytes as an archive, through the collection's archive reading:
// libarchive's formats and filters as the tool enables them, the entry loop
// with its size limit, LZH name bytes and the names' UTF-8 text. Beyond no
// crash, leak or hang, every record must be consistent: an error or a
// well-formed header, never both; a name shown as UTF-8 that splits back out
// of its ARCHIVE!/ENTRY path; nothing more once the archive is over.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive_path.hpp"
#include "archive_reader.hpp"
#include "entry_name_text.hpp"
#include "header_invariants.hpp"

namespace {

using namespace zolehead::collection;
using zh_fuzz::Require;

// Small, so that a bomb is stopped after a few blocks.
constexpr std::uint64_t kMaxEntrySize = 1 << 20;

const ReadSettings& Settings() {
    static const ReadSettings settings = [] {
        ReadSettings s;
        s.archives = true;
        s.max_entry_size = kMaxEntrySize;
        return s;
    }();
    return settings;
}

void CheckEntry(const ArchiveEntry& entry, ShiftJisDecoder& decoder) {
    if (!entry.error.empty()) {
        Require(entry.header == zolehead::ZoleHeader{}, "a failed entry kept a header");
    } else {
        Require(!entry.about_archive, "an archive record without an error");
        zh_fuzz::CheckHeader(entry.header, Settings().form);
    }
    if (entry.about_archive) {
        Require(entry.name.empty(), "an archive record with an entry name");
        return;
    }
    std::string path = "a.zip";
    path += kArchiveSeparator;
    AppendEntryNameText(entry.name, decoder, path);
    Require(IsUtf8(path), "a shown name that is not UTF-8");
    if (entry.name.empty()) return;
    const auto parts = SplitArchivePath(path, [](std::string_view archive) { return archive == "a.zip"; });
    Require(parts && parts->archive == "a.zip", "a shown path that does not split back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ShiftJisDecoder decoder;  // libFuzzer runs inputs one at a time
    std::unique_ptr<ArchiveReader> reader;
    std::string error;
    const ArchiveReader::Opened opened = ArchiveReader::OpenMemory({data, size}, Settings(), reader, error);
    Require((opened == ArchiveReader::Opened::ARCHIVE) == (reader != nullptr), "a reader without an archive");
    Require((opened == ArchiveReader::Opened::FAILED) == !error.empty(), "a failure without a reason");
    if (!reader) return 0;
    ArchiveEntry entry;
    while (reader->next(entry)) CheckEntry(entry, decoder);
    Require(!reader->next(entry), "records after the end");
    return 0;
}
