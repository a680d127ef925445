// CSV (RFC 4180 quoting) and TSV: a header row, then one row per file.
// Columns: path, error, then for each field its keyword (the value) and
// keyword_form (A or B); a field not found leaves both empty.
//
// TSV has no quoting: a tab, CR or LF inside a field, which only a path can
// hold, is written as \t, \r or \n. Values never hold them, so raw bytes
// pass unchanged. With --raw the path of an entry inside an archive carries
// the entry's name as stored.
#include "record_format.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

class DelimitedFormat final : public RecordFormat {
public:
    explicit DelimitedFormat(char delimiter) : delimiter_(delimiter) {}

    std::string begin() const override {
        std::string header = "path";
        header += delimiter_;
        header += "error";
        for (const zolehead::Identifier& id : zolehead::kIdentifiers) {
            header += delimiter_;
            header += id.keyword;
            header += delimiter_;
            header += id.keyword;
            header += "_form";
        }
        header += '\n';
        return header;
    }

    void render(const FileRecord& record, FieldText& text, std::string& out) const override {
        append_field(out, record.shown_path(text));
        out += delimiter_;
        append_field(out, record.error);
        for (const zolehead::HeaderSlot& slot : record.header.slots) {
            out += delimiter_;
            if (slot.status != zolehead::STATUS_NONE) append_field(out, text.get(slot.text()).text);
            out += delimiter_;
            out += FormLetter(slot.status);
        }
        out += '\n';
    }

private:
    void append_field(std::string& out, std::string_view field) const {
        AppendDelimitedField(out, field, delimiter_);
    }

    char delimiter_;
};

}  // namespace

std::unique_ptr<RecordFormat> MakeDelimitedFormat(char delimiter) {
    return std::make_unique<DelimitedFormat>(delimiter);
}

}  // namespace zolehead_cli
