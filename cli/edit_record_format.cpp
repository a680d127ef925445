#include "edit_record_format.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "identifier_table.hpp"
#include "record_format.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

using zolehead::edit::EditResult;
using zolehead::edit::EditStatus;
using zolehead::edit::FieldReport;

std::string_view Keyword(int row) { return zolehead::kIdentifiers[static_cast<std::size_t>(row)].keyword; }

// The fields a record shows: those that change, and those passed over.
template <class Visit>
void ForShownFields(const EditOutcome& o, Visit visit) {
    for (std::size_t i = 0; i < o.result.fields.size(); ++i) {
        const bool skipped = i < o.skipped.size() && o.skipped[i];
        if (o.result.fields[i].changed || skipped) visit(o.result.fields[i], skipped);
    }
}

bool HasLines(const EditOutcome& o, bool show_lines) { return show_lines && !o.result.lines.empty(); }

class JsonEditFormat final : public EditRecordFormat {
public:
    explicit JsonEditFormat(bool as_array) : as_array_(as_array) {}

    std::string begin() const override { return as_array_ ? "[\n" : ""; }
    std::string separator() const override { return as_array_ ? ",\n" : ""; }
    std::string end(bool any_records) const override {
        if (!as_array_) return {};
        return any_records ? "\n]\n" : "]\n";
    }

    void render(const EditOutcome& o, bool show_lines, std::string& out) const override {
        using Json = nlohmann::ordered_json;
        const EditResult& r = o.result;
        Json record;
        record["path"] = r.path;
        record["status"] = o.status();
        if (o.failed()) {
            record["kind"] = zolehead::edit::ProblemName(r.problem);
            record["reason"] = r.reason;
            if (r.system_error != 0) record["errno"] = r.system_error;
        }
        Json fields = Json::object();
        ForShownFields(o, [&](const FieldReport& f, bool skipped) {
            const auto value = [](zolehead::HeaderStatus status, const std::string& text, bool lossy) {
                if (status == zolehead::STATUS_NONE) return Json(nullptr);
                Json v;
                v["value"] = text;
                v["form"] = FormLetter(status);
                if (lossy) v["lossy"] = true;
                return v;
            };
            Json field;
            field["old"] = value(f.old_status, f.old_text, f.old_lossy);
            if (skipped) {
                field["skipped"] = kSkippedNote;
            } else {
                field["new"] = value(f.new_status, f.new_text, f.new_lossy);
            }
            fields[std::string(Keyword(f.row))] = std::move(field);
        });
        if (!fields.empty()) record["fields"] = std::move(fields);
        if (HasLines(o, show_lines)) {
            Json lines = Json::array();
            for (const zolehead::edit::LineChange& l : r.lines) {
                lines.push_back(Json{{"line", l.line}, {"old", l.before}, {"new", l.after}});
            }
            record["lines"] = std::move(lines);
        }
        if (!r.backup_path.empty()) record["backup"] = r.backup_path;
        if (!r.warning.empty()) record["warning"] = r.warning;

        const int indent = as_array_ ? 2 : -1;
        std::string text;
        try {
            text = record.dump(indent, ' ', false, Json::error_handler_t::strict);
        } catch (const Json::type_error&) {
            // A path that is not UTF-8: shown with U+FFFD, its bytes in base64.
            std::string encoded;
            AppendBase64(encoded, r.path);
            record["path_base64"] = encoded;
            text = record.dump(indent, ' ', false, Json::error_handler_t::replace);
        }
        if (!as_array_) {
            out += text;
            out += '\n';
            return;
        }
        out += "  ";
        for (char c : text) {
            out += c;
            if (c == '\n') out += "  ";
        }
    }

private:
    bool as_array_;
};

// path,status,kind,reason,backup,Title_old,Title_new,...,lines_old,lines_new
class DelimitedEditFormat final : public EditRecordFormat {
public:
    explicit DelimitedEditFormat(char delimiter) : delimiter_(delimiter) {}

    std::string begin() const override {
        std::string header = "path";
        for (std::string_view column : {"status", "kind", "reason", "backup"}) {
            header += delimiter_;
            header += column;
        }
        for (const zolehead::Identifier& id : zolehead::kIdentifiers) {
            header += delimiter_;
            header.append(id.keyword).append("_old");
            header += delimiter_;
            header.append(id.keyword).append("_new");
        }
        header += delimiter_;
        header += "lines_old";
        header += delimiter_;
        header += "lines_new";
        header += '\n';
        return header;
    }

