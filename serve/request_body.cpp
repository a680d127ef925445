#include "request_body.hpp"

#include <nlohmann/json.hpp>

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
