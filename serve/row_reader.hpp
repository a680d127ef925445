// Files read into catalog rows: the one place where the scan, and the
// re-read after an edit, turn a walked path into rows. Every file is reached
// through ServedRoots, so a link leading out gives an error row, not a read;
// with archives on, a file that is an archive gives a row per entry
// (ARCHIVE!/ENTRY), the served-folder check applying to the archive itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog.hpp"
#include "field_text.hpp"
#include "file_walker.hpp"
#include "job_reader.hpp"
#include "read_job.hpp"
#include "read_settings.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

// A row as a reading thread leaves it, values already UTF-8, so that the
// thread that builds the catalog only copies.
struct PackedRow {
    std::string path;
    std::string error;
    std::string values;  // sixteen texts, each followed by a NUL
    std::array<FieldForm, kCatalogFields> forms{};
    std::uint16_t lossy = 0;
    bool in_archive = false;

    // Views into this row.
    CatalogEntry entry() const;
};

// The rows of one walked file; keeps its strings' room between uses.
class PackedRows {
public:
    void clear() noexcept { count_ = 0; }
    std::size_t size() const noexcept { return count_; }
    const PackedRow& operator[](std::size_t i) const noexcept { return rows_[i]; }
    // A new row at the end, its strings emptied.
    PackedRow& add();

private:
    std::vector<PackedRow> rows_;
    std::size_t count_ = 0;
};

// One per reading thread.
class RowReader {
public:
    // Throws std::system_error when the C library cannot convert from CP932.
    RowReader(const ServedRoots& roots, const collection::ReadSettings& settings);

    // The rows of `entry`, as walked: none for a file the extension filter
    // only let through as a possible archive and that is not one.
    void read(const collection::WalkEntry& entry, PackedRows& out);

private:
    void pack(const collection::ReadRecord& record, const std::string& opened, const std::string& walked,
              PackedRows& out);

    const ServedRoots& roots_;
    collection::ReadSettings settings_;
    collection::FieldText text_;
    collection::RecordBudget budget_;
    collection::JobReader::RecordHook no_hook_;
    collection::JobReader reader_;
    collection::ReadJob job_;
};

}  // namespace zolehead::serve
