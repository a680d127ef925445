// JSON: an array (--json) or one object per line (--jsonl). A record is
//
//   {"path": "...", "fields": {"Title": {"value": "...", "form": "A"}, ...}}
//
// with "lossy": true on a value that did not convert cleanly, "raw" (base64)
// in place of "value" with --raw, "path_base64" when "path" does not hold
// the path's own bytes (a path that is not UTF-8, or an entry of an archive
// whose name was converted), and {"path": "...", "error": "..."} for a file
// that could not be read.
#include <nlohmann/json.hpp>

#include "record_format.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

// Whether `text` can go between quotes as it is: nothing to escape, and
// known to be UTF-8 (ASCII, or the decoder's output).
bool NeedsNoEscape(std::string_view text, bool known_utf8) {
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == '"' || b == '\\' || (b >= 0x80 && !known_utf8)) return false;
    }
    return true;
}

// Appends `text` as a JSON string. Returns false when it is not UTF-8; the
// bad bytes are then written as U+FFFD.
bool AppendJsonString(std::string& out, std::string_view text, bool known_utf8 = false) {
    // Most values and paths need no escaping: skip building a JSON value.
    if (NeedsNoEscape(text, known_utf8)) {
        out += '"';
        out += text;
        out += '"';
        return true;
    }
    const nlohmann::json value = std::string(text);
    try {
        out += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
        return true;
    } catch (const nlohmann::json::type_error&) {
        out += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return false;
    }
}

class JsonFormat final : public RecordFormat {
public:
    explicit JsonFormat(bool as_array) : as_array_(as_array) {
        if (as_array) {
            // Pretty enough to read: one line per member, one per field.
            open_ = "  {\n    ";
            member_ = ",\n    ";
            colon_ = ": ";
            fields_open_ = "{\n      ";
            field_next_ = ",\n      ";
            fields_close_ = "\n    }";
            fields_empty_ = "{}";
            close_ = "\n  }";
            inner_ = ", ";
        } else {
            open_ = "{";
            member_ = ",";
            colon_ = ":";
            fields_open_ = "{";
            field_next_ = ",";
            fields_close_ = "}";
            fields_empty_ = "{}";
            close_ = "}\n";
            inner_ = ",";
        }
    }

    std::string begin() const override { return as_array_ ? "[\n" : ""; }
    std::string separator() const override { return as_array_ ? ",\n" : ""; }
    std::string end(bool any_records) const override {
        if (!as_array_) return {};
        return any_records ? "\n]\n" : "]\n";
    }

    void render(const FileRecord& record, FieldText& text, std::string& out) const override {
        out += open_;
        out += "\"path\"";
        out += colon_;
        if (!AppendJsonString(out, record.path) || record.raw_path != record.path) {
            out += member_;
            out += "\"path_base64\"";
            out += colon_;
            out += '"';
            AppendBase64(out, record.raw_path);
            out += '"';
        }
        out += member_;
        if (!record.error.empty()) {
            out += "\"error\"";
            out += colon_;
            AppendJsonString(out, record.error);
            out += close_;
            return;
        }
        out += "\"fields\"";
        out += colon_;
        bool any = false;
        for (std::size_t i = 0; i < zolehead::kIdentifiers.size(); ++i) {
            const zolehead::HeaderSlot& slot = record.header.slots[i];
            if (slot.status == zolehead::STATUS_NONE) continue;
            out += any ? field_next_ : fields_open_;
            any = true;
            out += '"';
            out += zolehead::kIdentifiers[i].keyword;  // ASCII letters and '-'
            out += '"';
            out += colon_;
            out += '{';
            bool lossy = false;
            if (text.raw()) {
                out += "\"raw\"";
                out += colon_;
                out += '"';
                AppendBase64(out, slot.text());
                out += '"';
            } else {
                const FieldText::Text value = text.get(slot.text());
                out += "\"value\"";
                out += colon_;
                AppendJsonString(out, value.text, true);
                lossy = value.lossy;
            }
            out += inner_;
            out += "\"form\"";
            out += colon_;
            out += '"';
            out += FormLetter(slot.status);
            out += '"';
            if (lossy) {
                out += inner_;
                out += "\"lossy\"";
                out += colon_;
                out += "true";
            }
            out += '}';
        }
        out += any ? fields_close_ : fields_empty_;
        out += close_;
    }

private:
    bool as_array_;
    std::string_view open_, member_, colon_, fields_open_, field_next_, fields_close_, fields_empty_, close_, inner_;
};

}  // namespace

std::unique_ptr<RecordFormat> MakeJsonFormat(bool as_array) { return std::make_unique<JsonFormat>(as_array); }

}  // namespace zolehead_cli
