// zolehead set, remove and apply: the edit commands.
//
//   zolehead set FIELD=VALUE... [--] PATH...
//   zolehead remove FIELD... [--] PATH...
//   zolehead apply EDITS
//
// The leading arguments that are FIELD=VALUE with a known field (set) or a
// known field (remove) are the edits; the first argument that is not starts
// the paths, and everything after `--` is a path. So `./Title=x`, or
// `-- Title=x`, names a file called Title=x.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <fstream>
#include <iterator>
#include <sstream>

#include "commands.hpp"
#include "edit_run.hpp"
#include "edit_sheet.hpp"
#include "field_names.hpp"
#include "identifier_table.hpp"
#include "tool_messages.hpp"

namespace zolehead_cli {

namespace {

using zolehead::edit::EditAction;
using zolehead::edit::EditOptions;
using zolehead::edit::FieldChangeRequest;
using zolehead::edit::InsertForm;

constexpr std::size_t kMaxEditsBytes = std::size_t{256} << 20;

struct CommonEditOptions {
    std::optional<OutputFormat> format;
    unsigned jobs = 0;
    bool no_progress = false;
    bool dry_run = false;
    bool backup = false;
    std::string form = "auto";
};

void AddEditOptions(CLI::App& app, CommonEditOptions& o) {
    app.add_flag("--dry-run", o.dry_run, "Write nothing; show each field's old and new value and the changed lines");
    app.add_option("--form", o.form, "Form of entries that have to be added: a, b or auto (what the file mostly uses)")
        ->type_name("FORM")
        ->transform(CLI::IsMember({"a", "b", "auto"}, CLI::ignore_case))
        ->capture_default_str();
    app.add_flag("--backup", o.backup, "Keep each original as NAME.bak (NAME.bak.2, ... if taken)");
    AddFormatOptions(app, o.format);
    AddJobsOption(app, o.jobs);
    app.add_flag("--no-progress", o.no_progress, "No progress line on stderr");
}

EditRunSettings Settings(const CommonEditOptions& o) {
    EditRunSettings s;
    s.format = ResolveFormat(o.format);
    s.jobs = ResolveJobs(o.jobs);
    s.progress = WantProgress(o.no_progress);
    s.show_lines = o.dry_run;
    return s;
}

EditOptions EditorOptions(const CommonEditOptions& o) {
    EditOptions e;
    e.form = o.form == "a" ? InsertForm::A : o.form == "b" ? InsertForm::B : InsertForm::AUTO;
    e.dry_run = o.dry_run;
    e.backup = o.backup;
    return e;
}

int Usage(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "zolehead %s: %s\nTry 'zolehead %s --help' for more information.\n", command.c_str(),
                 message.c_str(), command.c_str());
    return kExitUsage;
}

// Parses set or remove. Everything after the first "--" is a path; before
// it, CLI11 takes the options and leaves the rest in order.
int RunFieldCommand(int argc, const char* const* argv, EditAction action) {
    const std::string command = action == EditAction::SET ? "set" : "remove";
    std::vector<std::string> before;
    std::vector<std::string> after;
    bool dashes = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!dashes && arg == "--") {
            dashes = true;
        } else {
            (dashes ? after : before).emplace_back(arg);
        }
    }

    CLI::App app{action == EditAction::SET
                     ? "Sets header fields in Zole data files, in place and atomically."
                     : "Removes header fields from Zole data files, in place and atomically."};
    SetUpApp(app, "zolehead " + command);
    const std::string what = action == EditAction::SET ? "FIELD=VALUE" : "FIELD";
    app.footer(
        "Arguments: " + what + "... [--] PATH...\n"
        "FIELD is a keyword in any case (title, E-Mail) or a Japanese label (曲名). The leading\n"
        "arguments that are " + what + " with a known field are the edits; the first one that is not\n"
        "starts the paths, and everything after -- is a path (-- Title=x names a file Title=x).\n"
        "Exit status: 0 every file edited or already so, 1 some refused or failed, 2 usage error.");
    std::vector<std::string> args;
    app.add_option("ARGS", args, what + "... then PATH...");
    WalkOptions walk;
    std::vector<std::string> extensions;
    AddWalkOptions(app, walk, extensions);
    CommonEditOptions common;
    AddEditOptions(app, common);
    app.allow_extras(false);

    std::vector<const char*> cli_argv{argv[0]};
    for (const std::string& a : before) cli_argv.push_back(a.c_str());
    if (const std::optional<int> status = ParseOrExit(app, static_cast<int>(cli_argv.size()), cli_argv.data())) {
        return *status;
    }
    FinishWalkOptions(walk, std::move(extensions));

    zolehead::edit::Editor checker;
    std::vector<FieldChangeRequest> changes;
    std::size_t first_path = args.size();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        FieldChangeRequest change;
        change.action = action;
        if (action == EditAction::SET) {
            const std::size_t eq = arg.find('=');
            if (eq == std::string::npos) {
                first_path = i;
                break;
            }
            change.row = zolehead::edit::FieldRow(std::string_view(arg).substr(0, eq), checker.encoder());
            change.value = arg.substr(eq + 1);
        } else {
            change.row = zolehead::edit::FieldRow(arg, checker.encoder());
        }
        if (change.row < 0) {
            first_path = i;
            break;
        }
        changes.push_back(std::move(change));
    }
    walk.paths.assign(args.begin() + static_cast<std::ptrdiff_t>(first_path), args.end());
    walk.paths.insert(walk.paths.end(), after.begin(), after.end());

    if (changes.empty()) {
        return Usage(command, action == EditAction::SET ? "no FIELD=VALUE with a known field before the paths"
                                                        : "no known FIELD before the paths");
    }
    if (walk.paths.empty()) return Usage(command, "no PATH");
    bool seen[zolehead::kFieldCount] = {};
    for (const FieldChangeRequest& c : changes) {
        const std::string keyword(zolehead::kIdentifiers[static_cast<std::size_t>(c.row)].keyword);
        if (seen[c.row]) return Usage(command, keyword + " is named more than once");
        seen[c.row] = true;
        if (action != EditAction::SET) continue;
        // The same for every file: a usage error, before any file is touched.
        if (const std::string why = checker.check_value(c.value); !why.empty()) {
            return Usage(command, keyword + ": the value " + why);
        }
    }

    std::vector<std::string> roots = walk.paths;
    std::sort(roots.begin(), roots.end());
    const EditOptions options = EditorOptions(common);
    zolehead::collection::FileWalker walker(walk.paths, walk.recursive, walk.extensions,
                                            [](const std::string& path, std::string_view reason) {
                                                std::fputs((ToolMessage(path, reason) + "\n").c_str(), stderr);
                                            });
    return RunEdits(std::move(walker), Settings(common),
                    [&](const zolehead::collection::WalkEntry& entry, std::uint64_t, EditThread& thread,
                        EditOutcome& outcome) {
                        // A backup met in a walk is never edited; named, it is.
                        if (walk.recursive && IsEditorsOwnFile(entry.path) &&
                            !std::binary_search(roots.begin(), roots.end(), entry.path)) {
                            outcome.omitted = true;
                            return;
                        }
                        outcome.result = thread.editor.edit_file(entry.path, changes, options);
                    });
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// What one row of the edits asks of the file as it reads now: the fields
// whose text differs, and the emptied ones passed over.
void ApplyRow(const zolehead::edit::SheetRow& row, std::string_view format, bool allow_remove,
              const EditOptions& options, EditThread& thread, EditOutcome& outcome) {
    using zolehead::edit::EditStatus;
    std::string path = row.path;
    if (row.literal_path && !Exists(path) && Exists(*row.literal_path)) path = *row.literal_path;
    outcome.result.path = path;
    if (!row.problem.empty()) {
        outcome.result.status = EditStatus::REFUSED;
        outcome.result.problem = zolehead::edit::Problem::BAD_RECORD;
        outcome.result.reason = std::string("the edits' record ") + (format == "json" ? "number " : "at line ") +
                                std::to_string(row.line) + ": " + row.problem;
        return;
    }
    zolehead::ZoleHeader header;
    const zolehead::ReadResult read = zolehead::ReadHeaderFile(path.c_str(), zolehead::HeaderForm::BOTH, header);
    if (!read) {
        outcome.result.status = EditStatus::FAILED;
        outcome.result.problem = zolehead::edit::Problem::CANNOT_OPEN;
        outcome.result.system_error = read.system_error;
        outcome.result.reason = zolehead::DescribeReadStatus(read.status);
        if (read.system_error != 0) {
            outcome.result.reason += ": " + std::generic_category().message(read.system_error);
        }
        return;
    }
    std::vector<FieldChangeRequest> changes;
    std::vector<zolehead::edit::FieldReport> passed_over;
    std::string now;
    for (int field = 0; field < zolehead::kFieldCount; ++field) {
        const std::optional<zolehead::edit::SheetCell>& cell = row.cells[static_cast<std::size_t>(field)];
        if (!cell) continue;
        // An error row's empty cells say nothing: the file was not read then.
        if (row.had_error && cell->text.empty()) continue;
        const zolehead::HeaderSlot& slot = header.slots[static_cast<std::size_t>(field)];
        now.clear();
        const bool clean = cell->raw ? (now.assign(slot.text()), true) : thread.decoder.decode(slot.text(), now);
        // Text as shown, U+FFFD and all, is no change.
        if (cell->text == now || (cell->unquoted && *cell->unquoted == now)) continue;
        if (cell->text.empty()) {
            if (slot.status == zolehead::STATUS_NONE) continue;
            if (!allow_remove) {
                zolehead::edit::FieldReport f;
                f.row = field;
                f.old_status = f.new_status = slot.status;
                f.old_text = f.new_text = now;
                f.old_bytes = f.new_bytes = std::string(slot.text());
                f.old_lossy = f.new_lossy = !clean;
                passed_over.push_back(std::move(f));
                continue;
            }
            changes.push_back({field, EditAction::REMOVE, {}, false});
            continue;
        }
        changes.push_back({field, EditAction::SET, cell->text, cell->raw});
    }
    if (!changes.empty()) {
        outcome.result = thread.editor.edit_file(path, changes, options);
    } else {
        outcome.result.status = EditStatus::UNCHANGED;
    }
    outcome.skipped.assign(outcome.result.fields.size(), false);
    for (zolehead::edit::FieldReport& f : passed_over) {
        outcome.result.fields.push_back(std::move(f));
        outcome.skipped.push_back(true);
    }
}

}  // namespace

