#include "request_body.hpp"

#include <nlohmann/json.hpp>

#include "field_names.hpp"
#include "zolehead.hpp"

namespace zolehead::serve {

namespace {

using nlohmann::json;

// Parses an object, or says why not: "the body is not valid JSON: ...".
std::optional<json> ParseObject(std::string_view body, std::string& error) {
    json value;
    try {
        value = json::parse(body);
    } catch (const json::exception& e) {  // parse_error, or out_of_range for a number like 1e400
        std::string what = e.what();
        // "[json.exception.parse_error.101] parse error at ..." reads better without its tag.
        if (const std::size_t tag = what.find("] "); what.starts_with("[json.exception") && tag != std::string::npos) {
            what.erase(0, tag + 2);
        }
        error = "the body is not valid JSON: " + what;
        return std::nullopt;
    }
    if (!value.is_object()) {
        error = "the body must be a JSON object";
        return std::nullopt;
    }
    return value;
}

std::string UnknownMember(const std::string& key) {
    return "unknown member " + json(key).dump(-1, ' ', false, json::error_handler_t::replace);
}

bool AsCount(const json& value, std::uint64_t limit, std::uint64_t& out) {
    if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) return false;
    const auto n = value.get<std::uint64_t>();
    if (n > limit) return false;
    out = n;
    return true;
}

}  // namespace

int ColumnByName(std::string_view name) noexcept {
    if (name == "path") return kPathColumn;
    const int row = FindKeywordRow(name);
    return row < 0 ? -1 : row + 1;
}

ParsedBody<RowsRequest> ParseRowsRequest(std::string_view body) {
    ParsedBody<RowsRequest> parsed;
    const std::optional<json> object = body.empty() ? json::object() : ParseObject(body, parsed.error);
    if (!object) return parsed;
    RowsRequest request;
    for (const auto& [key, value] : object->items()) {
        if (key == "filter") {
            if (!value.is_string()) return {std::nullopt, "\"filter\" must be a string"};
            request.view.filter = value.get<std::string>();
            if (request.view.filter.size() > kMaxFilterBytes) {
                return {std::nullopt, "\"filter\" is longer than " + std::to_string(kMaxFilterBytes) + " bytes"};
            }
        } else if (key == "sort") {
            if (value.is_null()) {
                request.view.sort_column = kWalkOrder;
                continue;
            }
            if (!value.is_string()) return {std::nullopt, "\"sort\" must be \"path\", a field's keyword or null"};
            request.view.sort_column = ColumnByName(value.get<std::string>());
            if (request.view.sort_column < 0) {
                return {std::nullopt, "\"sort\" must be \"path\", a field's keyword or null"};
            }
        } else if (key == "descending") {
            if (!value.is_boolean()) return {std::nullopt, "\"descending\" must be true or false"};
            request.view.descending = value.get<bool>();
        } else if (key == "offset") {
            if (!AsCount(value, std::uint64_t{1} << 53, request.offset)) {
                return {std::nullopt, "\"offset\" must be a whole number from 0"};
            }
        } else if (key == "ids") {
            if (!value.is_boolean()) return {std::nullopt, "\"ids\" must be true or false"};
            request.ids = value.get<bool>();
        } else if (key == "limit") {
            std::uint64_t limit = 0;
            if (!AsCount(value, kMaxRowsPerRequest, limit) || limit == 0) {
                return {std::nullopt, "\"limit\" must be a whole number from 1 to " + std::to_string(kMaxRowsPerRequest)};
            }
            request.limit = static_cast<std::uint32_t>(limit);
        } else {
            return {std::nullopt, UnknownMember(key)};
        }
    }
    parsed.value = std::move(request);
    return parsed;
}

ParsedBody<FileRequest> ParseFileRequest(std::string_view body) {
    ParsedBody<FileRequest> parsed;
    const std::optional<json> object = ParseObject(body, parsed.error);
    if (!object) return parsed;
    FileRequest request;
    bool has_row = false, has_version = false;
    for (const auto& [key, value] : object->items()) {
        if (key == "path") {
            if (!value.is_string() || value.get_ref<const std::string&>().empty()) {
                return {std::nullopt, "\"path\" must be a non-empty string"};
            }
            request.path = value.get<std::string>();
        } else if (key == "row") {
            if (!AsCount(value, UINT32_MAX, request.row)) return {std::nullopt, "\"row\" must be a whole number from 0"};
            has_row = true;
        } else if (key == "version") {
            if (!AsCount(value, std::uint64_t{1} << 53, request.version)) {
                return {std::nullopt, "\"version\" must be a whole number from 0"};
            }
            has_version = true;
        } else {
            return {std::nullopt, UnknownMember(key)};
        }
    }
    if (request.path.has_value() == (has_row || has_version) || has_row != has_version) {
        return {std::nullopt, "give either \"path\", or \"row\" with \"version\""};
    }
    parsed.value = std::move(request);
    return parsed;
}