    void render(const EditOutcome& o, bool show_lines, std::string& out) const override {
        const EditResult& r = o.result;
        std::array<const FieldReport*, zolehead::kFieldCount> shown{};
        std::string reason = r.reason;
        ForShownFields(o, [&](const FieldReport& f, bool skipped) {
            if (skipped) {
                if (!reason.empty()) reason += "; ";
                reason.append(Keyword(f.row)).append(": ").append(kSkippedNote);
                return;
            }
            shown[static_cast<std::size_t>(f.row)] = &f;
        });
        AppendDelimitedField(out, r.path, delimiter_);
        cell(out, o.status());
        cell(out, o.failed() ? zolehead::edit::ProblemName(r.problem) : "");
        cell(out, reason);
        cell(out, r.backup_path);
        for (const FieldReport* f : shown) {
            cell(out, f ? f->old_text : "");
            cell(out, f ? f->new_text : "");
        }
        std::string before, after;
        if (HasLines(o, show_lines)) {
            for (const zolehead::edit::LineChange& l : r.lines) {
                if (!l.before.empty()) before.append(before.empty() ? "" : "\n").append(l.before);
                if (!l.after.empty()) after.append(after.empty() ? "" : "\n").append(l.after);
            }
        }
        cell(out, before);
        cell(out, after);
        out += '\n';
    }

private:
    void cell(std::string& out, std::string_view text) const {
        out += delimiter_;
        AppendDelimitedField(out, text, delimiter_);
    }

    char delimiter_;
};

class TableEditFormat final : public EditRecordFormat {
public:
    TableEditFormat() {
        for (const zolehead::Identifier& id : zolehead::kIdentifiers) width_ = std::max(width_, id.keyword.size());
    }

    void render(const EditOutcome& o, bool show_lines, std::string& out) const override {
        const EditResult& r = o.result;
        AppendPrintable(out, r.path);
        out += ": ";
        out += o.status();
        if (o.failed()) {
            out += ": ";
            AppendPrintable(out, r.reason);
        }
        out += '\n';
        ForShownFields(o, [&](const FieldReport& f, bool skipped) {
            const std::string_view keyword = Keyword(f.row);
            out += "  ";
            out += keyword;
            out.append(width_ - keyword.size() + 2, ' ');
            value(out, f.old_status, f.old_text);
            if (skipped) {
                out.append("   (").append(kSkippedNote).append(")\n");
                return;
            }
            out += "  ->  ";
            value(out, f.new_status, f.new_text);
            out += '\n';
        });
        if (HasLines(o, show_lines)) {
            for (const zolehead::edit::LineChange& l : r.lines) {
                out.append("  line ").append(std::to_string(l.line)).append(":\n");
                lines(out, "    - ", l.before);
                lines(out, "    + ", l.after);
            }
        }
        if (!r.backup_path.empty()) {
            out += "  backup: ";
            AppendPrintable(out, r.backup_path);
            out += '\n';
        }
        if (!r.warning.empty()) {
            out += "  warning: ";
            AppendPrintable(out, r.warning);
            out += '\n';
        }
    }

private:
    static void value(std::string& out, zolehead::HeaderStatus status, std::string_view text) {
        if (status == zolehead::STATUS_NONE) {
            out += "(none)";
            return;
        }
        out += FormLetter(status);
        out += " \"";
        AppendPrintable(out, text);
        out += '"';
    }
    static void lines(std::string& out, std::string_view prefix, std::string_view text) {
        if (text.empty()) return;
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find('\n', start);
            out += prefix;
            AppendPrintable(out, text.substr(start, end == std::string_view::npos ? end : end - start));
            out += '\n';
            if (end == std::string_view::npos) return;
            start = end + 1;
        }
    }

    std::size_t width_ = 0;
};

}  // namespace

bool EditOutcome::any_skipped() const { return std::find(skipped.begin(), skipped.end(), true) != skipped.end(); }

std::string_view EditOutcome::status() const {
    if (result.status == EditStatus::UNCHANGED && any_skipped()) return "skipped";
    return zolehead::edit::StatusName(result.status);
}

std::unique_ptr<EditRecordFormat> MakeEditRecordFormat(OutputFormat format) {
    switch (format) {
    case OutputFormat::TABLE: return std::make_unique<TableEditFormat>();
    case OutputFormat::JSON: return std::make_unique<JsonEditFormat>(true);
    case OutputFormat::JSONL: return std::make_unique<JsonEditFormat>(false);
    case OutputFormat::CSV: return std::make_unique<DelimitedEditFormat>(',');
    case OutputFormat::TSV: return std::make_unique<DelimitedEditFormat>('\t');
    }
    return std::make_unique<JsonEditFormat>(false);
}

}  // namespace zolehead_cli
