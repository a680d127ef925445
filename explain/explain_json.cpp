#include "explain_json.hpp"

#include "base64.hpp"
#include "story_messages.hpp"
#include "utf8_validation.hpp"

namespace zolehead::explain {

using collection::IsUtf8;

namespace {

using json = Json;

// Text that JSON can carry: bytes that are not UTF-8 become U+FFFD.
std::string ValidText(std::string_view text) {
    if (IsUtf8(text)) return std::string(text);
    const std::string quoted = json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return json::parse(quoted).get<std::string>();
}

json PathRecord(std::string_view path) {
    json record = json::object();
    record["path"] = ValidText(path);
    if (!IsUtf8(path)) {
        std::string encoded;
        collection::AppendBase64(encoded, path);
        record["path_base64"] = encoded;
    }
    return record;
}

json Place(const TextPosition& at) { return {{"line", at.line}, {"column", at.column}, {"offset", at.offset}}; }

// Shift_JIS as UTF-8; `lossy` says whether some bytes meant nothing.
std::string Decoded(collection::ShiftJisDecoder& decoder, std::string_view bytes, bool* lossy = nullptr) {
    std::string out;
    const bool clean = decoder.decode(bytes, out);
    if (lossy != nullptr) *lossy = !clean;
    return out;
}

json EntryJson(const FieldStory& field, const StoryEntry& e, collection::ShiftJisDecoder& decoder) {
    json entry = Place(e.at);
    entry["form"] = e.form == EntryForm::A ? "A" : "B";
    entry["name"] = ValidText(Decoded(decoder, e.name));
    bool lossy = false;
    entry["value"] = Decoded(decoder, e.stored, &lossy);
    if (lossy) entry["lossy"] = true;
    entry["value_line"] = e.value.line;
    entry["value_column"] = e.value.column;
    entry["trimmed"] = e.trimmed;
    entry["cut"] = e.dropped_at_limit;
    entry["control_dropped"] = e.control_dropped;
    json readers = json::array();
    const auto ref = [&](int index) {
        const StoryEntry& other = field.entries[static_cast<std::size_t>(index)];
        return json{{"line", other.at.line}, {"column", other.at.column}, {"form", other.form == EntryForm::A ? "A" : "B"}};
    };
    for (const Verdict& v : e.verdicts) {
        json verdict = {{"reader", ReaderKey(v.reader)}, {"outcome", OutcomeKey(v.outcome)}};
        if (v.other >= 0) verdict["other"] = ref(v.other);
        if (v.later >= 0) verdict["then"] = ref(v.later);
        verdict["message"] = DescribeVerdict(field, v);
        readers.push_back(std::move(verdict));
    }
    entry["readers"] = std::move(readers);
    entry["notes"] = DescribeNotes(e);
    return entry;
}

}  // namespace

json StoryJson(std::string_view path, const Story& story, collection::ShiftJisDecoder& decoder) {
    json record = PathRecord(path);
    json fields = json::array();
    for (const FieldStory& field : story.fields) {
        const Identifier& id = kIdentifiers[static_cast<std::size_t>(field.row)];
        json f = {{"field", id.keyword}, {"label", Decoded(decoder, id.label)}};
        json reads = json::object();
        for (const HeaderForm reader : kReaders) {
            const FinalValue& final = field.final_of(reader);
            if (final.status == STATUS_NONE) {
                reads[std::string(ReaderKey(reader))] = nullptr;
            } else {
                bool lossy = false;
                json value = {{"value", Decoded(decoder, final.value, &lossy)},
                              {"form", final.status == STATUS_FORM_A ? "A" : "B"}};
                if (lossy) value["lossy"] = true;
                reads[std::string(ReaderKey(reader))] = std::move(value);
            }
        }
        f["reads"] = std::move(reads);
        json entries = json::array();
        const ShownEntries shown = Shown(field);
        for (std::size_t i = 0; i < field.entries.size(); ++i) {
            if (i == shown.head_end) i = shown.tail_begin;
            if (i < field.entries.size()) entries.push_back(EntryJson(field, field.entries[i], decoder));
        }
        f["entries"] = std::move(entries);
        if (shown.hidden() > 0) f["entries_not_shown"] = shown.hidden();
        fields.push_back(std::move(f));
    }
    record["fields"] = std::move(fields);
    if (story.end_mark) record["end_mark"] = Place(*story.end_mark);
    if (story.unclosed_quote) record["unclosed_quote"] = Place(*story.unclosed_quote);
    return record;
}

json WarningsJson(std::string_view path, const std::vector<Warning>& warnings) {
    json record = PathRecord(path);
    json list = json::array();
    for (const Warning& w : warnings) {
        json item = Place(w.at);
        item["code"] = w.code;
        item["message"] = ValidText(w.message);
        if (!w.suggestion.empty()) item["suggestion"] = ValidText(w.suggestion);
        list.push_back(std::move(item));
    }
    record["warnings"] = std::move(list);
    return record;
}

json ErrorJson(std::string_view path, std::string_view error) {
    json record = PathRecord(path);
    record["error"] = ValidText(error);
    return record;
}

std::string DumpJson(const json& record, int indent) {
    return record.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zolehead::explain