namespace {

std::string Quoted(const std::string& text) { return json(text).dump(-1, ' ', false, json::error_handler_t::replace); }

std::string TooManyFiles() {
    return "more than " + std::to_string(kMaxEditFiles) + " files in one edit: send the selection in parts";
}

// The field `name` names, by keyword or label, or -1.
int FieldByName(const std::string& name) {
    thread_local collection::ShiftJisEncoder encoder;
    return edit::FieldRow(name, encoder);
}

// One item's changes: "set", "remove" and "form". Returns an error, or "".
std::string ParseChanges(const json& item, EditItem& out) {
    bool named[kFieldCount] = {};
    const auto add = [&](const std::string& name, edit::EditAction action, std::string value) -> std::string {
        const int row = FieldByName(name);
        if (row < 0) return "no such field: " + Quoted(name);
        if (named[row]) return std::string(kIdentifiers[static_cast<std::size_t>(row)].keyword) + " is named twice";
        named[row] = true;
        out.changes.push_back({row, action, std::move(value), false});
        return {};
    };
    for (const auto& [key, value] : item.items()) {
        if (key == "set") {
            if (!value.is_object()) return "\"set\" must be an object of field: value";
            for (const auto& [name, text] : value.items()) {
                if (!text.is_string()) return "the value of " + Quoted(name) + " must be a string (remove a field with \"remove\")";
                if (text.get_ref<const std::string&>().size() > kMaxValueBytes) {
                    return "the value of " + Quoted(name) + " is longer than " + std::to_string(kMaxValueBytes) + " bytes";
                }
                if (std::string error = add(name, edit::EditAction::SET, text.get<std::string>()); !error.empty()) return error;
            }
        } else if (key == "remove") {
            if (!value.is_array()) return "\"remove\" must be an array of field names";
            for (const json& name : value) {
                if (!name.is_string()) return "\"remove\" must be an array of field names";
                if (std::string error = add(name.get<std::string>(), edit::EditAction::REMOVE, {}); !error.empty()) {
                    return error;
                }
            }
        } else if (key == "form") {
            const std::string form = value.is_string() ? value.get<std::string>() : "";
            if (form == "A" || form == "a") {
                out.form = edit::InsertForm::A;
            } else if (form == "B" || form == "b") {
                out.form = edit::InsertForm::B;
            } else if (form == "auto") {
                out.form = edit::InsertForm::AUTO;
            } else {
                return "\"form\" must be \"A\", \"B\" or \"auto\"";
            }
        }
    }
    if (out.changes.empty()) return "an item must \"set\" or \"remove\" some field";
    return {};
}

// One item's files: exactly one of "path", "row" and "rows".
std::string ParseTargets(const json& item, EditRequest& request, EditItem& out) {
    int given = 0;
    for (const auto& [key, value] : item.items()) {
        if (key == "path") {
            if (!value.is_string() || value.get_ref<const std::string&>().empty()) return "\"path\" must be a non-empty string";
            out.targets.push_back({value.get<std::string>(), 0});
            ++given;
        } else if (key == "row" || key == "rows") {
            const json list = key == "row" ? json::array({value}) : value;
            if (!list.is_array() || list.empty()) return "\"rows\" must be a non-empty array of row numbers";
            if (request.files + out.targets.size() + list.size() > kMaxEditFiles) return TooManyFiles();
            for (const json& row : list) {
                std::uint64_t n = 0;
                if (!AsCount(row, UINT32_MAX, n)) return "\"" + key + "\" must hold whole numbers from 0";
                out.targets.push_back({std::nullopt, static_cast<std::uint32_t>(n)});
            }
            request.names_rows = true;
            ++given;
        } else if (key != "set" && key != "remove" && key != "form") {
            return UnknownMember(key);
        }
    }
    if (given != 1) return "an item names its files with one of \"path\", \"row\" or \"rows\"";
    return {};
}

}  // namespace

ParsedBody<EditRequest> ParseEditRequest(std::string_view body) {
    ParsedBody<EditRequest> parsed;
    const std::optional<json> object = ParseObject(body, parsed.error);
    if (!object) return parsed;
    EditRequest request;
    bool has_items = false;
    for (const auto& [key, value] : object->items()) {
        if (key == "version") {
            std::uint64_t version = 0;
            if (!AsCount(value, std::uint64_t{1} << 53, version)) return {std::nullopt, "\"version\" must be a whole number from 0"};
            request.version = version;
        } else if (key == "items") {
            if (!value.is_array() || value.empty()) return {std::nullopt, "\"items\" must be a non-empty array"};
            has_items = true;
            for (const json& item : value) {
                if (!item.is_object()) return {std::nullopt, "each item must be an object"};
                EditItem parsed_item;
                if (std::string error = ParseTargets(item, request, parsed_item); !error.empty()) return {std::nullopt, error};
                if (std::string error = ParseChanges(item, parsed_item); !error.empty()) return {std::nullopt, error};
                request.files += parsed_item.targets.size();
                if (request.files > kMaxEditFiles) return {std::nullopt, TooManyFiles()};
                request.items.push_back(std::move(parsed_item));
            }
        } else {
            return {std::nullopt, UnknownMember(key)};
        }
    }
    if (!has_items) return {std::nullopt, "\"items\" is missing"};
    if (request.names_rows && !request.version) return {std::nullopt, "give \"version\" with rows: the catalog they come from"};
    parsed.value = std::move(request);
    return parsed;
}

ParsedBody<bool> ParseEmptyRequest(std::string_view body) {
    ParsedBody<bool> parsed;
    if (body.empty()) {
        parsed.value = true;
        return parsed;
    }
    const std::optional<json> object = ParseObject(body, parsed.error);
    if (!object) return parsed;
    if (!object->empty()) return {std::nullopt, UnknownMember(object->begin().key())};
    parsed.value = true;
    return parsed;
}

}  // namespace zolehead::serve
