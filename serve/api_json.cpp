#include "api_json.hpp"

#include <array>
#include <map>
#include <optional>
#include <nlohmann/json.hpp>

#include "field_text.hpp"
#include "zolehead.hpp"

namespace zolehead::serve {

namespace {

using nlohmann::json;

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

const char* FormName(FieldForm form) {
    switch (form) {
    case FieldForm::A: return "A";
    case FieldForm::B: return "B";
    case FieldForm::NONE: break;
    }
    return nullptr;
}

// The sixteen labels in UTF-8, decoded once.
const std::array<std::string, kFieldCount>& Labels() {
    static const std::array<std::string, kFieldCount> labels = [] {
        std::array<std::string, kFieldCount> decoded;
        collection::ShiftJisDecoder decoder;
        for (std::size_t i = 0; i < decoded.size(); ++i) decoder.decode(kIdentifiers[i].label, decoded[i]);
        return decoded;
    }();
    return labels;
}

void AddPath(json& out, std::string_view path) {
    out["path"] = std::string(path);
    if (!IsUtf8(path)) out["path_lossy"] = true;
}

// A row as the table shows it; `row` absent for a file the catalog does not hold.
json RowJson(std::optional<std::uint32_t> row, const CatalogEntry& entry) {
    json out;
    if (row) out["row"] = *row;
    AddPath(out, entry.path);
    if (!entry.error.empty()) out["error"] = std::string(entry.error);
    if (entry.in_archive) out["archive"] = true;
    json fields = json::array();
    for (std::size_t f = 0; f < entry.values.size(); ++f) {
        const char* form = FormName(entry.forms[f]);
        if (form == nullptr) {
            fields.push_back(nullptr);
            continue;
        }
        json field = json::array({std::string(entry.values[f]), form});
        if ((entry.lossy >> f) & 1U) field.push_back(true);
        fields.push_back(std::move(field));
    }
    out["fields"] = std::move(fields);
    return out;
}

// A value as an edit reports it: null, or [text, form] with true when lossy.
json ValueJson(HeaderStatus status, const std::string& text, bool lossy) {
    if (status == STATUS_NONE) return nullptr;
    json value = json::array({text, status == STATUS_FORM_A ? "A" : "B"});
    if (lossy) value.push_back(true);
    return value;
}

const char* RefusalName(PathRefusal refusal) {
    switch (refusal) {
    case PathRefusal::OUTSIDE: return "outside-served-folders";
    case PathRefusal::NOT_FOUND: return "not-found";
    case PathRefusal::NOT_REGULAR: return "not-regular-file";
    case PathRefusal::CANNOT_OPEN: return "cannot-open";
    case PathRefusal::NONE: break;
    }
    return "";
}

// The field a reason starts with ("Title: the value ..."), or -1.
int NamedField(std::string_view reason) {
    const std::size_t colon = reason.find(':');
    return colon == std::string_view::npos ? -1 : FindKeywordRow(reason.substr(0, colon));
}

}  // namespace

std::string ErrorJson(const std::string& message) { return Dump(json{{"error", message}}); }

std::string StatusJson(const StatusFacts& facts) {
    json scan{{"running", facts.scan.scanning},
              {"read", facts.scan.read},
              {"failed", facts.scan.failed},
              {"skipped", facts.scan.skipped},
              {"seconds", facts.scan.seconds},
              {"notices", facts.scan.notices},
              {"finished_at_ms", facts.scan.finished_unix_ms}};
    if (!facts.scan.failure.empty()) scan["failure"] = facts.scan.failure;
    json fields = json::array();
    for (std::size_t i = 0; i < kIdentifiers.size(); ++i) {
        fields.push_back({{"keyword", std::string(kIdentifiers[i].keyword)}, {"label", Labels()[i]}});
    }
    const json status{{"version", facts.version},
                      {"files", facts.catalog ? facts.catalog->size() : 0},
                      {"errors", facts.catalog ? facts.catalog->error_count() : 0},
                      {"memory_bytes", facts.catalog ? facts.catalog->memory_bytes() : 0},
                      {"scan", std::move(scan)},
                      {"roots", facts.roots},
                      {"fields", std::move(fields)},
                      {"editable", facts.editable},
                      {"archives", facts.archives},
                      {"generation", facts.generation}};
    return Dump(status);
}

std::string RowsJson(const Catalog& catalog, const CatalogStore::Snapshot& snapshot, const RowList& rows,
                     std::uint64_t offset, std::uint32_t limit, bool ids) {
    json out_rows = json::array();
    for (std::uint64_t i = offset; i < rows.size() && i - offset < limit; ++i) {
        out_rows.push_back(RowJson(rows[i], catalog.entry(rows[i])));
    }
    json out{{"version", snapshot.version},
             {"generation", snapshot.generation},
             {"total", catalog.size()},
             {"matched", rows.size()},
             {"offset", offset},
             {"rows", std::move(out_rows)}};
    if (ids) out["ids"] = rows;
    return Dump(out);
}

std::string EditJson(const CatalogStore::Snapshot& snapshot, std::span<const FileEditOutcome> outcomes) {
    json results = json::array();
    std::map<std::string, std::size_t> counts{{"edited", 0}, {"unchanged", 0}, {"refused", 0}, {"failed", 0}};
    for (const FileEditOutcome& outcome : outcomes) {
        json result;
        AddPath(result, outcome.result.path);
        if (outcome.row) result["row"] = *outcome.row;
        std::string status;
        if (outcome.refusal != PathRefusal::NONE) {
            const bool refused = outcome.refusal == PathRefusal::OUTSIDE || outcome.refusal == PathRefusal::NOT_REGULAR;
            status = refused ? "refused" : "failed";
            result["problem"] = RefusalName(outcome.refusal);
            result["reason"] = DescribeRefusal(outcome.refusal, outcome.system_error);
        } else {
            const edit::EditResult& r = outcome.result;
            status = std::string(edit::StatusName(r.status));
            if (r.problem != edit::Problem::NONE) {
                result["problem"] = std::string(edit::ProblemName(r.problem));
                result["reason"] = r.reason;
                if (const int field = NamedField(r.reason); field >= 0) {
                    result["field"] = std::string(kIdentifiers[static_cast<std::size_t>(field)].keyword);
                }
            }
            json fields = json::array();
            for (const edit::FieldReport& f : r.fields) {
                fields.push_back({{"field", std::string(kIdentifiers[static_cast<std::size_t>(f.row)].keyword)},
                                  {"action", f.action == edit::EditAction::SET ? "set" : "remove"},
                                  {"changed", f.changed},
                                  {"old", ValueJson(f.old_status, f.old_text, f.old_lossy)},
                                  {"new", ValueJson(f.new_status, f.new_text, f.new_lossy)}});
            }
            result["fields"] = std::move(fields);
        }
        result["status"] = status;
        ++counts[status];
        if (outcome.reread) {
            result["now"] = RowJson(outcome.row, outcome.now.entry());
        }
        results.push_back(std::move(result));
    }
    const json out{{"version", snapshot.version},
                   {"generation", snapshot.generation},
                   {"counts", counts},
                   {"results", std::move(results)}};
    return Dump(out);
}

std::string DetailJson(const std::string& path, const FileDetail& detail) {
    collection::FieldText text(false);
    const ZoleHeader& header = detail.lines.header(HeaderForm::BOTH);
    json fields = json::array();
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const HeaderSlot& slot = header.slots[i];
        json field{{"keyword", std::string(kIdentifiers[i].keyword)}, {"label", Labels()[i]}};
        if (slot.status == STATUS_NONE) {
            field["value"] = nullptr;
            field["form"] = nullptr;
            field["lossy"] = false;
        } else {
            const collection::FieldText::Text value = text.get(slot.text());
            field["value"] = std::string(value.text);
            field["form"] = slot.status == STATUS_FORM_A ? "A" : "B";
            field["lossy"] = value.lossy;
        }
        fields.push_back(std::move(field));
    }
    json lines = json::array();
    for (const HeaderLine& line : detail.lines.lines()) {
        const collection::FieldText::Text decoded = text.get(line.bytes);
        json changed = json::array();
        for (std::size_t i = 0; i < kIdentifiers.size(); ++i) {
            if ((line.changed >> i) & 1U) changed.push_back(std::string(kIdentifiers[i].keyword));
        }
        lines.push_back({{"number", line.number},
                         {"text", std::string(decoded.text)},
                         {"lossy", decoded.lossy},
                         {"cut", line.cut},
                         {"fields", std::move(changed)}});
    }
    // The explain and lint records keep their members' order.
    explain::Json out;
    out["path"] = path;
    if (!IsUtf8(path)) out["path_lossy"] = true;
    out["size"] = detail.size;
    out["archive"] = detail.in_archive;
    out["fields"] = std::move(fields);
    out["lines"] = std::move(lines);
    out["line_count"] = detail.lines.line_count();
    if (const auto mark = detail.lines.end_mark_line()) {
        out["end_mark_line"] = *mark;
    } else {
        out["end_mark_line"] = nullptr;
    }
    out["lines_dropped"] = detail.lines.lines_dropped();
    if (detail.story && detail.warnings) {
        out["explain"] = *detail.story;
        out["lint"] = *detail.warnings;
    } else {
        out["explain_note"] = "larger than " + std::to_string(explain::kMaxFileBytes >> 20) +
                              " MiB: the story of each field and the lint warnings are not worked out";
    }
    return out.dump(-1, ' ', false, explain::Json::error_handler_t::replace);
}

}  // namespace zolehead::serve
