// Editing the files of a catalog. Each file goes through the editing core
// (edit/editor.hpp) with all its checks and refusals; it is reached through
// ServedRoots and edited only by its real path and only while it is still
// the very file judged there, so a link swapped in between the check and the
// edit is refused rather than followed. Then the file is read again, so that
// the catalog shows what it reads as now, whatever the edit did.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "editor.hpp"
#include "row_reader.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

struct FileEditOutcome {
    std::optional<std::uint32_t> row;  // the file's catalog row, when the caller knows it
    // NONE when the editor ran; otherwise the path was refused before it
    // (outside the served folders, missing, not a regular file).
    PathRefusal refusal = PathRefusal::NONE;
    int system_error = 0;
    edit::EditResult result;  // with refusal NONE: what the editor did and why
    bool reread = false;      // `now` holds the file's row as it reads after the attempt
    PackedRow now;
};

class CatalogEditor {
public:
    // Throws std::system_error when the C library cannot convert between
    // UTF-8 and code page 932. One per thread.
    explicit CatalogEditor(const ServedRoots& roots);

    // Edits the file at `path` (as the catalog names it) and reads it again.
    // An ARCHIVE!/ENTRY path whose archive lies inside the roots is refused
    // as the editor refuses it. Never throws for a file's sake: what went
    // wrong is in the outcome.
    FileEditOutcome edit(const std::string& path, std::span<const edit::FieldChangeRequest> changes,
                         edit::InsertForm form);

private:
    const ServedRoots& roots_;
    edit::Editor editor_;
    RowReader reader_;
    PackedRows rows_;
};

}  // namespace zolehead::serve
