#include "editor.hpp"

#include <new>

#include "identifier_table.hpp"
#include "value_rules.hpp"

namespace zolehead::edit {

namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void Refuse(EditResult& result, Problem problem, std::string reason, int system_error = 0) {
    result.status = IsRefusal(problem) ? EditStatus::REFUSED : EditStatus::FAILED;
    result.problem = problem;
    result.system_error = system_error;
    result.reason = std::move(reason);
    result.lines.clear();
    for (FieldReport& f : result.fields) {
        f.changed = false;
        f.new_status = f.old_status;
        f.new_bytes = f.old_bytes;
        f.new_text = f.old_text;
        f.new_lossy = f.old_lossy;
    }
}

}  // namespace

std::string_view ProblemName(Problem problem) noexcept {
    switch (problem) {
    case Problem::NONE: return "";
    case Problem::BAD_VALUE: return "bad-value";
    case Problem::NOT_ZOLE_TEXT: return "not-zole-text";
    case Problem::NESTED_ENTRY: return "nested-entry";
    case Problem::CHECK_FAILED: return "check-failed";
    case Problem::TOO_LARGE: return "too-large";
    case Problem::NOT_REGULAR_FILE: return "not-regular-file";
    case Problem::HARD_LINKS: return "hard-links";
    case Problem::INSIDE_ARCHIVE: return "inside-archive";
    case Problem::CHANGED_DURING_EDIT: return "changed-during-edit";
    case Problem::BAD_RECORD: return "bad-record";
    case Problem::CANNOT_OPEN: return "cannot-open";
    case Problem::IO_ERROR: return "io-error";
    }
    return "";
}

bool IsRefusal(Problem problem) noexcept { return problem != Problem::CANNOT_OPEN && problem != Problem::IO_ERROR; }

std::string_view StatusName(EditStatus status) noexcept {
    switch (status) {
    case EditStatus::EDITED: return "edited";
    case EditStatus::WOULD_EDIT: return "would-edit";
    case EditStatus::UNCHANGED: return "unchanged";
    case EditStatus::REFUSED: return "refused";
    case EditStatus::FAILED: return "failed";
    }
    return "";
}

Editor::Editor() = default;

std::string Editor::check_value(std::string_view utf8) {
    std::string bytes;
    return ConvertValue(utf8, encoder_, bytes);
}

EditResult Editor::edit_file(const std::string& path, std::span<const FieldChangeRequest> changes,
                             const EditOptions& options) noexcept {
    EditResult result;
    try {
        result.path = path;
        run(path, changes, options, result);
    } catch (const std::exception& e) {
        // Only allocation can throw here, and only before the rename.
        result.status = EditStatus::FAILED;
        result.problem = Problem::IO_ERROR;
        result.system_error = ENOMEM;
        result.reason = e.what();
    }
    file_.close();
    return result;
}

void Editor::run(const std::string& path, std::span<const FieldChangeRequest> changes, const EditOptions& options,
                 EditResult& result) {
    values_.resize(changes.size());
    edits_.clear();
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const FieldChangeRequest& c = changes[i];
        if (c.row < 0 || c.row >= kFieldCount) {
            Refuse(result, Problem::BAD_VALUE, "no such field (row " + std::to_string(c.row) + ")");
            return;
        }
        if (c.action == EditAction::SET) {
            std::string why;
            if (c.value_is_cp932) {
                values_[i] = c.value;
                why = CheckValueBytes(values_[i]);
            } else {
                why = ConvertValue(c.value, encoder_, values_[i]);
            }
            if (!why.empty()) {
                Refuse(result, Problem::BAD_VALUE,
                       std::string(kIdentifiers[static_cast<std::size_t>(c.row)].keyword) + ": the value " + why);
                return;
            }
        }
        edits_.push_back({c.row, c.action, c.action == EditAction::SET ? std::string_view(values_[i]) : ""});
    }

    if (const FileProblem problem = file_.open(path)) {
        Refuse(result, problem.problem, problem.reason, problem.system_error);
        return;
    }
    const Plan& plan = planner_.plan(Bytes(file_.bytes()), edits_, options.form);
    report_fields(plan, result);
    switch (plan.kind) {
    case Plan::Kind::REFUSED:
        Refuse(result, plan.problem, plan.reason);
        result.check = plan.check;
        return;
    case Plan::Kind::UNCHANGED: result.status = EditStatus::UNCHANGED; return;
    case Plan::Kind::CHANGE: break;
    }
    result.lines = ChangedLines(Bytes(file_.bytes()), plan, decoder_);
    if (options.dry_run) {
        result.status = EditStatus::WOULD_EDIT;
        return;
    }
    ReplaceOptions replace;
    replace.backup = options.backup;
    replace.before_rename = options.before_rename;
    ReplaceOutcome outcome = ReplaceFile(file_, plan.result, replace);
    if (outcome.problem) {
        Refuse(result, outcome.problem.problem, outcome.problem.reason, outcome.problem.system_error);
        return;
    }
    result.status = EditStatus::EDITED;
    result.backup_path = std::move(outcome.backup_path);
    result.warning = std::move(outcome.warning);
}

void Editor::report_fields(const Plan& plan, EditResult& result) {
    result.fields.resize(plan.fields.size());
    for (std::size_t i = 0; i < plan.fields.size(); ++i) {
        const FieldOutcome& f = plan.fields[i];
        FieldReport& r = result.fields[i];
        r.row = f.row;
        r.action = f.action;
        r.changed = f.changed;
        r.old_status = f.before.status;
        r.new_status = f.after.status;
        r.old_bytes.assign(f.before.text());
        r.new_bytes.assign(f.after.text());
        r.old_text.clear();
        r.new_text.clear();
        r.old_lossy = !decoder_.decode(r.old_bytes, r.old_text);
        r.new_lossy = !decoder_.decode(r.new_bytes, r.new_text);
    }
}

EditResult EditFile(const std::string& path, std::span<const FieldChangeRequest> changes,
                    const EditOptions& options) {
    Editor editor;
    return editor.edit_file(path, changes, options);
}

}  // namespace zolehead::edit
