#include "catalog_edit.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "archive_path.hpp"

namespace zolehead::serve {

CatalogEditor::CatalogEditor(const ServedRoots& roots) : roots_(roots), reader_(roots, collection::ReadSettings{}) {}

FileEditOutcome CatalogEditor::edit(const std::string& path, std::span<const edit::FieldChangeRequest> changes,
                                    edit::InsertForm form) {
    FileEditOutcome outcome;
    outcome.result.path = path;
    const bool in_archive = collection::SplitArchivePath(path, [this](std::string_view archive) {
                                return roots_.resolve(std::string(archive)).refusal == PathRefusal::NONE;
                            }).has_value();
    if (in_archive) {
        outcome.result.status = edit::EditStatus::REFUSED;
        outcome.result.problem = edit::Problem::INSIDE_ARCHIVE;
        outcome.result.reason = std::string(edit::kInsideArchiveReason);
        return outcome;
    }
    const ServedRoots::Resolved file = roots_.resolve(path);
    struct stat st;
    if (file.refusal == PathRefusal::NONE && fstat(file.fd.get(), &st) != 0) {
        outcome.refusal = PathRefusal::CANNOT_OPEN;
        outcome.system_error = errno;
        return outcome;
    }
    if (file.refusal != PathRefusal::NONE) {
        outcome.refusal = file.refusal;
        outcome.system_error = file.system_error;
        return outcome;
    }
    edit::EditOptions options;
    options.form = form;
    options.expected_file = edit::FileIdentity{st.st_dev, st.st_ino};
    outcome.result = editor_.edit_file(file.real_path, changes, options);
    outcome.result.path = path;

    reader_.read(collection::WalkEntry{path, {}}, rows_);
    if (rows_.size() == 1) {
        outcome.now = rows_[0];
        outcome.reread = true;
    }
    return outcome;
}

}  // namespace zolehead::serve
