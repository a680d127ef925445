#include "api_json.hpp"

#include <array>
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
                      {"editable", false}};
    return Dump(status);
}

std::string RowsJson(const Catalog& catalog, std::uint64_t version, const RowList& rows, std::uint64_t offset,
                     std::uint32_t limit) {
    json out_rows = json::array();
    for (std::uint64_t i = offset; i < rows.size() && i - offset < limit; ++i) {
        const std::uint32_t r = rows[i];
        json row{{"row", r}};
        AddPath(row, catalog.path(r));
        if (!catalog.error(r).empty()) row["error"] = std::string(catalog.error(r));
        json fields = json::array();
        for (int f = 0; f < kCatalogFields; ++f) {
            const char* form = FormName(catalog.form(r, f));
            if (form == nullptr) {
                fields.push_back(nullptr);
                continue;
            }
            json field = json::array({std::string(catalog.value(r, f)), form});
            if (catalog.lossy(r, f)) field.push_back(true);
            fields.push_back(std::move(field));
        }
        row["fields"] = std::move(fields);
        out_rows.push_back(std::move(row));
    }
    const json out{{"version", version},
                   {"total", catalog.size()},
                   {"matched", rows.size()},
                   {"offset", offset},
                   {"rows", std::move(out_rows)}};
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
    json out;
    AddPath(out, path);
    out["size"] = detail.size;
    out["fields"] = std::move(fields);
    out["lines"] = std::move(lines);
    out["line_count"] = detail.lines.line_count();
    if (const auto mark = detail.lines.end_mark_line()) {
        out["end_mark_line"] = *mark;
    } else {
        out["end_mark_line"] = nullptr;
    }
    out["lines_dropped"] = detail.lines.lines_dropped();
    return Dump(out);
}

}  // namespace zolehead::serve
