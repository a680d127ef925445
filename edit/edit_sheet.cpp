#include "edit_sheet.hpp"

#include <nlohmann/json.hpp>
#include <unordered_map>

#include "base64.hpp"
#include "field_names.hpp"

namespace zolehead::edit {

namespace {

using collection::DecodeBase64;

struct RawRecord {
    std::uint64_t line = 0;
    std::vector<std::string> cells;
};

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The length of a line end at `i`: CR LF, CR or LF.
std::size_t LineEndAt(std::string_view text, std::size_t i) {
    if (i >= text.size()) return 0;
    if (text[i] == '\n') return 1;
    if (text[i] == '\r') return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    return 0;
}

// RFC 4180 records, tolerant: quotes only where a cell starts with one
// (CSV), anything after a closing quote kept, any line end. TSV cells are
// taken literally, as the tool writes them.
std::vector<RawRecord> SplitRecords(std::string_view text, char delimiter, bool quotes, std::string& problem) {
    std::vector<RawRecord> records;
    std::size_t i = 0;
    std::uint64_t line = 1;
    while (i < text.size()) {
        RawRecord record;
        record.line = line;
        std::string cell;
        for (;;) {
            if (quotes && i < text.size() && text[i] == '"') {
                const std::uint64_t opened = line;
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        problem = "a quoted cell opened on line " + std::to_string(opened) + " is never closed";
                        return {};
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            cell += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (const std::size_t n = LineEndAt(text, i)) {
                        cell.append(text.substr(i, n));
                        i += n;
                        ++line;
                        continue;
                    }
                    cell += text[i++];
                }
            }
            while (i < text.size() && text[i] != delimiter && LineEndAt(text, i) == 0) cell += text[i++];
            record.cells.push_back(std::move(cell));
            cell.clear();
            if (i < text.size() && text[i] == delimiter) {
                ++i;
                continue;
            }
            i += LineEndAt(text, i);
            ++line;
            break;
        }
        // A blank line is no record.
        if (record.cells.size() == 1 && Trimmed(record.cells[0]).empty()) continue;
        records.push_back(std::move(record));
    }
    return records;
}

// Undoes the tool's TSV escapes: \t, \n and \r, and nothing else.
std::string UnescapeTsv(std::string_view cell) {
    std::string out;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == '\\' && i + 1 < cell.size() && (cell[i + 1] == 't' || cell[i + 1] == 'n' || cell[i + 1] == 'r')) {
            out += cell[i + 1] == 't' ? '\t' : cell[i + 1] == 'n' ? '\n' : '\r';
            ++i;
        } else {
            out += cell[i];
        }
    }
    return out;
}

// "a ""b""" read as a spreadsheet's quoting; nullopt when it is not one.
std::optional<std::string> Unquoted(std::string_view cell) {
    if (cell.size() < 2 || cell.front() != '"' || cell.back() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
        if (cell[i] == '"') {
            if (i + 2 < cell.size() && cell[i + 1] == '"') {
                out += '"';
                ++i;
                continue;
            }
            return std::nullopt;
        }
        out += cell[i];
    }
    return out;
}

void ReadDelimited(std::string_view text, char delimiter, EditSheet& sheet, collection::ShiftJisEncoder& encoder) {
    const bool tsv = delimiter == '\t';
    std::vector<RawRecord> records = SplitRecords(text, delimiter, !tsv, sheet.problem);
    if (!sheet.problem.empty()) return;
    if (records.empty()) {
        sheet.problem = "it is empty: the first row must name the columns, as zolehead --" + sheet.format + " writes";
        return;
    }
    enum { IGNORED = -1, PATH = -2, ERROR = -3 };
    std::vector<int> roles;
    bool have_path = false;
    std::array<bool, kFieldCount> seen{};
    for (const std::string& raw : records[0].cells) {
        const std::string_view name = Trimmed(raw);
        int role = IGNORED;
        if (EqualsIgnoringCase(name, "path")) {
            role = PATH;
            if (have_path) {
                sheet.problem = "it has two path columns";
                return;
            }
            have_path = true;
        } else if (EqualsIgnoringCase(name, "error")) {
            role = ERROR;
        } else if (const int row = FieldRow(name, encoder); row >= 0) {
            if (seen[static_cast<std::size_t>(row)]) {
                sheet.problem = "it has two columns for the field " + std::string(name);
                return;
            }
            seen[static_cast<std::size_t>(row)] = true;
            role = row;
        }
        roles.push_back(role);
    }
    if (!have_path) {
        sheet.problem = "its first row names no path column, as zolehead --" + sheet.format + " writes";
        return;
    }
    for (std::size_t r = 1; r < records.size(); ++r) {
        const RawRecord& record = records[r];
        SheetRow row;
        row.line = record.line;
        bool any_path = false;
        for (std::size_t c = 0; c < record.cells.size() && c < roles.size(); ++c) {
            const std::string& cell = record.cells[c];
            if (roles[c] == PATH) {
                any_path = true;
                row.path = tsv ? UnescapeTsv(cell) : cell;
                if (tsv && row.path != cell) row.literal_path = cell;
            } else if (roles[c] == ERROR) {
                row.had_error = !Trimmed(cell).empty();
            } else if (roles[c] >= 0) {
                SheetCell value;
                value.text = cell;
                if (tsv) value.unquoted = Unquoted(cell);
                row.cells[static_cast<std::size_t>(roles[c])] = std::move(value);
            }
        }
        if (!any_path || row.path.empty()) row.problem = "no path in this row";
        if (record.cells.size() > roles.size()) {
            row.problem = "more cells than the first row names (a separator inside an unquoted cell?)";
        }
        sheet.rows.push_back(std::move(row));
    }
}