int RunSetCommand(int argc, const char* const* argv) { return RunFieldCommand(argc, argv, EditAction::SET); }

int RunRemoveCommand(int argc, const char* const* argv) { return RunFieldCommand(argc, argv, EditAction::REMOVE); }

int RunApplyCommand(int argc, const char* const* argv) {
    CLI::App app{"Applies the edits made to the tool's own CSV, TSV, JSON or JSON Lines output."};
    SetUpApp(app, "zolehead apply");
    app.footer(
        "EDITS is what zolehead --csv (--tsv, --json, --jsonl) wrote, edited; - reads standard input.\n"
        "Each listed file gets the fields whose text differs from what it holds now. An emptied\n"
        "cell removes the field only with --allow-remove. Unknown columns, error and *_form\n"
        "columns are ignored; paths are taken as written, from the current directory.\n"
        "Exit status: 0 every file edited or already so, 1 some refused or failed, 2 usage error.");
    std::string edits_path;
    app.add_option("EDITS", edits_path, "The edited CSV, TSV, JSON or JSON Lines file, or - for stdin")->required();
    bool allow_remove = false;
    app.add_flag("--allow-remove", allow_remove, "Let an emptied cell remove its field");
    CommonEditOptions common;
    AddEditOptions(app, common);
    if (const std::optional<int> status = ParseOrExit(app, argc, argv)) return *status;

    std::string text;
    {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (edits_path != "-") {
            file.open(edits_path, std::ios::binary);
            if (!file) return Usage("apply", edits_path + ": cannot open: " + std::generic_category().message(errno));
            in = &file;
        }
        std::ostringstream all;
        all << in->rdbuf();
        text = std::move(all).str();
        if (in->bad()) return Usage("apply", edits_path + ": cannot read");
        if (text.size() > kMaxEditsBytes) return Usage("apply", edits_path + ": larger than 256 MiB");
    }
    zolehead::edit::Editor reader;
    const zolehead::edit::EditSheet sheet = zolehead::edit::ReadEditSheet(text, reader.encoder());
    if (!sheet.problem.empty()) return Usage("apply", edits_path + ": " + sheet.problem);

    std::vector<std::string> paths;
    for (const zolehead::edit::SheetRow& row : sheet.rows) paths.push_back(row.path);
    const EditOptions options = EditorOptions(common);
    zolehead::collection::FileWalker walker(std::move(paths), false, {}, {});
    return RunEdits(std::move(walker), Settings(common),
                    [&](const zolehead::collection::WalkEntry&, std::uint64_t sequence, EditThread& thread,
                        EditOutcome& outcome) {
                        ApplyRow(sheet.rows[sequence], sheet.format, allow_remove, options, thread, outcome);
                    });
}

}  // namespace zolehead_cli
