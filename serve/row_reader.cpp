#include "row_reader.hpp"

#include <limits>

namespace zolehead::serve {

CatalogEntry PackedRow::entry() const {
    CatalogEntry entry;
    entry.path = path;
    entry.error = error;
    const std::string_view packed = values;
    std::size_t at = 0;
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
        const std::size_t end = packed.find('\0', at);
        entry.values[i] = packed.substr(at, end - at);
        at = end + 1;
    }
    entry.forms = forms;
    entry.lossy = lossy;
    entry.in_archive = in_archive;
    return entry;
}

PackedRow& PackedRows::add() {
    if (count_ == rows_.size()) rows_.emplace_back();
    PackedRow& row = rows_[count_++];
    row.path.clear();
    row.error.clear();
    row.values.clear();
    row.forms = {};
    row.lossy = 0;
    row.in_archive = false;
    return row;
}

RowReader::RowReader(const ServedRoots& roots, const collection::ReadSettings& settings)
    : roots_(roots),
      settings_(settings),
      text_(false),
      // Every record is taken as soon as it is read: nothing to bound.
      budget_(std::numeric_limits<std::size_t>::max()),
      reader_(settings_, budget_, no_hook_, 0) {}

void RowReader::read(const collection::WalkEntry& entry, PackedRows& out) {
    out.clear();
    if (!entry.failure.empty()) {
        PackedRow& row = out.add();
        row.path = entry.path;
        row.error = entry.failure;
        row.values.assign(kCatalogFields, '\0');
        return;
    }
    const ServedRoots::Resolved file = roots_.resolve(entry.path);
    if (file.refusal != PathRefusal::NONE) {
        if (!entry.name_wanted) return;  // only walked in case it was an archive
        PackedRow& row = out.add();
        row.path = entry.path;
        row.error = DescribeRefusal(file.refusal, file.system_error);
        row.values.assign(kCatalogFields, '\0');
        return;
    }
    // Read through the descriptor that was judged, never by the name again.
    const std::string opened = file.reopen_path();
    job_.entry = collection::WalkEntry{opened, {}, entry.name_wanted};
    reader_.start(job_);
    for (;;) {
        for (std::size_t i = 0; i < job_.count; ++i) pack(job_.records[i], opened, entry.path, out);
        budget_.give_back(job_.budgeted);
        if (!job_.archive) break;
        reader_.resume(job_);
    }
}

void RowReader::pack(const collection::ReadRecord& record, const std::string& opened, const std::string& walked,
                     PackedRows& out) {
    PackedRow& row = out.add();
    // The record names the descriptor's path: the walked path goes in its place.
    row.path = walked;
    row.path.append(record.path, opened.size());
    row.error = record.error;
    row.in_archive = record.kind == collection::ReadRecord::Kind::ARCHIVE_ENTRY;
    for (std::size_t i = 0; i < record.header.slots.size(); ++i) {
        const HeaderSlot& slot = record.header.slots[i];
        if (record.error.empty() && slot.status != STATUS_NONE) {
            const collection::FieldText::Text value = text_.get(slot.text());
            row.values += value.text;
            if (value.lossy) row.lossy |= static_cast<std::uint16_t>(1U << i);
            row.forms[i] = static_cast<FieldForm>(slot.status);
        }
        row.values += '\0';
    }
}

}  // namespace zolehead::serve