// One JSON record as the tool writes it.
void ReadJsonRecord(const nlohmann::json& record, SheetRow& row, collection::ShiftJisEncoder& encoder) {
    if (!record.is_object()) {
        row.problem = "not a JSON object";
        return;
    }
    const auto path = record.find("path");
    const auto path_base64 = record.find("path_base64");
    if (path_base64 != record.end()) {
        // The path's own bytes, when they are not UTF-8.
        if (!path_base64->is_string() || !DecodeBase64(path_base64->get_ref<const std::string&>(), row.path)) {
            row.problem = "path_base64 is not base64";
            return;
        }
    } else if (path != record.end() && path->is_string()) {
        row.path = path->get<std::string>();
    }
    if (row.path.empty()) {
        row.problem = "no path in this record";
        return;
    }
    if (const auto error = record.find("error"); error != record.end()) {
        row.had_error = !(error->is_null() || (error->is_string() && error->get_ref<const std::string&>().empty()));
    }
    const auto fields = record.find("fields");
    if (fields == record.end() || fields->is_null()) return;
    if (!fields->is_object()) {
        row.problem = "\"fields\" is not an object";
        return;
    }
    // The tool leaves out fields it did not find: here, every field not
    // named is an empty cell.
    for (auto& cell : row.cells) cell = SheetCell{};
    for (const auto& [name, value] : fields->items()) {
        const int field = FieldRow(name, encoder);
        if (field < 0) continue;
        SheetCell& cell = *row.cells[static_cast<std::size_t>(field)];
        const nlohmann::json* text = &value;
        if (value.is_object()) {
            if (const auto raw = value.find("raw"); raw != value.end() && value.find("value") == value.end()) {
                if (!raw->is_string() || !DecodeBase64(raw->get_ref<const std::string&>(), cell.text)) {
                    row.problem = name + ": \"raw\" is not base64";
                    return;
                }
                cell.raw = true;
                continue;
            }
            const auto v = value.find("value");
            if (v == value.end()) continue;  // stays empty
            text = &*v;
        }
        if (text->is_null()) continue;
        if (!text->is_string()) {
            row.problem = name + ": the value is not a string";
            return;
        }
        cell.text = text->get<std::string>();
    }
}

void ReadJson(std::string_view text, EditSheet& sheet, collection::ShiftJisEncoder& encoder) {
    nlohmann::json whole = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (!whole.is_discarded()) {
        sheet.format = "json";
        if (!whole.is_array()) whole = nlohmann::json::array({std::move(whole)});
        std::uint64_t n = 0;
        for (const nlohmann::json& record : whole) {
            SheetRow row;
            row.line = ++n;
            ReadJsonRecord(record, row, encoder);
            sheet.rows.push_back(std::move(row));
        }
        return;
    }
    sheet.format = "jsonl";
    std::uint64_t line = 1;
    for (std::size_t i = 0; i < text.size(); ++line) {
        std::size_t end = i;
        while (end < text.size() && LineEndAt(text, end) == 0) ++end;
        const std::string_view content = Trimmed(text.substr(i, end - i));
        i = end + LineEndAt(text, end);
        if (content.empty()) continue;
        const nlohmann::json record = nlohmann::json::parse(content.begin(), content.end(), nullptr, false);
        if (record.is_discarded()) {
            sheet.problem = "line " + std::to_string(line) + " is not a JSON record";
            sheet.rows.clear();
            return;
        }
        SheetRow row;
        row.line = line;
        ReadJsonRecord(record, row, encoder);
        sheet.rows.push_back(std::move(row));
    }
}

}  // namespace

EditSheet ReadEditSheet(std::string_view input, collection::ShiftJisEncoder& encoder) {
    EditSheet sheet;
    if (input.substr(0, 2) == "\xFF\xFE" || input.substr(0, 2) == "\xFE\xFF") {
        sheet.problem = "it is UTF-16 text; save it as UTF-8";
        return sheet;
    }
    if (input.substr(0, 3) == "\xEF\xBB\xBF") input.remove_prefix(3);
    std::size_t first = 0;
    while (first < input.size() && (input[first] == ' ' || input[first] == '\t' || LineEndAt(input, first) != 0)) {
        ++first;
    }
    if (first < input.size() && (input[first] == '[' || input[first] == '{')) {
        ReadJson(input, sheet, encoder);
    } else {
        // The separator is whichever the first row uses: tab, comma or, as
        // some spreadsheets write CSV, semicolon.
        std::size_t tabs = 0, commas = 0, semicolons = 0;
        bool quoted = false;
        for (std::size_t i = 0; i < input.size() && (quoted || LineEndAt(input, i) == 0); ++i) {
            const char c = input[i];
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            tabs += c == '\t';
            commas += c == ',';
            semicolons += c == ';';
        }
        const char delimiter = tabs > 0 ? '\t' : semicolons > commas ? ';' : ',';
        sheet.format = delimiter == '\t' ? "tsv" : "csv";
        ReadDelimited(input, delimiter, sheet, encoder);
    }
    std::unordered_map<std::string, std::uint64_t> first_line;
    for (SheetRow& row : sheet.rows) {
        if (!row.problem.empty()) continue;
        const auto [at, fresh] = first_line.emplace(row.path, row.line);
        if (!fresh) {
            row.problem = std::string("the same path as the record ") + (sheet.format == "json" ? "number " : "at line ") +
                          std::to_string(at->second);
        }
    }
    return sheet;
}

}  // namespace zolehead::edit
